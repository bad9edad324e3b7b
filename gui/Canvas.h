#pragma once
// Drawing on a device context with the framework's pen, brush and font.
#include "Classes.h"
#include "Colors.h"
#include "Geometry.h"
#include "GraphicObjects.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TGraphic;

// Drawing on a device context. The pen, brush and font are selected into the DC for each drawing call and
// the DC's previous objects, modes and colours are put back afterwards, so a DC that someone else owns is
// left as it was found and property changes take effect at the next call. Each drawing call raises
// OnChanging before and OnChange after it.
class TCanvas : public TPersistent {
public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The DC; a canvas that owns its DC creates it here on demand.
  HDC GetHandle();
  // Draws on a DC that the caller owns and keeps alive; null detaches.
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TPen* GetPen() const { return FPen.get(); }
  void SetPen(TPen* pen) { FPen->Assign(pen); }
  TBrush* GetBrush() const { return FBrush.get(); }
  void SetBrush(TBrush* brush) { FBrush->Assign(brush); }
  TFont* GetFont() const { return FFont.get(); }
  void SetFont(TFont* font) { FFont->Assign(font); }

  // Raster operation of CopyRect, Draw and StretchDraw (SRCCOPY by default).
  DWORD GetCopyMode() const { return FCopyMode; }
  void SetCopyMode(DWORD mode) { FCopyMode = mode; }

  // The DC's current position.
  TPoint GetPenPos();
  void SetPenPos(TPoint position) { MoveTo(position.x, position.y); }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& rect) { Rectangle(rect.left, rect.top, rect.right, rect.bottom); }
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& rect) { Ellipse(rect.left, rect.top, rect.right, rect.bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight);
  void Polygon(const TPoint* points, int count);
  void Polygon(const std::vector<TPoint>& points) { Polygon(points.data(), static_cast<int>(points.size())); }
  void Polyline(const TPoint* points, int count);
  // Fills with the brush, no outline.
  void FillRect(const TRect& rect);
  // A one-pixel border in the brush's colour.
  void FrameRect(const TRect& rect);
  // Copies `source` of another canvas to `dest` with CopyMode, stretching when the sizes differ.
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);
  // Draws a graphic at (x, y) in its own size; a transparent bitmap leaves its transparent colour out.
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& rect, TGraphic* graphic);

  // Text in the font's colour; the cells are filled with the brush unless its style is bsClear.
  void TextOut(int x, int y, const std::string& text);
  // The same, clipped to `rect`.
  void TextRect(const TRect& rect, int x, int y, const std::string& text);
  TSize TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }

  // The pixel's colour, or -1 (CLR_INVALID) outside the drawing surface.
  TColor GetPixel(int x, int y);
  void SetPixel(int x, int y, TColor color);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  virtual void Changing();
  virtual void Changed();

protected:
  // Called by GetHandle when there is no DC; a canvas that owns its DC creates it here.
  virtual void CreateHandle() {}

private:
  class TDrawState;
  HDC RequireHandle();
  // One drawing call: OnChanging, the parts (TDrawState flags) selected, `draw`, everything put back,
  // OnChange.
  void Paint(int parts, const std::function<void(HDC)>& draw);

  HDC FHandle = nullptr;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
  DWORD FCopyMode = SRCCOPY;
};

// Colour stretching that never blends pixels (the default mode ANDs them together when shrinking), for one
// scope.
class TStretchMode {
public:
  explicit TStretchMode(HDC dc) : m_dc(dc), m_old(SetStretchBltMode(dc, COLORONCOLOR)) {}
  ~TStretchMode()
  {
    if (m_old)
      SetStretchBltMode(m_dc, m_old);
  }
  TStretchMode(const TStretchMode&) = delete;
  TStretchMode& operator=(const TStretchMode&) = delete;

private:
  HDC m_dc;
  int m_old;
};
