#include "KoCheckBox.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"

// --- KoChkBoxAppearance ---

KoChkBoxAppearance::KoChkBoxAppearance(KoCheckBox* checkBox)
{
  FUncheck = std::make_unique<KoFourStateAppearance>(checkBox, KoCheckBox::kUncheckedBase);
  FCheck = std::make_unique<KoFourStateAppearance>(checkBox, KoCheckBox::kCheckedBase);
  FGray = std::make_unique<KoFourStateAppearance>(checkBox, KoCheckBox::kGrayedBase);
}

KoChkBoxAppearance::~KoChkBoxAppearance()
{
  FUncheck.reset();
  FCheck.reset();
  FGray.reset();
}

void KoChkBoxAppearance::SetCheck(KoFourStateAppearance* value)
{
  FCheck->Assign(value);
}

void KoChkBoxAppearance::SetUncheck(KoFourStateAppearance* value)
{
  FUncheck->Assign(value);
}

void KoChkBoxAppearance::SetGray(KoFourStateAppearance* value)
{
  FGray->Assign(value);
}

void KoChkBoxAppearance::AssignTo(TPersistent* destination)
{
  auto* target = dynamic_cast<KoChkBoxAppearance*>(destination);
  if (!target) {
    TPersistent::AssignTo(destination);
    return;
  }
  target->SetUncheck(FUncheck.get());
  target->SetCheck(FCheck.get());
  target->SetGray(FGray.get());
}

// --- KoCheckBox ---

KoCheckBox::KoCheckBox(TComponent* AOwner) : KoCustomControl(AOwner, false, 12)
{
  // A quick second click is a click of its own: it moves the state on again.
  TControlStyle style = GetControlStyle();
  style.Exclude(csDoubleClicks);
  SetControlStyle(style);
  FAppearance = std::make_unique<KoChkBoxAppearance>(this);
  FPrevPictureChange = GetStatePicture(0)->OnChange;
  const TNotifyEvent changed(this, &KoCheckBox::BitmapChanged);
  for (int i = 0; i < GetStateCount(); ++i)
    GetStatePicture(i)->OnChange = changed;
}

KoCheckBox::~KoCheckBox()
{
  // The picture layer puts its predecessors back where it finds its own handler.
  const TNotifyEvent changed(this, &KoCheckBox::BitmapChanged);
  for (int i = 0; i < GetStateCount(); ++i) {
    TBitmap* picture = GetStatePicture(i);
    if (picture->OnChange == changed)
      picture->OnChange = FPrevPictureChange;
  }
  FAppearance.reset();
}

bool KoCheckBox::LoadUnchecked(const std::string& folder, const std::string& raised, const std::string& sunken,
                               const std::string& focused, const std::string& disabled)
{
  return FAppearance->GetUncheck()->LoadBitmaps(folder, raised, sunken, focused, disabled);
}

bool KoCheckBox::LoadChecked(const std::string& folder, const std::string& raised, const std::string& sunken,
                             const std::string& focused, const std::string& disabled)
{
  return FAppearance->GetCheck()->LoadBitmaps(folder, raised, sunken, focused, disabled);
}

bool KoCheckBox::LoadGrayed(const std::string& folder, const std::string& raised, const std::string& sunken,
                            const std::string& focused, const std::string& disabled)
{
  return FAppearance->GetGray()->LoadBitmaps(folder, raised, sunken, focused, disabled);
}

void KoCheckBox::SetChecked(bool checked)
{
  SetState(checked ? cbChecked : cbUnchecked);
}

void KoCheckBox::SetState(TCheckBoxState state)
{
  FState = state;
  ShowChkboxBmp(GetRequestedState() % 4);
}

void KoCheckBox::SetAppearance(KoChkBoxAppearance* value)
{
  FAppearance->Assign(value);
}

void KoCheckBox::ShowChkboxBmp(int look)
{
  if (FState == cbChecked)
    ShowBitmap(look + kCheckedBase);
  else if (FState == cbGrayed)
    ShowBitmap(look + kGrayedBase);
  else
    ShowBitmap(look + kUncheckedBase);
}

int KoCheckBox::Substitute(int index)
{
  const int look = index % 4;
  return look == 0 ? 0 : index - look;
}

void KoCheckBox::Click()
{
  TCheckBoxState next = cbUnchecked;
  switch (FState) {
  case cbUnchecked:
    next = FAllowGrayed ? cbGrayed : cbChecked;
    break;
  case cbChecked:
    next = cbUnchecked;
    break;
  case cbGrayed:
    next = cbChecked;
    break;
  }
  SetState(next);
  KoCustomControl::Click();
}

void KoCheckBox::KeyPress(char& Key)
{
  const TLifeToken life(this);
  KoCustomControl::KeyPress(Key);
  if (life.Alive() && Key == ' ')
    Click();
}

void KoCheckBox::BitmapChanged(TObject* Sender)
{
  int index = 0;
  while (index < GetStateCount() && GetStatePicture(index) != Sender)
    ++index;
  const int standIn = Substitute(GetRequestedState());
  if (standIn != 0 && index == standIn)
    ShowBitmap(GetRequestedState());
  FPrevPictureChange(Sender);
}

void KoCheckBox::Register()
{
  RegisterOnPalette("KoComponents", {TCreatableClass::Of<KoCheckBox>()});
}

namespace {

// The class library names these values in its label's unit, which a program without labels does not link;
// naming them again with the same names is allowed.
const bool kCheckStatesPublished = PublishEnum<TCheckBoxState>({"cbUnchecked", "cbChecked", "cbGrayed"});

const bool kCheckBoxPublished = [] {
  auto table = PublishClass<KoCheckBox>();
  table.Property("Checked", &KoCheckBox::GetChecked, &KoCheckBox::SetChecked, false)
      .Property("AllowGrayed", &KoCheckBox::GetAllowGrayed, &KoCheckBox::SetAllowGrayed, false)
      .Property("State", &KoCheckBox::GetState, &KoCheckBox::SetState, cbUnchecked)
      .Object("Appearance", &KoCheckBox::GetAppearance, &KoCheckBox::SetAppearance)
      .Property("ShowMouseOver", &KoCheckBox::GetShowMouseOver, &KoCheckBox::SetShowMouseOver, true)
      .Property("ClicksDisabled", &KoCheckBox::GetClicksDisabled, &KoCheckBox::SetClicksDisabled, false);
  PublishControlMembers(table, {"Anchors", "Enabled", "HelpContext", "Hint", "ParentShowHint", "PopupMenu",
                                "ShowHint", "TabOrder", "TabStop", "Visible", "OnClick", "OnContextPopup",
                                "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown",
                                "OnMouseMove", "OnMouseUp"});
  return true;
}();

const auto kChkBoxAppearanceTable =
    PublishClass<KoChkBoxAppearance>()
        .Object("Check", &KoChkBoxAppearance::GetCheck, &KoChkBoxAppearance::SetCheck)
        .Object("Uncheck", &KoChkBoxAppearance::GetUncheck, &KoChkBoxAppearance::SetUncheck)
        .Object("Gray", &KoChkBoxAppearance::GetGray, &KoChkBoxAppearance::SetGray);

} // namespace
