#include "GalleryArt.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace gallery {

namespace {

const TRgb kBlue = Rgb(70, 133, 226);
const TRgb kGreyInk = Rgb(176, 180, 188);

double Clamp01(double v)
{
  return std::clamp(v, 0.0, 1.0);
}

// The bounds of a shape grown by `margin`, clipped to the canvas.
struct TSpan {
  int x0, y0, x1, y1;
};

TSpan SpanOf(double x0, double y0, double x1, double y1, double margin, int width, int height)
{
  return TSpan{std::max(0, static_cast<int>(std::floor(x0 - margin))),
               std::max(0, static_cast<int>(std::floor(y0 - margin))),
               std::min(width, static_cast<int>(std::ceil(x1 + margin))),
               std::min(height, static_cast<int>(std::ceil(y1 + margin)))};
}

double SegmentDistance(TPointF p, TPointF a, TPointF b)
{
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0 ? Clamp01(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2) : 0;
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool Inside(const std::vector<TPointF>& points, double x, double y)
{
  bool inside = false;
  for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
    const TPointF& a = points[i];
    const TPointF& b = points[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
      inside = !inside;
  }
  return inside;
}

} // namespace

TRgb Rgb(int r, int g, int b)
{
  return TRgb{static_cast<double>(r), static_cast<double>(g), static_cast<double>(b)};
}

TRgb Mix(TRgb from, TRgb to, double t)
{
  return TRgb{from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t};
}

TRgb CardColor()
{
  return Rgb(255, 255, 255);
}

TArt::TArt(int width, int height)
    : m_width(width), m_height(height), m_color(static_cast<size_t>(width * height)),
      m_alpha(static_cast<size_t>(width * height), 0.0)
{
}

void TArt::Blend(int x, int y, TRgb color, double coverage, double opacity)
{
  const double a = Clamp01(coverage) * opacity;
  if (a <= 0)
    return;
  const size_t i = static_cast<size_t>(y * m_width + x);
  const double alpha = a + m_alpha[i] * (1 - a);
  m_color[i] = Mix(m_color[i], color, a / alpha);
  m_alpha[i] = alpha;
}

double TArt::RoundRectDistance(double px, double py, double x0, double y0, double x1, double y1, double radius)
{
  const double cx = (x0 + x1) / 2;
  const double cy = (y0 + y1) / 2;
  const double qx = std::abs(px - cx) - ((x1 - x0) / 2 - radius);
  const double qy = std::abs(py - cy) - ((y1 - y0) / 2 - radius);
  return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
}

void TArt::Fill(double x0, double y0, double x1, double y1, double radius, TRgb top, TRgb bottom)
{
  const TSpan span = SpanOf(x0, y0, x1, y1, 1, m_width, m_height);
  for (int y = span.y0; y < span.y1; ++y) {
    const TRgb color = Mix(top, bottom, Clamp01((y + 0.5 - y0) / std::max(1.0, y1 - y0)));
    for (int x = span.x0; x < span.x1; ++x)
      Blend(x, y, color, 0.5 - RoundRectDistance(x + 0.5, y + 0.5, x0, y0, x1, y1, radius));
  }
}

void TArt::Rim(double x0, double y0, double x1, double y1, double radius, double width, TRgb color)
{
  const TSpan span = SpanOf(x0, y0, x1, y1, 1, m_width, m_height);
  for (int y = span.y0; y < span.y1; ++y) {
    for (int x = span.x0; x < span.x1; ++x) {
      const double d = RoundRectDistance(x + 0.5, y + 0.5, x0, y0, x1, y1, radius);
      Blend(x, y, color, Clamp01(0.5 - d) - Clamp01(0.5 - (d + width)));
    }
  }
}

void TArt::Shadow(double x0, double y0, double x1, double y1, double radius, double spread, double opacity)
{
  const TSpan span = SpanOf(x0, y0, x1, y1, spread + 1, m_width, m_height);
  for (int y = span.y0; y < span.y1; ++y) {
    for (int x = span.x0; x < span.x1; ++x) {
      const double d = RoundRectDistance(x + 0.5, y + 0.5, x0, y0, x1, y1, radius);
      const double t = Clamp01(1 - d / spread);
      Blend(x, y, Rgb(40, 52, 80), t * t, opacity);
    }
  }
}

void TArt::Stroke(const std::vector<TPointF>& points, double width, TRgb color)
{
  if (points.empty())
    return;
  double x0 = points[0].x, y0 = points[0].y, x1 = x0, y1 = y0;
  for (const TPointF& p : points) {
    x0 = std::min(x0, p.x);
    y0 = std::min(y0, p.y);
    x1 = std::max(x1, p.x);
    y1 = std::max(y1, p.y);
  }
  const TSpan span = SpanOf(x0, y0, x1, y1, width / 2 + 1, m_width, m_height);
  for (int y = span.y0; y < span.y1; ++y) {
    for (int x = span.x0; x < span.x1; ++x) {
      const TPointF p{x + 0.5, y + 0.5};
      double d = SegmentDistance(p, points[0], points[0]);
      for (size_t i = 1; i < points.size(); ++i)
        d = std::min(d, SegmentDistance(p, points[i - 1], points[i]));
      Blend(x, y, color, 0.5 - (d - width / 2));
    }
  }
}

void TArt::Polygon(const std::vector<TPointF>& points, TRgb color)
{
  if (points.size() < 3)
    return;
  double x0 = points[0].x, y0 = points[0].y, x1 = x0, y1 = y0;
  for (const TPointF& p : points) {
    x0 = std::min(x0, p.x);
    y0 = std::min(y0, p.y);
    x1 = std::max(x1, p.x);
    y1 = std::max(y1, p.y);
  }
  const TSpan span = SpanOf(x0, y0, x1, y1, 1, m_width, m_height);
  for (int y = span.y0; y < span.y1; ++y) {
    for (int x = span.x0; x < span.x1; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
          hits += Inside(points, x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
      Blend(x, y, color, hits / 16.0);
    }
  }
}

void TArt::ToBitmap(TBitmap& bitmap, TRgb background, COLORREF key) const
{
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(m_width, m_height);
  for (int y = 0; y < m_height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < m_width; ++x) {
      const size_t i = static_cast<size_t>(y * m_width + x);
      // Nearly untouched pixels go with the key too: a faint fringe of the background colour would
      // otherwise ring the shape on whatever it is later shown over.
      COLORREF color = key;
      if (m_alpha[i] >= 1.0 / 64) {
        const TRgb c = Mix(background, m_color[i], m_alpha[i]);
        color = RGB(std::lround(c.r), std::lround(c.g), std::lround(c.b));
      }
      row[3 * x] = GetBValue(color);
      row[3 * x + 1] = GetGValue(color);
      row[3 * x + 2] = GetRValue(color);
    }
  }
}

// --- the pictures ---

namespace {

// Fill and rim colours of a raised face per look.
struct TFaceStyle {
  TRgb top, bottom, rim;
  double rimWidth;
  double shift;
};

TFaceStyle FaceStyle(TLook look)
{
  switch (look) {
  case lkFocused:
    return {Rgb(255, 255, 255), Rgb(222, 234, 252), kBlue, 2, 0};
  case lkSunken:
    return {Rgb(184, 196, 216), Rgb(224, 230, 240), Rgb(112, 126, 150), 1, 1};
  case lkDisabled:
    return {Rgb(236, 236, 238), Rgb(228, 228, 230), Rgb(196, 198, 202), 1, 0};
  default:
    return {Rgb(255, 255, 255), Rgb(212, 220, 233), Rgb(150, 162, 182), 1, 0};
  }
}

TRgb InkOf(TLook look)
{
  return look == lkDisabled ? kGreyInk : look == lkSunken ? Rgb(40, 96, 190) : kBlue;
}

// Every look of a control draws this first. The control's shape comes from its first picture, and what
// another look leaves out of that shape would show whatever the screen held there.
void Footprint(TArt& art, double w, double h, double radius)
{
  art.Shadow(1, 2, w - 1, h - 0.5, radius, 1.5, 0.10);
}

void Face(TArt& art, double w, double h, double radius, TLook look)
{
  const TFaceStyle style = FaceStyle(look);
  Footprint(art, w, h, radius);
  const double inset = look == lkSunken || look == lkDisabled ? 0.5 : 1;
  art.Fill(inset, inset - 0.5, w - inset, h - inset - 0.5, radius - inset, style.top, style.bottom);
  art.Rim(inset, inset - 0.5, w - inset, h - inset - 0.5, radius - inset, style.rimWidth, style.rim);
}

} // namespace

void PaintButtonFace(TBitmap& bitmap, int width, int height, TLook look, int arrow)
{
  TArt art(width, height);
  const double radius = std::min(width, height) / 2.0;
  Face(art, width, height, radius, look);
  if (arrow != 0) {
    const double shift = FaceStyle(look).shift;
    const double cx = width / 2.0 + shift;
    const double cy = height / 2.0 - 0.5 + shift;
    const double s = arrow;  // the arrow's direction along x
    art.Stroke({{cx - 6 * s, cy}, {cx + 6 * s, cy}}, 2.6, InkOf(look));
    art.Stroke({{cx + 1 * s, cy - 5}, {cx + 6 * s, cy}, {cx + 1 * s, cy + 5}}, 2.6, InkOf(look));
  }
  art.ToBitmap(bitmap, CardColor(), kKey);
}

void PaintIconTile(TBitmap& bitmap, int size, TLook look, int icon)
{
  TArt art(size, size);
  Face(art, size, size, 10, look);
  const TRgb ink = InkOf(look == lkSunken ? lkNormal : look);
  const double c = size / 2.0;
  switch (icon) {
  case 0: {  // a chip: a body with pins on every side and a notch
    for (int i = -1; i <= 1; ++i) {
      const double p = c + i * 5.5;
      art.Stroke({{c - 13, p}, {c - 8, p}}, 2, ink);
      art.Stroke({{c + 8, p}, {c + 13, p}}, 2, ink);
      art.Stroke({{p, c - 13}, {p, c - 8}}, 2, ink);
      art.Stroke({{p, c + 8}, {p, c + 13}}, 2, ink);
    }
    art.Fill(c - 9, c - 9, c + 9, c + 9, 3, ink, ink);
    art.Fill(c - 5, c - 5, c + 5, c + 5, 1.5, Rgb(255, 255, 255), Rgb(230, 238, 250));
    break;
  }
  case 1:  // a lightning bolt
    art.Polygon({{c + 3, c - 14}, {c - 9, c + 2}, {c - 1, c + 2}, {c - 4, c + 14}, {c + 9, c - 3}, {c + 1, c - 3}},
                look == lkDisabled ? kGreyInk : Rgb(240, 168, 40));
    break;
  default:  // a thermometer
    art.Stroke({{c, c - 12}, {c, c + 5}}, 7, ink);
    art.Fill(c - 6.5, c + 1, c + 6.5, c + 14, 6.5, ink, ink);
    art.Stroke({{c, c - 10}, {c, c + 6}}, 3, Rgb(255, 255, 255));
    art.Fill(c - 3.5, c + 4, c + 3.5, c + 11, 3.5, look == lkDisabled ? kGreyInk : Rgb(226, 80, 70),
             look == lkDisabled ? kGreyInk : Rgb(226, 80, 70));
    art.Stroke({{c, c - 2}, {c, c + 6}}, 2, look == lkDisabled ? kGreyInk : Rgb(226, 80, 70));
    break;
  }
  art.ToBitmap(bitmap, CardColor(), kKey);
}

void PaintTextTile(TBitmap& bitmap, int width, int height, TLook look)
{
  TArt art(width, height);
  Face(art, width, height, 6, look);
  art.ToBitmap(bitmap, CardColor(), kKey);
}

void PaintCheckFace(TBitmap& bitmap, int size, int state, TLook look)
{
  TArt art(size, size);
  const double s = size;
  Face(art, s, s, 5, look);
  if (state != 0) {
    // Checked and grayed: the box filled blue or slate, darker while pressed, brighter with a stronger
    // rim when focused, pale when disabled; over the unchecked face, so that every look has its shape.
    TRgb top = state == 1 ? Rgb(88, 150, 238) : Rgb(150, 164, 188);
    TRgb bottom = state == 1 ? Rgb(52, 112, 206) : Rgb(122, 138, 164);
    TRgb rim = state == 1 ? Rgb(36, 90, 180) : Rgb(100, 114, 140);
    double rimWidth = 1;
    if (look == lkSunken) {
      top = Mix(top, Rgb(20, 40, 90), 0.25);
      bottom = Mix(bottom, Rgb(20, 40, 90), 0.25);
    } else if (look == lkDisabled) {
      top = bottom = Mix(top, Rgb(236, 236, 238), 0.6);
      rim = Mix(rim, Rgb(236, 236, 238), 0.6);
    } else if (look == lkFocused) {
      top = Mix(top, Rgb(255, 255, 255), 0.15);
      rim = Rgb(24, 70, 160);
      rimWidth = 2;
    }
    const double inset = look == lkSunken || look == lkDisabled ? 0.5 : 1;
    const double x0 = inset, y0 = inset - 0.5, x1 = s - inset, y1 = s - inset - 0.5, radius = 5 - inset;
    art.Fill(x0, y0, x1, y1, radius, top, bottom);
    art.Rim(x0, y0, x1, y1, radius, rimWidth, rim);
    const double shift = look == lkSunken ? 0.5 : 0;
    const double cy = (y0 + y1) / 2 + shift;
    const TRgb mark = Rgb(255, 255, 255);
    if (state == 1)
      art.Stroke({{s * 0.28 + shift, cy + 0.5}, {s * 0.44 + shift, cy + s * 0.16}, {s * 0.73 + shift, cy - s * 0.17}},
                 2.4, mark);
    else
      art.Stroke({{s * 0.30 + shift, cy}, {s * 0.70 + shift, cy}}, 2.6, mark);
  }
  art.ToBitmap(bitmap, CardColor(), kKey);
}

void PaintTrack(TBitmap& bitmap, int width, int height, bool vertical, int from, int to, int tick, TLook look)
{
  TArt art(width, height);
  // The whole picture is opaque card colour: the indicator slides over all of it.
  art.Fill(0, 0, width, height, 0, CardColor(), CardColor());
  const double across = vertical ? width : height;
  const double mid = across / 2;
  const TRgb groove = look == lkDisabled ? Rgb(226, 228, 232) : Rgb(206, 214, 228);
  const TRgb grooveRim = look == lkFocused ? kBlue : look == lkDisabled ? Rgb(206, 208, 212) : Rgb(160, 172, 192);
  const TRgb ticks = look == lkDisabled ? Rgb(214, 216, 220) : Rgb(176, 186, 202);
  for (int t = from; t <= to; t += tick) {
    if (vertical)
      art.Stroke({{mid + 8, t + 0.5}, {mid + 12, t + 0.5}}, 1, ticks);
    else
      art.Stroke({{t + 0.5, mid + 8}, {t + 0.5, mid + 12}}, 1, ticks);
  }
  if (vertical) {
    art.Fill(mid - 3, from - 3, mid + 3, to + 3, 3, groove, groove);
    art.Rim(mid - 3, from - 3, mid + 3, to + 3, 3, 1, grooveRim);
  } else {
    art.Fill(from - 3, mid - 3, to + 3, mid + 3, 3, Mix(groove, Rgb(120, 130, 150), 0.15), groove);
    art.Rim(from - 3, mid - 3, to + 3, mid + 3, 3, 1, grooveRim);
  }
  art.ToBitmap(bitmap, CardColor(), kKey);
}

void PaintKnob(TBitmap& bitmap, int width, int height)
{
  TArt art(width, height);
  const double radius = std::min(width, height) / 2.0 - 1;
  art.Shadow(1.5, 2.5, width - 1.5, height - 0.5, radius, 1.5, 0.18);
  art.Fill(1, 1, width - 1, height - 1.5, radius, Rgb(255, 255, 255), Rgb(214, 226, 244));
  art.Rim(1, 1, width - 1, height - 1.5, radius, 1.5, kBlue);
  const double cx = width / 2.0;
  const double cy = (height - 0.5) / 2.0;
  if (width < height)
    art.Stroke({{cx, cy - 3}, {cx, cy + 3}}, 1.5, Rgb(120, 160, 226));
  else
    art.Stroke({{cx - 3, cy}, {cx + 3, cy}}, 1.5, Rgb(120, 160, 226));
  art.ToBitmap(bitmap, CardColor(), kKey);
}

void PaintBackground(TBitmap& bitmap, int width, int height, const std::vector<RECT>& cards,
                     const std::vector<RECT>& fields)
{
  TArt art(width, height);
  art.Fill(0, 0, width, height, 0, Rgb(238, 241, 246), Rgb(224, 229, 238));
  for (const RECT& r : cards) {
    art.Shadow(r.left, r.top + 2, r.right, r.bottom + 2, 10, 6, 0.16);
    art.Fill(r.left, r.top, r.right, r.bottom, 10, CardColor(), CardColor());
    art.Rim(r.left, r.top, r.right, r.bottom, 10, 1, Rgb(214, 220, 230));
  }
  for (const RECT& r : fields) {
    // Flat, in the read-outs' own background colour, so a display of any size sits on it seamlessly.
    const TRgb flat = Rgb(GetRValue(kReadoutFace), GetGValue(kReadoutFace), GetBValue(kReadoutFace));
    art.Fill(r.left, r.top, r.right, r.bottom, 6, flat, flat);
    art.Rim(r.left, r.top, r.right, r.bottom, 6, 1, Rgb(70, 82, 104));
  }
  art.ToBitmap(bitmap, Rgb(232, 236, 243), kKey);
}

} // namespace gallery
