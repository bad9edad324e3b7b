// Groups of figures: bounds, proportional scaling from the recorded layout, and polygon shapes that scale.
#include "Graphics/FigureBase.h"
#include "Graphics/Shape.h"

#include "GraphicsFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using orvo::CompositeFigure;
using orvo::CompositeScalableFig;

namespace {

// A scalable figure that records what is asked of it.
struct TFakeFigure : orvo::ScalableFigure {
  TFakeFigure(int left, int top, int width, int height, std::vector<std::string>* log = nullptr, const char* name = "")
      : X(left), Y(top), W(width), H(height), RefW(width), RefH(height), Log(log), Name(name)
  {
  }
  void Draw() override { Record("draw"); }
  void Erase() override { Record("erase"); }
  void MoveBy(int dx, int dy) override
  {
    X += dx;
    Y += dy;
  }
  int Left() const override { return X; }
  int Top() const override { return Y; }
  int Width() const override { return W; }
  int Height() const override { return H; }
  void Scale(int width, int height) override
  {
    W = width;
    H = height;
  }
  void Update() override
  {
    RefW = W;
    RefH = H;
    ++Updates;
  }
  int OriginalWidth() const override { return RefW; }
  int OriginalHeight() const override { return RefH; }
  TRect Box() const { return Bounds(X, Y, W, H); }

  void Record(const char* what)
  {
    if (Log)
      Log->push_back(std::string(what) + " " + Name);
  }

  int X, Y, W, H, RefW, RefH;
  int Updates = 0;
  std::vector<std::string>* Log;
  std::string Name;
};

// Expects `call` to fail the assertion `expression` in `file`.
void ExpectAssertion(const std::function<void()>& call, const std::string& expression, const std::string& file)
{
  TThrowingAsserts asserts;
  try {
    call();
    ADD_FAILURE() << expression << " did not fail";
  } catch (const TAssertionFailure& failure) {
    const std::string expected = "Assertion failed: " + expression + ", file " + file + ", line ";
    EXPECT_EQ(std::string(failure.what()).substr(0, expected.size()), expected);
  }
}

} // namespace

TEST(CompositeScalableFig, ScalesMembersFromTheRecordedLayoutInProportion)
{
  const struct {
    TRect group;
    TRect member;
    int width, height;
    TRect scaled;
  } cases[] = {
      // Offsets (50, 25) and size 20 x 10 at half size: 10 + trunc(50 x 0.5), 10 + trunc(25 x 0.5).
      {Rect(10, 10, 110, 60), Bounds(60, 35, 20, 10), 50, 25, Bounds(35, 22, 10, 5)},
      // A third truncates: 10 becomes 3.
      {Rect(0, 0, 30, 30), Bounds(10, 10, 10, 10), 10, 10, Bounds(3, 3, 3, 3)},
      {Rect(0, 0, 30, 30), Bounds(10, 10, 10, 10), 60, 15, Bounds(20, 5, 20, 5)},
      {Rect(5, 5, 25, 25), Bounds(5, 5, 20, 20), 0, 0, Bounds(5, 5, 0, 0)},
  };
  for (const auto& c : cases) {
    TFakeFigure member(c.member.left, c.member.top, RectWidth(c.member), RectHeight(c.member));
    CompositeScalableFig group(c.group.left, c.group.top, c.group.right, c.group.bottom);
    group.Add(&member);
    group.Scale(c.width, c.height);
    EXPECT_EQ(member.Box(), c.scaled) << c.width << " x " << c.height;
    EXPECT_EQ(Bounds(group.Left(), group.Top(), group.Width(), group.Height()),
              Bounds(c.group.left, c.group.top, c.width, c.height));
    // Back to the reference size: the recorded place and size, not a product of the truncated ones.
    group.Scale(RectWidth(c.group), RectHeight(c.group));
    EXPECT_EQ(member.Box(), c.member) << "after " << c.width << " x " << c.height;
    EXPECT_EQ(group.OriginalWidth(), RectWidth(c.group)) << "scaling records nothing";
  }
}

TEST(CompositeScalableFig, AddingAndRemovingRecordTheCurrentLayout)
{
  TFakeFigure a(0, 0, 10, 10);
  TFakeFigure b(20, 0, 10, 10);
  TFakeFigure stranger(0, 0, 5, 5);
  CompositeScalableFig group(0, 0, 40, 20);
  group.Add(&a);
  group.Add(&b);
  EXPECT_EQ(group.Count(), 2u);
  EXPECT_EQ(group.Offset(1), std::make_pair(20, 0));

  group.Scale(20, 10);
  a.MoveBy(1, 1);  // the layout now differs from the recorded one
  const int updates = a.Updates;
  group.Remove(&stranger);
  EXPECT_EQ(group.Count(), 2u);
  EXPECT_EQ(a.Updates, updates + 1) << "a stranger's removal still records the layout";
  EXPECT_EQ(group.Offset(0), std::make_pair(1, 1));
  EXPECT_EQ(group.Offset(1), std::make_pair(10, 0));
  EXPECT_EQ(group.OriginalWidth(), 20);
  EXPECT_EQ(group.OriginalHeight(), 10);

  group.Remove(&a);
  ASSERT_EQ(group.Count(), 1u);
  EXPECT_EQ(group.Member(0), &b);
  EXPECT_EQ(group.Offset(0), std::make_pair(10, 0)) << "the offsets follow their members";

  // A new reference size: the top-left corner moves, the bottom-right corner and the offsets stay.
  group.SetOriginalRect(Rect(2, 0, 42, 10));
  EXPECT_EQ(group.OriginalWidth(), 40);
  EXPECT_EQ(group.OriginalHeight(), 10);
  EXPECT_EQ(Bounds(group.Left(), group.Top(), group.Width(), group.Height()), Bounds(2, 0, 18, 10));
  group.Scale(20, 10);
  EXPECT_EQ(b.Box(), Bounds(7, 0, 2, 5)) << "offset 10 and width 5 of a reference 40 wide, at 20";
}

TEST(CompositeFigure, DrawsErasesAndMovesItsMembersInOrder)
{
  std::vector<std::string> log;
  TFakeFigure a(0, 0, 4, 4, &log, "a");
  TFakeFigure b(8, 8, 4, 4, &log, "b");
  CompositeFigure group(0, 0, 10, 10);
  group.Draw();
  group.MoveBy(5, 7);
  EXPECT_TRUE(log.empty()) << "an empty group draws nothing";
  EXPECT_EQ(Bounds(group.Left(), group.Top(), group.Width(), group.Height()), Bounds(5, 7, 10, 10));
  group.MoveBy(-5, -7);

  group.Add(&a);
  ExpectAssertion([&] { group.Add(&b); }, "figurePtr->Left() >= m_left && figurePtr->Top() >= m_top && figurePtr->Left() + figurePtr->Width() <= m_left + m_width && figurePtr->Top() + figurePtr->Height() <= m_top + m_height", "FigureBase.h");
  EXPECT_EQ(group.Count(), 1u) << "a figure outside is not taken";
  b.MoveBy(-4, -4);
  group.Add(&b);
  EXPECT_EQ(b.Box(), Bounds(4, 4, 4, 4)) << "adding does not move";
  group.Draw();
  group.Erase();
  group.MoveBy(5, 7);
  EXPECT_EQ(log, (std::vector<std::string>{"draw a", "draw b", "erase a", "erase b"}));
  EXPECT_EQ(b.Box(), Bounds(9, 11, 4, 4));
  EXPECT_EQ(a.Box(), Bounds(5, 7, 4, 4));
  EXPECT_EQ(group.Left(), 5);
}

TEST(CompositeFigure, BoundsAreCheckedWhereTheLayoutChanges)
{
  TFakeFigure member(10, 10, 10, 10);
  CompositeFigure group(0, 0, 30, 30);
  group.Add(&member);
  CompositeScalableFig empty;
  const std::string outside = "(*first)->Left() >= rect.left && (*first)->Top() >= rect.top && (*first)->Width() + (*first)->Left() <= rect.right && (*first)->Height() + (*first)->Top() <= rect.bottom";
  const struct {
    std::string expression;
    const char* file;
    std::function<void()> call;
  } cases[] = {
      {"m_width >=0 && m_height >=0", "FigureBase.h", [] { CompositeFigure(0, 0, -1, 5); }},
      {"m_width >=0 && m_height >=0", "FigureBase.cpp", [&] { group.SetRect(Rect(0, 0, 30, -1)); }},
      {outside, "FigureBase.cpp", [&] { group.SetRect(Rect(11, 0, 30, 30)); }},
      {outside, "FigureBase.cpp", [&] { group.SetRect(Rect(0, 0, 19, 30)); }},
      {"m_originalWidth > 0 && m_originalHeight > 0", "FigureBase.cpp", [&] { empty.Scale(10, 10); }},
  };
  for (const auto& c : cases)
    ExpectAssertion(c.call, c.expression, c.file);
  group.SetRect(Rect(10, 10, 20, 20));
  EXPECT_EQ(group.Width(), 10) << "a rectangle that just holds the member is taken";
}

TEST(PolygonShape, ScalesItsBoxFromTheReferenceAndRounds)
{
  using orvo::PolygonShape;
  const struct {
    std::vector<TPoint> points;
    int width, height;
    std::vector<TPoint> scaled;
  } cases[] = {
      {{{4, 2}, {12, 2}, {12, 3}, {4, 3}}, 16, 2, {{4, 2}, {20, 2}, {20, 4}, {4, 4}}},
      // x: 0, 1.5 -> 2 (half rounds up), 3; y factor 1.
      {{{0, 0}, {2, 0}, {4, 1}}, 3, 1, {{0, 0}, {2, 0}, {3, 1}}},
      // A box without width is given one first: its first point moves right by 1, the factor is the width.
      {{{2, 4}, {2, 9}}, 3, 10, {{5, 4}, {2, 14}}},
  };
  for (const auto& c : cases) {
    const PolygonShape reference(c.points);
    PolygonShape shape = reference;
    shape.ScaleFrom(reference, c.width, c.height);
    EXPECT_EQ(shape.Points(), c.scaled) << c.width << " x " << c.height;
    EXPECT_EQ(RectWidth(shape.Bounds()), c.width);
    EXPECT_EQ(RectHeight(shape.Bounds()), c.height);
  }

  // A figure squeezed to nothing and grown again is the figure it was, wherever it was moved meanwhile.
  struct TNoPainter {
    TCanvas* Canvas() const { return nullptr; }
    TColor Background() const { return 0; }
    void SetColor(TColor) {}
  };
  const std::vector<TPoint> triangle{{8, 20}, {10, 23}, {6, 20}};
  orvo::PolygonFigure<TNoPainter> figure(PolygonShape(triangle), nullptr);
  figure.Scale(0, 0);
  figure.MoveBy(3, 1);
  figure.Scale(1, 1);
  figure.Scale(figure.OriginalWidth(), figure.OriginalHeight());
  figure.MoveBy(-3, -1);
  EXPECT_EQ(figure.GetShape().Points(), triangle);
}

TEST(ShapeFigure, ErasingCoversWhatDrawingPaintedInTheBackground)
{
  struct TBitmapPainter {
    TBitmap* Target;
    TCanvas* Canvas() const { return Target->GetCanvas(); }
    TColor Background() const { return clWhite; }
    void SetColor(TColor color)
    {
      Canvas()->GetPen()->SetColor(color);
      Canvas()->GetBrush()->SetColor(color);
    }
  };
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(20, 20);
  Fill(target, clWhite);
  TBitmapPainter painter{&target};
  orvo::PolygonFigure<TBitmapPainter> polygon(orvo::PolygonShape({{2, 2}, {9, 2}, {9, 6}, {2, 6}}), &painter);
  orvo::CircleFigure<TBitmapPainter> circle(orvo::CircleShape(14, 14, 4), &painter);
  EXPECT_EQ(Bounds(circle.Left(), circle.Top(), circle.Width(), circle.Height()), Bounds(10, 10, 8, 8));
  painter.SetColor(clRed);
  polygon.Draw();
  circle.Draw();
  // The outline is painted too: right and bottom edges included.
  for (const TPoint p : {Point(2, 2), Point(9, 6), Point(5, 4), Point(14, 14)})
    EXPECT_EQ(PixelOf(target, p.x, p.y), static_cast<COLORREF>(clRed)) << p.x << "," << p.y;
  EXPECT_EQ(PixelOf(target, 10, 7), static_cast<COLORREF>(clWhite));
  polygon.Erase();
  circle.Erase();
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(PixelOf(target, x, y), static_cast<COLORREF>(clWhite)) << x << "," << y;
}
