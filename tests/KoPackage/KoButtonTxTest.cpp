// The text button: where the caption goes, its colour per look read back from the pixels, the pressed
// displacement, word wrap and the font's change handler.
#include "KoFixture.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr TColor kCaption = clNavy;

class KoCaption : public TKoFormTest {
protected:
  void SetUp() override
  {
    TKoFormTest::SetUp();
    Button = new KoButtonTx(Form);
    Button->SetName("t");
    Button->SetBounds(20, 20, 60, 30);
    Button->SetParent(Form);
    TFont* font = Button->GetFont();
    font->SetHeight(-16);
    font->SetStyle(TFontStyles{fsBold});
    font->SetColor(kCaption);
    Button->SetCaption("OK");
    LoadLookPictures(Button, 60, 30);
    Form->Show();
  }

  // Where pixels of `color` are on the button's window.
  RECT Box(TColor color) { return PixelsOf(Button).BoundsOf(static_cast<COLORREF>(color)); }
  int Count(TColor color) { return PixelsOf(Button).Count(static_cast<COLORREF>(color)); }

  KoButtonTx* Button = nullptr;
};

std::string Describe(const RECT& r)
{
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// Where the caption is: the pixels of a control's window that are not its face colour.
RECT InkBox(TWinControl* control, TColor face)
{
  const TClientPixels pixels(control->GetHandle());
  RECT box{control->GetWidth(), control->GetHeight(), 0, 0};
  for (int y = 0; y < control->GetHeight(); ++y)
    for (int x = 0; x < control->GetWidth(); ++x)
      if (pixels.At(x, y) != static_cast<COLORREF>(face)) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}

RECT Offset(RECT r, int dx, int dy)
{
  OffsetRect(&r, dx, dy);
  return r;
}

} // namespace

TEST_F(KoCaption, TheCaptionIsCentredInTheBoundsAndThenInPictureZero)
{
  auto* button = new KoButtonTx(Form);
  button->SetBounds(10, 60, 50, 30);
  button->SetCaption("OK");
  button->GetFont()->SetColor(clBlack);
  button->GetFont()->SetHeight(-12);
  EXPECT_EQ(button->GetTextRect(), Rect(0, 0, 50, 30)) << "before any picture";

  button->SetParent(Form);
  TBitmap picture;
  MakePicture(picture, 40, 24, kLookColors[lkRaised]);
  button->SetStatePicture(&picture, lkRaised);
  EXPECT_EQ(button->GetBoundsRect(), Rect(10, 60, 50, 84));
  EXPECT_EQ(button->GetTextRect(), Rect(0, 0, 40, 24)) << "the picture's full area";

  // A size the picture refuses leaves the caption centred on the picture.
  button->SetBounds(15, 60, 100, 80);
  EXPECT_EQ(button->GetTextRect(), Rect(0, 0, 40, 24));

  const RECT centred = InkBox(button, kLookColors[lkRaised]);
  EXPECT_NEAR((centred.left + centred.right) / 2.0, 20, 1.5) << Describe(centred);
  EXPECT_NEAR((centred.top + centred.bottom) / 2.0, 12, 2.5) << Describe(centred);

  button->SetTextBounds(0, 0, 20, 24);
  const RECT left = InkBox(button, kLookColors[lkRaised]);
  EXPECT_NEAR((left.left + left.right) / 2.0, 10, 1.5) << Describe(left);
}

TEST_F(KoCaption, TheCaptionColourFollowsTheRequestedLook)
{
  const COLORREF grayText = GetSysColor(COLOR_GRAYTEXT);
  Button->SetTabStop(true);
  ShowActive();
  const struct {
    const char* what;
    std::function<void()> act;
    TColor expected;
  } cases[] = {
      {"raised: the font's colour", [] {}, kCaption},
      {"hovered, no focused colour: the font's", [&] { PointAt(Button, 5, 5); }, kCaption},
      {"hovered, focused colour green", [&] { Button->GetFontColors()->SetFocused(clGreen); }, clGreen},
      {"pressed, no sunken colour: the font's", [&] { ButtonDown(Button, 5, 5); }, kCaption},
      {"pressed, sunken colour red", [&] { Button->GetFontColors()->SetSunken(clRed); }, clRed},
      {"released", [&] { ButtonUp(Button, 5, 5); }, clGreen},
      {"disabled, no disabled colour: grey text",
       [&] { Button->SetEnabled(false); }, static_cast<TColor>(grayText)},
      {"disabled, purple", [&] { Button->GetFontColors()->SetDisabled(clPurple); }, clPurple},
      {"a system colour, resolved", [&] { Button->GetFontColors()->SetDisabled(clHighlight); },
       static_cast<TColor>(GetSysColor(COLOR_HIGHLIGHT))},
      {"enabled: raised", [&] { Button->SetEnabled(true); }, kCaption},
  };
  const TColor candidates[] = {kCaption, clGreen, clRed, clPurple, static_cast<TColor>(grayText)};
  for (const auto& c : cases) {
    c.act();
    EXPECT_EQ(Button->GetFontColorOfCurState(), c.expected) << c.what;
    EXPECT_GT(Count(c.expected), 15) << c.what;
    for (TColor other : candidates) {
      if (other != c.expected) {
        EXPECT_EQ(Count(other), 0) << c.what << ": " << std::hex << other;
      }
    }
  }
}

TEST_F(KoCaption, APressMovesTheCaptionByHalfTheDisplacement)
{
  const RECT raised = Box(kCaption);
  ASSERT_GT(raised.right, raised.left);
  const struct {
    int dispX;
    int dispY;
  } cases[] = {{2, 2}, {10, 6}, {-4, 8}, {0, 0}};
  for (const auto& c : cases) {
    Button->SetDisp(c.dispX, c.dispY);
    EXPECT_EQ(Describe(Box(kCaption)), Describe(raised)) << "SetDisp alone changes nothing";
    ButtonDown(Button, 5, 5);
    EXPECT_EQ(Describe(Box(kCaption)), Describe(Offset(raised, c.dispX / 2, c.dispY / 2))) << c.dispX << "," << c.dispY;
    ButtonUp(Button, 5, 5);
    EXPECT_EQ(Describe(Box(kCaption)), Describe(raised));
  }

  // Redrawn while still pressed (the caption set again), the caption is not displaced; the next
  // press, an auto-repeated Space, displaces it again.
  Button->SetDisp(6, 6);
  KeyDown(Button, VK_SPACE);
  EXPECT_EQ(Describe(Box(kCaption)), Describe(Offset(raised, 3, 3)));
  Button->SetCaption("OK");
  EXPECT_EQ(Button->GetRequestedState(), lkSunken);
  EXPECT_EQ(Describe(Box(kCaption)), Describe(raised));
  KeyDown(Button, VK_SPACE, true);
  EXPECT_EQ(Describe(Box(kCaption)), Describe(Offset(raised, 3, 3)));
  KeyUp(Button, VK_SPACE);
  EXPECT_EQ(Describe(Box(kCaption)), Describe(raised));
}

TEST_F(KoCaption, ALongCaptionIsClippedOnOneLineOrBrokenIntoLinesFromTheTop)
{
  Button->SetCaption("WWWWWWWWWWWW");
  const RECT clipped = InkBox(Button, kLookColors[lkRaised]);
  EXPECT_EQ(clipped.left, 0) << Describe(clipped);
  EXPECT_EQ(clipped.right, 60) << Describe(clipped);
  EXPECT_LT(clipped.bottom - clipped.top, 18) << "one line: " << Describe(clipped);

  Button->SetCaption("one two three four five");
  const RECT centred = InkBox(Button, kLookColors[lkRaised]);
  Button->SetWordWrap(true);
  const RECT wrapped = InkBox(Button, kLookColors[lkRaised]);
  EXPECT_LT(wrapped.top, centred.top) << "top-aligned: " << Describe(wrapped) << " against " << Describe(centred);
  EXPECT_EQ(wrapped.bottom, 30) << "more than one line: " << Describe(wrapped);
  EXPECT_GT(wrapped.left, 1) << "no line is wider than the button: " << Describe(wrapped);

  // Prefix characters: "&&" is one ampersand, "&" underlines what follows.
  Button->SetWordWrap(false);
  Button->SetCaption("&&");
  const RECT ampersand = Box(kCaption);
  Button->SetCaption("&&&&");
  EXPECT_GT(Box(kCaption).right - Box(kCaption).left, ampersand.right - ampersand.left);
  Button->SetCaption("A");
  const RECT plain = Box(kCaption);
  Button->SetCaption("&A");
  EXPECT_GT(Box(kCaption).bottom, plain.bottom) << "underlined";
}

TEST_F(KoCaption, AFontChangeRedrawsTheCaptionAndReachesTheHandlerItReplaced)
{
  auto* button = new KoButtonTx(Form);
  button->SetParent(Form);
  button->SetBounds(100, 20, 60, 30);
  button->SetCaption("OK");
  LoadLookPictures(button, 60, 30);
  ASSERT_TRUE(button->GetParentFont());

  button->GetFont()->SetHeight(-16);
  button->GetFont()->SetColor(clMaroon);
  EXPECT_GT(PixelsOf(button).Count(static_cast<COLORREF>(clMaroon)), 15);
  // The framework's own handler of the font, chained after the button's, marks the font as the control's.
  EXPECT_FALSE(button->GetParentFont());
}

TEST_F(KoCaption, AButtonFollowingItsParentsFontRedrawsWhenTheParentsFontChanges)
{
  auto* button = new KoButtonTx(Form);
  button->SetParent(Form);
  button->SetBounds(100, 20, 60, 30);
  button->SetCaption("OK");
  LoadLookPictures(button, 60, 30);
  Form->GetFont()->SetHeight(-16);
  Form->GetFont()->SetColor(clOlive);
  EXPECT_TRUE(button->GetParentFont());
  EXPECT_GT(PixelsOf(button).Count(static_cast<COLORREF>(clOlive)), 15);
}

// The dialog recomposes its buttons' pictures while the pointer rests on one: the picture of the look on
// show is replaced, and its caption must stay.
TEST_F(KoCaption, ReplacingThePictureOfTheLookOnShowKeepsTheCaption)
{
  const struct {
    const char* what;
    std::function<void()> enter;
    TLook look;
  } cases[] = {
      {"raised", [] {}, lkRaised},
      {"hovered", [&] { PointAt(Button, 5, 5); }, lkFocused},
      {"pressed", [&] { ButtonDown(Button, 5, 5); }, lkSunken},
      {"disabled", [&] { Button->SetEnabled(false); }, lkDisabled},
  };
  constexpr TColor kNewFace = 0x30D0F0;
  for (const auto& c : cases) {
    c.enter();
    ASSERT_EQ(Button->GetShownState(), c.look) << c.what;
    TBitmap picture;
    MakePicture(picture, 60, 30, kNewFace);
    Button->SetStatePicture(&picture, c.look);
    EXPECT_GT(Count(kNewFace), 60 * 30 / 2) << c.what << ": the new picture is on show";
    EXPECT_GT(Count(Button->GetFontColorOfCurState()), 15) << c.what << ": the caption is drawn over it";
    LoadLookPictures(Button, 60, 30);
  }
}

TEST_F(KoCaption, ALookChangeIsOnTheScreenAtOnceWithItsCaption)
{
  // Whatever the system would still paint later is dropped: the pixels must already be there.
  const struct {
    const char* what;
    std::function<void()> act;
    TLook look;
  } cases[] = {
      {"hovered", [&] { PointAt(Button, 5, 5); }, lkFocused},
      {"pressed", [&] { ButtonDown(Button, 5, 5); }, lkSunken},
      {"released", [&] { ButtonUp(Button, 5, 5); }, lkFocused},
      {"left", [&] { SendMessageA(Button->GetHandle(), WM_MOUSELEAVE, 0, 0); }, lkRaised},
      {"the raised picture replaced at its size, as a skin reload does",
       [&] {
         TBitmap picture;
         MakePicture(picture, 60, 30, kLookColors[lkDisabled]);
         Button->SetStatePicture(&picture, 0);
       },
       lkDisabled},
  };
  for (const auto& c : cases) {
    c.act();
    ValidateRect(Button->GetHandle(), nullptr);
    EXPECT_GT(Count(kLookColors[c.look]), 60 * 30 / 2) << c.what;
    EXPECT_GT(Count(kCaption), 15) << c.what;
    for (TLook other : {lkRaised, lkSunken, lkFocused}) {
      if (other != c.look) {
        EXPECT_EQ(Count(kLookColors[other]), 0) << c.what << ": look " << other;
      }
    }
  }
}
