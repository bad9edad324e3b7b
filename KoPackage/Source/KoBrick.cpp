#include "KoBrick.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"

bool KoThreeStateAppearance::LoadBitmaps(const std::string& folder, const std::string& normal,
                                         const std::string& focused, const std::string& disabled)
{
  const std::string names[] = {normal, focused, disabled};
  return LoadStatePictures(this, folder, names, 3, FBaseIndex);
}

void KoThreeStateAppearance::AssignTo(TPersistent* destination)
{
  auto* target = dynamic_cast<KoThreeStateAppearance*>(destination);
  if (!target) {
    KoCtrlAppearance::AssignTo(destination);
    return;
  }
  target->SetNormalBmp(GetNormalBmp());
  target->SetFocusedBmp(GetFocusedBmp());
  target->SetDisabledBmp(GetDisabledBmp());
}

KoBrick::KoBrick(TComponent* AOwner) : KoCustomControl(AOwner, true, 3)
{
  // A quick second click is a double click.
  TControlStyle style = GetControlStyle();
  style.Include(csDoubleClicks);
  SetControlStyle(style);
  FAppearance = std::make_unique<KoThreeStateAppearance>(this, 0);
}

KoBrick::~KoBrick()
{
  FAppearance.reset();
}

bool KoBrick::LoadBitmap(const std::string& folder, const std::string& normal, const std::string& focused,
                         const std::string& disabled)
{
  FAppearance->LoadBitmaps(folder, normal, focused, disabled);
  return true;
}

void KoBrick::SetAppearance(KoThreeStateAppearance* value)
{
  FAppearance->Assign(value);
}

void KoBrick::Register()
{
  RegisterOnPalette("KoComponents", {TCreatableClass::Of<KoBrick>()});
}

namespace {

const bool kBrickPublished = [] {
  auto table = PublishClass<KoBrick>();
  table.Object("Appearance", &KoBrick::GetAppearance, &KoBrick::SetAppearance)
      .Property("ShowMouseOver", &KoBrick::GetShowMouseOver, &KoBrick::SetShowMouseOver, true);
  PublishControlMembers(table, {"Anchors", "Enabled", "HelpContext", "Hint", "ParentShowHint", "PopupMenu",
                                "ShowHint", "TabOrder", "TabStop", "Visible", "OnClick", "OnContextPopup",
                                "OnDblClick", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp",
                                "OnMouseDown", "OnMouseMove", "OnMouseUp"});
  return true;
}();

// Pictures are kept in text as their bitmap data; a program usually loads them from its skin files instead.
const auto kThreeStateTable =
    PublishClass<KoThreeStateAppearance>()
        .Picture("NormalBmp", &KoThreeStateAppearance::GetNormalBmp, &KoThreeStateAppearance::SetNormalBmp)
        .Picture("FocusedBmp", &KoThreeStateAppearance::GetFocusedBmp, &KoThreeStateAppearance::SetFocusedBmp)
        .Picture("DisabledBmp", &KoThreeStateAppearance::GetDisabledBmp, &KoThreeStateAppearance::SetDisabledBmp);

} // namespace
