// The brick: three looks that follow pointer, focus and enabling but never a press, clicks and double
// clicks from the framework only, its picture loader and the copy of its appearance.
#include "KoFixture.h"

#include "KoBrick.h"

#include <functional>
#include <string>
#include <vector>

namespace {

// State indices and colours of a brick's three looks.
enum TBrickLook { bkNormal = 0, bkFocused = 1, bkDisabled = 2 };
constexpr TColor kBrickColors[3] = {kLookColors[lkRaised], kLookColors[lkFocused], kLookColors[lkDisabled]};

class KoBrickLooks : public TKoFormTest {
protected:
  // A brick of 40 x 24 with the pictures of the looks given (the others left empty).
  KoBrick* AddBrick(const std::string& name, int left, std::initializer_list<TBrickLook> looks = {bkNormal, bkFocused,
                                                                                                   bkDisabled})
  {
    auto* brick = new KoBrick(Form);
    brick->SetName(name);
    brick->SetBounds(left, 20, 40, 24);
    brick->SetParent(Form);
    for (TBrickLook look : looks) {
      TBitmap picture;
      MakePicture(picture, 40, 24, kBrickColors[look]);
      brick->SetStatePicture(&picture, look);
    }
    brick->HandleNeeded();
    return brick;
  }

  static COLORREF Shown(KoBrick* brick) { return PixelsOf(brick).At(20, 12); }
};

} // namespace

TEST_F(KoBrickLooks, PointerFocusAndEnablingChooseTheLookButNothingPressesIt)
{
  KoBrick* brick = AddBrick("b", 20);
  brick->SetTabStop(true);
  Log.WatchMouse(brick);
  ShowActive();
  const struct {
    const char* what;
    std::function<void()> act;
    int state;
  } steps[] = {
      {"pointer enters", [&] { PointAt(brick, 10, 10); }, bkFocused},
      {"button goes down: no sunken look", [&] { ButtonDown(brick, 10, 10); }, bkFocused},
      {"button goes up", [&] { ButtonUp(brick, 10, 10); }, bkFocused},
      {"pointer leaves", [&] { ASSERT_TRUE(PointerLeaves(brick)); }, bkNormal},
      {"focus arrives", [&] { brick->SetFocus(); }, bkFocused},
      {"Space goes down", [&] { KeyDown(brick, VK_SPACE); }, bkFocused},
      {"Return goes down", [&] { KeyDown(brick, VK_RETURN); }, bkFocused},
      {"focus leaves", [&] { Other->SetFocus(); }, bkNormal},
      {"disabled", [&] { brick->SetEnabled(false); }, bkDisabled},
      {"enabled", [&] { brick->SetEnabled(true); }, bkNormal},
  };
  for (const auto& step : steps) {
    step.act();
    EXPECT_EQ(brick->GetRequestedState(), step.state) << step.what;
    EXPECT_EQ(Shown(brick), static_cast<COLORREF>(kBrickColors[step.state])) << step.what;
    EXPECT_FALSE(brick->MousePressed() || brick->KeyPressed()) << step.what;
  }
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down b L 10,10", "up b L 10,10", "click b"}));
}

TEST_F(KoBrickLooks, AnEmptyFocusedOrDisabledPictureShowsTheNormalOne)
{
  KoBrick* brick = AddBrick("b", 20, {bkNormal});
  Form->Show();
  PointAt(brick, 10, 10);
  EXPECT_EQ(brick->GetRequestedState(), bkFocused);
  EXPECT_EQ(brick->GetShownState(), bkNormal);
  EXPECT_EQ(Shown(brick), static_cast<COLORREF>(kBrickColors[bkNormal]));
  brick->SetEnabled(false);
  EXPECT_EQ(brick->GetRequestedState(), bkDisabled);
  EXPECT_EQ(Shown(brick), static_cast<COLORREF>(kBrickColors[bkNormal]));

  // The picture arriving for the requested look is shown at once.
  TBitmap picture;
  MakePicture(picture, 40, 24, kBrickColors[bkDisabled]);
  brick->GetAppearance()->SetDisabledBmp(&picture);
  EXPECT_EQ(Shown(brick), static_cast<COLORREF>(kBrickColors[bkDisabled]));
}

TEST_F(KoBrickLooks, KeysNeverClickABrickAndAQuickSecondClickIsADoubleClick)
{
  KoBrick* brick = AddBrick("b", 20);
  brick->SetTabStop(true);
  Log.WatchMouse(brick);
  ShowActive();
  brick->SetFocus();
  const COLORREF before = Shown(brick);
  for (WORD key : {VK_SPACE, VK_RETURN}) {
    KeyDown(brick, key);
    Char(brick, static_cast<char>(key == VK_SPACE ? ' ' : '\r'));
    KeyUp(brick, key);
  }
  EXPECT_TRUE(Log.Entries.empty());
  EXPECT_EQ(Shown(brick), before);

  const HWND window = brick->GetHandle();
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  SendMessageA(window, WM_LBUTTONUP, 0, At(5, 5));
  SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
  SendMessageA(window, WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down b L 5,5", "up b L 5,5", "click b", "dblclick b",
                                                   "down b L 5,5 double", "up b L 5,5"}));
}

TEST_F(KoBrickLooks, EnteringWithTheButtonHeldTakesTheFocusAndShowsTheNormalPicture)
{
  const struct {
    bool tabStop;
    bool focused;
  } cases[] = {{true, true}, {false, false}};
  int left = 20;
  for (const auto& c : cases) {
    KoBrick* brick = AddBrick("held" + std::to_string(left), left);
    left += 60;
    brick->SetTabStop(c.tabStop);
    ShowActive();
    Other->SetFocus();
    PointAt(brick, 10, 10, MK_LBUTTON);
    EXPECT_EQ(brick->Focused(), c.focused) << c.tabStop;
    EXPECT_EQ(brick->GetRequestedState(), bkNormal) << c.tabStop;
    EXPECT_EQ(Shown(brick), static_cast<COLORREF>(kBrickColors[bkNormal])) << c.tabStop;
    SendMessageA(brick->GetHandle(), WM_LBUTTONUP, 0, At(10, 10));
  }
}

TEST_F(KoBrickLooks, LoadBitmapReplacesTheNamedPicturesOnlyAndChangesNothingWhenOneCannotBeRead)
{
  KoBrick* brick = AddBrick("b", 20);
  const TPictureFile normal("ko_bn.bmp", 30, 20, clRed);
  const TPictureFile focused("ko_bf.bmp", 30, 20, clGreen);
  const TPictureFile disabled("ko_bd.bmp", 30, 20, clGray);
  const auto colours = [&] {
    std::vector<COLORREF> shown;
    for (int i = 0; i < 3; ++i) {
      TBitmap* picture = brick->GetStatePicture(i);
      shown.push_back(PixelOf(*picture, picture->GetWidth() - 1, 0));
    }
    return shown;
  };

  EXPECT_TRUE(brick->LoadBitmap(ExeDir(), "ko_bn.bmp", "", ""));
  EXPECT_EQ(colours(), (std::vector<COLORREF>{static_cast<COLORREF>(clRed), static_cast<COLORREF>(kBrickColors[1]),
                                              static_cast<COLORREF>(kBrickColors[2])}));
  EXPECT_EQ(brick->GetWidth(), 30) << "the new normal picture's size";

  EXPECT_THROW(brick->LoadBitmap(ExeDir(), "", "ko_bf.bmp", "ko_missing.bmp"), EFOpenError);
  EXPECT_EQ(colours()[1], static_cast<COLORREF>(kBrickColors[1])) << "read before anything is replaced";

  EXPECT_TRUE(brick->LoadBitmap(ExeDir(), "ko_bn.bmp", "ko_bf.bmp", "ko_bd.bmp"));
  EXPECT_EQ(colours(), (std::vector<COLORREF>{static_cast<COLORREF>(clRed), static_cast<COLORREF>(clGreen),
                                              static_cast<COLORREF>(clGray)}));
  EXPECT_THROW(brick->LoadBitmap("", "ko_bn.bmp", "", ""), ERangeError);
}

TEST_F(KoBrickLooks, CopyingAnAppearanceCopiesTheThreePicturesAndRefusesOtherClasses)
{
  KoBrick* source = AddBrick("source", 20, {bkNormal, bkDisabled});
  KoBrick* target = AddBrick("target", 100);
  KoThreeStateAppearance* own = target->GetAppearance();
  target->SetAppearance(source->GetAppearance());
  EXPECT_EQ(target->GetAppearance(), own);
  EXPECT_FALSE(target->IsStateEmpty(bkNormal));
  EXPECT_TRUE(target->IsStateEmpty(bkFocused)) << "an empty picture empties the copy";
  EXPECT_EQ(PixelOf(*target->GetStatePicture(bkDisabled), 0, 0), static_cast<COLORREF>(kBrickColors[bkDisabled]));
  EXPECT_NE(target->GetStatePicture(bkNormal), source->GetStatePicture(bkNormal));

  KoButton* button = AddButton("button", 180, 20);
  EXPECT_THROW(target->GetAppearance()->Assign(button->GetAppearance()), EInvalidCast);
  EXPECT_THROW(button->GetAppearance()->Assign(target->GetAppearance()), EInvalidCast);
  EXPECT_THROW(target->SetAppearance(nullptr), EConvertError);
  EXPECT_FALSE(target->IsStateEmpty(bkNormal));
  EXPECT_FALSE(button->IsStateEmpty(lkFocused));
}
