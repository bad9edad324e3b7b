#pragma once
// A figure that shows one bitmap, 1:1, at its position on a painter's canvas.
#include "Graphics/FigureBase.h"
#include "Graphics/GraphicUtility.h"

#include "Assertion.h"
#include "Bitmap.h"
#include "Canvas.h"
#include "Colors.h"
#include "GraphicObjects.h"

#include <memory>

namespace orvo {

// The pixel format of a display's pictures on a screen of `screenBits` bits per pixel: a palette screen
// keeps 16 colours, anything richer gets true colour.
constexpr TPixelFormat DisplayPixelFormat(int screenBits)
{
  return screenBits < 5 ? pf4bit : pf24bit;
}

inline TPixelFormat ScreenDisplayPixelFormat()
{
  return DisplayPixelFormat(ScreenBitsPerPixel());
}

// A figure placed by its top-left corner.
class BitmapFigure : public Figure {
public:
  void MoveBy(int dx, int dy) override
  {
    m_x += dx;
    m_y += dy;
  }
  int Left() const override { return m_x; }
  int Top() const override { return m_y; }

protected:
  int m_x = 0;
  int m_y = 0;
};

// Draws its own copy of a picture through `Painter` (Canvas(), Background()), which it does not own.
template <typename Painter>
class TBitmapFigure : public BitmapFigure {
public:
  explicit TBitmapFigure(Painter* painter) : m_painterPtr(painter) {}

  // The figure's bitmap, made on first use in the display's pixel format.
  TBitmap* GetBitmap()
  {
    if (!m_bitmap) {
      m_bitmap = std::make_unique<TBitmap>();
      m_bitmap->SetPixelFormat(ScreenDisplayPixelFormat());
    }
    return m_bitmap.get();
  }
  bool HasBitmap() const { return m_bitmap != nullptr; }
  // The figure shows a copy of `source` from now on.
  void SetBitmap(TBitmap* source) { GetBitmap()->Assign(source); }

  int Width() const override { return m_bitmap ? m_bitmap->GetWidth() : 0; }
  int Height() const override { return m_bitmap ? m_bitmap->GetHeight() : 0; }

  void Draw() override
  {
    KO_ASSERT(m_painterPtr);
    if (!m_bitmap || !m_bitmap->GetHandle())
      return;
    TCanvas* canvas = m_painterPtr->Canvas();
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->GetPen()->SetStyle(psSolid);
    canvas->GetPen()->SetMode(pmCopy);
    // From the bitmap's own canvas, kept between draws: a figure is drawn at every look change, and a
    // device context made and a section selected into it for each draw cost more than the copy.
    DrawBitmapPart(canvas, m_x, m_y, m_bitmap.get(), MakeRect(0, 0, Width(), Height()));
  }

  void Erase() override
  {
    KO_ASSERT(m_painterPtr);
    if (!m_bitmap)
      return;
    TCanvas* canvas = m_painterPtr->Canvas();
    TBrush* brush = canvas->GetBrush();
    const TBrushScope keep(brush);
    brush->SetStyle(bsSolid);
    brush->SetColor(m_painterPtr->Background());
    canvas->FillRect(MakeRect(m_x, m_y, m_x + Width(), m_y + Height()));
  }

  Painter* GetPainter() const { return m_painterPtr; }

private:
  // Puts a brush's style and colour back when the scope ends.
  class TBrushScope {
  public:
    explicit TBrushScope(TBrush* brush) : m_brush(brush), m_style(brush->GetStyle()), m_color(brush->GetColor()) {}
    ~TBrushScope()
    {
      m_brush->SetStyle(m_style);
      m_brush->SetColor(m_color);
    }
    TBrushScope(const TBrushScope&) = delete;
    TBrushScope& operator=(const TBrushScope&) = delete;

  private:
    TBrush* m_brush;
    TBrushStyle m_style;
    TColor m_color;
  };

  std::unique_ptr<TBitmap> m_bitmap;
  Painter* m_painterPtr;
};

} // namespace orvo
