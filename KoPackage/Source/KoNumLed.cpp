#include "KoNumLed.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"
#include "SizeConstraints.h"
#include "SysUtils.h"

#include <algorithm>

// --- KoLedColors ---

TColor KoLedColors::GetLightColor() const
{
  return FControl->Engine()->GetLightColor();
}

void KoLedColors::SetLightColor(TColor color)
{
  FControl->Engine()->SetLightColor(color);
}

TColor KoLedColors::GetDarkColor() const
{
  return FControl->Engine()->GetDarkColor();
}

void KoLedColors::SetDarkColor(TColor color)
{
  FControl->Engine()->SetDarkColor(color);
}

TColor KoLedColors::GetBackgroundColor() const
{
  return FControl->Engine()->GetBackgroundColor();
}

void KoLedColors::SetBackgroundColor(TColor color)
{
  FControl->Engine()->SetBackgroundColor(color);
}

TColor KoLedColors::GetTransparentColor() const
{
  return FControl->Engine()->GetTransparentColor();
}

void KoLedColors::SetTransparentColor(TColor color)
{
  FControl->Engine()->SetTransparentColor(color);
}

void KoLedColors::AssignTo(TPersistent* destination)
{
  auto* target = dynamic_cast<KoLedColors*>(destination);
  if (!target) {
    TPersistent::AssignTo(destination);
    return;
  }
  target->SetLightColor(GetLightColor());
  target->SetDarkColor(GetDarkColor());
  target->SetBackgroundColor(GetBackgroundColor());
  target->SetTransparentColor(GetTransparentColor());
}

// --- KoNumLed ---

KoNumLed::KoNumLed(TComponent* AOwner) : TControl(AOwner)
{
  FEngine = std::make_unique<KoNumLed_imp>(this, GetParent(), GetWidth(), GetHeight());
  FLedColors = std::make_unique<KoLedColors>(this);
  // A new read-out shows its glyphs at the size they are drawn for.
  SetBounds(GetLeft(), GetTop(), FEngine->LayoutWidth(), FEngine->LayoutHeight());
}

KoNumLed::~KoNumLed()
{
  FEngine.reset();
  FLedColors.reset();
}

void KoNumLed::SetStyle(KoNumLedStyle style)
{
  if (!FEngine->SetStyle(style))
    throw EConvertError("The read-out has no glyphs of style " + std::to_string(static_cast<int>(style)));
}

void KoNumLed::SetFormat(const std::string& format)
{
  if (!FEngine->SetFormat(format))
    throw EConvertError("\"" + format +
                        "\" is not a read-out format: each character must make a glyph (8 D H M S Y d h m s y . ^ C &)");
}

void KoNumLed::SetKeepRatio(bool keepRatio)
{
  FEngine->SetKeepRatio(keepRatio);
  SetBounds(GetLeft(), GetTop(), GetWidth(), GetHeight());
}

void KoNumLed::Repaint()
{
  // The display, at the control's place and size, shows itself; the control has nothing of its own to paint.
  FEngine->Repaint();
}

void KoNumLed::SetBounds(int left, int top, int width, int height)
{
  if (FEngine) {
    FEngine->MoveBy(left - FEngine->Left(), top - FEngine->Top());
    width = std::max(width, 0);
    height = std::max(height, 0);
    // The display fits inside what the control may take.
    GetConstraints()->Constrain(width, height);
    FEngine->Resize(width, height);
    width = FEngine->Width();
    height = FEngine->Height();
  }
  TControl::SetBounds(left, top, width, height);
}

void KoNumLed::SetParent(TWinControl* parent)
{
  if (FEngine)
    FEngine->SetParent(parent);
  TControl::SetParent(parent);
}

void KoNumLed::VisibleChanged()
{
  if (FEngine)
    FEngine->Display()->SetVisible(GetVisible());
  TControl::VisibleChanged();
}

void KoNumLed::Register()
{
  RegisterOnPalette("KoComponents", {TCreatableClass::Of<KoNumLed>()});
}

namespace {

// The size of a new read-out: four digits at the size they are drawn for.
constexpr int kInitialWidth = 72;
constexpr int kInitialHeight = 22;

// Drag-and-drop and docking are not offered by the class library, so they are not published. Format has
// no streaming default: a read-out always keeps its format in text.
const bool kNumLedPublished = [] {
  PublishEnum<KoNumLedType>({"nledFloat", "nledTime", "nledDate"});
  PublishEnum<KoNumLedStyle>({"nledRectangle7_s"});
  PublishClass<KoLedColors>()
      .Color("LightColor", &KoLedColors::GetLightColor, &KoLedColors::SetLightColor, 0)
      .Color("DarkColor", &KoLedColors::GetDarkColor, &KoLedColors::SetDarkColor, 0)
      .Color("BackgroundColor", &KoLedColors::GetBackgroundColor, &KoLedColors::SetBackgroundColor, 0)
      .Color("TransparentColor", &KoLedColors::GetTransparentColor, &KoLedColors::SetTransparentColor, 0);
  auto table = PublishClass<KoNumLed>();
  PublishBounds(table, kInitialWidth, kInitialHeight);
  table.Property("Type", &KoNumLed::GetType, &KoNumLed::SetType, nledFloat)
      .Property("Style", &KoNumLed::GetStyle, &KoNumLed::SetStyle, nledRectangle7_s)
      .Property("ZeroLeading", &KoNumLed::GetZeroLeading, &KoNumLed::SetZeroLeading, false)
      .Property("Format", &KoNumLed::GetFormat, &KoNumLed::SetFormat, NoDefault)
      .Object("LedColors", &KoNumLed::GetLedColors, &KoNumLed::SetLedColors)
      .Property("Transparent", &KoNumLed::GetTransparent, &KoNumLed::SetTransparent, false)
      .Property("KeepRatio", &KoNumLed::GetKeepRatio, &KoNumLed::SetKeepRatio, false);
  PublishControlMembers(table, {"Align", "Anchors", "Constraints", "Enabled", "ParentShowHint", "PopupMenu",
                                "ShowHint", "Visible", "OnClick", "OnContextPopup", "OnDblClick", "OnMouseDown",
                                "OnMouseMove", "OnMouseUp"});
  return true;
}();

} // namespace
