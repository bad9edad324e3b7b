#include "Menus.h"

#include "Assertion.h"
#include "ComponentPalette.h"
#include "Handles.h"
#include "MessageWindow.h"
#include "Published.h"
#include "SysApi.h"

#include <algorithm>
#include <set>

namespace {

// Identifiers of living items. They stay below 0x10000 so that they also fit a WM_COMMAND's word.
// Never destroyed: items owned by the application object go at exit, after the statics made later than it.
std::set<UINT>& UsedCommands()
{
  static std::set<UINT>& used = *new std::set<UINT>;
  return used;
}

UINT AllocateCommand()
{
  static UINT next = 0;
  std::set<UINT>& used = UsedCommands();
  KO_ASSERT(used.size() < 0xFFFF);
  for (;;) {
    next = next % 0xFFFF + 1;
    if (used.insert(next).second)
      return next;
  }
}

TMenuHandle BuildPopup(const TMenuItem* parent)
{
  TMenuHandle menu(CreatePopupMenu());
  if (!menu)
    throw EOutOfResources();
  UINT position = 0;
  for (int i = 0; i < parent->Count(); ++i) {
    const TMenuItem* item = parent->Items(i);
    if (!item->GetVisible())
      continue;
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE;
    info.wID = item->Command();
    TMenuHandle submenu;
    if (item->IsLine()) {
      info.fType = MFT_SEPARATOR;
    } else {
      info.fType = MFT_STRING;
      info.fMask |= MIIM_STRING;
      info.dwTypeData = const_cast<char*>(item->GetCaption().c_str());
      info.fState = (item->GetChecked() ? MFS_CHECKED : 0u) | (item->GetEnabled() ? 0u : MFS_DISABLED) |
                    (item->GetDefault() ? MFS_DEFAULT : 0u);
      if (item->Count() > 0) {
        submenu = BuildPopup(item);
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = submenu.Get();
      }
    }
    if (!InsertMenuItemA(menu.Get(), position, TRUE, &info))
      throw EOutOfResources("Cannot build the menu");
    submenu.Extract(); // the parent menu owns it now
    ++position;
  }
  return menu;
}

// What holds an item in text: its menu for a top item, else the item it is an entry of.
TComponent* ItemHolder(TMenuItem* item)
{
  TMenuItem* parent = item->Parent();
  if (!parent)
    return nullptr;
  if (!parent->Parent() && parent->GetParentMenu())
    return parent->GetParentMenu();
  return parent;
}

void PlaceItem(TMenuItem* item, TComponent* holder)
{
  if (!holder) {
    if (item->Parent())
      item->Parent()->Remove(item);
  } else if (auto* menu = dynamic_cast<TMenu*>(holder)) {
    menu->Items()->Add(item);
  } else if (auto* parent = dynamic_cast<TMenuItem*>(holder)) {
    parent->Add(item);
  } else {
    throw EMenuError("A menu item sits in a menu or in another item, not in " + holder->Name() + " (" +
                     holder->ClassName() + ")");
  }
}

const auto kMenuItemTable = PublishClass<TMenuItem>()
                                .Property("Caption", &TMenuItem::GetCaption, &TMenuItem::SetCaption, "")
                                .Property("Checked", &TMenuItem::GetChecked, &TMenuItem::SetChecked, false)
                                .Property("Default", &TMenuItem::GetDefault, &TMenuItem::SetDefault, false)
                                .Property("Enabled", &TMenuItem::GetEnabled, &TMenuItem::SetEnabled, true)
                                .Property("Tag", &TMenuItem::GetTag, &TMenuItem::SetTag, 0)
                                .Property("Visible", &TMenuItem::GetVisible, &TMenuItem::SetVisible, true)
                                .Event("OnClick", &TMenuItem::OnClick)
                                .PlacedIn<TComponent>(&ItemHolder, &PlaceItem,
                                                      [](TMenuItem* item) { return item->MenuIndex(); });

const auto kPopupMenuTable = PublishClass<TPopupMenu>()
                                 .Property("AutoPopup", &TPopupMenu::GetAutoPopup, &TPopupMenu::SetAutoPopup, true)
                                 .Event("OnPopup", &TPopupMenu::OnPopup);

const bool kMenusCreatable = [] {
  RegisterOnPalette("Controls", {TCreatableClass::Of<TPopupMenu>()});
  RegisterCreatable(TCreatableClass::Of<TMenuItem>());
  return true;
}();

} // namespace

// --- TMenuItem ---

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), FCommand(AllocateCommand()) {}

TMenuItem::~TMenuItem()
{
  Clear();
  if (FParent)
    FParent->Remove(this);
  UsedCommands().erase(FCommand);
}

TMenuItem* TMenuItem::Items(int index) const
{
  if (index < 0 || index >= Count())
    throw EMenuError("Menu index out of range");
  return FItems[static_cast<size_t>(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
  const auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TMenu* TMenuItem::GetParentMenu() const
{
  const TMenuItem* item = this;
  while (item->FParent)
    item = item->FParent;
  return item->FMenu;
}

void TMenuItem::Add(TMenuItem* item)
{
  Insert(Count() - (item && item->FParent == this ? 1 : 0), item);
}

void TMenuItem::Insert(int index, TMenuItem* item)
{
  if (!item)
    throw EMenuError("Cannot insert a null menu item");
  if (item->FMenu)
    throw EMenuError("A menu's root cannot be inserted");
  for (const TMenuItem* ancestor = this; ancestor; ancestor = ancestor->FParent) {
    if (ancestor == item)
      throw EMenuError("A menu item cannot be inserted into itself");
  }
  // Moving within the same parent counts positions without the item itself.
  const int limit = Count() - (item->FParent == this ? 1 : 0);
  if (index < 0 || index > limit)
    throw EMenuError("Menu index out of range");
  if (item->FParent)
    item->FParent->Remove(item);
  FItems.insert(FItems.begin() + index, item);
  item->FParent = this;
}

std::function<void()> TMenuItem::SaveState()
{
  return [item = this, parent = FParent, siblings = FParent ? FParent->FItems : std::vector<TMenuItem*>()] {
    if (item->FParent != parent) {
      if (item->FParent)
        item->FParent->Remove(item);
      if (parent)
        parent->Add(item);
    }
    if (parent)
      RestoreOrder(parent->FItems, siblings);
  };
}

void TMenuItem::Delete(int index)
{
  TMenuItem* item = Items(index);
  Remove(item);
  delete item;
}

void TMenuItem::Remove(TMenuItem* item)
{
  const auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it == FItems.end())
    throw EMenuError("Sub-menu is not in menu");
  FItems.erase(it);
  item->FParent = nullptr;
}

void TMenuItem::Clear()
{
  while (!FItems.empty()) {
    TMenuItem* item = FItems.back();
    FItems.pop_back();
    item->FParent = nullptr;
    delete item;
  }
}

TMenuItem* TMenuItem::Find(UINT command)
{
  for (TMenuItem* item : FItems) {
    if (item->FCommand == command)
      return item;
    if (TMenuItem* found = item->Find(command))
      return found;
  }
  return nullptr;
}

void TMenuItem::Click()
{
  if (FEnabled && !IsDestroying())
    OnClick(this);
}

// --- TMenu ---

TMenu::TMenu(TComponent* owner) : TComponent(owner), FItems(std::make_unique<TMenuItem>(nullptr))
{
  FItems->FMenu = this;
}

TMenu::~TMenu() = default;

HMENU TMenu::CreateMenuHandle() const
{
  return BuildPopup(FItems.get()).Extract();
}

// --- TPopupMenu ---

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::SetPopupComponent(TComponent* component)
{
  if (component == FPopupComponent)
    return;
  if (FPopupComponent)
    FPopupComponent->RemoveFreeNotification(this);
  FPopupComponent = component;
  if (component)
    component->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation)
{
  TMenu::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FPopupComponent)
    FPopupComponent = nullptr;
}

void TPopupMenu::Popup(int X, int Y)
{
  // Any handler from here on may free the menu: OnPopup, and whatever runs in the modal menu loop.
  const TLifeToken life(this);
  OnPopup(this);
  if (!life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  if (!FWindow)
    FWindow.Reset(AllocateHWnd(TWndMethod(this, &TPopupMenu::WndProc)));
  const HWND window = FWindow.Get();
  TMenuHandle menu(CreateMenuHandle());
  // The chosen command comes back as the result, so nothing depends on WM_COMMAND reaching us.
  const int command = SysApi().TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, X, Y,
                                              0, window, nullptr);
  menu.Reset();
  if (!life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  // A menu opened for a window that is not in front may otherwise not close on the next click elsewhere.
  PostMessageA(window, WM_NULL, 0, 0);
  if (command <= 0)
    return;
  // Looked up again: handlers that ran during the modal loop may have changed the items. The click comes
  // last: its handler may free the menu too.
  if (TMenuItem* chosen = Items()->Find(static_cast<UINT>(command)))
    chosen->Click();
}

void TPopupMenu::WndProc(TMessage& Message)
{
  Message.Result = DefWindowProcA(FWindow.Get(), Message.Msg, Message.WParam, Message.LParam);
}
