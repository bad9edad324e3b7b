#include "Graphics/GraphicUtility.h"

#include "Bitmap.h"
#include "GraphicsFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kBackground = RGB(0, 0, 255);
constexpr COLORREF kBrushColor = RGB(255, 0, 0);
constexpr COLORREF kPenColor = RGB(0, 0, 0);

// A 40 x 40 blue picture whose canvas has a black pen, a red solid brush and a copy mode other than
// SRCCOPY, so that every helper has something to change and put back.
class TDrawingTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    Picture.SetPixelFormat(pf24bit);
    Picture.SetSize(40, 40);
    Canvas = Picture.GetCanvas();
    Clear();
  }

  // All background again, and the pen, brush and copy mode the tests start from.
  void Clear()
  {
    Fill(Picture, static_cast<TColor>(kBackground));
    Canvas->GetPen()->SetColor(static_cast<TColor>(kPenColor));
    Canvas->GetBrush()->SetColor(static_cast<TColor>(kBrushColor));
    Canvas->GetBrush()->SetStyle(bsSolid);
    Canvas->SetCopyMode(SRCINVERT);
  }

  int Count(COLORREF color)
  {
    int n = 0;
    for (int y = 0; y < Picture.GetHeight(); ++y)
      for (int x = 0; x < Picture.GetWidth(); ++x)
        n += PixelOf(Picture, x, y) == color;
    return n;
  }

  TBitmap Picture;
  TCanvas* Canvas = nullptr;
};

struct THelperCase {
  const char* Name;
  std::function<void(TCanvas*)> Draw;
};

const TPoint kTriangle[] = {{5, 5}, {34, 5}, {5, 34}};

std::vector<THelperCase> Helpers()
{
  return {
      {"FrameRectangle", [](TCanvas* c) { orvo::FrameRectangle(c, Rect(5, 5, 30, 25)); }},
      {"FillRectangle", [](TCanvas* c) { orvo::FillRectangle(c, Rect(5, 5, 30, 25)); }},
      {"FrameEllipse", [](TCanvas* c) { orvo::FrameEllipse(c, Rect(5, 5, 35, 35)); }},
      {"FillEllipse", [](TCanvas* c) { orvo::FillEllipse(c, Rect(5, 5, 35, 35)); }},
      {"FillRoundRect", [](TCanvas* c) { orvo::FillRoundRect(c, Rect(5, 5, 35, 35), 12, 12); }},
      {"FramePolygon", [](TCanvas* c) { orvo::FramePolygon(c, kTriangle, 3); }},
      {"FillPolygon", [](TCanvas* c) { orvo::FillPolygon(c, kTriangle, 3); }},
  };
}

} // namespace

// --- What each helper draws ----------------------------------------------------------------------------

// Fills show the brush's colour alone (no border of the pen's); frames show the pen's colour on the border
// and leave the inside and everything else as it was.
TEST_F(TDrawingTest, FillsAreOneColourAndFramesLeaveTheInsideAlone)
{
  struct TCase {
    const char* Name;
    std::function<void(TCanvas*)> Draw;
    TPoint Drawn;       // a pixel that must show the colour
    TPoint Untouched;   // a pixel that must keep the background
    COLORREF Colour;    // the only colour drawn
  };
  const TCase cases[] = {
      {"FillRectangle", [](TCanvas* c) { orvo::FillRectangle(c, Rect(5, 5, 30, 25)); }, {5, 5}, {30, 25}, kBrushColor},
      {"FillEllipse", [](TCanvas* c) { orvo::FillEllipse(c, Rect(5, 5, 35, 35)); }, {20, 20}, {6, 6}, kBrushColor},
      {"FillRoundRect", [](TCanvas* c) { orvo::FillRoundRect(c, Rect(5, 5, 35, 35), 12, 12); }, {5, 20}, {5, 5},
       kBrushColor},
      {"FillPolygon", [](TCanvas* c) { orvo::FillPolygon(c, kTriangle, 3); }, {10, 10}, {30, 30}, kBrushColor},
      {"FrameRectangle", [](TCanvas* c) { orvo::FrameRectangle(c, Rect(5, 5, 30, 25)); }, {29, 24}, {17, 15},
       kPenColor},
      {"FrameEllipse", [](TCanvas* c) { orvo::FrameEllipse(c, Rect(5, 5, 35, 35)); }, {5, 20}, {20, 20}, kPenColor},
      // (5, 20) lies on the closing edge, from the last point back to the first.
      {"FramePolygon", [](TCanvas* c) { orvo::FramePolygon(c, kTriangle, 3); }, {5, 20}, {12, 12}, kPenColor},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Clear();
    c.Draw(Canvas);
    EXPECT_EQ(PixelOf(Picture, c.Drawn.x, c.Drawn.y), c.Colour);
    EXPECT_EQ(PixelOf(Picture, c.Untouched.x, c.Untouched.y), kBackground);
    EXPECT_EQ(Count(c.Colour) + Count(kBackground), 40 * 40);
  }
  // The rectangle covers exactly its cells, right and bottom edges exclusive.
  Clear();
  orvo::FillRectangle(Canvas, Rect(5, 5, 30, 25));
  EXPECT_EQ(Count(kBrushColor), 25 * 20);
}

TEST_F(TDrawingTest, DrawBitmapPartCopiesTheSourceRectangleOneToOne)
{
  TBitmap source;
  MakePattern(source, 40, 30);
  orvo::DrawBitmapPart(Canvas, 0, 0, &source, Rect(10, 20, 30, 25));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(PixelOf(Picture, x, y), PixelOf(source, 10 + x, 20 + y)) << x << "," << y;
  // Nothing beyond the destination rectangle (0, 0, 20, 5), although the copy mode was SRCINVERT.
  EXPECT_EQ(PixelOf(Picture, 20, 0), kBackground);
  EXPECT_EQ(PixelOf(Picture, 0, 5), kBackground);
  EXPECT_EQ(Count(kBackground), 40 * 40 - 20 * 5);

  orvo::DrawBitmapPart(Canvas, 33, 31, &source, Rect(0, 0, 7, 9));
  EXPECT_EQ(PixelOf(Picture, 39, 39), PixelOf(source, 6, 8));
  EXPECT_EQ(PixelOf(Picture, 32, 31), kBackground);
}

// --- The canvas is left as it was found ----------------------------------------------------------------

TEST_F(TDrawingTest, PenColourBrushStyleAndCopyModeArePutBack)
{
  std::vector<THelperCase> cases = Helpers();
  TBitmap source;
  MakePattern(source, 10, 10);
  cases.push_back({"DrawBitmapPart", [&](TCanvas* c) { orvo::DrawBitmapPart(c, 1, 1, &source, Rect(0, 0, 5, 5)); }});
  for (TBrushStyle style : {bsSolid, bsCross})
    for (const THelperCase& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (style == bsSolid ? " solid" : " cross"));
      Canvas->GetBrush()->SetStyle(style);
      c.Draw(Canvas);
      EXPECT_EQ(Canvas->GetPen()->GetColor(), static_cast<TColor>(kPenColor));
      EXPECT_EQ(Canvas->GetBrush()->GetColor(), static_cast<TColor>(kBrushColor));
      EXPECT_EQ(Canvas->GetBrush()->GetStyle(), style);
      EXPECT_EQ(Canvas->GetCopyMode(), static_cast<DWORD>(SRCINVERT));
    }
}

TEST(DrawingFailure, StateIsPutBackWhenDrawingThrows)
{
  std::vector<THelperCase> cases = Helpers();
  TBitmap source;
  MakePattern(source, 10, 10);
  cases.push_back({"DrawBitmapPart", [&](TCanvas* c) { orvo::DrawBitmapPart(c, 1, 1, &source, Rect(0, 0, 5, 5)); }});
  for (const THelperCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TCanvas canvas;  // no device context: every drawing call throws
    canvas.GetPen()->SetColor(clGreen);
    canvas.GetBrush()->SetColor(clYellow);
    canvas.GetBrush()->SetStyle(bsDiagCross);
    canvas.SetCopyMode(SRCPAINT);
    EXPECT_THROW(c.Draw(&canvas), EInvalidGraphicOperation);
    EXPECT_EQ(canvas.GetPen()->GetColor(), clGreen);
    EXPECT_EQ(canvas.GetBrush()->GetStyle(), bsDiagCross);
    EXPECT_EQ(canvas.GetCopyMode(), static_cast<DWORD>(SRCPAINT));
  }
}

// --- Colour and rectangle helpers ----------------------------------------------------------------------

TEST(DrawingValues, ColourFlagsAreDroppedAndRectangleHelpersAreTheLibrarys)
{
  EXPECT_EQ(orvo::ColorToRgbPart(0x02FFFFFF), 0xFFFFFF);
  EXPECT_EQ(orvo::ColorToRgbPart(clSystemColor | COLOR_WINDOW), COLOR_WINDOW);
  using namespace orvo;
  const TRect rect = MakeRect(-3, 4, 17, 9);
  EXPECT_EQ(rect, Rect(-3, 4, 17, 9));
  EXPECT_EQ(RectWidth(rect), 20);  // one function, whichever namespace finds it
  EXPECT_EQ(RectHeight(rect), 5);
}
