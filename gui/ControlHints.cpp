// Hints of controls (tooltips through the application's tooltip control) and context help ids.
#include "Control.h"

#include "Application.h"
#include "HintTips.h"
#include "WinControl.h"

// --- TControl ---

void TControl::SetHint(const std::string& hint)
{
  if (hint == FHint)
    return;
  FHint = hint;
  UpdateHintTool();
}

void TControl::SetShowHint(bool showHint)
{
  FParentShowHint = false;
  if (showHint == FShowHint)
    return;
  FShowHint = showHint;
  ShowHintChanged();
}

void TControl::SetParentShowHint(bool parentShowHint)
{
  if (parentShowHint == FParentShowHint)
    return;
  FParentShowHint = parentShowHint;
  if (parentShowHint)
    ParentShowHintChanged();
}

void TControl::ParentShowHintChanged()
{
  if (!FParentShowHint || !FParent || FParent->FShowHint == FShowHint || IsLoading()) {
    UpdateHintTool();
    return;
  }
  FShowHint = FParent->FShowHint;
  ShowHintChanged();
}

void TControl::ShowHintChanged()
{
  UpdateHintTool();
}

void TControl::UpdateHintTool()
{
  // The window the tool lives on: the control's own, or for a graphic control its parent's while the
  // control shows there.
  HWND window = nullptr;
  auto* windowed = dynamic_cast<TWinControl*>(this);
  if (windowed)
    window = windowed->FBinding.Handle();
  else if (FParent && FVisible)
    window = FParent->FBinding.Handle();
  if (IsDestroying() || !FShowHint || FHint.empty() || !window) {
    // Nothing to take away where no tooltip was ever made.
    if (TApplication* application = Application.Peek()) {
      if (THintTips* hints = application->PeekHints())
        hints->RemoveTool(this);
    }
    return;
  }
  THintTips* hints = Application->Hints();
  if (windowed)
    hints->SetWindowTool(this, window, FHint);
  else
    hints->SetRectTool(this, window, GetBoundsRect(), FHint);
}

void TControl::SetHelpContext(int helpContext)
{
  FHelpContext = helpContext;
}

// --- TWinControl ---

void TWinControl::SetHelpContext(int helpContext)
{
  TControl::SetHelpContext(helpContext);
  if (FBinding.Handle())
    SetWindowContextHelpId(FBinding.Handle(), static_cast<DWORD>(helpContext));
}

void TWinControl::RelayToHints(const TMessage& Message) const
{
  TApplication* application = Application.Peek();
  THintTips* hints = application ? application->PeekHints() : nullptr;
  if (hints)
    hints->Relay(FBinding.Handle(), Message.Msg, Message.WParam, Message.LParam);
}
