#include "Menus.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One entry of a system menu as the system reports it.
struct TShownItem {
  std::string caption;
  UINT type = 0;
  UINT state = 0;
  UINT id = 0;
  bool hasSubmenu = false;
};

std::vector<TShownItem> ReadMenu(HMENU menu)
{
  std::vector<TShownItem> items;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[128] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof(text);
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info))
      continue;
    items.push_back({text, info.fType, info.fState, info.wID, info.hSubMenu != nullptr});
  }
  return items;
}

// Answers TrackPopupMenu instead of the user: records the call and the menu, and picks an item.
struct TMenuSeam {
  TSysApiScope scope;
  int calls = 0;
  HMENU menu = nullptr;
  UINT flags = 0;
  POINT point = {};
  HWND owner = nullptr;
  std::vector<TShownItem> shown;
  UINT answer = 0; // command to choose; 0 dismisses
  std::function<void()> duringMenu;

  TMenuSeam()
  {
    SysApi().TrackPopupMenu = [this](HMENU m, UINT f, int x, int y, int, HWND w, const RECT*) -> BOOL {
      ++calls;
      menu = m;
      flags = f;
      point = {x, y};
      owner = w;
      shown = ReadMenu(m);
      if (duringMenu)
        duringMenu();
      return static_cast<BOOL>(answer);
    };
  }
};

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD)
{
  EndMenu();
}

struct TClicks {
  std::vector<TObject*> senders;
  void Click(TObject* sender) { senders.push_back(sender); }
};

class PopupMenu : public ::testing::Test {
protected:
  TMenuItem* AddItem(const std::string& caption, TMenuItem* parent = nullptr)
  {
    auto* item = new TMenuItem(&form);
    item->SetCaption(caption);
    item->OnClick = TNotifyEvent(&clicks, &TClicks::Click);
    (parent ? parent : menu->Items())->Add(item);
    return item;
  }

  TThrowingAsserts asserts;
  TMenuSeam seam;
  TComponent form{nullptr};
  TPopupMenu* menu = new TPopupMenu(&form);
  TClicks clicks;
};

} // namespace

TEST_F(PopupMenu, OpensTheVisibleItemsInOrderWithTheirStates)
{
  AddItem("Show")->SetDefault(true);
  AddItem("Hide")->SetChecked(true);
  AddItem("Secret")->SetVisible(false);
  AddItem("-");
  AddItem("E&xit")->SetEnabled(false);

  menu->Popup(100, 200);

  ASSERT_EQ(seam.calls, 1);
  ASSERT_EQ(seam.shown.size(), 4u);
  EXPECT_EQ(seam.shown[0].caption, "Show");
  EXPECT_TRUE(seam.shown[0].state & MFS_DEFAULT);
  EXPECT_FALSE(seam.shown[0].state & (MFS_CHECKED | MFS_DISABLED));
  EXPECT_EQ(seam.shown[1].caption, "Hide");
  EXPECT_TRUE(seam.shown[1].state & MFS_CHECKED);
  EXPECT_TRUE(seam.shown[2].type & MFT_SEPARATOR);
  EXPECT_EQ(seam.shown[3].caption, "E&xit");
  EXPECT_EQ(seam.shown[3].state & MFS_DISABLED, static_cast<UINT>(MFS_DISABLED));
  EXPECT_EQ(seam.shown[0].id, menu->Items()->Items(0)->Command());
  EXPECT_EQ(seam.shown[3].id, menu->Items()->Items(4)->Command());
}

TEST_F(PopupMenu, OpensAtTheScreenPointOwnedByAHiddenWindowAndReturnsTheCommand)
{
  AddItem("Show");
  menu->Popup(-5, 1234);

  EXPECT_EQ(seam.point.x, -5);
  EXPECT_EQ(seam.point.y, 1234);
  EXPECT_TRUE(seam.flags & TPM_RETURNCMD);
  EXPECT_TRUE(seam.flags & TPM_RIGHTBUTTON);
  ASSERT_TRUE(IsWindow(seam.owner));
  EXPECT_EQ(seam.owner, menu->Window());
  EXPECT_FALSE(IsWindowVisible(seam.owner));
  // The system menu lives only while it is open.
  EXPECT_FALSE(IsMenu(seam.menu));
}

TEST_F(PopupMenu, ChosenItemRaisesItsOnClickAndNothingElse)
{
  AddItem("Show");
  TMenuItem* hide = AddItem("Hide");
  AddItem("Exit");

  seam.answer = hide->Command();
  menu->Popup(0, 0);
  ASSERT_EQ(clicks.senders.size(), 1u);
  EXPECT_EQ(clicks.senders[0], hide);

  seam.answer = 0;
  menu->Popup(0, 0);
  EXPECT_EQ(clicks.senders.size(), 1u) << "a dismissed menu raises nothing";
}

TEST_F(PopupMenu, DisabledItemsAreNotClicked)
{
  TMenuItem* exit = AddItem("Exit");
  exit->SetEnabled(false);
  exit->Click();
  // Disabled while the menu was open: the answer the system gave is no longer honoured.
  TMenuItem* show = AddItem("Show");
  seam.answer = show->Command();
  seam.duringMenu = [&] { show->SetEnabled(false); };
  menu->Popup(0, 0);
  EXPECT_TRUE(clicks.senders.empty());
}

TEST_F(PopupMenu, ItemFreedWhileTheMenuWasOpenIsNotClicked)
{
  TMenuItem* show = AddItem("Show");
  seam.answer = show->Command();
  seam.duringMenu = [&] { delete show; };
  menu->Popup(0, 0);
  EXPECT_TRUE(clicks.senders.empty());
  EXPECT_EQ(menu->Items()->Count(), 0);
}

TEST_F(PopupMenu, OnPopupMayAdjustTheItemsBeforeTheMenuIsBuilt)
{
  TMenuItem* show = AddItem("Show");
  AddItem("Hide");
  struct THider {
    TMenuItem* item;
    TObject* sender = nullptr;
    void Popup(TObject* s)
    {
      sender = s;
      item->SetVisible(false);
    }
  } hider{show};
  menu->OnPopup = TNotifyEvent(&hider, &THider::Popup);
  menu->Popup(0, 0);
  EXPECT_EQ(hider.sender, menu);
  ASSERT_EQ(seam.shown.size(), 1u);
  EXPECT_EQ(seam.shown[0].caption, "Hide");
}

TEST_F(PopupMenu, ItemsWithItemsOpenSubmenusWhoseItemsCanBeChosen)
{
  TMenuItem* level = AddItem("Level");
  AddItem("Low", level);
  TMenuItem* high = AddItem("High", level);
  seam.answer = high->Command();
  std::vector<TShownItem> sub;
  seam.duringMenu = [&] { sub = ReadMenu(GetSubMenu(seam.menu, 0)); };

  menu->Popup(0, 0);
  ASSERT_EQ(seam.shown.size(), 1u);
  EXPECT_TRUE(seam.shown[0].hasSubmenu);
  ASSERT_EQ(sub.size(), 2u);
  EXPECT_EQ(sub[1].caption, "High");
  ASSERT_EQ(clicks.senders.size(), 1u);
  EXPECT_EQ(clicks.senders[0], high);
}

TEST_F(PopupMenu, HandlerMayFreeTheMenu)
{
  TMenuItem* exit = AddItem("Exit");
  struct TFreer {
    TPopupMenu* menu;
    void Click(TObject*) { delete menu; }
  } freer{menu};
  exit->OnClick = TNotifyEvent(&freer, &TFreer::Click);
  seam.answer = exit->Command();
  menu->Popup(0, 0);
  EXPECT_EQ(form.ComponentCount(), 0) << "menu and item left their owner";
}

TEST_F(PopupMenu, AMenuFreedWhileItIsOpenOrAboutToOpenIsNotTouchedAgain)
{
  // Freed by a handler that ran in the modal menu loop: the item the system answered is not clicked.
  TMenuItem* show = AddItem("Show");
  seam.answer = show->Command();
  seam.duringMenu = [&] { delete menu; };
  menu->Popup(0, 0);
  EXPECT_TRUE(clicks.senders.empty());
  EXPECT_EQ(form.ComponentCount(), 0);

  // Freed by its own OnPopup: the menu never opens.
  menu = new TPopupMenu(&form);
  AddItem("Hide");
  struct TFreeOnPopup {
    void Popup(TObject* sender) { delete sender; }
  } freeOnPopup;
  menu->OnPopup = TNotifyEvent(&freeOnPopup, &TFreeOnPopup::Popup);
  seam.duringMenu = nullptr;
  menu->Popup(0, 0);
  EXPECT_EQ(seam.calls, 1) << "only the first menu opened";
  EXPECT_EQ(form.ComponentCount(), 0);
}

TEST_F(PopupMenu, RealSystemMenuReturnsTheItemPickedWithTheKeyboard)
{
  SysApi().TrackPopupMenu = TSysApi::System().TrackPopupMenu;
  AddItem("Show");
  TMenuItem* hide = AddItem("Hide");
  // The modal loop reads these from our queue: first item, second item, choose.
  for (WPARAM key : {WPARAM{VK_DOWN}, WPARAM{VK_DOWN}, WPARAM{VK_RETURN}})
    PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, key, 0);
  // Should the keys be lost, the menu is closed rather than left waiting for a user.
  const UINT_PTR guard = SetTimer(nullptr, 0, 10000, CloseMenu);
  menu->Popup(50, 50);
  KillTimer(nullptr, guard);
  ASSERT_EQ(clicks.senders.size(), 1u);
  EXPECT_EQ(clicks.senders[0], hide);
}

TEST(MenuItem, IsAddressableByIndexAndKeepsItsTreeConsistent)
{
  TThrowingAsserts asserts;
  TMenuItem root(nullptr);
  auto* a = new TMenuItem(nullptr);
  auto* b = new TMenuItem(nullptr);
  auto* c = new TMenuItem(nullptr);
  root.Add(a);
  root.Add(c);
  root.Insert(1, b);
  ASSERT_EQ(root.Count(), 3);
  EXPECT_EQ(root.Items(0), a);
  EXPECT_EQ(root.Items(1), b);
  EXPECT_EQ(root.Items(2), c);
  EXPECT_EQ(c->MenuIndex(), 2);
  EXPECT_EQ(b->Parent(), &root);
  EXPECT_THROW(root.Items(3), EMenuError);
  EXPECT_THROW(root.Items(-1), EMenuError);
  EXPECT_THROW(root.Insert(4, new TMenuItem(&root)), EMenuError);

  // Moving: an item has one parent.
  b->Add(c);
  EXPECT_EQ(root.Count(), 2);
  EXPECT_EQ(c->Parent(), b);
  root.Add(a); // already there: moves to the end
  EXPECT_EQ(root.Items(1), a);
  EXPECT_THROW(c->Add(b), EMenuError) << "an item cannot go below itself";
  EXPECT_THROW(b->Add(b), EMenuError);

  root.Remove(a);
  EXPECT_EQ(a->Parent(), nullptr);
  EXPECT_THROW(root.Remove(a), EMenuError);
  delete a;

  root.Delete(0); // frees b and, with it, c
  EXPECT_EQ(root.Count(), 0);
}

TEST(MenuItem, OwnerAndParentFreeItemsOnceWhicheverGoesFirst)
{
  {
    TComponent form(nullptr);
    auto* menu = new TPopupMenu(&form);
    auto* item = new TMenuItem(&form);
    menu->Items()->Add(item);
    EXPECT_EQ(item->GetParentMenu(), menu);
    delete menu; // the menu frees its item, which leaves the form
    EXPECT_EQ(form.ComponentCount(), 0);
  }
  {
    TComponent form(nullptr);
    auto* item = new TMenuItem(&form);
    auto* menu = new TPopupMenu(&form);
    menu->Items()->Add(item);
    delete item; // leaves the menu
    EXPECT_EQ(menu->Items()->Count(), 0);
  } // the form frees the menu
}

TEST(MenuItem, CommandsAreUniqueAmongLivingItems)
{
  TMenuItem a(nullptr), b(nullptr);
  EXPECT_NE(a.Command(), b.Command());
  EXPECT_NE(a.Command(), 0u);
  EXPECT_LT(a.Command(), 0x10000u);
  EXPECT_FALSE(a.IsLine());
  a.SetCaption("-");
  EXPECT_TRUE(a.IsLine());
}
