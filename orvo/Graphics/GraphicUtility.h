#pragma once
// Drawing helpers shared by the skinned controls and the LED drawing code. Each leaves the canvas's pen
// colour, brush style and copy mode as it found them, also when drawing fails.
#include "Canvas.h"
#include "Colors.h"
#include "Geometry.h"

class TBitmap;

namespace orvo {

// The border of `rect` in the pen's colour; the inside is left alone.
void FrameRectangle(TCanvas* canvas, const TRect& rect);
// `rect` filled with the brush and bordered in the brush's colour: one colour, no border of another.
void FillRectangle(TCanvas* canvas, const TRect& rect);
void FrameEllipse(TCanvas* canvas, const TRect& rect);
void FillEllipse(TCanvas* canvas, const TRect& rect);
// There is no outline variant of the rounded rectangle.
void FillRoundRect(TCanvas* canvas, const TRect& rect, int cornerWidth, int cornerHeight);
// The closed outline through points[0] ... points[count - 1].
void FramePolygon(TCanvas* canvas, const TPoint* points, int count);
void FillPolygon(TCanvas* canvas, const TPoint* points, int count);
// Copies `source` of the bitmap's canvas 1:1 to the canvas with its top-left corner at (x, y).
void DrawBitmapPart(TCanvas* canvas, int x, int y, TBitmap* bitmap, const TRect& source);

// The colour without the flags a library colour may carry in its top byte.
constexpr TColor ColorToRgbPart(TColor color) { return color & 0xFFFFFF; }

// The class library's own rectangle helpers, so that both spellings name one function.
using ::RectHeight;
using ::RectWidth;
inline TRect MakeRect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }

} // namespace orvo
