#include "ExtCtrls.h"
#include "GraphicsFixture.h"
#include "PaintFixture.h"
#include "StdCtrls.h"

#include <cstdlib>

namespace {


class Label : public TPaintTest {
protected:
  TLabel* NewLabel(const std::string& caption, TRect bounds, bool autoSize = false)
  {
    auto* label = new TLabel(Form);
    label->SetName("label");
    label->SetAutoSize(autoSize);
    label->SetBoundsRect(bounds);
    TFont* font = label->GetFont();
    font->SetName("MS Sans Serif");
    font->SetHeight(-20);
    font->SetStyle({fsBold});
    font->SetColor(clRed);
    label->SetCaption(caption);
    label->SetParent(Form);
    return label;
  }

  // Width of one line and height of a line in the label's font, measured by the system.
  static SIZE Extent(TLabel* label, const std::string& text)
  {
    TWindowDC screen(nullptr);
    TSelectObject font(screen.Get(), label->GetFont()->GetHandle());
    SIZE size{};
    GetTextExtentPoint32A(screen.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen.Get(), &metrics);
    size.cy = metrics.tmHeight;
    return size;
  }
};

} // namespace

TEST_F(Label, TextAppearsInTheFontColourAtTheAlignmentsSide)
{
  TLabel* label = NewLabel("Wm", Bounds(20, 10, 150, 30));
  const int textWidth = Extent(label, "Wm").cx;

  TClientPixels pixels = Pixels();
  EXPECT_GT(pixels.Count(kRed), 30);
  RECT box = pixels.BoundsOf(kRed);
  EXPECT_LE(box.left, 20 + 3);
  EXPECT_LE(box.right, 20 + textWidth + 1);

  label->SetAlignment(taRightJustify);
  pixels = Pixels();
  box = pixels.BoundsOf(kRed);
  EXPECT_GE(box.right, 170 - 3);
  EXPECT_LE(box.right, 170);
  EXPECT_GE(box.left, 170 - textWidth - 1);

  label->SetAlignment(taCenter);
  pixels = Pixels();
  box = pixels.BoundsOf(kRed);
  EXPECT_LE(std::abs((box.left - 20) - (170 - box.right)), 3) << box.left << ".." << box.right;
  EXPECT_EQ(pixels.Count(kRed, Rect(0, 0, 20, 120)) + pixels.Count(kRed, Rect(170, 0, 200, 120)), 0)
      << "nothing outside the label";
}

TEST_F(Label, LayoutPlacesTheTextBlockVertically)
{
  TLabel* label = NewLabel("W\nW", Bounds(20, 10, 150, 100));
  const int line = Extent(label, "W").cy;

  RECT top = Pixels().BoundsOf(kRed);
  EXPECT_GE(top.top, 10);
  EXPECT_LE(top.bottom, 10 + 2 * line);
  EXPECT_GT(top.bottom - top.top, line) << "two lines";

  label->SetLayout(tlBottom);
  RECT bottom = Pixels().BoundsOf(kRed);
  EXPECT_GE(bottom.top, 110 - 2 * line);
  EXPECT_LE(bottom.bottom, 110);
  EXPECT_EQ(bottom.top - top.top, 100 - 2 * line) << "moved by the spare height";

  label->SetLayout(tlCenter);
  RECT centre = Pixels().BoundsOf(kRed);
  EXPECT_EQ(centre.top - top.top, (100 - 2 * line) / 2);
}

TEST_F(Label, AutoSizeFitsTheTextAndARightAlignedLabelKeepsItsRightEdge)
{
  TLabel* label = NewLabel("Wide text\nW", Bounds(50, 10, 10, 10), true);
  const SIZE wide = Extent(label, "Wide text");
  EXPECT_EQ(label->GetBoundsRect(), Bounds(50, 10, wide.cx, 2 * wide.cy));

  label->SetCaption("");
  EXPECT_EQ(label->GetHeight(), wide.cy) << "an empty caption keeps one line";
  EXPECT_GT(label->GetWidth(), 0);

  label->SetCaption("W");
  const int right = label->GetLeft() + label->GetWidth();
  label->SetAlignment(taRightJustify);
  label->SetCaption("WWWW");
  EXPECT_EQ(label->GetLeft() + label->GetWidth(), right);
  EXPECT_EQ(label->GetWidth(), Extent(label, "WWWW").cx);

  label->SetAlignment(taLeftJustify);
  const int left = label->GetLeft();
  label->SetCaption("W");
  EXPECT_EQ(label->GetLeft(), left);

  // The ampersand marks an accelerator and takes no room unless shown as it is.
  label->SetCaption("&OK");
  EXPECT_EQ(label->GetWidth(), Extent(label, "OK").cx);
  label->SetShowAccelChar(false);
  EXPECT_EQ(label->GetWidth(), Extent(label, "&OK").cx);

  // A bigger font makes a bigger label. Measured in a scalable font: "MS Sans Serif" is a raster font
  // that comes in a few sizes only, where the system has it.
  label->GetFont()->SetName("Tahoma");
  const int height = label->GetHeight();
  label->GetFont()->SetHeight(-30);
  EXPECT_GT(label->GetHeight(), height);

  label->SetAutoSize(false);
  label->SetCaption("Much longer text");
  EXPECT_EQ(label->GetWidth(), Extent(label, "&OK").cx) << "without AutoSize the size stays";
}

TEST_F(Label, WordWrapBreaksLinesWithinTheWidth)
{
  TLabel* label = NewLabel("aaa bbb ccc", Bounds(10, 10, 200, 20), false);
  const SIZE word = Extent(label, "aaa bbb");
  label->SetBounds(10, 10, word.cx, 20);
  label->SetWordWrap(true);
  label->SetAutoSize(true);
  EXPECT_LE(label->GetWidth(), word.cx) << "as wide as the widest line";
  EXPECT_GT(label->GetWidth(), Extent(label, "aaa").cx);
  EXPECT_EQ(label->GetHeight(), 2 * word.cy);
  const RECT box = Pixels().BoundsOf(kRed);
  EXPECT_GT(box.bottom - box.top, word.cy) << "painted on two lines";
  EXPECT_LE(box.right, 10 + word.cx);
}

TEST_F(Label, OpaqueLabelFillsItsColourAndTransparentOneShowsWhatLiesBehind)
{
  // The dialog's case: a transparent label over a picture that fills the form.
  auto* background = new TImage(Form);
  background->SetBounds(0, 0, 200, 120);
  TBitmap face;
  FillBitmap(face, 200, 120, clFuchsia);
  background->GetPicture()->SetBitmap(&face);
  background->SetParent(Form);
  TLabel* label = NewLabel("OK", Bounds(20, 20, 100, 40));
  label->SetColor(clYellow);

  TClientPixels pixels = Pixels();
  EXPECT_EQ(pixels.At(21, 58), kYellow);
  EXPECT_EQ(pixels.At(119, 21), kYellow);
  EXPECT_EQ(pixels.At(19, 20), kMagenta);
  EXPECT_GT(pixels.Count(kRed), 30);

  label->SetTransparent(true);
  pixels = Pixels();
  EXPECT_EQ(pixels.Count(kYellow), 0);
  EXPECT_EQ(pixels.At(21, 58), kMagenta);
  EXPECT_GT(pixels.Count(kRed), 30);
  EXPECT_EQ(pixels.Count(kWhite), 0) << "the form's own colour is hidden by the picture everywhere";
}

TEST_F(Label, DisabledTextIsGreyAndHiddenLabelsPaintNothing)
{
  TLabel* label = NewLabel("Grey", Bounds(10, 10, 150, 40));
  const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
  label->SetEnabled(false);
  TClientPixels pixels = Pixels();
  EXPECT_EQ(pixels.Count(kRed), 0);
  EXPECT_GT(pixels.Count(grey), 30);

  label->SetEnabled(true);
  label->GetFont()->SetColor(clBlue);
  pixels = Pixels();
  EXPECT_EQ(pixels.Count(grey), 0);
  EXPECT_GT(pixels.Count(kBlue), 30);

  label->SetVisible(false);
  EXPECT_EQ(Pixels().Count(kBlue), 0);
  label->SetVisible(true);
  label->SetCaption("MsgLabel");
  EXPECT_GT(Pixels().Count(kBlue), 30);
}

TEST_F(Label, RepaintingLeaksNoGdiObjects)
{
  TLabel* label = NewLabel("Level", Bounds(10, 10, 150, 60));
  label->SetLayout(tlCenter);
  // Objects made once and kept (the canvas's DC, cached fonts) come in the warm-up round.
  const int rounds = 200;
  int before = 0;
  for (int i = 0; i < rounds; ++i) {
    if (i == 10)
      before = GdiObjectCount();
    label->SetCaption(i % 2 ? "The setting needs a system restart,\nDo you want to apply it?" : "Level");
    label->GetFont()->SetStyle(i % 2 ? TFontStyles{fsBold} : TFontStyles{fsBold, fsUnderline});
    label->SetEnabled(i % 3 != 0);
    UpdateWindow(Form->GetHandle());
  }
  ASSERT_GT(before, 0);
  EXPECT_LE(GdiObjectCount(), before);
}
