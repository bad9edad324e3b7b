#include "Canvas.h"

#include "Graphic.h"
#include "Handles.h"
#include "SysUtils.h"

// Selects what one drawing call needs and puts the DC's own objects, modes and colours back afterwards.
class TCanvas::TDrawState {
public:
  enum : int { kPen = 1, kBrush = 2, kFont = 4, kText = 8 };

  TDrawState(TCanvas& canvas, HDC dc, int parts)
      : m_dc(dc), m_pen(dc, (parts & kPen) ? canvas.FPen->GetHandle() : nullptr),
        m_brush(dc, (parts & kBrush) ? canvas.FBrush->GetHandle() : nullptr),
        m_font(dc, (parts & kFont) ? canvas.FFont->GetHandle() : nullptr)
  {
    if (parts & kPen)
      m_rop2 = SetROP2(dc, PenModeToRop2(canvas.FPen->GetMode()));
    if (parts & kText) {
      m_textColor = SetTextColor(dc, ColorToColorRef(canvas.FFont->GetColor()));
      m_restoreText = true;
      if (canvas.FBrush->GetStyle() == bsClear) {
        m_bkMode = SetBkMode(dc, TRANSPARENT);
      } else {
        m_bkMode = SetBkMode(dc, OPAQUE);
        m_bkColor = SetBkColor(dc, ColorToColorRef(canvas.FBrush->GetColor()));
        m_restoreBkColor = true;
      }
    }
  }

  ~TDrawState()
  {
    if (m_restoreBkColor)
      SetBkColor(m_dc, m_bkColor);
    if (m_bkMode)
      SetBkMode(m_dc, m_bkMode);
    if (m_restoreText)
      SetTextColor(m_dc, m_textColor);
    if (m_rop2)
      SetROP2(m_dc, m_rop2);
  }

  TDrawState(const TDrawState&) = delete;
  TDrawState& operator=(const TDrawState&) = delete;

private:
  HDC m_dc;
  TSelectObject m_pen;
  TSelectObject m_brush;
  TSelectObject m_font;
  int m_rop2 = 0;
  int m_bkMode = 0;
  COLORREF m_textColor = 0;
  COLORREF m_bkColor = 0;
  bool m_restoreText = false;
  bool m_restoreBkColor = false;
};

TCanvas::TCanvas() : FFont(std::make_unique<TFont>()), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>())
{
}

TCanvas::~TCanvas() = default;

HDC TCanvas::GetHandle()
{
  if (!FHandle)
    CreateHandle();
  return FHandle;
}

void TCanvas::SetHandle(HDC dc)
{
  FHandle = dc;
}

HDC TCanvas::RequireHandle()
{
  HDC dc = GetHandle();
  if (!dc)
    throw EInvalidGraphicOperation("Canvas does not allow drawing");
  return dc;
}

void TCanvas::Changing()
{
  OnChanging(this);
}

void TCanvas::Changed()
{
  OnChange(this);
}

void TCanvas::Paint(int parts, const std::function<void(HDC)>& draw)
{
  HDC dc = RequireHandle();
  Changing();
  {
    TDrawState state(*this, dc, parts);
    draw(dc);
  }
  Changed();
}

TPoint TCanvas::GetPenPos()
{
  POINT position{};
  GetCurrentPositionEx(RequireHandle(), &position);
  return position;
}

void TCanvas::MoveTo(int x, int y)
{
  MoveToEx(RequireHandle(), x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
  Paint(TDrawState::kPen, [&](HDC dc) { ::LineTo(dc, x, y); });
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
  Paint(TDrawState::kPen | TDrawState::kBrush, [&](HDC dc) { ::Rectangle(dc, x1, y1, x2, y2); });
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
  Paint(TDrawState::kPen | TDrawState::kBrush, [&](HDC dc) { ::Ellipse(dc, x1, y1, x2, y2); });
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight)
{
  Paint(TDrawState::kPen | TDrawState::kBrush,
        [&](HDC dc) { ::RoundRect(dc, x1, y1, x2, y2, cornerWidth, cornerHeight); });
}

void TCanvas::Polygon(const TPoint* points, int count)
{
  if (!points || count <= 0)
    return;
  Paint(TDrawState::kPen | TDrawState::kBrush, [&](HDC dc) { ::Polygon(dc, points, count); });
}

void TCanvas::Polyline(const TPoint* points, int count)
{
  if (!points || count <= 0)
    return;
  Paint(TDrawState::kPen, [&](HDC dc) { ::Polyline(dc, points, count); });
}

void TCanvas::FillRect(const TRect& rect)
{
  HBRUSH brush = FBrush->GetHandle();
  Paint(0, [&](HDC dc) { ::FillRect(dc, &rect, brush); });
}

void TCanvas::FrameRect(const TRect& rect)
{
  HBRUSH brush = FBrush->GetHandle();
  Paint(0, [&](HDC dc) { ::FrameRect(dc, &rect, brush); });
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source)
{
  if (!canvas)
    return;
  HDC sourceDC = canvas->RequireHandle();
  Paint(0, [&](HDC dc) {
    TStretchMode mode(dc);
    StretchBlt(dc, dest.left, dest.top, RectWidth(dest), RectHeight(dest), sourceDC, source.left, source.top,
               RectWidth(source), RectHeight(source), FCopyMode);
  });
}

void TCanvas::Draw(int x, int y, TGraphic* graphic)
{
  if (!graphic || graphic->Empty())
    return;
  const TRect rect = Bounds(x, y, graphic->GetWidth(), graphic->GetHeight());
  Paint(0, [&](HDC) { graphic->Draw(this, rect); });
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic)
{
  if (!graphic || graphic->Empty())
    return;
  Paint(0, [&](HDC) { graphic->Draw(this, rect); });
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
  Paint(TDrawState::kFont | TDrawState::kText, [&](HDC dc) {
    ExtTextOutA(dc, x, y, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
  });
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text)
{
  const UINT options = ETO_CLIPPED | (FBrush->GetStyle() != bsClear ? ETO_OPAQUE : 0);
  Paint(TDrawState::kFont | TDrawState::kText, [&](HDC dc) {
    ExtTextOutA(dc, x, y, options, &rect, text.data(), static_cast<UINT>(text.size()), nullptr);
  });
}

TSize TCanvas::TextExtent(const std::string& text)
{
  HDC dc = RequireHandle();
  TSelectObject font(dc, FFont->GetHandle());
  SIZE size{};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  return size;
}

TColor TCanvas::GetPixel(int x, int y)
{
  return static_cast<TColor>(::GetPixel(RequireHandle(), x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
  Paint(0, [&](HDC dc) { ::SetPixel(dc, x, y, ColorToColorRef(color)); });
}
