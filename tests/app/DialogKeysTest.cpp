// The level dialog with the keyboard: the focus when it shows, what each key presses, and the focus look
// beside the pointer's.
#include "Ctrlform.h"

#include "VantorFixture.h"
#include "VantorMessages.h"

#include "KoButton.h"
#include "KoButtonTx.h"
#include "KoTrayIcon.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Pseudo keys: Shift+Tab; a Space held until it repeats once; a Return whose down went elsewhere.
constexpr WORD kShiftTab = 0x100 | VK_TAB;
constexpr WORD kSpaceRepeating = 0x100 | VK_SPACE;
constexpr WORD kReturnUpOnly = 0x100 | VK_RETURN;

// A key as the message loop hands it on: down and its character to the focused window, up to the one
// focused then.
void Type(WORD key)
{
  const WORD vk = key & 0xFF;
  const HWND focus = GetFocus();
  ASSERT_TRUE(focus);
  BYTE state[256];
  GetKeyboardState(state);
  state[VK_SHIFT] = key == kShiftTab ? 0x80 : 0;
  SetKeyboardState(state);
  const char typed = vk == VK_RETURN ? '\r' : vk == VK_SPACE ? ' ' : vk == VK_ESCAPE ? 0x1B : vk == VK_TAB ? '\t' : 0;
  for (int i = 0; key != kReturnUpOnly && i < (key == kSpaceRepeating ? 2 : 1); ++i) {
    SendMessageA(focus, WM_KEYDOWN, vk, i ? 0x40000001 : 1);
    if (typed)
      SendMessageA(focus, WM_CHAR, static_cast<unsigned char>(typed), i ? 0x40000001 : 1);
  }
  if (const HWND now = GetFocus())
    SendMessageA(now, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001));
  state[VK_SHIFT] = 0;
  SetKeyboardState(state);
}

class DialogKeys : public VantorTest {
protected:
  void SetUp() override
  {
    VantorTest::SetUp();
    // As the application starts: the main window shown, its first activation showing the dialog.
    MakeForms();
    MainForm->SetVisible(true);
    PumpUntil([] { return ControlForm->GetVisible(); }, 100);
    PumpPending();
  }
  bool InQuestion() const { return ControlForm->OkButton->GetText() == "Yes"; }
};

TEST_F(DialogKeys, TheShownDialogHasTheFocusOnOkWithoutShowingItUntilAKeyIsUsed)
{
  struct TCase {
    const char* name;
    std::function<void()> show;
  } cases[] = {
      {"start", [] {}},
      {"show message", [] { SendMessageA(MainForm->GetHandle(), UM_SHOW_INSTANCE, UM_TAG, 0); }},
      {"icon click", [] { MainForm->TrayIcon->OnClick(nullptr); }},
  };
  for (const TCase& c : cases) {
    if (&c != cases) {
      Type(VK_TAB); // moved on, so that the next show has to start again
      SendMessageA(MainForm->GetHandle(), UM_HIDE, UM_TAG, 0);
      PumpPending(); // the display's news of the hiding, which moves the foreground, before the show
    }
    c.show();
    PumpPending();
    EXPECT_EQ(GetForegroundWindow(), ControlForm->GetHandle()) << c.name;
    EXPECT_EQ(GetFocus(), ControlForm->OkButton->GetHandle()) << c.name;
    EXPECT_EQ(ControlForm->OkButton->GetRequestedState(), 0) << c.name;
  }
  // The keyboard shows where the focus is.
  Type(VK_TAB);
  EXPECT_EQ(GetFocus(), ControlForm->CancelButton->GetHandle());
  EXPECT_EQ(ControlForm->CancelButton->GetRequestedState(), 2);
  EXPECT_EQ(ControlForm->OkButton->GetRequestedState(), 0);
  // Brought to the front while it shows (the picture around it was clicked): the keyboard comes back to it.
  SetForegroundWindow(MainForm->GetHandle());
  ASSERT_NE(GetFocus(), ControlForm->CancelButton->GetHandle());
  SendMessageA(MainForm->GetHandle(), UM_FOREGROUND, UM_TAG, 0);
  EXPECT_EQ(GetFocus(), ControlForm->CancelButton->GetHandle());
}

TEST_F(DialogKeys, TheIconChosenWithTheKeyboardShowsTheFocusAtOnce)
{
  SendMessageA(MainForm->GetHandle(), UM_HIDE, UM_TAG, 0);
  PumpPending();
  SendMessageA(MainForm->TrayIcon->Window(), UM_TRAY_CALLBACK, kTrayIconId, NIN_KEYSELECT);
  PumpPending();
  EXPECT_TRUE(BothVisible());
  EXPECT_EQ(GetFocus(), ControlForm->OkButton->GetHandle());
  EXPECT_EQ(ControlForm->OkButton->GetRequestedState(), 2);
}

// Levels 0 to 4, the BIOS holds 2; 0 and 4 need a restart.
struct TKeyCase {
  const char* Name;
  std::vector<WORD> Keys;
  DWORD Selected;
  DWORD Bios;
  bool Shown;
  bool Question;
};

class DialogKeyTable : public DialogKeys, public ::testing::WithParamInterface<TKeyCase> {};

TEST_P(DialogKeyTable, PressesWhatTheKeySays)
{
  const TKeyCase& c = GetParam();
  for (WORD key : c.Keys)
    Type(key);
  PumpPending();
  // Hidden, the dialog may be activated on its way out, which shows the BIOS's level again.
  if (c.Shown) {
    EXPECT_EQ(ControlForm->GetSelectedLevel(), c.Selected);
  }
  EXPECT_EQ(Value(kLevelItem), c.Bios);
  EXPECT_EQ(BothVisible(), c.Shown);
  if (!c.Shown) {
    EXPECT_TRUE(BothHidden());
  }
  EXPECT_EQ(InQuestion(), c.Question);
  EXPECT_TRUE(RebootFlags.empty());
}

const TKeyCase kKeyCases[] = {
    {"RightSteps", {VK_RIGHT}, 3, 2, true, false},
    {"LeftWrapsToTheLast", {VK_LEFT, VK_LEFT, VK_LEFT}, 4, 2, true, false},
    {"ReturnAppliesAndHides", {VK_RIGHT, VK_RETURN}, 3, 3, false, false},
    {"EscapeCancels", {VK_RIGHT, VK_ESCAPE}, 3, 2, false, false},
    {"EscapeAnswersNo", {VK_LEFT, VK_LEFT, VK_RETURN, VK_ESCAPE}, 0, 2, true, false},
    {"ArrowsDoNothingInTheQuestion", {VK_LEFT, VK_LEFT, VK_RETURN, VK_RIGHT, VK_LEFT}, 0, 2, true, true},
    {"ReturnPressesTheFocusedCancel", {VK_RIGHT, VK_TAB, VK_RETURN}, 3, 2, false, false},
    {"ReturnPressesTheFocusedPrev", {VK_TAB, VK_TAB, VK_RETURN}, 1, 2, true, false},
    {"ShiftTabGoesBackToNext", {kShiftTab, VK_RETURN}, 3, 2, true, false},
    // Yes, No, Yes, No: a hidden arrow taking the focus would leave Return to Yes.
    {"TabSkipsTheHiddenArrows", {VK_LEFT, VK_LEFT, VK_RETURN, VK_TAB, VK_TAB, VK_TAB, VK_RETURN}, 0, 2, true, false},
    {"SpacePressesTheFocusedButton", {VK_RIGHT, VK_SPACE}, 3, 3, false, false},
    {"AHeldSpaceDoesNotAnswerTheQuestion", {VK_LEFT, VK_LEFT, kSpaceRepeating}, 0, 2, true, true},
    {"AReturnPressedElsewherePressesNothing", {VK_RIGHT, kReturnUpOnly}, 3, 2, true, false},
};

INSTANTIATE_TEST_SUITE_P(Keys, DialogKeyTable, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<TKeyCase>& info) { return std::string(info.param.Name); });

// The pointer alone never shows the focus it moves; with the keyboard in use, the focused button and the
// one under the pointer each show the focused picture.
TEST_F(DialogKeys, TheFocusLookAndTheHoverLookStayApart)
{
  KoButton* prev = ControlForm->PrevButton;
  KoButtonTx* ok = ControlForm->OkButton;
  const auto hover = [](KoButton* button) {
    SendMessageA(button->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(15, 15));
  };
  const auto leave = [](KoButton* button) { SendMessageA(button->GetHandle(), WM_MOUSELEAVE, 0, 0); };
  // A click with the pointer steps and takes the focus, unseen: leaving shows the raised picture as before.
  hover(prev);
  SendMessageA(prev->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 15));
  SendMessageA(prev->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(15, 15));
  leave(prev);
  EXPECT_EQ(ControlForm->GetSelectedLevel(), 1u);
  EXPECT_EQ(GetFocus(), prev->GetHandle());
  EXPECT_EQ(prev->GetRequestedState(), 0);

  Type(kShiftTab); // back to Cancel, and the focus shows
  Type(kShiftTab); // OK
  ASSERT_EQ(GetFocus(), ok->GetHandle());
  EXPECT_EQ(ok->GetRequestedState(), 2);
  hover(prev);
  EXPECT_EQ(prev->GetRequestedState(), 2);
  EXPECT_EQ(ok->GetRequestedState(), 2);
  leave(prev);
  EXPECT_EQ(prev->GetRequestedState(), 0);
  EXPECT_EQ(ok->GetRequestedState(), 2);
  // The pointer passing over the focused button leaves its focus look.
  hover(ok);
  leave(ok);
  EXPECT_EQ(ok->GetRequestedState(), 2);
}

} // namespace
