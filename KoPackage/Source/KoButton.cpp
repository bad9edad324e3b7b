#include "KoButton.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"

KoButton::KoButton(TComponent* AOwner) : KoCustomControl(AOwner, false, 4)
{
  // A quick second click is a click of its own.
  TControlStyle style = GetControlStyle();
  style.Exclude(csDoubleClicks);
  SetControlStyle(style);
  FAppearance = std::make_unique<KoFourStateAppearance>(this, 0);
}

KoButton::~KoButton()
{
  FAppearance.reset();
}

bool KoButton::LoadBitmap(const std::string& folder, const std::string& raised, const std::string& sunken,
                          const std::string& focused, const std::string& disabled)
{
  FAppearance->LoadBitmaps(folder, raised, sunken, focused, disabled);
  return true;
}

void KoButton::SetAppearance(KoFourStateAppearance* value)
{
  FAppearance->Assign(value);
}

void KoButton::Click()
{
  if (TCustomForm* form = GetParentForm(this))
    form->SetModalResult(FModalResult);
  KoCustomControl::Click();
}

void KoButton::KeyPress(char& Key)
{
  const TLifeToken life(this);
  KoCustomControl::KeyPress(Key);
  if (life.Alive() && Key == ' ')
    Click();
}

bool KoButton::CanBeClicked() const
{
  const HWND window = AccWindow();
  return window && GetEnabled() && IsWindowEnabled(window) && IsWindowVisible(window);
}

bool KoButton::AccDoDefaultAction(long /*child*/)
{
  // Posted: the reader's call returns at once, and the click runs from the message loop as a pointer's
  // would, free to show a box or free the button.
  return CanBeClicked() && PostMessageA(AccWindow(), BM_CLICK, 0, 0);
}

void KoButton::WndProc(TMessage& Message)
{
  if (Message.Msg == BM_CLICK) {
    Message.Result = 0;
    if (CanBeClicked())
      Click();
    return;
  }
  KoCustomControl::WndProc(Message);
}

void KoButton::Register()
{
  RegisterOnPalette("KoComponents", {TCreatableClass::Of<KoButton>()});
}

namespace {

// Actions, drag-and-drop and docking are not offered by the class library, so they are not published.
const bool kButtonPublished = [] {
  auto table = PublishClass<KoButton>();
  table.Object("Appearance", &KoButton::GetAppearance, &KoButton::SetAppearance)
      .Property("ModalResult", &KoButton::GetModalResult, &KoButton::SetModalResult, 0)
      .Property("ShowMouseOver", &KoButton::GetShowMouseOver, &KoButton::SetShowMouseOver, true);
  PublishControlMembers(table, {"Anchors", "Enabled", "HelpContext", "Hint", "ParentShowHint", "PopupMenu",
                                "ShowHint", "TabOrder", "TabStop", "Visible", "OnClick", "OnContextPopup",
                                "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown",
                                "OnMouseMove", "OnMouseUp"});
  return true;
}();

} // namespace
