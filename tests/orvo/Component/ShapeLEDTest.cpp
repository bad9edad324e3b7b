// Segment LEDs made from glyph tables: every figure kind a table can hold, the glyph of each format
// character, state changes that draw, and the checks that guard the tables and indices.
#include "Component/LED/ShapeLED.h"

#include "GraphicsFixture.h"
#include "PaintFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using orvo::GlyphLED;
using orvo::LedColorPair;

namespace {

constexpr COLORREF kDark = RGB(14, 38, 62);
constexpr COLORREF kLight = RGB(10, 240, 10);

// A display of 60 x 30 on the form, black, with its painter.
class SegmentLed : public TPaintTest {
protected:
  void SetUp() override
  {
    TPaintTest::SetUp();
    Layer = std::make_unique<orvo::ShapeLayer>(Form, Form);
    Layer->SetBackground(clBlack);
    Layer->Resize(60, 30);
    Painter = std::make_unique<orvo::ShapePainter>(Layer.get());
  }
  void TearDown() override
  {
    Painter.reset();
    Layer.reset();
  }
  COLORREF At(int x, int y) const { return PixelOf(*Layer->Picture(), x, y); }

  std::unique_ptr<orvo::ShapeLayer> Layer;
  std::unique_ptr<orvo::ShapePainter> Painter;
  LedColorPair Colors;
};

void ExpectAssertion(const std::function<void()>& call, const std::string& expression)
{
  TThrowingAsserts asserts;
  try {
    call();
    ADD_FAILURE() << expression << " did not fail";
  } catch (const TAssertionFailure& failure) {
    const std::string expected = "Assertion failed: " + expression + ", file ";
    EXPECT_EQ(std::string(failure.what()).substr(0, expected.size()), expected);
  }
}

} // namespace

TEST_F(SegmentLed, AGlyphTableMayHoldEveryFigureKind)
{
  // Box 50 x 25; a polygon, a rectangle, an ellipse, a rounded rectangle, a circle and a square.
  const int32_t table[] = {6,  0, 0, 50, 25,                        //
                           0,  3, 1, 1, 6, 1, 1, 6,                 // polygon
                           1,  8, 1, 14, 7,                         // rectangle (8, 1)-(14, 7)
                           2,  16, 1, 24, 9,                        // ellipse
                           3,  26, 1, 36, 9, 4, 4,                  // rounded rectangle
                           4,  5, 17, 4,                            // circle round (5, 17), radius 4
                           5,  12, 12, 6};                          // square (12, 12), side 6
  GlyphLED glyph = orvo::ShapeLedFatory::Make(table, orvo::SixteenFigureLedType(), 5, Painter.get(), Colors);
  ASSERT_EQ(glyph->ChildCount(), 6u);
  const TRect boxes[] = {Rect(6, 1, 11, 6), Rect(13, 1, 19, 7), Rect(21, 1, 29, 9),
                         Rect(31, 1, 41, 9), Rect(6, 13, 14, 21), Rect(17, 12, 23, 18)};
  for (size_t i = 0; i < 6; ++i) {
    const orvo::Figure* figure = glyph->Child(i)->GetFigure();
    EXPECT_EQ(Bounds(figure->Left(), figure->Top(), figure->Width(), figure->Height()), boxes[i]) << "figure " << i;
    EXPECT_EQ(glyph->Child(i)->X(), boxes[i].left) << "each LED sits at its figure";
  }
  const orvo::Figure* group = glyph->GetFigure();
  EXPECT_EQ(Bounds(group->Left(), group->Top(), group->Width(), group->Height()), Bounds(5, 0, 50, 25));

  glyph->SetState(1);
  for (const TRect& box : boxes) {
    const int x = (box.left + box.right) / 2;
    const int y = (box.top + box.bottom) / 2;
    EXPECT_EQ(At(x, y), kLight) << x << "," << y;
  }
  glyph->SetState(0);
  EXPECT_EQ(At(10, 17), kDark) << "the circle, unlit";
}

TEST_F(SegmentLed, AStateChangeDrawsAndTheCurrentStateDoesNot)
{
  GlyphLED digit = orvo::BuilderOfStyle(0)->MakeDigit(0, Painter.get(), Colors);
  digit->SetState(orvo::DigitState(1));
  EXPECT_EQ(At(14, 5), kLight) << "upper right of a 1";
  EXPECT_EQ(At(4, 2), kDark) << "top of a 1";
  Layer->Canvas()->SetPixel(14, 5, clYellow);
  digit->SetState(orvo::DigitState(1));
  EXPECT_EQ(At(14, 5), static_cast<COLORREF>(clYellow)) << "nothing is drawn for the current state";
  digit->SetState(orvo::DigitState(7));
  EXPECT_EQ(At(14, 5), static_cast<COLORREF>(clYellow)) << "a segment that keeps its state is not drawn";
  EXPECT_EQ(At(4, 2), kLight) << "top of a 7";

  digit->SetColors(LedColorPair{orvo::OpaqueLedColor(clBlue), orvo::OpaqueLedColor(clRed)});
  digit->Refresh();
  EXPECT_EQ(At(14, 5), kRed);
  EXPECT_EQ(At(2, 4), kBlue) << "upper left, unlit";
}

TEST_F(SegmentLed, TableAndIndexErrorsFailTheirAssertions)
{
  GlyphLED digit = orvo::BuilderOfStyle(0)->MakeDigit(0, Painter.get(), Colors);
  orvo::BasicLED_Collector collector;
  const int32_t unknownKind[] = {1, 0, 0, 10, 10, 6, 0, 0};
  const int32_t cutShort[] = {1, 0, 0, 10, 10, 0, 4, 1, 1};
  ExpectAssertion([&] { digit->SetState(12); }, "state >= 0 && state < StateCount()");
  ExpectAssertion([&] { digit->SetState(-1); }, "state >= 0 && state < StateCount()");
  ExpectAssertion([&] { digit->Child(0)->SetState(2); }, "state >= 0 && state < StateCount()");
  ExpectAssertion([&] { collector.LEDAt(0); }, "indexOfLED < m_LEDs.size()");
  ExpectAssertion([&] { orvo::ShapeLedFatory::Make(unknownKind, orvo::PointLedType(), 0, Painter.get(), Colors); },
                  "false");
  ExpectAssertion([&] { orvo::ShapeLedFatory::Make(cutShort, orvo::PointLedType(), 0, Painter.get(), Colors); },
                  "m_next < m_table.size()");

  std::vector<GlyphLED> glyphs;
  glyphs.push_back(std::move(digit));
  collector.Replace(std::move(glyphs), 18, 22);
  EXPECT_EQ(collector.Count(), 1u);
  EXPECT_EQ(collector.Figure()->OriginalWidth(), 18);
  ExpectAssertion([&] { collector.LEDAt(1); }, "indexOfLED < m_LEDs.size()");
  EXPECT_EQ(orvo::BuilderOfStyle(1), nullptr) << "only the built-in style has glyphs";
}
