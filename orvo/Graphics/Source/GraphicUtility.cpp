#include "Graphics/GraphicUtility.h"

#include "Bitmap.h"
#include "GraphicObjects.h"

#include <exception>

namespace orvo {

namespace {

// Sets one property of a pen, brush or canvas for a drawing call and puts the old value back afterwards,
// also when drawing throws. A failure while putting it back (a change listener that throws) propagates,
// unless an exception is already on its way: that one is reported.
template <typename Object, typename Value>
class TPropertyScope {
public:
  using Getter = Value (Object::*)() const;
  using Setter = void (Object::*)(Value);

  TPropertyScope(Object* object, Getter get, Setter set, Value value)
      : m_object(object), m_set(set), m_old((object->*get)()), m_uncaught(std::uncaught_exceptions())
  {
    try {
      (m_object->*m_set)(value);
    } catch (...) {
      PutBackQuietly();
      throw;
    }
  }
  ~TPropertyScope() noexcept(false)
  {
    if (std::uncaught_exceptions() > m_uncaught)
      PutBackQuietly();
    else
      (m_object->*m_set)(m_old);
  }
  TPropertyScope(const TPropertyScope&) = delete;
  TPropertyScope& operator=(const TPropertyScope&) = delete;

private:
  void PutBackQuietly() noexcept
  {
    try {
      (m_object->*m_set)(m_old);
    } catch (...) {
      // The exception already on its way is the one to report.
    }
  }

  Object* m_object;
  Setter m_set;
  Value m_old;
  int m_uncaught;
};

// The pen in the brush's colour, so a filled shape shows no border of another colour.
TPropertyScope<TPen, TColor> PenAsBrush(TCanvas* canvas)
{
  return {canvas->GetPen(), &TPen::GetColor, &TPen::SetColor, canvas->GetBrush()->GetColor()};
}

// A clear brush, so an outline leaves the inside alone.
TPropertyScope<TBrush, TBrushStyle> ClearBrush(TCanvas* canvas)
{
  return {canvas->GetBrush(), &TBrush::GetStyle, &TBrush::SetStyle, bsClear};
}

TPropertyScope<TCanvas, DWORD> CopyMode(TCanvas* canvas, DWORD mode)
{
  return {canvas, &TCanvas::GetCopyMode, &TCanvas::SetCopyMode, mode};
}

} // namespace

void FrameRectangle(TCanvas* canvas, const TRect& rect)
{
  auto clear = ClearBrush(canvas);
  canvas->Rectangle(rect);
}

void FillRectangle(TCanvas* canvas, const TRect& rect)
{
  auto pen = PenAsBrush(canvas);
  canvas->Rectangle(rect);
}

void FrameEllipse(TCanvas* canvas, const TRect& rect)
{
  auto clear = ClearBrush(canvas);
  canvas->Ellipse(rect);
}

void FillEllipse(TCanvas* canvas, const TRect& rect)
{
  auto pen = PenAsBrush(canvas);
  canvas->Ellipse(rect);
}

void FillRoundRect(TCanvas* canvas, const TRect& rect, int cornerWidth, int cornerHeight)
{
  auto pen = PenAsBrush(canvas);
  canvas->RoundRect(rect.left, rect.top, rect.right, rect.bottom, cornerWidth, cornerHeight);
}

void FramePolygon(TCanvas* canvas, const TPoint* points, int count)
{
  auto clear = ClearBrush(canvas);
  canvas->Polygon(points, count);
}

void FillPolygon(TCanvas* canvas, const TPoint* points, int count)
{
  auto pen = PenAsBrush(canvas);
  canvas->Polygon(points, count);
}

void DrawBitmapPart(TCanvas* canvas, int x, int y, TBitmap* bitmap, const TRect& source)
{
  if (!bitmap)
    return;
  auto mode = CopyMode(canvas, SRCCOPY);
  const TRect dest = MakeRect(x, y, x + RectWidth(source), y + RectHeight(source));
  canvas->CopyRect(dest, bitmap->GetCanvas(), source);
}

} // namespace orvo
