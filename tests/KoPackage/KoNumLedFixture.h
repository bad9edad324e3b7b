#pragma once
// The numeric read-out as it should look, drawn here from the glyph description independently of the
// engine: each glyph's polygons filled by one GDI call per figure, lit or unlit, on the background. A
// read-out's display is compared with it pixel by pixel.
#include "KoNumLed.h"

#include "GraphicsFixture.h"
#include "PaintFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

struct TGlyphOutline {
  int Width;
  int Height;
  std::vector<std::vector<TPoint>> Figures;
};

// "x,y x,y ... | x,y ...": polygons separated by bars.
inline std::vector<std::vector<TPoint>> Polygons(const char* text)
{
  std::vector<std::vector<TPoint>> figures(1);
  std::istringstream in(text);
  std::string token;
  while (in >> token) {
    if (token == "|") {
      figures.emplace_back();
      continue;
    }
    const size_t comma = token.find(',');
    figures.back().push_back(Point(std::stoi(token.substr(0, comma)), std::stoi(token.substr(comma + 1))));
  }
  return figures;
}

inline const TGlyphOutline& GlyphOutlineOf(char character)
{
  static const TGlyphOutline digit{18, 22,
                                Polygons("4,2 12,2 12,3 4,3 | 14,4 15,4 15,9 14,9 | 14,12 15,12 15,17 14,17 | "
                                         "4,18 12,18 12,19 4,19 | 2,12 3,12 3,17 2,17 | 2,4 3,4 3,9 2,9 | "
                                         "4,10 12,10 12,11 4,11")};
  static const TGlyphOutline point{6, 27, Polygons("2,22 4,22 4,24 2,24")};
  static const TGlyphOutline degree{9, 27, Polygons("2,2 8,2 8,3 2,3 | 1,3 3,3 3,9 1,9 | 6,3 8,3 8,6 6,6 | "
                                                 "6,7 8,7 8,11 2,11 2,10 6,10")};
  static const TGlyphOutline letterC{19, 27,
                                  Polygons("4,4 5,3 17,3 15,5 5,5 | 2,5 3,5 4,6 4,12 3,13 2,13 1,12 1,6 | "
                                           "1,16 2,15 3,15 4,16 4,21 3,22 2,22 1,21 | 4,23 5,22 15,22 17,24 5,24")};
  static const TGlyphOutline rpm{
      47, 27,
      Polygons("2,12 9,12 8,13 3,13 | 10,13 9,14 9,17 10,17 | 1,13 2,14 2,17 1,17 | 1,19 2,20 2,22 1,23 | "
               "3,18 9,18 9,19 3,19 | 8,20 10,23 6,20 | 14,13 15,14 15,17 14,17 | 15,12 23,12 22,13 16,13 | "
               "23,14 23,17 24,17 24,13 | 16,18 23,18 23,19 16,19 | 14,19 14,24 15,23 15,19 | "
               "27,13 27,17 28,16 28,14 | 27,19 27,24 28,23 28,20 | "
               "28,12 44,12 43,13 37,13 37,24 36,24 36,13 29,13 | 44,14 44,16 45,17 45,13 | "
               "44,20 44,23 45,24 45,19")};
  switch (character) {
  case '.':
    return point;
  case '^':
    return degree;
  case 'C':
    return letterC;
  case '&':
    return rpm;
  default:
    return digit;
  }
}

inline bool IsDigitGlyph(char character)
{
  return character != '\0' && std::strchr("8DHMSYdhmsy", character) != nullptr;
}

// The segments each digit lights: top, upper right, lower right, bottom, lower left, upper left, middle.
constexpr const char* kDigitSegments[10] = {"1111110", "0110000", "1101101", "1111001", "0110011",
                                            "1011011", "1011111", "1110000", "1111111", "1111011"};

struct TReadOutLook {
  COLORREF Light = RGB(10, 240, 10);
  COLORREF Dark = RGB(14, 38, 62);
  COLORREF Background = RGB(0, 0, 0);
};

// A read-out of `format` showing `shown` at sx x sy times the glyphs' own size. Per glyph, ' ' leaves
// every figure unlit, a digit on a digit glyph lights its segments, any other character lights it all.
inline void DrawExpected(TBitmap& bitmap, const std::string& format, const std::string& shown, int sx, int sy,
                         const TReadOutLook& look = {})
{
  int width = 0;
  int height = 0;
  for (char character : format) {
    width += GlyphOutlineOf(character).Width;
    height = std::max(height, GlyphOutlineOf(character).Height);
  }
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width * sx, height * sy);
  TCanvas* canvas = bitmap.GetCanvas();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(static_cast<TColor>(look.Background));
  canvas->FillRect(Rect(0, 0, width * sx, height * sy));
  int x = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const TGlyphOutline& glyph = GlyphOutlineOf(format[i]);
    const char show = i < shown.size() ? shown[i] : ' ';
    for (size_t f = 0; f < glyph.Figures.size(); ++f) {
      bool lit = show != ' ';
      if (lit && IsDigitGlyph(format[i]) && std::isdigit(static_cast<unsigned char>(show)))
        lit = kDigitSegments[show - '0'][f] == '1';
      const auto color = static_cast<TColor>(lit ? look.Light : look.Dark);
      canvas->GetPen()->SetColor(color);
      canvas->GetBrush()->SetColor(color);
      std::vector<TPoint> points;
      for (const TPoint& p : glyph.Figures[f])
        points.push_back(Point((x + p.x) * sx, p.y * sy));
      canvas->Polygon(points);
    }
    x += glyph.Width;
  }
}

// Where two pictures first differ, as text; empty when they are alike.
inline std::string Difference(TBitmap& actual, TBitmap& expected)
{
  if (actual.GetWidth() != expected.GetWidth() || actual.GetHeight() != expected.GetHeight())
    return "size " + std::to_string(actual.GetWidth()) + " x " + std::to_string(actual.GetHeight()) +
           ", expected " + std::to_string(expected.GetWidth()) + " x " + std::to_string(expected.GetHeight());
  for (int y = 0; y < actual.GetHeight(); ++y)
    for (int x = 0; x < actual.GetWidth(); ++x) {
      const COLORREF is = PixelOf(actual, x, y);
      const COLORREF should = PixelOf(expected, x, y);
      if (is != should) {
        std::ostringstream text;
        text << "pixel " << x << "," << y << " is " << std::hex << is << ", expected " << should;
        return text.str();
      }
    }
  return "";
}

inline TBitmap& DisplayPicture(KoNumLed* led)
{
  return *led->Display()->GetPicture()->GetBitmap();
}

// A read-out shows `shown`, glyph for glyph, at sx x sy times the glyphs' size.
inline void ExpectShows(KoNumLed* led, const std::string& shown, int sx = 1, int sy = 1, const TReadOutLook& look = {})
{
  TBitmap expected;
  DrawExpected(expected, led->GetFormat(), shown, sx, sy, look);
  EXPECT_EQ(Difference(DisplayPicture(led), expected), "") << "\"" << shown << "\" in " << led->GetFormat();
}

// A visible form with read-outs on it.
class TReadOutTest : public TPaintTest {
protected:
  // A read-out at (10, 10) on the form, at its glyphs' own size.
  KoNumLed* ReadOut(const std::string& format = "8888")
  {
    auto* led = new KoNumLed(Form);
    led->SetParent(Form);
    led->SetFormat(format);
    led->SetBounds(10, 10, led->Engine()->LayoutWidth(), led->Engine()->LayoutHeight());
    return led;
  }
};
