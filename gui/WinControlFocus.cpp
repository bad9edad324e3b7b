// The windowed control's focus, tab order and keyboard.
#include "WinControl.h"

#include "Assertion.h"
#include "Forms.h"

#include <algorithm>

void TWinControl::WMKeyDown(TMessage& Message, bool down)
{
  WORD key = static_cast<WORD>(Message.WParam);
  const TShiftState shift = KeyboardShiftState();
  if (down && Message.Msg == WM_KEYDOWN && key == VK_TAB && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
    const LRESULT code = Perform(WM_GETDLGCODE, 0, 0);
    if (!(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
      if (TCustomForm* form = GetParentForm(this)) {
        TWinControl* current = form == this ? form->GetActiveControl() : this;
        form->SelectNext(current, !shift.Contains(ssShift), true);
        Message.Result = 0;
        return;
      }
    }
  }
  const TLifeToken life(this);
  if (down)
    KeyDown(key, shift);
  else
    KeyUp(key, shift);
  // The default handling depends on what the handler left of the key, so it comes after the event.
  if (!life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  if (key == 0) {
    Message.Result = 0;
    return;
  }
  // The keyboard's ways to the context menu: Shift+F10 going down, the menu key going up. Both keys are
  // kept from the system, which would ask for the menu a second time.
  if (key == VK_APPS || (down && key == VK_F10 && shift.Contains(ssShift))) {
    Message.Result = 0;
    if (down == (key == VK_F10)) {
      const HWND window = FBinding.Handle();
      SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), static_cast<LPARAM>(-1));
    }
    return;
  }
  Message.WParam = key;
  DefaultHandler(Message);
}

void TWinControl::WMChar(TMessage& Message)
{
  char key = static_cast<char>(Message.WParam);
  // The character of a Tab that moved the focus.
  if (key == '\t' && !(Perform(WM_GETDLGCODE, 0, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS)) &&
      GetParentForm(this)) {
    Message.Result = 0;
    return;
  }
  const TLifeToken life(this);
  KeyPress(key);
  if (!life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  if (key == 0) {
    Message.Result = 0;
    return;
  }
  Message.WParam = static_cast<unsigned char>(key);
  DefaultHandler(Message);
}

void TWinControl::WMSetFocus(TMessage& Message)
{
  DefaultHandler(Message);
  if (!FParent)
    return;
  FParent->SetFocusedControl(this);
  DoEnter();
}

void TWinControl::WMKillFocus(TMessage& Message)
{
  DefaultHandler(Message);
  if (FParent)
    DoExit();
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift)
{
  if (CanRaiseEvents())
    OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift)
{
  if (CanRaiseEvents())
    OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key)
{
  if (CanRaiseEvents())
    OnKeyPress(this, Key);
}

void TWinControl::DoEnter()
{
  if (CanRaiseEvents())
    OnEnter(this);
}

void TWinControl::DoExit()
{
  if (CanRaiseEvents())
    OnExit(this);
}

void TWinControl::RemoveFocus()
{
  if (FParent)
    FParent->DefocusControl(this, false);
  if (!FBinding.Handle())
    return;
  const HWND focus = GetFocus();
  if (!focus || (focus != FBinding.Handle() && !IsChild(FBinding.Handle(), focus)))
    return;
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->HandleAllocated())
    ::SetFocus(form->GetHandle());
  else
    ::SetFocus(nullptr);
}

int TWinControl::GetTabOrder() const
{
  if (!FParent)
    return -1;
  const auto& list = FParent->FTabList;
  const auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order)
{
  if (!FParent)
    return;
  auto& list = FParent->FTabList;
  const auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end())
    return;
  list.erase(it);
  order = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + order, this);
}

bool TWinControl::CanFocus() const
{
  for (const TWinControl* control = this; control; control = control->FParent) {
    if (!control->FVisible || !control->FEnabled)
      return false;
  }
  return true;
}

bool TWinControl::Focused() const
{
  return FBinding.Handle() && GetFocus() == FBinding.Handle();
}

void TWinControl::SetFocus()
{
  if (!CanFocus())
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  if (FParent)
    FParent->SetFocusedControl(this);
  ::SetFocus(GetHandle());
}

void TWinControl::SetFocusedControl(TWinControl* Control)
{
  if (FParent)
    FParent->SetFocusedControl(Control);
}

void TWinControl::DefocusControl(TWinControl* Control, bool Removing)
{
  if (FParent)
    FParent->DefocusControl(Control, Removing);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const
{
  for (TWinControl* child : FTabList) {
    list.push_back(child);
    child->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const
{
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  const int count = static_cast<int>(list.size());
  if (count == 0)
    return nullptr;
  const auto found = std::find(list.begin(), list.end(), current);
  int index = found != list.end() ? static_cast<int>(found - list.begin()) : (goForward ? count - 1 : 0);
  for (int step = 0; step < count; ++step) {
    index = goForward ? (index + 1) % count : (index + count - 1) % count;
    TWinControl* candidate = list[static_cast<size_t>(index)];
    if (candidate == current)
      break;
    if (candidate->CanFocus() && (!checkTabStop || candidate->FTabStop) &&
        (!checkParent || candidate->FParent == this))
      return candidate;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop)
{
  if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, false))
    next->SetFocus();
}
