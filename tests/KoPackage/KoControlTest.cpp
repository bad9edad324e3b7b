// The behaviour layer: which look pointer, buttons, keys, focus and enable lead to, driven through real
// messages on a button with one picture colour per look.
#include "KoFixture.h"

#include <functional>
#include <string>
#include <vector>

namespace {

// "i" inside, "m" mouse pressed, "k" key pressed.
std::string Flags(const KoControl* control)
{
  std::string flags;
  if (control->MouseInside())
    flags += 'i';
  if (control->MousePressed())
    flags += 'm';
  if (control->KeyPressed())
    flags += 'k';
  return flags;
}

struct TStep {
  const char* what;
  std::function<void()> act;
  TLook look;
  const char* flags;
};

class KoInteraction : public TKoFormTest {
protected:
  void SetUp() override
  {
    TKoFormTest::SetUp();
    B = AddButton("b", 20, 20);
    Log.WatchHover(B);
    Log.WatchMouse(B);
    ShowActive();
  }

  void Run(const std::vector<TStep>& steps)
  {
    for (const TStep& step : steps) {
      step.act();
      EXPECT_EQ(B->GetRequestedState(), step.look) << step.what;
      EXPECT_EQ(Flags(B), step.flags) << step.what;
    }
  }

  void In(WPARAM keys = 0) { PointAt(B, 10, 10, keys); }
  // Outside the button, while it has the mouse captured.
  void Out(WPARAM keys = MK_LBUTTON) { PointAt(B, 80, 10, keys); }
  void Down() { ButtonDown(B, 10, 10); }
  void Up(int x = 10) { ButtonUp(B, x, 10); }

  KoButton* B = nullptr;
};

} // namespace

TEST_F(KoInteraction, PointerAndLeftButtonOnAFocusableButton)
{
  B->SetTabStop(true);
  Run({
      {"pointer enters", [&] { In(); }, lkFocused, "i"},
      {"button goes down: the button takes the focus", [&] { Down(); }, lkSunken, "im"},
      {"dragged out: released look, no leave event", [&] { Out(); }, lkFocused, ""},
      {"dragged back in: pressed again", [&] { In(MK_LBUTTON); }, lkSunken, "im"},
      {"button goes up inside", [&] { Up(); }, lkFocused, "i"},
      {"the pointer leaves (the system's notification)", [&] { ASSERT_TRUE(PointerLeaves(B)); }, lkFocused, ""},
      {"the focus leaves", [&] { Other->SetFocus(); }, lkRaised, ""},
      {"the focus comes back", [&] { B->SetFocus(); }, lkFocused, ""},
  });
  EXPECT_TRUE(B->Focused());
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"mouseenter b", "down b L 10,10", "mouseenter b", "up b L 10,10",
                                                   "click b", "mouseleave b"}))
      << "coming back in with the button held is an entry too";
}

TEST_F(KoInteraction, PressDraggedOutAndReleasedOutsideGivesNoClick)
{
  Run({
      {"pointer enters", [&] { In(); }, lkFocused, "i"},
      {"button goes down: no tab stop, no focus", [&] { Down(); }, lkSunken, "im"},
      {"dragged out", [&] { Out(); }, lkRaised, ""},
      {"released outside", [&] { Up(80); }, lkRaised, ""},
  });
  EXPECT_FALSE(B->Focused());
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"mouseenter b", "down b L 10,10", "up b L 80,10"}));
}

TEST_F(KoInteraction, SpaceAndReturnPressTheFocusedButtonOtherKeysDoNot)
{
  B->SetTabStop(true);
  Run({
      {"focus arrives", [&] { B->SetFocus(); }, lkFocused, ""},
      {"Space goes down", [&] { KeyDown(B, VK_SPACE); }, lkSunken, "k"},
      {"Space repeats", [&] { KeyDown(B, VK_SPACE, true); }, lkSunken, "k"},
      {"Space goes up", [&] { KeyUp(B, VK_SPACE); }, lkFocused, ""},
      {"Return goes down", [&] { KeyDown(B, VK_RETURN); }, lkSunken, "k"},
      {"Return goes up", [&] { KeyUp(B, VK_RETURN); }, lkFocused, ""},
      {"A goes down", [&] { KeyDown(B, 'A'); }, lkFocused, ""},
      {"A goes up", [&] { KeyUp(B, 'A'); }, lkFocused, ""},
      {"Space goes down again", [&] { KeyDown(B, VK_SPACE); }, lkSunken, "k"},
      {"the focus leaves while Space is held", [&] { Other->SetFocus(); }, lkRaised, ""},
  });
}

TEST_F(KoInteraction, SpaceAndMouseTogetherReleaseWithTheLastOfThem)
{
  B->SetTabStop(true);
  Run({
      {"pointer enters", [&] { In(); }, lkFocused, "i"},
      {"Space goes down", [&] { KeyDown(B, VK_SPACE); }, lkSunken, "ik"},
      {"button goes down", [&] { Down(); }, lkSunken, "imk"},
      {"button goes up: Space still held", [&] { Up(); }, lkSunken, "ik"},
      {"Space goes up", [&] { KeyUp(B, VK_SPACE); }, lkFocused, "i"},
      // The other order.
      {"Space goes down", [&] { KeyDown(B, VK_SPACE); }, lkSunken, "ik"},
      {"button goes down", [&] { Down(); }, lkSunken, "imk"},
      {"Space goes up: button still held", [&] { KeyUp(B, VK_SPACE); }, lkSunken, "im"},
      {"button goes up", [&] { Up(); }, lkFocused, "i"},
  });
}

TEST_F(KoInteraction, DisablingWhilePressedAndHoveredShowsDisabledAndClearsEverything)
{
  B->SetTabStop(true);
  Run({
      {"pointer enters", [&] { In(); }, lkFocused, "i"},
      {"button goes down", [&] { Down(); }, lkSunken, "im"},
      {"disabled", [&] { B->SetEnabled(false); }, lkDisabled, ""},
      {"pointer moves over the disabled button", [&] { In(MK_LBUTTON); }, lkDisabled, ""},
      {"enabled with the pointer still over it", [&] { B->SetEnabled(true); }, lkRaised, ""},
      {"the next move", [&] { In(); }, lkFocused, "i"},
  });
  EXPECT_FALSE(B->Focused()) << "disabling took the focus away";
  EXPECT_EQ(PixelsOf(B).At(10, 10), static_cast<COLORREF>(kLookColors[lkFocused]));
}

TEST_F(KoInteraction, ShowMouseOverDecidesTheHoverLook)
{
  Run({
      {"pointer enters", [&] { In(); }, lkFocused, "i"},
      {"ShowMouseOver turned off while hovered", [&] { B->SetShowMouseOver(false); }, lkRaised, ""},
      {"the pointer moves on: inside again, no hover look", [&] { PointAt(B, 12, 12); }, lkRaised, "i"},
      {"the pointer leaves", [&] { ASSERT_TRUE(PointerLeaves(B)); }, lkRaised, ""},
      {"turned on again: nothing changes until the pointer comes", [&] { B->SetShowMouseOver(true); }, lkRaised, ""},
      {"pointer enters", [&] { In(); }, lkFocused, "i"},
  });
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"mouseenter b", "mouseenter b", "mouseleave b", "mouseenter b"}))
      << "turning it off ends the hover without a leave event";
}

TEST_F(KoInteraction, NoHoverLookAndNoClicksMeansThePointerIsNotFollowed)
{
  B->SetShowMouseOver(false);
  B->SetClicksDisabled(true);
  Run({
      {"pointer enters", [&] { In(); }, lkRaised, ""},
      {"button goes down", [&] { Down(); }, lkRaised, ""},
      {"button goes up: the framework's click all the same", [&] { Up(); }, lkRaised, ""},
      {"Space goes down", [&] { KeyDown(B, VK_SPACE); }, lkRaised, ""},
  });
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down b L 10,10", "up b L 10,10", "click b"}));
}

TEST_F(KoInteraction, ClicksDisabledKeepsAPressInProgressUntilItIsTurnedOffAgain)
{
  B->SetTabStop(true);
  Run({
      {"focus arrives", [&] { B->SetFocus(); }, lkFocused, ""},
      {"Space goes down", [&] { KeyDown(B, VK_SPACE); }, lkSunken, "k"},
      {"clicks disabled: the press stays", [&] { B->SetClicksDisabled(true); }, lkSunken, "k"},
      {"Space goes up, unheard", [&] { KeyUp(B, VK_SPACE); }, lkSunken, "k"},
      {"clicks enabled again: the press is cancelled", [&] { B->SetClicksDisabled(false); }, lkFocused, ""},
  });
}

TEST_F(KoInteraction, FocusChangesLeaveAHoveredOrPressedLookAlone)
{
  B->SetTabStop(true);
  Run({
      {"pointer enters", [&] { In(); }, lkFocused, "i"},
      {"focus arrives while hovered", [&] { B->SetFocus(); }, lkFocused, "i"},
      {"focus leaves while hovered", [&] { Other->SetFocus(); }, lkFocused, "i"},
      {"button goes down: focus again", [&] { Down(); }, lkSunken, "im"},
      {"focus leaves while the button is held", [&] { Other->SetFocus(); }, lkSunken, "im"},
      {"button goes up", [&] { Up(); }, lkFocused, "i"},
  });
}

TEST_F(KoInteraction, TheWindowSystemsOwnPointerDrivesHoverAndClick)
{
  const TPoint inside = B->ClientToScreen(Point(20, 12));
  ASSERT_TRUE(RunXdotool({"mousemove", std::to_string(inside.x), std::to_string(inside.y)}));
  ASSERT_TRUE(PumpUntil([&] { return B->MouseInside(); }));
  EXPECT_EQ(B->GetRequestedState(), lkFocused);

  ASSERT_TRUE(RunXdotool({"click", "1"}));
  ASSERT_TRUE(PumpUntil([&] { return !Log.Entries.empty() && Log.Entries.back() == "click b"; }));
  EXPECT_EQ(B->GetRequestedState(), lkFocused);

  // Straight out of the button and the form: only the leave notification tells the button.
  ASSERT_TRUE(RunXdotool({"mousemove", "1200", "1000"}));
  ASSERT_TRUE(PumpUntil([&] { return !B->MouseInside(); }));
  EXPECT_EQ(B->GetRequestedState(), lkRaised);
  EXPECT_EQ(Log.Entries.back(), "mouseleave b");
  EXPECT_EQ(PixelsOf(B).At(10, 10), static_cast<COLORREF>(kLookColors[lkRaised]));
}

TEST_F(KoInteraction, ARecreatedWindowStillLearnsThatThePointerLeft)
{
  In();
  ASSERT_TRUE(B->MouseInside());
  SetCursorPos(1200, 1000);
  B->RecreateWnd();
  EXPECT_TRUE(PumpUntil([&] { return !B->MouseInside(); }));
  EXPECT_EQ(B->GetRequestedState(), lkRaised);
}

namespace {

// Frees the button from one of its events.
struct TFreer {
  KoButton* Button = nullptr;
  void Free(TObject*) { delete Button; }
  void FreeKey(TObject*, char&) { delete Button; }
};

} // namespace

TEST_F(KoInteraction, AHandlerThatFreesTheButtonEndsTheMessagePath)
{
  const struct {
    const char* event;
    std::function<void(KoButton*, TFreer*)> wire;
    std::function<void(KoButton*)> act;
  } cases[] = {
      {"OnMouseEnter", [](KoButton* b, TFreer* f) { b->OnMouseEnter = TNotifyEvent(f, &TFreer::Free); },
       [](KoButton* b) {
         // The real pointer stays away: its own move would free the button before the message below.
         SendMessageA(b->GetHandle(), WM_MOUSEMOVE, 0, At(5, 5));
       }},
      {"OnMouseLeave", [](KoButton* b, TFreer* f) { b->OnMouseLeave = TNotifyEvent(f, &TFreer::Free); },
       [](KoButton* b) {
         PointAt(b, 5, 5);
         ParkPointer();
       }},
      {"OnEnter of a press", [](KoButton* b, TFreer* f) { b->OnEnter = TNotifyEvent(f, &TFreer::Free); },
       [](KoButton* b) { ButtonDown(b, 5, 5); }},
      {"OnKeyPress of Space", [](KoButton* b, TFreer* f) { b->OnKeyPress = TKeyPressEvent(f, &TFreer::FreeKey); },
       [](KoButton* b) { Char(b, ' '); }},
      {"OnClick of Space", [](KoButton* b, TFreer* f) { b->OnClick = TNotifyEvent(f, &TFreer::Free); },
       [](KoButton* b) { Char(b, ' '); }},
  };
  const int before = Form->ControlCount();
  for (const auto& c : cases) {
    ParkPointer();
    auto* button = AddButton("gone", 100, 20);
    button->SetTabStop(true);
    TFreer freer{button};
    c.wire(button, &freer);
    c.act(button);
    EXPECT_TRUE(PumpUntil([&] { return Form->ControlCount() == before; })) << c.event;
  }
}
