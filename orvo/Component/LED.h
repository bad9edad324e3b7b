#pragma once
// LEDs: objects with a number of states, one of them current, shown by a figure; and the interface a
// control uses to drive the LEDs it shows.

namespace orvo {

class Figure;

// What a control asks of the LED display it holds.
class LEDCtrl {
public:
  LEDCtrl() = default;
  virtual ~LEDCtrl() = default;
  LEDCtrl(const LEDCtrl&) = delete;
  LEDCtrl& operator=(const LEDCtrl&) = delete;

  virtual int StateCount() const = 0;
  virtual int GetState() const = 0;
  virtual void SetState(int state) = 0;
  // Draws the current state again and repaints the display.
  virtual void Redraw() = 0;
  virtual void MoveBy(int dx, int dy) = 0;
  virtual int GetLeft() const = 0;
  virtual int GetTop() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
};

class LED {
public:
  LED() = default;
  virtual ~LED() = default;
  LED(const LED&) = delete;
  LED& operator=(const LED&) = delete;

  virtual int StateCount() const = 0;
  virtual int GetState() const = 0;
  virtual void SetState(int state) = 0;
  // Prepares the figure for the current state again.
  virtual void Refresh() = 0;
  // The figure, moved to the LED's position first.
  virtual Figure* PlacedFigure();
  virtual int Width() const;
  virtual int Height() const;
  virtual Figure* GetFigure() const = 0;

  int X() const { return m_x; }
  int Y() const { return m_y; }
  // Where the figure is placed the next time it is asked for.
  void SetPosition(int x, int y)
  {
    m_x = x;
    m_y = y;
  }

protected:
  int m_x = 0;
  int m_y = 0;
};

} // namespace orvo
