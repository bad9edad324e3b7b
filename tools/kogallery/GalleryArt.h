#pragma once
// Pictures for the gallery, drawn in code: antialiased rounded faces, strokes and soft shadows on a
// floating-point canvas, laid onto the colour they will sit on when they become a bitmap.
#include "Bitmap.h"

#include <windows.h>

#include <vector>

namespace gallery {

// The read-outs' background, and the fields they sit in.
constexpr COLORREF kReadoutFace = RGB(24, 30, 42);

struct TRgb {
  double r = 0;
  double g = 0;
  double b = 0;
};

TRgb Rgb(int r, int g, int b);
TRgb Mix(TRgb from, TRgb to, double t);

struct TPointF {
  double x;
  double y;
};

class TArt {
public:
  TArt(int width, int height);

  int Width() const { return m_width; }
  int Height() const { return m_height; }

  // A rounded rectangle from (x0, y0) to (x1, y1) with a vertical gradient.
  void Fill(double x0, double y0, double x1, double y1, double radius, TRgb top, TRgb bottom);
  // The inner `width` pixels of that rounded rectangle's edge.
  void Rim(double x0, double y0, double x1, double y1, double radius, double width, TRgb color);
  // A shadow of the rounded rectangle fading out over `spread` pixels.
  void Shadow(double x0, double y0, double x1, double y1, double radius, double spread, double opacity);
  // A line through the points, `width` wide, with round ends and joins.
  void Stroke(const std::vector<TPointF>& points, double width, TRgb color);
  // A closed polygon (even-odd), sampled 4 x 4 per pixel.
  void Polygon(const std::vector<TPointF>& points, TRgb color);

  // The painting laid onto `background`; pixels nothing touched become `key`. The bitmap is 24-bit.
  void ToBitmap(TBitmap& bitmap, TRgb background, COLORREF key) const;

private:
  void Blend(int x, int y, TRgb color, double coverage, double opacity = 1);
  // Signed distance from a pixel centre to the rounded rectangle (negative inside).
  static double RoundRectDistance(double px, double py, double x0, double y0, double x1, double y1, double radius);

  int m_width;
  int m_height;
  std::vector<TRgb> m_color;
  std::vector<double> m_alpha;
};

// The looks of a face.
enum TLook { lkNormal, lkFocused, lkSunken, lkDisabled };

// Key colour outside every face.
constexpr COLORREF kKey = RGB(255, 0, 255);
// The colour of the cards the controls sit on; faces are smoothed against it.
TRgb CardColor();

// A rounded button face (a circle when square and fully rounded); `arrow` -1 points left, 1 right, 0 none.
void PaintButtonFace(TBitmap& bitmap, int width, int height, TLook look, int arrow);
// A square tile with an icon: 0 chip, 1 lightning bolt, 2 thermometer.
void PaintIconTile(TBitmap& bitmap, int size, TLook look, int icon);
// A flat tile for a caption.
void PaintTextTile(TBitmap& bitmap, int width, int height, TLook look);
// A check box face: state 0 unchecked, 1 checked, 2 grayed.
void PaintCheckFace(TBitmap& bitmap, int size, int state, TLook look);
// A bar's track on the card colour, `vertical` or not, with a groove between `from` and `to` along the
// axis and ticks every `tick` pixels.
void PaintTrack(TBitmap& bitmap, int width, int height, bool vertical, int from, int to, int tick, TLook look);
// The indicator that slides along a track.
void PaintKnob(TBitmap& bitmap, int width, int height);
// The gallery's background: a soft gradient with white cards, each with a shadow, and inset fields.
void PaintBackground(TBitmap& bitmap, int width, int height, const std::vector<RECT>& cards,
                     const std::vector<RECT>& fields);

} // namespace gallery
