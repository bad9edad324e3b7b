// The text brick: its caption's colour per look read back from the pixels, where the caption sits, no
// pressed displacement, redrawing on font changes, and its properties in text.
#include "KoFixture.h"

#include "KoBrickTx.h"

#include "ComponentPalette.h"
#include "ComponentText.h"
#include "Published.h"

#include <functional>
#include <string>
#include <vector>

// A form whose method the bricks' double clicks name in text.
class TKoBrickDialog : public TForm {
public:
  explicit TKoBrickDialog(TComponent* owner) : TForm(owner) {}
  void BrickDblClick(TObject*) {}
};

namespace {

const auto kBrickDialogTable =
    PublishClass<TKoBrickDialog>().Method("BrickDblClick", &TKoBrickDialog::BrickDblClick);

constexpr TColor kCaption = clNavy;
constexpr TColor kFace = kLookColors[lkRaised];

class KoBrickCaption : public TKoFormTest {
protected:
  void SetUp() override
  {
    TKoFormTest::SetUp();
    Brick = new KoBrickTx(Form);
    Brick->SetName("t");
    Brick->SetBounds(20, 20, 60, 30);
    Brick->SetParent(Form);
    Brick->GetFont()->SetHeight(-16);
    Brick->GetFont()->SetStyle(TFontStyles{fsBold});
    Brick->GetFont()->SetColor(kCaption);
    Brick->SetCaption("OK");
    // One face colour for all three looks, so that only the caption tells them apart.
    for (int look = 0; look < 3; ++look) {
      TBitmap picture;
      MakePicture(picture, 60, 30, kFace);
      Brick->SetStatePicture(&picture, look);
    }
    Form->Show();
  }

  int Count(TColor color) { return PixelsOf(Brick).Count(static_cast<COLORREF>(color)); }
  RECT Box(TColor color) { return PixelsOf(Brick).BoundsOf(static_cast<COLORREF>(color)); }

  KoBrickTx* Brick = nullptr;
};

std::string Describe(const RECT& r)
{
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

} // namespace

TEST_F(KoBrickCaption, TheCaptionColourFollowsTheRequestedLook)
{
  const COLORREF grayText = GetSysColor(COLOR_GRAYTEXT);
  Brick->SetTabStop(true);
  ShowActive();
  const struct {
    const char* what;
    std::function<void()> act;
    TColor expected;
  } cases[] = {
      {"normal: the font's colour", [] {}, kCaption},
      {"focused, no focused colour: the font's", [&] { Brick->SetFocus(); }, kCaption},
      {"focused colour green", [&] { Brick->GetFontColors()->SetFocused(clGreen); }, clGreen},
      {"hovered as well: still the focused look", [&] { PointAt(Brick, 5, 5); }, clGreen},
      {"a press changes nothing", [&] { ButtonDown(Brick, 5, 5); }, clGreen},
      {"disabled, no disabled colour: grey text", [&] { Brick->SetEnabled(false); },
       static_cast<TColor>(grayText)},
      {"disabled colour purple", [&] { Brick->GetFontColors()->SetDisabled(clPurple); }, clPurple},
      {"enabled: normal again", [&] { Brick->SetEnabled(true); }, kCaption},
      {"the font's colour changes", [&] { Brick->GetFont()->SetColor(clMaroon); }, clMaroon},
  };
  const TColor candidates[] = {kCaption, clGreen, clPurple, clMaroon, static_cast<TColor>(grayText)};
  for (const auto& c : cases) {
    c.act();
    EXPECT_EQ(Brick->GetFontColorOfCurState(), c.expected) << c.what;
    EXPECT_GT(Count(c.expected), 15) << c.what;
    for (TColor other : candidates) {
      if (other != c.expected) {
        EXPECT_EQ(Count(other), 0) << c.what << ": " << std::hex << other;
      }
    }
  }
}

TEST_F(KoBrickCaption, ReplacingThePictureOfTheLookOnShowKeepsTheCaption)
{
  const struct {
    const char* what;
    std::function<void()> enter;
    int look;
  } cases[] = {
      {"normal", [] {}, 0},
      {"hovered", [&] { PointAt(Brick, 5, 5); }, 1},
      {"disabled", [&] { Brick->SetEnabled(false); }, 2},
  };
  constexpr TColor kNewFace = 0x30D0F0;
  for (const auto& c : cases) {
    c.enter();
    ASSERT_EQ(Brick->GetShownState(), c.look) << c.what;
    TBitmap picture;
    MakePicture(picture, 60, 30, kNewFace);
    Brick->SetStatePicture(&picture, c.look);
    EXPECT_GT(Count(kNewFace), 60 * 30 / 2) << c.what << ": the new picture is on show";
    EXPECT_GT(Count(Brick->GetFontColorOfCurState()), 15) << c.what << ": the caption is drawn over it";
    MakePicture(picture, 60, 30, kFace);
    Brick->SetStatePicture(&picture, c.look);
  }
}

TEST_F(KoBrickCaption, TheCaptionIsCentredOnOneLineAndNeverDisplaced)
{
  const RECT normal = Box(kCaption);
  ASSERT_GT(normal.right, normal.left);
  EXPECT_NEAR((normal.left + normal.right) / 2.0, 30, 1.5) << Describe(normal);
  EXPECT_NEAR((normal.top + normal.bottom) / 2.0, 15, 2.5) << Describe(normal);

  // The displacement is kept but a brick is never sunken, so nothing ever applies it.
  Brick->SetDisp(10, 8);
  EXPECT_EQ(Brick->GetDispX(), 10);
  Brick->SetTabStop(true);
  ShowActive();
  Brick->SetFocus();
  for (const auto& press : std::vector<std::function<void()>>{
           [&] { KeyDown(Brick, VK_SPACE); }, [&] { ButtonDown(Brick, 5, 5); }, [&] { KeyDown(Brick, VK_RETURN); }}) {
    press();
    EXPECT_EQ(Describe(Box(kCaption)), Describe(normal));
  }
  ButtonUp(Brick, 5, 5);

  // Always a single line: a long caption is clipped, not broken.
  Brick->SetCaption("WWWWWWWWWWWW");
  const RECT clipped = Box(kCaption);
  EXPECT_EQ(clipped.left, 0) << Describe(clipped);
  EXPECT_EQ(clipped.right, 60) << Describe(clipped);
  EXPECT_LT(clipped.bottom - clipped.top, 20) << Describe(clipped);

  // The caption rectangle can be narrowed; a move keeps the picture's size and the whole face again.
  Brick->SetCaption("OK");
  Brick->SetTextBounds(0, 0, 20, 30);
  const RECT left = Box(kCaption);
  EXPECT_NEAR((left.left + left.right) / 2.0, 10, 1.5) << Describe(left);
  Brick->SetBounds(30, 30, 100, 100);
  EXPECT_EQ(Brick->GetTextRect(), Rect(0, 0, 60, 30));
  EXPECT_EQ(Describe(Box(kCaption)), Describe(normal));
}

TEST_F(KoBrickCaption, FontChangesRedrawTheCaptionAndReachTheHandlerTheyReplaced)
{
  ASSERT_TRUE(Brick->GetParentFont() == false) << "set up with a font of its own";
  auto* follower = new KoBrickTx(Form);
  follower->SetParent(Form);
  follower->SetBounds(100, 20, 60, 30);
  follower->SetCaption("OK");
  TBitmap picture;
  MakePicture(picture, 60, 30, kFace);
  follower->SetStatePicture(&picture, 0);
  EXPECT_TRUE(follower->GetParentFont());
  Form->GetFont()->SetHeight(-16);
  Form->GetFont()->SetColor(clOlive);
  EXPECT_GT(PixelsOf(follower).Count(static_cast<COLORREF>(clOlive)), 15) << "the parent's font, followed";

  follower->GetFont()->SetColor(clTeal);
  EXPECT_GT(PixelsOf(follower).Count(static_cast<COLORREF>(clTeal)), 15);
  EXPECT_FALSE(follower->GetParentFont()) << "the framework's own handler ran after the brick's";
}

TEST_F(KoBrickCaption, TextBricksReadBackFromTheirTextWithCaptionColoursAndDoubleClicks)
{
  KoBrick::Register();
  KoBrickTx::Register();
  EXPECT_EQ(PalettePageOf("KoBrick"), "KoComponents");
  EXPECT_EQ(PalettePageOf("KoBrickTx"), "KoComponentsTx");

  auto* dialog = new TKoBrickDialog(App.Get());
  dialog->SetName("Dialog");
  auto* plain = new KoBrick(dialog);
  plain->SetName("Plain");
  plain->SetParent(dialog);
  auto* text = new KoBrickTx(dialog);
  text->SetName("Text");
  text->SetParent(dialog);
  text->SetCaption("Hi &there");
  text->SetShowMouseOver(false);
  text->GetFontColors()->SetDisabled(clRed);
  text->OnDblClick = TNotifyEvent(dialog, &TKoBrickDialog::BrickDblClick);
  text->SetEnabled(false);

  const std::string written = WriteComponentText(dialog);
  for (const char* line : {"KoBrick Plain", "KoBrickTx Text", "Caption = \"Hi &there\"", "ShowMouseOver = false",
                           "FontColors.Disabled = clRed", "OnDblClick = BrickDblClick", "Enabled = false"})
    EXPECT_NE(written.find(line), std::string::npos) << line << " missing from\n" << written;
  for (const char* absent : {"FontColors.Focused", "Bmp", "ClicksDisabled", "Visible"})
    EXPECT_EQ(written.find(absent), std::string::npos) << absent << " written in\n" << written;

  auto* fresh = new TKoBrickDialog(App.Get());
  fresh->SetName("Dialog");
  ReadComponentText(fresh, written);
  EXPECT_EQ(WriteComponentText(fresh), written);
  auto* copy = dynamic_cast<KoBrickTx*>(fresh->FindComponent("Text"));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetCaption(), "Hi &there");
  EXPECT_EQ(copy->GetFontColors()->GetDisabled(), clRed);
  EXPECT_EQ(copy->GetFontColorOfCurState(), clRed) << "read back disabled";
  EXPECT_EQ(copy->OnDblClick, TNotifyEvent(fresh, &TKoBrickDialog::BrickDblClick));
  delete dialog;
  delete fresh;
}
