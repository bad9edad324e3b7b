#pragma once
// Figures: things with a position and a size that draw and erase themselves and can be moved. The LED
// displays are made of them, and of groups of them that can be resized as a whole.
#include "Geometry.h"

#include "Assertion.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace orvo {

class Figure {
public:
  Figure() = default;
  virtual ~Figure() = default;
  Figure(const Figure&) = delete;
  Figure& operator=(const Figure&) = delete;

  virtual void Draw() = 0;
  virtual void Erase() = 0;
  virtual void MoveBy(int dx, int dy) = 0;
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

// A figure that can take any size. Scaling always starts from the reference layout recorded by the last
// Update, so that shrinking and growing again gives back what was recorded.
class ScalableFigure : public Figure {
public:
  virtual void Scale(int width, int height) = 0;
  // The current layout becomes the reference layout.
  virtual void Update() = 0;
  virtual int OriginalWidth() const = 0;
  virtual int OriginalHeight() const = 0;
};

// Figures kept inside one rectangle. The members belong to someone else and must outlive the group's use
// of them.
class CompositeFigure : public Figure {
public:
  CompositeFigure(int left, int top, int right, int bottom)
      : m_left(left), m_top(top), m_width(right - left), m_height(bottom - top)
  {
    KO_ASSERT(m_width >=0 && m_height >=0);
  }

  // Appends a member, which must lie inside the group.
  void Add(Figure* figurePtr)
  {
    KO_ASSERT(figurePtr->Left() >= m_left && figurePtr->Top() >= m_top && figurePtr->Left() + figurePtr->Width() <= m_left + m_width && figurePtr->Top() + figurePtr->Height() <= m_top + m_height);
    m_figures.push_back(figurePtr);
  }
  // The group takes `rect`, which must hold every member.
  void SetRect(const TRect& rect);

  void Draw() override;
  void Erase() override;
  // Moves every member and the group's rectangle.
  void MoveBy(int dx, int dy) override;
  int Left() const override { return m_left; }
  int Top() const override { return m_top; }
  int Width() const override { return m_width; }
  int Height() const override { return m_height; }

  size_t Count() const { return m_figures.size(); }
  Figure* Member(size_t index) const { return m_figures[index]; }
  // The index of the first member that is `figure`, or Count().
  size_t IndexOf(const Figure* figure) const;
  void RemoveAt(size_t index) { m_figures.erase(m_figures.begin() + static_cast<std::ptrdiff_t>(index)); }

private:
  int m_left;
  int m_top;
  int m_width;
  int m_height;
  std::vector<Figure*> m_figures;
};

// A group that is resized as a whole: each member keeps its place and size in proportion to the group's
// reference layout. The members are scalable figures themselves.
class CompositeScalableFig : public ScalableFigure {
public:
  CompositeScalableFig() : CompositeScalableFig(0, 0, 0, 0) {}
  CompositeScalableFig(int left, int top, int right, int bottom)
      : m_originalWidth(right - left), m_originalHeight(bottom - top), m_composite(left, top, right, bottom)
  {
  }

  // The current layout with `figure` added becomes the reference layout.
  void Add(ScalableFigure* figure);
  // Takes the first occurrence of `figure` out, if any; the current layout becomes the reference layout
  // either way.
  void Remove(ScalableFigure* figure);
  void Update() override;
  void Scale(int width, int height) override;
  // A new reference size; the group's top-left corner moves to the rectangle's and its bottom-right corner
  // stays. The members' recorded places are kept.
  void SetOriginalRect(const TRect& rect);
  int OriginalWidth() const override { return m_originalWidth; }
  int OriginalHeight() const override { return m_originalHeight; }

  void Draw() override { m_composite.Draw(); }
  void Erase() override { m_composite.Erase(); }
  void MoveBy(int dx, int dy) override { m_composite.MoveBy(dx, dy); }
  int Left() const override { return m_composite.Left(); }
  int Top() const override { return m_composite.Top(); }
  int Width() const override { return m_composite.Width(); }
  int Height() const override { return m_composite.Height(); }

  size_t Count() const { return m_composite.Count(); }
  ScalableFigure* Member(size_t index) const;
  // A member's recorded place relative to the group's top-left corner.
  std::pair<int, int> Offset(size_t index) const { return m_offsets[index]; }

private:
  int m_originalWidth;
  int m_originalHeight;
  std::vector<std::pair<int, int>> m_offsets;
  CompositeFigure m_composite;
};

} // namespace orvo
