#pragma once
// Filled shapes and the figure that draws one through a painter. A shape is the points or the box it is
// drawn through; it can be moved, and it takes a new size from a reference copy of itself, so that a
// figure scaled down and up again is the figure it was.
#include "Graphics/FigureBase.h"
#include "Graphics/GraphicUtility.h"

#include "Assertion.h"
#include "Canvas.h"
#include "Colors.h"
#include "Geometry.h"
#include "GraphicObjects.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace orvo {

// A closed polygon, filled and outlined in one colour.
class PolygonShape {
public:
  PolygonShape() = default;
  explicit PolygonShape(std::vector<TPoint> points) : m_points(std::move(points)) {}

  const std::vector<TPoint>& Points() const { return m_points; }

  // The box of the points: right and bottom are the largest coordinates.
  TRect Bounds() const
  {
    if (m_points.empty())
      return TRect{0, 0, 0, 0};
    TRect box{m_points[0].x, m_points[0].y, m_points[0].x, m_points[0].y};
    for (const TPoint& p : m_points) {
      box.left = std::min(box.left, p.x);
      box.top = std::min(box.top, p.y);
      box.right = std::max(box.right, p.x);
      box.bottom = std::max(box.bottom, p.y);
    }
    return box;
  }

  void MoveBy(int dx, int dy)
  {
    for (TPoint& p : m_points) {
      p.x += dx;
      p.y += dy;
    }
  }

  // Becomes `reference` stretched to a box of width x height, its top-left corner where this shape's is.
  // A reference without width (or height) is given one first, so that it can grow again.
  void ScaleFrom(const PolygonShape& reference, int width, int height)
  {
    if (reference.m_points.empty())
      return;
    const TRect at = Bounds();
    std::vector<TPoint> points = reference.m_points;
    const TRect box = reference.Bounds();
    double fx = width;
    double fy = height;
    if (box.right == box.left)
      points[0].x = box.left + 1;
    else
      fx = static_cast<double>(width) / (box.right - box.left);
    if (box.bottom == box.top)
      points[0].y = box.top + 1;
    else
      fy = static_cast<double>(height) / (box.bottom - box.top);
    for (TPoint& p : points) {
      p.x = at.left + static_cast<LONG>(std::floor((p.x - box.left) * fx + 0.5));
      p.y = at.top + static_cast<LONG>(std::floor((p.y - box.top) * fy + 0.5));
    }
    m_points = std::move(points);
  }

  void Draw(TCanvas* canvas) const
  {
    if (m_points.empty())
      return;
    const int count = static_cast<int>(m_points.size());
    FillPolygon(canvas, m_points.data(), count);
    // The fill's border is drawn with the pen in the brush's colour; in a pen of that colour, copied, the
    // outline would put the same pixels again.
    TPen* pen = canvas->GetPen();
    if (pen->GetColor() != canvas->GetBrush()->GetColor() || pen->GetMode() != pmCopy)
      FramePolygon(canvas, m_points.data(), count);
  }

private:
  std::vector<TPoint> m_points;
};

// Shapes drawn in a box: the box moves and takes the new size.
class BoxShape {
public:
  BoxShape() = default;
  explicit BoxShape(const TRect& box) : m_box(box) {}

  TRect Bounds() const { return m_box; }
  void MoveBy(int dx, int dy) { OffsetRect(&m_box, dx, dy); }

protected:
  void ScaleBox(int width, int height) { m_box = orvo::MakeRect(m_box.left, m_box.top, m_box.left + width, m_box.top + height); }

  TRect m_box{0, 0, 0, 0};
};

class RectangleShape : public BoxShape {
public:
  using BoxShape::BoxShape;
  void ScaleFrom(const RectangleShape&, int width, int height) { ScaleBox(width, height); }
  void Draw(TCanvas* canvas) const { FillRectangle(canvas, m_box); }
};

class EllipseShape : public BoxShape {
public:
  using BoxShape::BoxShape;
  void ScaleFrom(const EllipseShape&, int width, int height) { ScaleBox(width, height); }
  void Draw(TCanvas* canvas) const { FillEllipse(canvas, m_box); }
};

// Its corners' width and height follow the box's.
class RoundRectShape : public BoxShape {
public:
  RoundRectShape() = default;
  RoundRectShape(const TRect& box, int cornerWidth, int cornerHeight)
      : BoxShape(box), m_cornerWidth(cornerWidth), m_cornerHeight(cornerHeight)
  {
  }
  void ScaleFrom(const RoundRectShape& reference, int width, int height)
  {
    ScaleBox(width, height);
    m_cornerWidth = Follow(reference.m_cornerWidth, RectWidth(reference.m_box), width);
    m_cornerHeight = Follow(reference.m_cornerHeight, RectHeight(reference.m_box), height);
  }
  void Draw(TCanvas* canvas) const { FillRoundRect(canvas, m_box, m_cornerWidth, m_cornerHeight); }
  int CornerWidth() const { return m_cornerWidth; }
  int CornerHeight() const { return m_cornerHeight; }

private:
  static int Follow(int corner, int from, int to)
  {
    return from > 0 ? static_cast<int>(std::floor(static_cast<double>(corner) * to / from + 0.5)) : corner;
  }

  int m_cornerWidth = 0;
  int m_cornerHeight = 0;
};

// Stays round: scaled to a box it takes the box's shorter side as its diameter.
class CircleShape : public BoxShape {
public:
  CircleShape() = default;
  CircleShape(int centreX, int centreY, int radius)
      : BoxShape(orvo::MakeRect(centreX - radius, centreY - radius, centreX + radius, centreY + radius))
  {
  }
  void ScaleFrom(const CircleShape&, int width, int height)
  {
    const int side = std::min(width, height);
    ScaleBox(side, side);
  }
  void Draw(TCanvas* canvas) const { FillEllipse(canvas, m_box); }
};

// Stays square: scaled to a box it takes the box's shorter side.
class SquareShape : public BoxShape {
public:
  SquareShape() = default;
  SquareShape(int left, int top, int side) : BoxShape(orvo::MakeRect(left, top, left + side, top + side)) {}
  void ScaleFrom(const SquareShape&, int width, int height)
  {
    const int side = std::min(width, height);
    ScaleBox(side, side);
  }
  void Draw(TCanvas* canvas) const { FillRectangle(canvas, m_box); }
};

// A shape as a scalable figure, drawn through `Painter` (Canvas(), Background(), SetColor()), which it does
// not own. Drawing uses the colour the painter holds; erasing draws the same pixels in the background.
template <typename Shape, typename Painter>
class ShapeFigureAdapter : public ScalableFigure {
public:
  ShapeFigureAdapter(Shape shape, Painter* painter) : m_shape(shape), m_reference(std::move(shape)), m_painterPtr(painter) {}

  void Draw() override
  {
    KO_ASSERT(m_painterPtr);
    m_shape.Draw(PreparedCanvas());
  }
  void Erase() override
  {
    KO_ASSERT(m_painterPtr);
    m_painterPtr->SetColor(m_painterPtr->Background());
    m_shape.Draw(PreparedCanvas());
  }
  void MoveBy(int dx, int dy) override { m_shape.MoveBy(dx, dy); }
  int Left() const override { return m_shape.Bounds().left; }
  int Top() const override { return m_shape.Bounds().top; }
  int Width() const override { return RectWidth(m_shape.Bounds()); }
  int Height() const override { return RectHeight(m_shape.Bounds()); }

  void Scale(int width, int height) override { m_shape.ScaleFrom(m_reference, width, height); }
  void Update() override { m_reference = m_shape; }
  int OriginalWidth() const override { return RectWidth(m_reference.Bounds()); }
  int OriginalHeight() const override { return RectHeight(m_reference.Bounds()); }

  const Shape& GetShape() const { return m_shape; }
  Painter* GetPainter() const { return m_painterPtr; }

private:
  TCanvas* PreparedCanvas() const
  {
    TCanvas* canvas = m_painterPtr->Canvas();
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->GetPen()->SetStyle(psSolid);
    canvas->GetPen()->SetMode(pmCopy);
    return canvas;
  }

  Shape m_shape;
  Shape m_reference;
  Painter* m_painterPtr;
};

template <typename Painter>
using PolygonFigure = ShapeFigureAdapter<PolygonShape, Painter>;
template <typename Painter>
using RectangleFigure = ShapeFigureAdapter<RectangleShape, Painter>;
template <typename Painter>
using EllipseFigure = ShapeFigureAdapter<EllipseShape, Painter>;
template <typename Painter>
using RoundRectFigure = ShapeFigureAdapter<RoundRectShape, Painter>;
template <typename Painter>
using CircleFigure = ShapeFigureAdapter<CircleShape, Painter>;
template <typename Painter>
using SquareFigure = ShapeFigureAdapter<SquareShape, Painter>;

} // namespace orvo
