#include "DialogKeys.h"

#include "KoButton.h"

#include "WinControl.h"
#include "WindowHooks.h"

namespace {

bool CanPress(const KoButton* button)
{
  return button && button->GetVisible() && button->GetEnabled();
}

// What a click of the button runs. Touches nothing afterwards: the handler may end the program.
void PressButton(KoButton* button)
{
  if (CanPress(button))
    button->OnClick(button);
}

} // namespace

template <typename TEach>
void TDialogKeys::ForEachControl(TEach each) const
{
  const TButtons& b = FButtons;
  for (TWinControl* control : {FForm, static_cast<TWinControl*>(b.Prev), static_cast<TWinControl*>(b.Next),
                               static_cast<TWinControl*>(b.Ok), static_cast<TWinControl*>(b.Cancel)})
    each(control);
}

TDialogKeys::~TDialogKeys()
{
  // The form's destructor runs first, its controls still live.
  if (!FForm)
    return;
  ForEachControl(
      [this](TWinControl* control) { control->WindowProc.Unhook(TWindowHook(this, &TDialogKeys::NavigationKey)); });
}

void TDialogKeys::Attach(TWinControl* form, const TButtons& buttons)
{
  FForm = form;
  FButtons = buttons;
  ForEachControl([this](TWinControl* control) {
    control->OnKeyDown = TKeyEvent(this, &TDialogKeys::KeyDown);
    control->OnKeyUp = TKeyEvent(this, &TDialogKeys::KeyUp);
    control->OnKeyPress = TKeyPressEvent(this, &TDialogKeys::KeyPress);
    control->WindowProc.Hook(TWindowHook(this, &TDialogKeys::NavigationKey));
  });
  for (KoButton* button : {buttons.Prev, buttons.Next, buttons.Ok, buttons.Cancel})
    button->SetTabStop(true);
}

void TDialogKeys::ShowFocus(bool shown)
{
  for (KoButton* button : {FButtons.Prev, FButtons.Next, FButtons.Ok, FButtons.Cancel})
    button->SetFocusLook(shown);
}

bool TDialogKeys::NavigationKey(TMessage& Message)
{
  if (Message.Msg == WM_KEYDOWN) {
    switch (Message.WParam) {
    case VK_TAB:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      ShowFocus(true);
      break;
    default:
      break;
    }
  }
  return false;
}

void TDialogKeys::Forget()
{
  FHeld = 0;
  FSpaceHeld = false;
  FSpaceRepeats = false;
}

KoButton* TDialogKeys::ReturnTarget() const
{
  for (KoButton* button : {FButtons.Prev, FButtons.Next, FButtons.Ok, FButtons.Cancel})
    if (button->Focused() && CanPress(button))
      return button;
  return FButtons.Ok;
}

void TDialogKeys::KeyDown(TObject* /*Sender*/, WORD& Key, TShiftState Shift)
{
  if (Shift.Contains(ssAlt) || Shift.Contains(ssCtrl))
    return;
  switch (Key) {
  case VK_LEFT:
  case VK_RIGHT: {
    KoButton* step = Key == VK_LEFT ? FButtons.Prev : FButtons.Next;
    Key = 0;
    PressButton(step);
    return;
  }
  case VK_RETURN:
  case VK_ESCAPE:
    // Pressed when released, as a button pressed with the pointer is; auto-repeat presses nothing more.
    FHeld = Key;
    return;
  case VK_SPACE:
    FSpaceRepeats = FSpaceHeld;
    FSpaceHeld = true;
    return;
  default:
    return;
  }
}

void TDialogKeys::KeyUp(TObject* /*Sender*/, WORD& Key, TShiftState /*Shift*/)
{
  if (Key == VK_SPACE) {
    FSpaceHeld = false;
    FSpaceRepeats = false;
    return;
  }
  // A key that went down elsewhere (in the program that showed the dialog, say) presses nothing here.
  if ((Key != VK_RETURN && Key != VK_ESCAPE) || Key != FHeld)
    return;
  FHeld = 0;
  KoButton* target = Key == VK_RETURN ? ReturnTarget() : FButtons.Cancel;
  Key = 0;
  PressButton(target);
}

void TDialogKeys::KeyPress(TObject* /*Sender*/, char& Key)
{
  // One press per Space: a held Space would otherwise answer the restart question that its first press
  // raised.
  if (Key == ' ' && FSpaceRepeats)
    Key = 0;
}
