#pragma once
// Figures: things with a position and a size that draw and erase themselves and can be moved. The LED
// displays are made of them.

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

} // namespace orvo
