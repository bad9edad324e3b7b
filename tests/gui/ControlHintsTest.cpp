#include "FormsFixture.h"
#include "HintTips.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The tools the application's tooltip holds, read back from the tooltip control itself, each as
// "<control> <text>" for a window tool or "<control> on <parent> at l,t,r,b <text>" for a rectangle.
std::vector<std::string> Tools()
{
  THintTips* hints = Application->PeekHints();
  if (!hints || !hints->Handle())
    return {};
  const HWND tip = hints->Handle();
  std::vector<std::string> tools;
  const int count = static_cast<int>(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    if (!SendMessageA(tip, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info)))
      continue;
    char text[256] = {};
    TOOLINFOA query = info;
    query.lpszText = text;
    SendMessageA(tip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&query));
    std::string entry;
    if (info.uFlags & TTF_IDISHWND) {
      const TWinControl* control = FindControl(reinterpret_cast<HWND>(info.uId));
      entry = control ? control->Name() : "?";
    } else {
      const TWinControl* parent = FindControl(info.hwnd);
      const auto* control = reinterpret_cast<const TControl*>(info.uId);
      entry = control->Name() + " on " + (parent ? parent->Name() : "?") + " at " + std::to_string(info.rect.left) +
              "," + std::to_string(info.rect.top) + "," + std::to_string(info.rect.right) + "," +
              std::to_string(info.rect.bottom);
    }
    tools.push_back(entry + " " + text);
  }
  std::sort(tools.begin(), tools.end());
  return tools;
}

// A form (shown) with a windowed box b and a graphic control g, both with hints.
class Hints : public TWindowTest {
protected:
  void SetUp() override
  {
    Form = new TForm(App.Get());
    Form->SetName("form");
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(100, 80, 300, 200);
    Box = new TTestBox(Form, Form, "b", 10, 10);
    Box->SetHint("box tip");
    Graphic = new TSolidGraphic(Form, Form, "g", Bounds(100, 50, 60, 40), clRed);
    Graphic->SetHint("graphic tip");
    Form->Show();
    ASSERT_TRUE(PumpUntil([&] { return Box->HandleAllocated(); }));
  }

  TForm* Form = nullptr;
  TTestBox* Box = nullptr;
  TSolidGraphic* Graphic = nullptr;
};

} // namespace

TEST_F(Hints, AControlWithAHintThatShowsHintsIsAToolOfTheApplicationsTooltip)
{
  EXPECT_TRUE(Tools().empty()) << "ShowHint is off everywhere: the form's is off and the others follow it";
  EXPECT_EQ(App->PeekHints(), nullptr) << "no tooltip is made before one is needed";

  const std::vector<std::string> both = {"b box tip", "g on form at 100,50,160,90 graphic tip"};
  struct TCase {
    const char* name;
    std::function<void()> change;
    std::vector<std::string> expected;
  };
  const TCase cases[] = {
      {"the form shows hints, its controls follow", [&] { Form->SetShowHint(true); }, both},
      {"a control's own ShowHint", [&] { Box->SetShowHint(false); }, {"g on form at 100,50,160,90 graphic tip"}},
      {"back to the parent's", [&] { Box->SetParentShowHint(true); }, both},
      {"a new text", [&] { Box->SetHint("new"); }, {"b new", "g on form at 100,50,160,90 graphic tip"}},
      {"no text, no tool", [&] { Box->SetHint(""); }, {"g on form at 100,50,160,90 graphic tip"}},
      {"a graphic control that moves", [&] { Graphic->SetBounds(5, 120, 30, 20); },
       {"g on form at 5,120,35,140 graphic tip"}},
      {"hidden", [&] { Graphic->Hide(); }, {}},
      {"shown again", [&] { Graphic->Show(); }, {"g on form at 5,120,35,140 graphic tip"}},
      {"taken off the form", [&] { Graphic->SetParent(nullptr); }, {}},
      {"put back", [&] { Graphic->SetParent(Form); }, {"g on form at 5,120,35,140 graphic tip"}},
      {"the form stops", [&] { Form->SetShowHint(false); }, {}},
      {"a control with its own", [&] { Graphic->SetShowHint(true); }, {"g on form at 5,120,35,140 graphic tip"}},
      {"the parent does not take it away", [&] { Form->SetShowHint(false); },
       {"g on form at 5,120,35,140 graphic tip"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.change();
    EXPECT_EQ(Tools(), c.expected);
  }
  ASSERT_NE(App->PeekHints(), nullptr);
  EXPECT_EQ(App->PeekHints()->ToolCount(), 1);
}

TEST_F(Hints, ToolsFollowTheWindowsAndGoWithTheirControls)
{
  Form->SetShowHint(true);
  const HWND old = Box->GetHandle();
  Box->RecreateWnd();
  ASSERT_NE(Box->GetHandle(), old);
  EXPECT_EQ(Tools(), (std::vector<std::string>{"b box tip", "g on form at 100,50,160,90 graphic tip"}))
      << "the new window is the tool, not the old one";

  // The form's window made anew takes both along (the box's window goes with its parent's).
  Form->RecreateWnd();
  ASSERT_TRUE(PumpUntil([&] { return Box->HandleAllocated(); }));
  EXPECT_EQ(Tools(), (std::vector<std::string>{"b box tip", "g on form at 100,50,160,90 graphic tip"}));

  delete Box;
  delete Graphic;
  EXPECT_TRUE(Tools().empty());
  EXPECT_EQ(App->PeekHints()->ToolCount(), 0);

  // A form that goes takes the tools of what it holds.
  auto* label = new TSolidGraphic(Form, Form, "l", Bounds(0, 0, 10, 10), clBlue);
  label->SetHint("label tip");
  EXPECT_EQ(Tools(), (std::vector<std::string>{"l on form at 0,0,10,10 label tip"}));
  delete Form;
  EXPECT_TRUE(Tools().empty());
}

TEST_F(Hints, HoveringOverAToolShowsTheTooltip)
{
  Form->SetShowHint(true);
  const HWND tip = App->PeekHints()->Handle();
  ASSERT_TRUE(IsWindow(tip));
  EXPECT_FALSE(IsWindowVisible(tip));
  // TTM_POPUP shows the tip at once where the system has it; elsewhere the hover timer does, soon.
  SendMessageA(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 1);
  struct TCase {
    const char* name;
    HWND window;
    POINT at; // client point of `window`
  };
  const TCase cases[] = {
      {"windowed", Box->GetHandle(), {5, 5}},
      {"graphic", Form->GetHandle(), {120, 60}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    SendMessageA(tip, TTM_POP, 0, 0);
    ASSERT_FALSE(IsWindowVisible(tip));
    POINT screen = c.at;
    ClientToScreen(c.window, &screen);
    SetCursorPos(screen.x, screen.y);
    // The window hands its mouse messages to the tooltip, which then knows the tool under the pointer.
    SendMessageA(c.window, WM_MOUSEMOVE, 0, At(c.at.x, c.at.y));
    SendMessageA(tip, TTM_POPUP, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(tip) != FALSE; }));
  }
  SendMessageA(tip, TTM_POP, 0, 0);
}

TEST_F(Hints, ContextHelpIdIsTheWindowsAlsoWhenTheWindowIsMadeAgain)
{
  Box->SetHelpContext(1234);
  EXPECT_EQ(GetWindowContextHelpId(Box->GetHandle()), 1234u);
  Box->RecreateWnd();
  EXPECT_EQ(GetWindowContextHelpId(Box->GetHandle()), 1234u);

  // Set before the window exists.
  auto* late = new TTestBox(Form, nullptr, "late", 0, 0);
  late->SetHelpContext(77);
  EXPECT_FALSE(late->HandleAllocated());
  late->SetParent(Form);
  EXPECT_EQ(GetWindowContextHelpId(late->GetHandle()), 77u);
  late->SetHelpContext(0);
  EXPECT_EQ(GetWindowContextHelpId(late->GetHandle()), 0u);

  // A graphic control has no window: it only keeps the number.
  Graphic->SetHelpContext(5);
  EXPECT_EQ(Graphic->GetHelpContext(), 5);
  EXPECT_EQ(GetWindowContextHelpId(Form->GetHandle()), 0u);
}
