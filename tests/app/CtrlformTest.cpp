// The level dialog: its skins composed over the main picture, stepping through the levels, and the two
// modes with what each button writes.
#include "Ctrlform.h"
#include "PngReader.h"

#include "VantorFixture.h"
#include "VantorMessages.h"
#include "KoTrayIcon.h"

#include "KoButton.h"
#include "KoButtonTx.h"

#include "Bitmap.h"
#include "ExtCtrls.h"
#include "Picture.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// --- composing the skins -------------------------------------------------------------------------------------

void Fill(TBitmap& bitmap, int width, int height, uint32_t bgra)
{
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      std::memcpy(static_cast<uint8_t*>(bitmap.ScanLine(y)) + 4 * x, &bgra, 4);
}

uint32_t Pixel(TBitmap& bitmap, int x, int y)
{
  uint32_t bgra;
  std::memcpy(&bgra, static_cast<uint8_t*>(bitmap.ScanLine(y)) + 4 * x, 4);
  return bgra;
}

TEST(BlendSkin, EachChannelIsTheBackgroundBlendedWithTheSkinByItsAlphaAndTheAlphaGoes)
{
  TBitmap background;
  Fill(background, 4, 4, 0xFF204060);
  // Skins premultiplied, as ComposeSkin hands them over: transparent, opaque, half, nearly transparent.
  const struct {
    uint32_t Skin;
  } cases[] = {{0x00000000}, {0xFFFFFFFF}, {0x80808080}, {0x01FF0000}, {0xFE0000FE}};
  for (const auto& c : cases) {
    TBitmap skin;
    Fill(skin, 2, 2, c.Skin);
    BlendSkin(skin, background, 1, 1);
    const double a = (c.Skin >> 24) / 255.0;
    uint32_t expected = 0;
    for (int channel = 0; channel < 3; ++channel) {
      const int bg = (0x00204060 >> (8 * channel)) & 0xFF;
      const int colour = (c.Skin >> (8 * channel)) & 0xFF;
      expected |= static_cast<uint32_t>(static_cast<int>(bg * (1.0 - a) + colour * a)) << (8 * channel);
    }
    // The formula itself: a transparent skin shows the background, an opaque one itself.
    if (c.Skin == 0) {
      EXPECT_EQ(expected, 0x00204060u);
    }
    if (c.Skin == 0xFFFFFFFF) {
      EXPECT_EQ(expected, 0x00FFFFFFu);
    }
    EXPECT_EQ(Pixel(skin, 0, 0), expected) << std::hex << c.Skin;
    EXPECT_EQ(Pixel(skin, 1, 1), expected) << std::hex << c.Skin;
  }
}

TEST(BlendSkin, PixelsBeyondTheBackgroundAreBlendedOverBlackAndNothingOutsideIsRead)
{
  TBitmap background;
  Fill(background, 3, 3, 0xFF102030);
  // Half out on every side: corners, edges and a skin larger than the background.
  const struct {
    int Left, Top;
  } places[] = {{-1, -1}, {2, 2}, {-1, 2}, {2, -1}, {-5, -5}, {40, 40}};
  for (const auto& place : places) {
    TBitmap skin;
    Fill(skin, 5, 5, 0x80402010);
    BlendSkin(skin, background, place.Left, place.Top);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) {
        const int bx = place.Left + x, by = place.Top + y;
        const bool inside = bx >= 0 && bx < 3 && by >= 0 && by < 3;
        const uint32_t under = inside ? 0x102030u : 0u;
        const double a = 0x80 / 255.0;
        uint32_t expected = 0;
        for (int channel = 0; channel < 3; ++channel) {
          const int bg = (under >> (8 * channel)) & 0xFF;
          const int colour = (0x402010 >> (8 * channel)) & 0xFF;
          expected |= static_cast<uint32_t>(static_cast<int>(bg * (1.0 - a) + colour * a)) << (8 * channel);
        }
        ASSERT_EQ(Pixel(skin, x, y), expected) << place.Left << "," << place.Top << " at " << x << "," << y;
      }
  }
}

// --- the dialog ----------------------------------------------------------------------------------------------

// What a click on the button runs (the pointer's own clicks are the end-to-end tests' part).
void Press(KoButton* button)
{
  button->OnClick(button);
}

class Dialog : public VantorTest {
protected:
  void SetUp() override
  {
    VantorTest::SetUp();
    StartShown();
    KoSimClearCallLog();
  }

  bool Underlined() const { return ControlForm->CpuLabel->GetFont()->GetStyle().Contains(fsUnderline); }
  bool Bold() const { return ControlForm->CpuLabel->GetFont()->GetStyle().Contains(fsBold); }
  std::string Label() const { return ControlForm->CpuLabel->GetCaption(); }
  bool InQuestionMode() const
  {
    const bool question = ControlForm->OkButton->GetText() == "Yes";
    EXPECT_EQ(ControlForm->CancelButton->GetText(), question ? "No" : "Cancel");
    EXPECT_EQ(ControlForm->PrevButton->GetVisible(), !question);
    EXPECT_EQ(ControlForm->NextButton->GetVisible(), !question);
    EXPECT_EQ(ControlForm->MsgLabel->GetVisible(), question);
    return question;
  }
  std::vector<std::string> Writes()
  {
    uint32_t size = 0;
    KoSimGetCallLog(nullptr, &size);
    std::string log(size, '\0');
    KoSimGetCallLog(log.data(), &size);
    std::vector<std::string> writes;
    for (size_t at = log.find("AcpiSetItem("); at != std::string::npos; at = log.find("AcpiSetItem(", at + 1))
      writes.push_back(log.substr(at, log.find('\n', at) - at));
    return writes;
  }
};

TEST_F(Dialog, LiesOverTheMainWindowAsAnOwnedKeyedPopup)
{
  TControlForm& dialog = *ControlForm;
  EXPECT_EQ(GetWindow(dialog.GetHandle(), GW_OWNER), MainForm->GetHandle());
  EXPECT_TRUE(GetWindowLongA(dialog.GetHandle(), GWL_STYLE) & WS_POPUP);
  EXPECT_EQ(dialog.GetLeft(), MainForm->GetLeft());
  EXPECT_EQ(dialog.GetTop(), MainForm->GetTop());
  EXPECT_EQ(dialog.GetClientWidth(), 345);
  EXPECT_EQ(dialog.GetClientHeight(), 348);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(dialog.GetHandle(), &key, &alpha, &flags));
  EXPECT_TRUE(flags & LWA_COLORKEY);
  // The key as the bitmap reports its transparent colour; the flag in the top byte is not a colour.
  EXPECT_EQ(key & 0xFFFFFF, RGB(255, 0, 255));
  const struct {
    TControl* Control;
    int Left, Top;
  } places[] = {{dialog.PrevButton, 70, 177},  {dialog.NextButton, 282, 177}, {dialog.OkButton, 101, 261},
                {dialog.CancelButton, 205, 261}, {dialog.CpuLabel, 90, 100},  {dialog.MsgLabel, 94, 150}};
  for (const auto& place : places) {
    EXPECT_EQ(place.Control->GetLeft(), place.Left) << place.Control->Name();
    EXPECT_EQ(place.Control->GetTop(), place.Top) << place.Control->Name();
  }
  EXPECT_EQ(Label(), "Balanced");
  EXPECT_TRUE(Bold());
  EXPECT_TRUE(Underlined());
  EXPECT_FALSE(InQuestionMode());
}

TEST_F(Dialog, ButtonPicturesAreTheirSkinsOverTheMainPictureWithoutAlpha)
{
  TBitmap* raised = ControlForm->OkButton->GetAppearance()->GetRaisedBmp();
  TBitmap skin;
  ComposeSkinFile(SkinPath("yes_n.png"), &skin, *MainForm->Background->GetPicture()->GetBitmap(), 101, 261);
  EXPECT_EQ(raised->SaveToBytes(), skin.SaveToBytes());
  // Composed at another place the picture differs: the background shows through the skin's outline.
  TBitmap elsewhere;
  ComposeSkinFile(SkinPath("yes_n.png"), &elsewhere, *MainForm->Background->GetPicture()->GetBitmap(), 0, 0);
  EXPECT_NE(raised->SaveToBytes(), elsewhere.SaveToBytes());
  for (int y = 0; y < raised->GetHeight(); ++y)
    for (int x = 0; x < raised->GetWidth(); ++x)
      ASSERT_EQ(Pixel(*raised, x, y) >> 24, 0u) << x << "," << y;
}

// The new frame reaches the screen once, before the buttons' looks are composed over it (their repaints
// would hold it back), and afterwards every look lies over the frame that was pushed.
TEST_F(Dialog, ANextClickPushesTheNewFrameOnceThenComposesEveryLookOverIt)
{
  const HWND main = MainForm->GetHandle();
  TBitmap* nextRaised = ControlForm->NextButton->GetAppearance()->GetRaisedBmp();
  // A mark the composition cannot make (the frames may look alike under the button).
  TBitmap mark;
  Fill(mark, nextRaised->GetWidth(), nextRaised->GetHeight(), 0x80123456);
  nextRaised->Assign(&mark);
  const auto before = nextRaised->SaveToBytes();
  std::vector<bool> composedAtPush;
  s_onPush = [&](HWND window) {
    if (window == main)
      composedAtPush.push_back(nextRaised->SaveToBytes() != before);
  };
  Press(ControlForm->NextButton);
  s_onPush = nullptr;
  EXPECT_EQ(composedAtPush, std::vector<bool>{false});
  TBitmap& background = *MainForm->Background->GetPicture()->GetBitmap();
  const struct {
    KoButton* Button;
    const char* Names[4];
  } buttons[] = {{ControlForm->PrevButton, {"left_n.png", "left_d.png", "left_o.png", "left_un.png"}},
                 {ControlForm->NextButton, {"right_n.png", "right_d.png", "right_o.png", "right_un.png"}},
                 {ControlForm->OkButton, {"yes_n.png", "yes_d.png", "yes_o.png", nullptr}}};
  for (const auto& entry : buttons) {
    KoFourStateAppearance* looks = entry.Button->GetAppearance();
    TBitmap* pictures[] = {looks->GetRaisedBmp(), looks->GetSunkenBmp(), looks->GetFocusedBmp(),
                           looks->GetDisabledBmp()};
    for (int i = 0; i < 4; ++i) {
      if (!entry.Names[i])
        continue;
      TBitmap expected;
      ComposeSkinFile(SkinPath(entry.Names[i]), &expected, background, entry.Button->GetLeft(),
                      entry.Button->GetTop());
      EXPECT_EQ(pictures[i]->SaveToBytes(), expected.SaveToBytes()) << entry.Names[i];
    }
  }
}

TEST_F(Dialog, AComposedSkinIsTheSameFromTheDecodedCopyAndFollowsAFileChangedOnDisk)
{
  TBitmap& background = *MainForm->Background->GetPicture()->GetBitmap();
  const auto compose = [&](const std::wstring& path) {
    TBitmap composed;
    ComposeSkinFile(path, &composed, background, 101, 261);
    return composed.SaveToBytes();
  };
  const auto expected = [&](const char* name) { return compose(SkinPath(name)); };
  TTempFile file(".png");
  const std::wstring path = WidePath(file.Path());
  ASSERT_TRUE(CopyFileW(SkinPath("yes_n.png").c_str(), path.c_str(), FALSE));
  const auto first = compose(path);
  EXPECT_EQ(first, expected("yes_n.png"));
  EXPECT_EQ(compose(path), first) << "composed again from the decoded copy";
  // Another picture under the same name (a different size, so the change shows even within the file
  // time's resolution) is decoded anew.
  ASSERT_TRUE(CopyFileW(SkinPath("left_n.png").c_str(), path.c_str(), FALSE));
  EXPECT_EQ(compose(path), expected("left_n.png"));
  // A file that has gone is an error again, as on the first load.
  ASSERT_TRUE(DeleteFileA(file.Path().c_str()));
  EXPECT_THROW(compose(path), EFOpenError);
}

TEST_F(Dialog, PrevAndNextWrapAndTheLabelIsUnderlinedOnlyOnTheBiosLevel)
{
  const struct {
    bool Next;
    DWORD Selected;
    const char* Label;
    bool Underlined;
    int Frame;
  } steps[] = {
      {true, 3, "Performance", false, 1}, {true, 4, "Maximum", false, 2}, {true, 0, "Standard", false, 3},
      {false, 4, "Maximum", false, 0},    {false, 3, "Performance", false, 1}, {false, 2, "Balanced", true, 2},
      {false, 1, "Quiet", false, 3},      {false, 0, "Standard", false, 0},    {false, 4, "Maximum", false, 1},
  };
  for (const auto& step : steps) {
    Press((step.Next ? ControlForm->NextButton : ControlForm->PrevButton));
    EXPECT_EQ(ControlForm->GetSelectedLevel(), step.Selected) << step.Label;
    EXPECT_EQ(Label(), step.Label);
    EXPECT_EQ(Underlined(), step.Underlined) << step.Label;
    EXPECT_TRUE(Bold()) << step.Label;
    EXPECT_EQ(MainForm->GetFrameIndex(), step.Frame) << step.Label;
  }
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(ControlForm->GetCurrentLevel(), 2u);
}

TEST_F(Dialog, PrevFromALevelBeyondTheSignedRangeWrapsToTheLastLevel)
{
  // Such levels only come from a BIOS that holds one; Prev counts them as negative.
  const struct {
    uint32_t Held;
    DWORD Selected;
  } cases[] = {{0x7FFFFFFFu, 0x7FFFFFFEu}, {0x80000000u, 4}, {0x80000001u, 4}, {0xFFFFFFFFu, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Held);
    Load(VantorLayout(0, R"({"id": "0x0F080000", "value": )" + std::to_string(c.Held) + R"(, "default": 2,
                              "options": ["Standard", "Quiet", "Balanced", "Performance", "Maximum"]})"));
    ControlForm->OnActivate(ControlForm);
    ASSERT_EQ(ControlForm->GetSelectedLevel(), c.Held);
    Press(ControlForm->PrevButton);
    EXPECT_EQ(ControlForm->GetSelectedLevel(), c.Selected);
  }
}

TEST_F(Dialog, ActivationGoesBackToTheLevelTheBiosHolds)
{
  Press(ControlForm->NextButton);
  ASSERT_EQ(Label(), "Performance");
  ControlForm->OnActivate(ControlForm);
  EXPECT_EQ(ControlForm->GetSelectedLevel(), 2u);
  EXPECT_EQ(Label(), "Balanced");
  EXPECT_TRUE(Underlined());
}

TEST_F(Dialog, OkOnALevelWithoutRestartProbesAppliesAndHides)
{
  Press(ControlForm->NextButton);
  Press(ControlForm->OkButton);
  const std::vector<std::string> writes = Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], "AcpiSetItem(0x0f080000, 3, 0) = 0x1"); // the probe: no restart needed
  EXPECT_EQ(writes[1], "AcpiSetItem(0x0f080000, 3, 1) = 0x1");
  EXPECT_EQ(writes[2].rfind("AcpiSetItem(0x09000000, ", 0), 0u) << writes[2];
  EXPECT_EQ(Value(kLevelItem), 3u);
  EXPECT_TRUE(BothHidden());
  EXPECT_TRUE(RebootFlags.empty());
  EXPECT_FALSE(QuitPosted());
}

TEST_F(Dialog, OkOnTheLevelTheBiosHoldsStillProbesAndAppliesIt)
{
  Press(ControlForm->OkButton);
  const std::vector<std::string> writes = Writes();
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[0], "AcpiSetItem(0x0f080000, 2, 0) = 0x1");
  EXPECT_EQ(writes[1], "AcpiSetItem(0x0f080000, 2, 1) = 0x1");
  EXPECT_TRUE(BothHidden());
}

TEST_F(Dialog, CancelHidesAndWritesNothing)
{
  Press(ControlForm->NextButton);
  Press(ControlForm->CancelButton);
  EXPECT_TRUE(BothHidden());
  EXPECT_TRUE(Writes().empty());
  // The next show reads the BIOS again.
  SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
  EXPECT_EQ(Label(), "Balanced");
}

TEST_F(Dialog, OkOnALevelThatNeedsARestartAsksFirstAndNoGoesBack)
{
  Press(ControlForm->PrevButton);
  Press(ControlForm->PrevButton); // level 0, frame 2
  Press(ControlForm->OkButton);
  EXPECT_TRUE(InQuestionMode());
  EXPECT_EQ(ControlForm->MsgLabel->GetCaption(), "The setting needs a system restart,\nDo you want to apply it?");
  // The probe only; its answer says that a restart is needed.
  EXPECT_EQ(Writes(), std::vector<std::string>{"AcpiSetItem(0x0f080000, 0, 0) = 0x3"});
  EXPECT_EQ(MainForm->GetFrameIndex(), 2);
  EXPECT_TRUE(BothVisible());

  Press(ControlForm->CancelButton); // No
  EXPECT_FALSE(InQuestionMode());
  EXPECT_EQ(ControlForm->GetSelectedLevel(), 0u);
  EXPECT_EQ(Label(), "Standard");
  EXPECT_EQ(MainForm->GetFrameIndex(), 3);
  EXPECT_EQ(Writes().size(), 1u);
  EXPECT_EQ(Value(kLevelItem), 2u);
  EXPECT_TRUE(RebootFlags.empty());
  EXPECT_TRUE(BothVisible());
}

TEST_F(Dialog, YesAppliesRequestsTheRebootAndEndsTheProgram)
{
  Press(ControlForm->PrevButton);
  Press(ControlForm->PrevButton);
  Press(ControlForm->OkButton);
  ASSERT_TRUE(InQuestionMode());
  Press(ControlForm->OkButton); // Yes
  EXPECT_EQ(Value(kLevelItem), 0u);
  EXPECT_EQ(RebootFlags, std::vector<UINT>{EWX_REBOOT});
  EXPECT_TRUE(QuitPosted());
}

// What the user was told, once: the text, the program's name as caption, over the dialog.
void ExpectToldOnce(const TSysRecorder& recorder, const char* text, HWND owner)
{
  ASSERT_EQ(recorder.Boxes.size(), 1u);
  EXPECT_EQ(recorder.Boxes[0].text, text);
  EXPECT_EQ(recorder.Boxes[0].caption, "CPU Vantor");
  EXPECT_EQ(recorder.Boxes[0].owner, owner);
}

TEST_F(Dialog, OkOnALevelTheBiosRefusesKeepsTheWindowsUpShowsTheBiosLevelAndSaysSo)
{
  TSysRecorder recorder;
  Press(ControlForm->NextButton);
  ASSERT_EQ(Label(), "Performance");
  KoSimSetAnswer(2, kLevelItem, 0, -1); // the probe and the write both refused
  Press(ControlForm->OkButton);
  EXPECT_TRUE(BothVisible());
  EXPECT_FALSE(InQuestionMode());
  EXPECT_EQ(ControlForm->GetSelectedLevel(), 2u);
  EXPECT_EQ(Label(), "Balanced");
  EXPECT_TRUE(Underlined());
  ExpectToldOnce(recorder, kLevelNotApplied, ControlForm->GetHandle());
  EXPECT_EQ(Writes(), (std::vector<std::string>{"AcpiSetItem(0x0f080000, 3, 0) = 0x0",
                                                 "AcpiSetItem(0x0f080000, 3, 1) = 0x0"}));
  EXPECT_TRUE(RebootFlags.empty());
  EXPECT_FALSE(QuitPosted());
}

TEST_F(Dialog, YesOnALevelTheBiosRefusesRestartsNothingAndGoesBackToNormalMode)
{
  TSysRecorder recorder;
  Press(ControlForm->PrevButton);
  Press(ControlForm->PrevButton);
  Press(ControlForm->OkButton);
  ASSERT_TRUE(InQuestionMode());
  KoSimSetAnswer(2, kLevelItem, 0, 1); // the write refused
  Press(ControlForm->OkButton);        // Yes
  EXPECT_TRUE(RebootFlags.empty());
  EXPECT_FALSE(QuitPosted());
  EXPECT_FALSE(MainForm->IsClosing());
  EXPECT_FALSE(InQuestionMode());
  EXPECT_TRUE(BothVisible());
  EXPECT_EQ(Label(), "Balanced");
  EXPECT_TRUE(Underlined());
  EXPECT_EQ(Value(kLevelItem), 2u);
  EXPECT_EQ(Value(kCompanionItem), 1u);
  ExpectToldOnce(recorder, kLevelNotApplied, ControlForm->GetHandle());
}

// The system may refuse the restart (no shutdown privilege, a program or a policy says no): the level
// waits for the next restart and the program stays, in the notification area.
TEST_F(Dialog, ARefusedRestartLeavesTheLevelPendingAndTheProgramRunning)
{
  SysApi().ExitWindowsEx = [this](UINT flags, DWORD) -> BOOL {
    RebootFlags.push_back(flags);
    return FALSE;
  };
  TSysRecorder recorder;
  Press(ControlForm->PrevButton);
  Press(ControlForm->PrevButton);
  Press(ControlForm->OkButton);
  Press(ControlForm->OkButton); // Yes
  EXPECT_EQ(Value(kLevelItem), 0u);
  EXPECT_EQ(RebootFlags, std::vector<UINT>{EWX_REBOOT});
  EXPECT_FALSE(QuitPosted());
  EXPECT_FALSE(MainForm->IsClosing());
  EXPECT_TRUE(BothHidden());
  EXPECT_TRUE(MainForm->TrayIcon);
  ExpectToldOnce(recorder, kLevelPendingRestart, nullptr);

  // The same through UM_APPLY_LEVEL, which answers that the level waits.
  recorder.Boxes.clear();
  SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
  ASSERT_TRUE(BothVisible());
  EXPECT_EQ(SendMessageA(MainForm->GetHandle(), UM_APPLY_LEVEL, 3, 0), UM_APPLY_PENDING);
  EXPECT_EQ(Value(kLevelItem), 3u);
  EXPECT_FALSE(QuitPosted());
  EXPECT_TRUE(BothHidden());
  ExpectToldOnce(recorder, kLevelPendingRestart, nullptr);
}

TEST_F(Dialog, TheQuestionSurvivesHidingButTheSelectionReturnsToTheBiosLevel)
{
  Press(ControlForm->NextButton);
  Press(ControlForm->NextButton); // level 4
  Press(ControlForm->OkButton);
  ASSERT_TRUE(InQuestionMode());
  SendMessageA(MainForm->GetHandle(), UM_HIDE, UM_TAG, 0);
  SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
  EXPECT_TRUE(InQuestionMode());
  EXPECT_EQ(ControlForm->GetSelectedLevel(), 2u);
  Press(ControlForm->OkButton); // Yes applies the level the BIOS holds
  EXPECT_EQ(Value(kLevelItem), 2u);
  EXPECT_EQ(RebootFlags, std::vector<UINT>{EWX_REBOOT});
}

TEST_F(VantorTest, WithoutLevelNamesPrevAndNextChangeNoCaption)
{
  Load(VantorLayout(0, "", 6)); // the companion offers too few options: no names are read
  MakeForms();
  EXPECT_TRUE(ControlForm->LevelNames.empty());
  EXPECT_EQ(ControlForm->CpuLabel->GetCaption(), kUnknownLevel);
  Press(ControlForm->NextButton);
  Press(ControlForm->PrevButton);
  Press(ControlForm->PrevButton);
  EXPECT_EQ(ControlForm->CpuLabel->GetCaption(), kUnknownLevel);
  EXPECT_EQ(MainForm->GetFrameIndex(), 3);
}

// The label never shows the form's design caption, nor claims (underlined) a level the BIOS does not hold.
TEST_F(VantorTest, ALevelTheBiosHoldsButDoesNotListIsShownAsUnknown)
{
  const struct {
    const char* Case;
    std::string Layout;
  } cases[] = {
      {"a value past the last option",
       VantorLayout(0, R"({"id": "0x0F080000", "value": 7, "max": 9,
                           "options": ["Standard", "Quiet", "Balanced", "Performance", "Maximum"]})")},
      {"an item without options", VantorLayout(0, R"({"id": "0x0F080000", "value": 0, "options": []})")},
      {"no names read", VantorLayout(0, "", 6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    Load(c.Layout);
    MakeForms();
    const auto label = [] { return ControlForm->CpuLabel->GetCaption(); };
    const auto underlined = [] { return ControlForm->CpuLabel->GetFont()->GetStyle().Contains(fsUnderline); };
    SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
    PumpPending();
    EXPECT_EQ(label(), kUnknownLevel);
    EXPECT_FALSE(underlined());
    // Back to the last listed level with Prev: it is not the one the BIOS holds.
    for (int i = 0; i < 3; ++i)
      Press(ControlForm->PrevButton);
    EXPECT_FALSE(underlined()) << label();
    Press(ControlForm->CancelButton);
    SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
    PumpPending();
    EXPECT_EQ(label(), kUnknownLevel);
    EXPECT_FALSE(underlined());
    delete ControlForm;
    delete MainForm;
  }
}

// The label's pixels as the dialog shows them: a copy of its part of the dialog's window.
std::vector<COLORREF> LabelPixels(int& width, int& height)
{
  const TLabel* label = ControlForm->CpuLabel;
  width = label->GetWidth();
  height = label->GetHeight();
  UpdateWindow(ControlForm->GetHandle());
  const HDC window = GetDC(ControlForm->GetHandle());
  std::vector<COLORREF> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.push_back(GetPixel(window, label->GetLeft() + x, label->GetTop() + y));
  ReleaseDC(ControlForm->GetHandle(), window);
  return pixels;
}

TEST_F(VantorTest, ALevelNameTooLongForTheLabelEndsInAnEllipsis)
{
  Load(VantorLayout(0, R"({"id": "0x0F080000", "value": 0,
                           "options": ["Short", "Performance Extreme Overdrive Turbo Boost Maximum"]})"));
  MakeForms();
  SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
  PumpPending();
  // Not the level the BIOS holds: no underline runs through the measurements.
  Press(ControlForm->NextButton);
  int width = 0, height = 0;
  const std::vector<COLORREF> pixels = LabelPixels(width, height);
  const auto ink = [&](int x, int y) { return pixels[static_cast<size_t>(y * width + x)] == RGB(70, 133, 226); };
  // Columns with ink, and for each the rows it covers.
  int left = width, right = -1;
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < height; ++y)
      if (ink(x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  ASSERT_LT(left, right) << "no text";
  // Cut at both sides, glyphs run into both edges; ended with an ellipsis, the text stops short of them.
  EXPECT_GT(left, 0);
  EXPECT_LT(right, width - 1);
  // The last ink is the ellipsis's dots: only a few rows at the foot of the text, where letters are tall.
  int tallest = 0;
  for (int x = right - 8; x <= right; ++x) {
    int rows = 0;
    for (int y = 0; y < height; ++y)
      rows += ink(x, y) ? 1 : 0;
    tallest = std::max(tallest, rows);
  }
  EXPECT_LE(tallest, 4) << "the text's end is a letter, not an ellipsis";
}

} // namespace
