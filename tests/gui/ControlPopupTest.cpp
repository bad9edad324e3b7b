#include "FormsFixture.h"
#include "Menus.h"

#include <string>
#include <vector>

namespace {

// A form with a windowed box (b) and a graphic control (g), each with a popup menu of its own, and one
// for the form itself. TrackPopupMenu is answered by the test: every opening is logged with the menu's
// name (its only item's caption), the screen point and the menu's PopupComponent at that moment.
class ContextMenus : public TWindowTest {
protected:
  void SetUp() override
  {
    SysApi().TrackPopupMenu = [this](HMENU menu, UINT, int x, int y, int, HWND, const RECT*) -> BOOL {
      char caption[64] = {};
      GetMenuStringA(menu, 0, caption, sizeof(caption), MF_BYPOSITION);
      auto* open = dynamic_cast<TPopupMenu*>(Form->FindComponent(caption));
      const TComponent* target = open ? open->GetPopupComponent() : nullptr;
      Log.push_back(std::string("menu ") + caption + " at " + std::to_string(x) + "," + std::to_string(y) +
                    " for " + (target ? target->Name() : "nothing"));
      return static_cast<BOOL>(Answer);
    };
    Form = new TForm(App.Get());
    Form->SetName("form");
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(100, 80, 300, 200);
    Box = new TTestBox(Form, Form, "b", 10, 10);
    Graphic = new TSolidGraphic(Form, Form, "g", Bounds(100, 50, 60, 40), clRed);
    BoxMenu = MakeMenu("boxMenu");
    GraphicMenu = MakeMenu("graphicMenu");
    FormMenu = MakeMenu("formMenu");
    Box->SetPopupMenu(BoxMenu);
    Graphic->SetPopupMenu(GraphicMenu);
    Form->SetPopupMenu(FormMenu);
    for (TControl* control : {static_cast<TControl*>(Form), static_cast<TControl*>(Box),
                              static_cast<TControl*>(Graphic)}) {
      control->OnContextPopup = TContextPopupEvent(this, &ContextMenus::ContextPopup);
      control->OnMouseUp = TMouseEvent(this, &ContextMenus::MouseUp);
    }
    Form->Show();
    ASSERT_TRUE(PumpUntil([&] { return Box->HandleAllocated() && IsWindowVisible(Box->GetHandle()); }));
  }

  TPopupMenu* MakeMenu(const std::string& name)
  {
    auto* menu = new TPopupMenu(Form);
    menu->SetName(name);
    auto* item = new TMenuItem(Form);
    item->SetCaption(name);
    item->OnClick = TNotifyEvent(this, &ContextMenus::ItemClick);
    menu->Items()->Add(item);
    return menu;
  }

public:
  void ContextPopup(TObject* sender, TPoint pos, bool& handled)
  {
    Log.push_back("context " + TEventLog::NameOf(sender) + " " + std::to_string(pos.x) + "," +
                  std::to_string(pos.y));
    handled = TEventLog::NameOf(sender) == Handles;
  }
  void MouseUp(TObject* sender, TMouseButton button, TShiftState, int x, int y)
  {
    Log.push_back(std::string("up ") + TEventLog::NameOf(sender) + " " + TEventLog::ButtonLetter(button) + " " +
                  std::to_string(x) + "," + std::to_string(y));
  }
  void ItemClick(TObject* sender) { Log.push_back("item " + TEventLog::NameOf(sender)); }
  void Swallow(TObject*, WORD& key, TShiftState) { key = 0; }
  void FreeBox(TObject*)
  {
    delete Box;
    Box = nullptr;
  }
  void FreeGraphic(TObject*)
  {
    delete Graphic;
    Graphic = nullptr;
  }
  void FreeBoxInContext(TObject*, TPoint, bool&) { FreeBox(nullptr); }

protected:
  // Right button down and up at a client point of `window`, as real messages.
  static void RightClick(HWND window, int x, int y)
  {
    SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, ::At(x, y));
    SendMessageA(window, WM_RBUTTONUP, 0, ::At(x, y));
  }
  static std::string ScreenAt(TControl* control, int x, int y)
  {
    const TPoint point = control->ClientToScreen(Point(x, y));
    return std::to_string(point.x) + "," + std::to_string(point.y);
  }

  TForm* Form = nullptr;
  TTestBox* Box = nullptr;
  TSolidGraphic* Graphic = nullptr;
  TPopupMenu* BoxMenu = nullptr;
  TPopupMenu* GraphicMenu = nullptr;
  TPopupMenu* FormMenu = nullptr;
  std::vector<std::string> Log;
  std::string Handles; // the control whose OnContextPopup sets Handled
  UINT Answer = 0;     // the command TrackPopupMenu answers; 0 dismisses
};

} // namespace

TEST_F(ContextMenus, TheRightButtonsReleaseOpensTheControlsMenuAfterMouseUp)
{
  struct TCase {
    const char* name;
    std::string handles; // whose OnContextPopup keeps the menu closed
    std::vector<std::string> expected;
  };
  const std::string box = ScreenAt(Box, 5, 6);
  const std::string graphic = ScreenAt(Graphic, 7, 8);
  const std::string form = ScreenAt(Form, 250, 150);
  const TCase cases[] = {
      {"windowed control", "", {"up b R 5,6", "context b 5,6", "menu boxMenu at " + box + " for b"}},
      {"graphic control", "", {"up g R 7,8", "context g 7,8", "menu graphicMenu at " + graphic + " for g"}},
      {"the form itself", "", {"up form R 250,150", "context form 250,150", "menu formMenu at " + form + " for form"}},
      {"handled by the box", "b", {"up b R 5,6", "context b 5,6"}},
      {"handled by the graphic", "g", {"up g R 7,8", "context g 7,8"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    Log.clear();
    Handles = c.handles;
    const std::string name = c.name;
    if (name.find("windowed") != std::string::npos || name.find("box") != std::string::npos)
      RightClick(Box->GetHandle(), 5, 6);
    else if (name.find("graphic") != std::string::npos)
      RightClick(Form->GetHandle(), 107, 58);
    else
      RightClick(Form->GetHandle(), 250, 150);
    EXPECT_EQ(Log, c.expected);
  }
}

TEST_F(ContextMenus, ShiftF10AndTheMenuKeyOpenTheMenuInTheMiddleOfTheControl)
{
  Box->SetFocus();
  ASSERT_TRUE(Box->Focused());
  const std::vector<std::string> opened = {"context b -1,-1", "menu boxMenu at " + ScreenAt(Box, 20, 15) + " for b"};
  const HWND window = Box->GetHandle();

  SetKeyHeld(VK_SHIFT, true);
  SendMessageA(window, WM_SYSKEYDOWN, VK_F10, 0);
  SendMessageA(window, WM_SYSKEYUP, VK_F10, 0);
  SetKeyHeld(VK_SHIFT, false);
  EXPECT_EQ(Log, opened) << "Shift+F10, once, as it goes down";

  Log.clear();
  SendMessageA(window, WM_KEYDOWN, VK_F10, 0);
  EXPECT_TRUE(Log.empty()) << "F10 alone is no menu key";

  Log.clear();
  SendMessageA(window, WM_KEYDOWN, VK_APPS, 0);
  EXPECT_TRUE(Log.empty()) << "the menu key opens the menu as it goes up";
  SendMessageA(window, WM_KEYUP, VK_APPS, 0);
  EXPECT_EQ(Log, opened);

  // A control without a menu of its own passes the request on to its parent: the form's menu opens at
  // the form's middle.
  Log.clear();
  Box->SetPopupMenu(nullptr);
  SendMessageA(window, WM_KEYUP, VK_APPS, 0);
  const TRect client = Form->GetClientRect();
  EXPECT_EQ(Log, (std::vector<std::string>{"context b -1,-1", "context form -1,-1",
                                           "menu formMenu at " + ScreenAt(Form, client.right / 2, client.bottom / 2) +
                                               " for form"}));

  // A key handler that swallows the key keeps the menu closed.
  Log.clear();
  Box->OnKeyUp = TKeyEvent(static_cast<ContextMenus*>(this), &ContextMenus::Swallow);
  SendMessageA(window, WM_KEYUP, VK_APPS, 0);
  EXPECT_TRUE(Log.empty());
}

TEST_F(ContextMenus, WithoutAMenuOrAutoPopupTheRequestGoesToTheParent)
{
  const std::vector<std::string> parentsMenu = {"up b R 5,6", "context b 5,6", "context form 15,16",
                                                "menu formMenu at " + ScreenAt(Box, 5, 6) + " for form"};
  BoxMenu->SetAutoPopup(false);
  RightClick(Box->GetHandle(), 5, 6);
  EXPECT_EQ(Log, parentsMenu) << "a menu that does not pop up by itself";

  // A menu that goes takes itself out of every control that pointed to it.
  Log.clear();
  delete BoxMenu;
  BoxMenu = nullptr;
  EXPECT_EQ(Box->GetPopupMenu(), nullptr);
  RightClick(Box->GetHandle(), 5, 6);
  EXPECT_EQ(Log, parentsMenu);

  // With nothing anywhere, nothing opens.
  Log.clear();
  delete FormMenu;
  FormMenu = nullptr;
  EXPECT_EQ(Form->GetPopupMenu(), nullptr);
  RightClick(Box->GetHandle(), 5, 6);
  EXPECT_EQ(Log, (std::vector<std::string>{"up b R 5,6", "context b 5,6", "context form 15,16"}));
}

TEST_F(ContextMenus, AHandlerMayFreeTheControlTheMenuIsFor)
{
  TThrowingAsserts asserts;
  // An item of the menu frees the windowed control, then another the graphic one.
  Answer = BoxMenu->Items()->Items(0)->Command();
  BoxMenu->Items()->Items(0)->OnClick = TNotifyEvent(static_cast<ContextMenus*>(this), &ContextMenus::FreeBox);
  RightClick(Box->GetHandle(), 5, 6);
  EXPECT_EQ(Box, nullptr);
  EXPECT_EQ(BoxMenu->GetPopupComponent(), nullptr) << "the menu forgot the control that went";
  Answer = GraphicMenu->Items()->Items(0)->Command();
  GraphicMenu->Items()->Items(0)->OnClick =
      TNotifyEvent(static_cast<ContextMenus*>(this), &ContextMenus::FreeGraphic);
  RightClick(Form->GetHandle(), 107, 58);
  EXPECT_EQ(Graphic, nullptr);

  // OnContextPopup frees the control: no menu opens for it, nor for its parent.
  Box = new TTestBox(Form, Form, "b", 10, 10);
  Box->SetPopupMenu(BoxMenu);
  Box->OnContextPopup = TContextPopupEvent(static_cast<ContextMenus*>(this), &ContextMenus::FreeBoxInContext);
  ASSERT_TRUE(PumpUntil([&] { return Box->HandleAllocated(); }));
  Log.clear();
  RightClick(Box->GetHandle(), 5, 6);
  EXPECT_EQ(Box, nullptr);
  EXPECT_TRUE(Log.empty());
}
