#pragma once
// Menus built from items: a popup menu opens at a screen point, runs the system's modal menu and raises
// the chosen item's OnClick.
#include "Classes.h"
#include "MessageWindow.h"
#include "Messages.h"
#include "SysUtils.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMenu;

// "Menu index out of range" and the like: misuse of a menu's item tree.
class EMenuError : public Exception {
  using Exception::Exception;
};

// The caption that makes an item a separator line.
constexpr const char* cLineCaption = "-";

// One entry of a menu; an item with items of its own opens a submenu. A parent item frees the items it
// still holds when it goes; an item that goes first leaves its parent. Items created with an owner (the
// form) are freed by the owner as components too, whichever comes first.
class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& caption) { FCaption = caption; }
  bool GetChecked() const { return FChecked; }
  void SetChecked(bool checked) { FChecked = checked; }
  // A disabled item is shown greyed and cannot be chosen.
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool enabled) { FEnabled = enabled; }
  // Shown in bold, as the action of a double click.
  bool GetDefault() const { return FDefault; }
  void SetDefault(bool isDefault) { FDefault = isDefault; }
  // An invisible item is left out of the menu.
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool visible) { FVisible = visible; }
  int GetTag() const { return FTag; }
  void SetTag(int tag) { FTag = tag; }

  // The caption "-": a separator.
  bool IsLine() const { return FCaption == cLineCaption; }

  // The identifier of this item in the system menus built from it; unique in the process.
  UINT Command() const { return FCommand; }

  int Count() const { return static_cast<int>(FItems.size()); }
  // Item `index` (0 = first); EMenuError outside 0..Count()-1.
  TMenuItem* Items(int index) const;
  int IndexOf(const TMenuItem* item) const;
  // The item this one is an entry of; null for a menu's root and for a free item.
  TMenuItem* Parent() const { return FParent; }
  // The position in the parent, -1 without one.
  int MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }
  // The menu whose tree holds this item, null when none.
  TMenu* GetParentMenu() const;

  // Appends `item`, taking it out of any other parent first.
  void Add(TMenuItem* item);
  // Inserts `item` before position `index` (0..Count()). Inserting an item into itself or into one of its
  // own items raises EMenuError.
  void Insert(int index, TMenuItem* item);
  // Removes item `index` and frees it.
  void Delete(int index);
  // Takes `item` out without freeing it; the caller owns it from now on. EMenuError when it is not here.
  void Remove(TMenuItem* item);
  // Frees every item.
  void Clear();

  // Finds the item with `command` among the items below this one, at any depth.
  TMenuItem* Find(UINT command);

  // Raises OnClick with this item as Sender when the item is enabled.
  virtual void Click();

  // The item it is an entry of and its place there.
  std::function<void()> SaveState() override;

  TNotifyEvent OnClick;

private:
  friend class TMenu;

  std::string FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  bool FDefault = false;
  bool FVisible = true;
  int FTag = 0;
  UINT FCommand = 0;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr; // set on a menu's root item only
  std::vector<TMenuItem*> FItems;
};

// A component holding a tree of items under one root item.
class TMenu : public TComponent {
public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  // The root item; its items are the menu's entries.
  TMenuItem* Items() const { return FItems.get(); }

  // Builds a system popup menu of the visible items (and their visible submenus). The caller owns the
  // handle and frees it with DestroyMenu; the item identifiers are the items' Command() values.
  HMENU CreateMenuHandle() const;

private:
  std::unique_ptr<TMenuItem> FItems;
};

// A menu that opens at a point of the screen.
class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  // Raises OnPopup, opens the menu at the screen point (X, Y) through the seam's TrackPopupMenu and,
  // once the user has chosen an enabled item, raises its OnClick. Nothing is raised when the menu is
  // dismissed.
  virtual void Popup(int X, int Y);

  // Whether a control's right click (or the keyboard's menu keys) opens this menu by itself; otherwise
  // only Popup does.
  bool GetAutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool autoPopup) { FAutoPopup = autoPopup; }

  // The component the menu was last opened for; whoever opens the menu sets it. Null again once that
  // component goes.
  TComponent* GetPopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* component);

  // The hidden window that owns the open menu (created at the first Popup); null before.
  HWND Window() const { return FWindow.Get(); }

  // Raised before the menu opens, so that the items can be adjusted.
  TNotifyEvent OnPopup;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  void WndProc(TMessage& Message);

  TComponent* FPopupComponent = nullptr;
  bool FAutoPopup = true;
  TMessageWindowHandle FWindow;
};
