// Context menus of controls: a right click, Shift+F10 or the menu key open the control's popup menu.
#include "Control.h"

#include "Assertion.h"
#include "Menus.h"
#include "WinControl.h"

#include <windowsx.h>

// --- TControl ---

void TControl::SetPopupMenu(TPopupMenu* menu)
{
  if (menu == FPopupMenu)
    return;
  if (FPopupMenu)
    FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = menu;
  if (menu)
    menu->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation)
{
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FPopupMenu)
    FPopupMenu = nullptr;
}

void TControl::DoContextPopup(TPoint MousePos, bool& Handled)
{
  if (CanRaiseEvents())
    OnContextPopup(this, MousePos, Handled);
}

bool TControl::ContextPopup(TPoint screenPos, bool fromKeyboard)
{
  if (IsDesigning() || !CanRaiseEvents())
    return false;
  const TLifeToken life(this);
  bool handled = false;
  DoContextPopup(fromKeyboard ? Point(-1, -1) : ScreenToClient(screenPos), handled);
  if (!life.Alive())
    return true;
  KO_ASSERT(ComponentLives(life));
  if (handled)
    return true;
  TPopupMenu* menu = FPopupMenu;
  if (!menu || !menu->GetAutoPopup())
    return false;
  if (fromKeyboard) {
    // No pointer to open at: the middle of the control.
    const TRect client = GetClientRect();
    screenPos = ClientToScreen(Point((client.left + client.right) / 2, (client.top + client.bottom) / 2));
  }
  menu->SetPopupComponent(this);
  // Last: an item's handler may free this control, or the menu.
  menu->Popup(screenPos.x, screenPos.y);
  return true;
}

// --- TWinControl ---

void TWinControl::WMRButtonUp(TMessage& Message)
{
  // MouseUp comes first and the menu after it, as the system's WM_CONTEXTMENU follows the release; the
  // handlers of either may free the control.
  const LPARAM at = Message.LParam;
  const TLifeToken life(this);
  if (!RouteMouseToGraphicChild(Message) && FEnabled)
    HandleMouseMessage(Message);
  if (!life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  // The system answers the release with WM_CONTEXTMENU, also for a click on a graphic child.
  Message.LParam = at;
  DefaultHandler(Message);
}

void TWinControl::WMContextMenu(TMessage& Message)
{
  const TPoint screen = Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
  const bool fromKeyboard = screen.x == -1 && screen.y == -1;
  const TLifeToken life(this);
  // A click on this window itself may have been on a graphic child, which has the first say. A request
  // passed on by a child window is that window's, never a graphic child's under it.
  if (!fromKeyboard && reinterpret_cast<HWND>(Message.WParam) == FBinding.Handle()) {
    if (TControl* child = ControlAtPos(ScreenToClient(screen), false)) {
      if (child->ContextPopup(screen, false) || !life.Alive())
        return;
      KO_ASSERT(ComponentLives(life));
    }
  }
  if (ContextPopup(screen, fromKeyboard) || !life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  // Nobody here wants it: the system passes it on to the parent window.
  DefaultHandler(Message);
}
