#include "Graphics.h"

#include "Dib.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const char kInvalidBitmap[] = "Bitmap image is not valid";
const char kInvalidIcon[] = "Icon image is not valid";

// Picture files are read whole; anything larger than the largest picture we accept is not one of ours.
constexpr size_t kMaxBitmapFileBytes = static_cast<size_t>(Dib::kMaxPixels) * 4 + 65536;
constexpr size_t kMaxIconFileBytes = 16u << 20;

std::vector<uint8_t> ReadAll(TStream* stream, size_t limit, const char* tooLarge)
{
  std::vector<uint8_t> data;
  std::vector<uint8_t> chunk(65536);
  for (;;) {
    const long count = stream->Read(chunk.data(), static_cast<long>(chunk.size()));
    if (count <= 0)
      break;
    if (data.size() + static_cast<size_t>(count) > limit)
      throw EInvalidGraphic(tooLarge);
    data.insert(data.end(), chunk.begin(), chunk.begin() + count);
  }
  return data;
}

int RectWidthOf(const TRect& rect) { return rect.right - rect.left; }
int RectHeightOf(const TRect& rect) { return rect.bottom - rect.top; }

// Colour stretching that never blends pixels (the default mode ANDs them together when shrinking).
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

// 0xAARRGGBB as a COLORREF (0x00BBGGRR).
COLORREF ArgbToColorRef(uint32_t argb)
{
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

TPixelFormat DeviceFormat()
{
  const int bits = ScreenBitsPerPixel();
  if (bits >= 32)
    return pf32bit;
  if (bits >= 24)
    return pf24bit;
  if (bits == 16)
    return pf16bit;
  if (bits == 15)
    return pf15bit;
  if (bits >= 8)
    return pf8bit;
  if (bits >= 4)
    return pf4bit;
  return pf1bit;
}

Dib::TLayout LayoutOf(TPixelFormat format)
{
  switch (format) {
  case pf1bit: return 1;
  case pf4bit: return 4;
  case pf8bit: return 8;
  case pf15bit: return 15;
  case pf16bit: return 16;
  case pf24bit: return 24;
  case pf32bit: return 32;
  default: return LayoutOf(DeviceFormat());
  }
}

TPixelFormat FormatOf(Dib::TLayout layout)
{
  switch (layout) {
  case 1: return pf1bit;
  case 4: return pf4bit;
  case 8: return pf8bit;
  case 15: return pf15bit;
  case 16: return pf16bit;
  case 24: return pf24bit;
  default: return pf32bit;
  }
}

// A DIB section of the layout; raises EOutOfResources when the system refuses it.
TBitmapHandle CreateDib(int width, int height, Dib::TLayout layout, bool topDown, const std::vector<RGBQUAD>& table,
                        void** bits)
{
  std::vector<uint8_t> buffer(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(buffer.data());
  BITMAPINFOHEADER& header = info->bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = topDown ? -height : height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(Dib::StorageBits(layout));
  header.biCompression = layout == 16 ? BI_BITFIELDS : BI_RGB;
  if (layout == 16) {
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info->bmiColors, masks, sizeof(masks));
  } else if (Dib::HasColorTable(layout)) {
    const size_t count = std::min<size_t>(table.size(), size_t{1} << layout);
    header.biClrUsed = static_cast<DWORD>(count);
    std::memcpy(info->bmiColors, table.data(), count * sizeof(RGBQUAD));
  }
  *bits = nullptr;
  TBitmapHandle dib(CreateDIBSection(nullptr, info, DIB_RGB_COLORS, bits, nullptr, 0));
  if (!dib || !*bits)
    throw EOutOfResources();
  return dib;
}

// Whether a DIB section keeps its top row first. The system does not always report the sign of the height
// it was created with, so two different values are written into the first stored pixel and the pixel at
// (0, 0) is watched; the memory is put back afterwards. A picture whose colours are all alike looks the
// same either way.
bool StoredTopDown(HBITMAP bitmap, void* bits, int height, Dib::TLayout layout, const std::vector<RGBQUAD>& table)
{
  if (height < 2)
    return false;
  // Two contents of the first stored pixel that show as different colours.
  uint8_t probes[2][4] = {};
  if (Dib::HasColorTable(layout)) {
    size_t other = 1;
    while (other < table.size() && std::memcmp(&table[other], &table[0], 3) == 0)
      ++other;
    if (other >= table.size())
      return false;
    probes[1][0] = static_cast<uint8_t>(other << (8 - layout));
  } else {
    std::memset(probes[1], 0xFF, sizeof(probes[1]));
  }
  TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
  if (!dc)
    throw EOutOfResources();
  TSelectObject select(dc.Get(), bitmap);
  auto* first = static_cast<uint8_t*>(bits);
  uint8_t saved[4];
  GdiFlush();
  std::memcpy(saved, first, sizeof(saved));
  COLORREF seen[2];
  for (int i = 0; i < 2; ++i) {
    std::memcpy(first, probes[i], sizeof(probes[i]));
    seen[i] = GetPixel(dc.Get(), 0, 0);
  }
  std::memcpy(first, saved, sizeof(saved));
  return seen[0] != seen[1];
}

// Rejects sizes whose pixel memory cannot be addressed, before asking the system for it.
void CheckSize(int width, int height, Dib::TLayout layout)
{
  if (width < 0 || height < 0)
    throw EInvalidGraphicOperation("Invalid bitmap size");
  if (Dib::Stride(width, layout) * height > 0x7FFFFFFF)
    throw EOutOfResources();
}

}  // namespace

// --- colours ---

TColor ColorToRGB(TColor color)
{
  if (color < 0)
    return static_cast<TColor>(GetSysColor(color & 0xFF));
  return color;
}

int ScreenPixelsPerInch()
{
  TWindowDC screen(nullptr);
  return screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
}

int ScreenBitsPerPixel()
{
  TWindowDC screen(nullptr);
  return screen ? GetDeviceCaps(screen.Get(), BITSPIXEL) * GetDeviceCaps(screen.Get(), PLANES) : 32;
}

int PixelFormatBits(TPixelFormat format)
{
  switch (format) {
  case pf1bit: return 1;
  case pf4bit: return 4;
  case pf8bit: return 8;
  case pf15bit:
  case pf16bit: return 16;
  case pf24bit: return 24;
  case pf32bit: return 32;
  default: return 0;
  }
}

// --- graphics objects ---

void TGraphicsObject::Changed()
{
  OnChange(this);
}

TFont::TFont()
    : FName("MS Sans Serif"), FHeight(-11), FPixelsPerInch(ScreenPixelsPerInch()), FColor(clWindowText),
      FCharset(DEFAULT_CHARSET), FPitch(fpDefault)
{
}

TFont::~TFont() = default;

void TFont::Assign(TPersistent* source)
{
  if (auto* font = dynamic_cast<TFont*>(source)) {
    if (font == this)
      return;
    FName = font->FName;
    // The same size in points, at this font's resolution.
    FHeight = font->FPixelsPerInch == FPixelsPerInch ? font->FHeight
                                                     : MulDiv(font->FHeight, FPixelsPerInch, font->FPixelsPerInch);
    FColor = font->FColor;
    FStyle = font->FStyle;
    FCharset = font->FCharset;
    FPitch = font->FPitch;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HFONT TFont::GetHandle()
{
  if (!FHandle) {
    const LOGFONTA logFont = LogFont();
    FHandle.Reset(CreateFontIndirectA(&logFont));
    if (!FHandle)
      throw EOutOfResources();
  }
  return FHandle.Get();
}

LOGFONTA TFont::LogFont() const
{
  LOGFONTA logFont{};
  logFont.lfHeight = FHeight;
  logFont.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  logFont.lfItalic = FStyle.Contains(fsItalic);
  logFont.lfUnderline = FStyle.Contains(fsUnderline);
  logFont.lfStrikeOut = FStyle.Contains(fsStrikeOut);
  logFont.lfCharSet = FCharset;
  logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  logFont.lfQuality = DEFAULT_QUALITY;
  logFont.lfPitchAndFamily = FPitch == fpFixed ? FIXED_PITCH : FPitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
  lstrcpynA(logFont.lfFaceName, FName.c_str(), LF_FACESIZE);
  return logFont;
}

void TFont::SetName(const std::string& name)
{
  if (name.empty() || name == FName)
    return;
  FName = name;
  Changed();
}

void TFont::SetHeight(int height)
{
  if (height == FHeight)
    return;
  FHeight = height;
  Changed();
}

int TFont::GetSize() const
{
  return -MulDiv(FHeight, 72, FPixelsPerInch);
}

void TFont::SetSize(int points)
{
  SetHeight(-MulDiv(points, FPixelsPerInch, 72));
}

void TFont::SetPixelsPerInch(int pixelsPerInch)
{
  if (pixelsPerInch > 0)
    FPixelsPerInch = pixelsPerInch;
}

void TFont::SetColor(TColor color)
{
  if (color == FColor)
    return;
  FColor = color;
  Changed();
}

void TFont::SetStyle(TFontStyles style)
{
  if (style == FStyle)
    return;
  FStyle = style;
  Changed();
}

void TFont::SetCharset(TFontCharset charset)
{
  if (charset == FCharset)
    return;
  FCharset = charset;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch)
{
  if (pitch == FPitch)
    return;
  FPitch = pitch;
  Changed();
}

void TFont::Changed()
{
  FHandle.Reset();
  TGraphicsObject::Changed();
}

int PenModeToRop2(TPenMode mode)
{
  static const int kRop2[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                              R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                              R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                              R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
  const int index = static_cast<int>(mode);
  return index >= 0 && index < 16 ? kRop2[index] : R2_COPYPEN;
}

TPen::TPen() = default;
TPen::~TPen() = default;

void TPen::Assign(TPersistent* source)
{
  if (auto* pen = dynamic_cast<TPen*>(source)) {
    if (pen == this)
      return;
    FColor = pen->FColor;
    FWidth = pen->FWidth;
    FStyle = pen->FStyle;
    FMode = pen->FMode;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HPEN TPen::GetHandle()
{
  if (FStyle == psClear)
    return static_cast<HPEN>(GetStockObject(NULL_PEN));
  if (!FHandle) {
    static const int kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    FHandle.Reset(CreatePen(kStyles[FStyle], FWidth, ColorToColorRef(FColor)));
    if (!FHandle)
      throw EOutOfResources();
  }
  return FHandle.Get();
}

void TPen::SetColor(TColor color)
{
  if (color == FColor)
    return;
  FColor = color;
  Changed();
}

void TPen::SetWidth(int width)
{
  if (width < 0 || width == FWidth)
    return;
  FWidth = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style)
{
  if (style == FStyle)
    return;
  FStyle = style;
  Changed();
}

void TPen::SetMode(TPenMode mode)
{
  if (mode == FMode)
    return;
  FMode = mode;
  Changed();
}

void TPen::Changed()
{
  FHandle.Reset();
  TGraphicsObject::Changed();
}

TBrush::TBrush() = default;
TBrush::~TBrush() = default;

void TBrush::Assign(TPersistent* source)
{
  if (auto* brush = dynamic_cast<TBrush*>(source)) {
    if (brush == this)
      return;
    FColor = brush->FColor;
    FStyle = brush->FStyle;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HBRUSH TBrush::GetHandle()
{
  if (FStyle == bsClear)
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  if (!FHandle) {
    if (FStyle == bsSolid) {
      FHandle.Reset(CreateSolidBrush(ColorToColorRef(FColor)));
    } else {
      static const int kHatches[] = {HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS};
      FHandle.Reset(CreateHatchBrush(kHatches[FStyle - bsHorizontal], ColorToColorRef(FColor)));
    }
    if (!FHandle)
      throw EOutOfResources();
  }
  return FHandle.Get();
}

void TBrush::SetColor(TColor color)
{
  if (color == FColor)
    return;
  FColor = color;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style)
{
  if (style == FStyle)
    return;
  FStyle = style;
  Changed();
}

void TBrush::Changed()
{
  FHandle.Reset();
  TGraphicsObject::Changed();
}

// --- canvas ---

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
    StretchBlt(dc, dest.left, dest.top, RectWidthOf(dest), RectHeightOf(dest), sourceDC, source.left, source.top,
               RectWidthOf(source), RectHeightOf(source), FCopyMode);
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

// --- graphics ---

void TGraphic::SetTransparent(bool transparent)
{
  if (transparent == FTransparent)
    return;
  FTransparent = transparent;
  Changed();
}

void TGraphic::LoadFromFile(const std::string& fileName)
{
  TFileStream stream(fileName);
  LoadFromStream(&stream);
}

void TGraphic::Changed()
{
  OnChange(this);
}

EFCreateError::EFCreateError(const std::string& path) : Exception("Cannot create file " + path) {}

// --- bitmap ---

// The canvas of a bitmap: a memory DC, created on first use, with the bitmap's DIB section selected.
// Drawing on it is a change of the bitmap. A bitmap can be selected into one DC only, so a canvas that
// needs a handle another bitmap canvas holds (a handle lent to a second TBitmap) takes it out of that
// canvas's DC first; that canvas selects it again when it is next used.
class TBitmap::TBitmapCanvas : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap& bitmap) : m_bitmap(bitmap) {}
  ~TBitmapCanvas() override { Release(); }

  // Gives the DC up (the bitmap's handle is about to change); the next use creates it again.
  void Release()
  {
    SetHandle(nullptr);
    m_selection.reset();
    m_dc.Reset();
    if (m_selected) {
      auto& holders = Holders();
      holders.erase(std::remove(holders.begin(), holders.end(), this), holders.end());
      m_selected = nullptr;
    }
  }

  // Takes `bitmap` out of every bitmap canvas's DC.
  static void Deselect(HBITMAP bitmap)
  {
    if (!bitmap)
      return;
    const std::vector<TBitmapCanvas*> holders = Holders();
    for (TBitmapCanvas* holder : holders) {
      if (holder->m_selected == bitmap)
        holder->Release();
    }
  }

  void Changed() override
  {
    TCanvas::Changed();
    m_bitmap.Changed();
  }

protected:
  void CreateHandle() override
  {
    TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
    if (!dc)
      throw EOutOfResources();
    m_dc = std::move(dc);
    if (HBITMAP bitmap = m_bitmap.FHandle.Get()) {
      Deselect(bitmap);
      m_selection = std::make_unique<TSelectObject>(m_dc.Get(), bitmap);
      m_selected = bitmap;
      Holders().push_back(this);
    }
    SetHandle(m_dc.Get());
  }

private:
  // Bitmap canvases whose DC holds a bitmap (GUI thread only).
  static std::vector<TBitmapCanvas*>& Holders()
  {
    static std::vector<TBitmapCanvas*> holders;
    return holders;
  }

  TBitmap& m_bitmap;
  TMemoryDC m_dc;
  std::unique_ptr<TSelectObject> m_selection;
  HBITMAP m_selected = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
  DetachCanvas();
}

void TBitmap::DetachCanvas()
{
  if (FCanvas)
    FCanvas->Release();
}

HDC TBitmap::CanvasDC()
{
  return GetCanvas()->GetHandle();
}

TCanvas* TBitmap::GetCanvas()
{
  if (!FCanvas)
    FCanvas = std::make_unique<TBitmapCanvas>(*this);
  return FCanvas.get();
}

void TBitmap::SetImage(TBitmapHandle handle, void* bits, int width, int height, TPixelFormat format, bool topDown,
                       std::vector<RGBQUAD> table)
{
  DetachCanvas();
  FHandle = std::move(handle);
  FBits = FHandle ? bits : nullptr;
  FWidth = width;
  FHeight = height;
  FPixelFormat = format;
  FTopDown = topDown;
  FColorTable = FHandle ? std::move(table) : std::vector<RGBQUAD>();
}

uint8_t* TBitmap::Row(int row) const
{
  const int64_t stride = Dib::Stride(FWidth, LayoutOf(FPixelFormat));
  const int stored = FTopDown ? row : FHeight - 1 - row;
  return static_cast<uint8_t*>(FBits) + stride * stored;
}

bool TBitmap::Empty() const
{
  return !FHandle;
}

void TBitmap::SetSize(int width, int height)
{
  if (width == FWidth && height == FHeight)
    return;
  const Dib::TLayout layout = LayoutOf(FPixelFormat);
  CheckSize(width, height, layout);
  if (width == 0 || height == 0) {
    SetImage(TBitmapHandle(), nullptr, width, height, FPixelFormat, false, {});
    Changed();
    return;
  }
  std::vector<RGBQUAD> table;
  if (Dib::HasColorTable(layout))
    table = FHandle && !FColorTable.empty() ? FColorTable : Dib::DefaultColorTable(layout);
  void* bits = nullptr;
  TBitmapHandle dib = CreateDib(width, height, layout, false, table, &bits);
  GdiFlush();

  // White everywhere, then the old picture over the top-left corner.
  const int64_t stride = Dib::Stride(width, layout);
  Dib::TColorMatcher matcher(table);
  std::vector<uint32_t> white(static_cast<size_t>(width), 0x00FFFFFFu);
  auto* newBits = static_cast<uint8_t*>(bits);
  Dib::EncodeRow(white.data(), width, layout, matcher, newBits);
  for (int y = 1; y < height; ++y)
    std::memcpy(newBits + stride * y, newBits, static_cast<size_t>(stride));
  if (FHandle) {
    const int rows = std::min(height, FHeight);
    const int columns = std::min(width, FWidth);
    for (int y = 0; y < rows; ++y)
      Dib::CopyPixels(Row(y), newBits + stride * (height - 1 - y), columns, layout);
  }
  SetImage(std::move(dib), bits, width, height, FormatOf(layout), false, std::move(table));
  Changed();
}

TPixelFormat TBitmap::GetPixelFormat() const
{
  return FPixelFormat;
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
  if (format == pfCustom || format < pfDevice || format > pfCustom)
    throw EInvalidGraphicOperation("Invalid pixel format");
  if (!FHandle) {
    if (format != FPixelFormat) {
      FPixelFormat = format;
      Changed();
    }
    return;
  }
  const TPixelFormat target = format == pfDevice ? DeviceFormat() : format;
  if (target == FPixelFormat)
    return;

  const Dib::TLayout from = LayoutOf(FPixelFormat);
  const Dib::TLayout to = LayoutOf(target);
  std::vector<RGBQUAD> table = Dib::DefaultColorTable(to);
  void* bits = nullptr;
  TBitmapHandle dib = CreateDib(FWidth, FHeight, to, FTopDown, table, &bits);
  GdiFlush();
  const int64_t stride = Dib::Stride(FWidth, to);
  Dib::TColorMatcher matcher(table);
  std::vector<uint32_t> pixels(static_cast<size_t>(FWidth));
  for (int y = 0; y < FHeight; ++y) {
    Dib::DecodeRow(Row(y), FWidth, from, FColorTable, pixels.data());
    const int stored = FTopDown ? y : FHeight - 1 - y;
    Dib::EncodeRow(pixels.data(), FWidth, to, matcher, static_cast<uint8_t*>(bits) + stride * stored);
  }
  SetImage(std::move(dib), bits, FWidth, FHeight, target, FTopDown, std::move(table));
  Changed();
}

void TBitmap::SetMonochrome(bool monochrome)
{
  if (monochrome)
    SetPixelFormat(pf1bit);
  else if (GetMonochrome())
    SetPixelFormat(pfDevice);
}

void* TBitmap::ScanLine(int row)
{
  if (!FHandle || row < 0 || row >= FHeight)
    throw EInvalidGraphicOperation("Scan line index out of range");
  GdiFlush();
  return Row(row);
}

int TBitmap::BytesPerLine() const
{
  return FHandle ? static_cast<int>(Dib::Stride(FWidth, LayoutOf(FPixelFormat))) : 0;
}

void TBitmap::SetHandle(HBITMAP bitmap)
{
  if (bitmap == FHandle.Get())
    return;
  if (!bitmap) {
    FreeImage();
    return;
  }
  TBitmapHandle owned(bitmap);
  TBitmapCanvas::Deselect(bitmap);  // a handle lent by another bitmap may sit in its canvas's DC
  DIBSECTION section{};
  const int got = GetObjectA(bitmap, sizeof(section), &section);
  if (got == 0)
    throw EInvalidGraphic(kInvalidBitmap);

  if (got == static_cast<int>(sizeof(DIBSECTION)) && section.dsBm.bmBits) {
    const BITMAPINFOHEADER& header = section.dsBmih;
    const bool fields = header.biCompression == BI_BITFIELDS;
    const DWORD* masks = section.dsBitfields;
    Dib::TLayout layout = 0;
    switch (header.biBitCount) {
    case 1: case 4: case 8: case 24:
      layout = header.biBitCount;
      break;
    case 16:
      if (!fields || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F))
        layout = 15;
      else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
        layout = 16;
      break;
    case 32:
      if (!fields || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
        layout = 32;
      break;
    default:
      break;
    }
    if (layout) {
      std::vector<RGBQUAD> table;
      if (Dib::HasColorTable(layout)) {
        TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
        TSelectObject select(dc.Get(), bitmap);
        RGBQUAD entries[256];
        UINT count = GetDIBColorTable(dc.Get(), 0, 256, entries);
        if (header.biClrUsed && header.biClrUsed < count)
          count = header.biClrUsed;
        table.assign(entries, entries + count);
      }
      const int height = std::abs(section.dsBm.bmHeight);
      const bool topDown = header.biHeight < 0 || StoredTopDown(bitmap, section.dsBm.bmBits, height, layout, table);
      SetImage(std::move(owned), section.dsBm.bmBits, section.dsBm.bmWidth, height, FormatOf(layout), topDown,
               std::move(table));
      Changed();
      return;
    }
  }

  // A device-dependent bitmap (or a DIB in a layout we do not keep): copy it into a DIB section of ours.
  BITMAP info{};
  GetObjectA(bitmap, sizeof(info), &info);
  const int width = info.bmWidth, height = info.bmHeight;
  const Dib::TLayout layout = info.bmBitsPixel == 1 ? 1 : (info.bmBitsPixel == 16 ? 24 : LayoutOf(DeviceFormat()));
  CheckSize(width, height, layout);
  if (width == 0 || height == 0) {
    SetImage(TBitmapHandle(), nullptr, width, height, FormatOf(layout), false, {});
    Changed();
    return;
  }
  std::vector<RGBQUAD> table = Dib::DefaultColorTable(layout);
  void* bits = nullptr;
  TBitmapHandle dib = CreateDib(width, height, layout, false, table, &bits);
  {
    TMemoryDC sourceDC = TMemoryDC::CreateCompatible(nullptr);
    TMemoryDC destDC = TMemoryDC::CreateCompatible(nullptr);
    if (!sourceDC || !destDC)
      throw EOutOfResources();
    TSelectObject selectSource(sourceDC.Get(), bitmap);
    TSelectObject selectDest(destDC.Get(), dib.Get());
    BitBlt(destDC.Get(), 0, 0, width, height, sourceDC.Get(), 0, 0, SRCCOPY);
  }
  GdiFlush();
  SetImage(std::move(dib), bits, width, height, FormatOf(layout), false, std::move(table));
  Changed();
}

HBITMAP TBitmap::ReleaseHandle()
{
  DetachCanvas();
  GdiFlush();
  HBITMAP bitmap = FHandle.Extract();
  FBits = nullptr;
  FWidth = 0;
  FHeight = 0;
  FColorTable.clear();
  if (bitmap)
    Changed();
  return bitmap;
}

void TBitmap::FreeImage()
{
  const bool had = FHandle.Valid() || FWidth || FHeight;
  SetImage(TBitmapHandle(), nullptr, 0, 0, FPixelFormat, false, {});
  if (had)
    Changed();
}

std::vector<RGBQUAD> TBitmap::ColorTable() const
{
  return FColorTable;
}

TColor TBitmap::GetTransparentColor()
{
  if (FTransparentMode == tmFixed)
    return FTransparentColor;
  if (!FHandle || GetMonochrome())
    return clWhite | clTransparentFlag;
  GdiFlush();
  uint32_t argb = 0;
  Dib::DecodeRow(Row(FHeight - 1), 1, LayoutOf(FPixelFormat), FColorTable, &argb);
  return static_cast<TColor>(ArgbToColorRef(argb)) | clTransparentFlag;
}

void TBitmap::SetTransparentColor(TColor color)
{
  FTransparentColor = color;
  FTransparentMode = color == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode)
{
  if (mode == FTransparentMode)
    return;
  if (mode == tmAuto)
    SetTransparentColor(clDefault);
  else
    SetTransparentColor(GetTransparentColor());
}

void TBitmap::SetTransparent(bool transparent)
{
  TGraphic::SetTransparent(transparent);
}

void TBitmap::Assign(TPersistent* source)
{
  auto* bitmap = dynamic_cast<TBitmap*>(source);
  if (!bitmap) {
    TGraphic::Assign(source);
    return;
  }
  if (bitmap == this)
    return;
  TBitmapHandle copy;
  void* bits = nullptr;
  if (bitmap->FHandle) {
    GdiFlush();
    const Dib::TLayout layout = LayoutOf(bitmap->FPixelFormat);
    copy = CreateDib(bitmap->FWidth, bitmap->FHeight, layout, bitmap->FTopDown, bitmap->FColorTable, &bits);
    std::memcpy(bits, bitmap->FBits, static_cast<size_t>(Dib::Stride(bitmap->FWidth, layout) * bitmap->FHeight));
  }
  SetImage(std::move(copy), bits, bitmap->FWidth, bitmap->FHeight, bitmap->FPixelFormat, bitmap->FTopDown,
           bitmap->FColorTable);
  FTransparent = bitmap->FTransparent;
  FTransparentMode = bitmap->FTransparentMode;
  FTransparentColor = bitmap->FTransparentColor;
  Changed();
}

void TBitmap::LoadFromStream(TStream* stream)
{
  const std::vector<uint8_t> data = ReadAll(stream, kMaxBitmapFileBytes, kInvalidBitmap);
  Dib::TImage image = Dib::ReadBmp(data.data(), data.size());
  void* bits = nullptr;
  TBitmapHandle dib = CreateDib(image.Width, image.Height, image.Layout, image.TopDown, image.ColorTable, &bits);
  std::memcpy(bits, image.Bits.data(), image.Bits.size());
  SetImage(std::move(dib), bits, image.Width, image.Height, FormatOf(image.Layout), image.TopDown,
           std::move(image.ColorTable));
  Changed();
}

std::vector<uint8_t> TBitmap::SaveToBytes() const
{
  if (!FHandle)
    throw EInvalidGraphicOperation("Cannot save an empty bitmap");
  GdiFlush();
  Dib::TImage image;
  image.Width = FWidth;
  image.Height = FHeight;
  image.Layout = LayoutOf(FPixelFormat);
  image.TopDown = FTopDown;
  image.ColorTable = FColorTable;
  const auto* bits = static_cast<const uint8_t*>(FBits);
  image.Bits.assign(bits, bits + Dib::Stride(FWidth, image.Layout) * FHeight);
  return Dib::WriteBmp(image);
}

void TBitmap::SaveToFile(const std::string& fileName)
{
  const std::vector<uint8_t> bytes = SaveToBytes();
  TKernelHandle file(
      CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    throw EFCreateError(fileName);
  size_t written = 0;
  while (written < bytes.size()) {
    DWORD count = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 20));
    if (!WriteFile(file.Get(), bytes.data() + written, chunk, &count, nullptr) || count == 0)
      throw EStreamError("Stream write error");
    written += count;
  }
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect)
{
  if (!FHandle || !canvas)
    return;
  HDC dest = canvas->GetHandle();
  if (!dest)
    return;
  if (GetTransparent()) {
    DrawTransparent(dest, rect);
    return;
  }
  HDC source = CanvasDC();
  TStretchMode mode(dest);
  StretchBlt(dest, rect.left, rect.top, RectWidthOf(rect), RectHeightOf(rect), source, 0, 0, FWidth, FHeight,
             canvas->GetCopyMode());
}

// Pixels of the transparent colour leave the destination alone. The destination's pixels are read into a
// 32-bit buffer, the picture's other pixels are put over them (stretched by nearest pixel) and the result
// is written back: exact on every kind of target, palette ones included, and the destination keeps its
// own alpha where the picture is transparent.
void TBitmap::DrawTransparent(HDC dest, const TRect& rect)
{
  const int width = RectWidthOf(rect), height = RectHeightOf(rect);
  if (width <= 0 || height <= 0)
    return;
  const COLORREF key = ColorToColorRef(GetTransparentColor());
  const uint32_t keyArgb = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);

  void* bufferBits = nullptr;
  TBitmapHandle buffer = CreateDib(width, height, 32, true, {}, &bufferBits);
  TMemoryDC bufferDC = TMemoryDC::CreateCompatible(nullptr);
  if (!bufferDC)
    throw EOutOfResources();
  TSelectObject select(bufferDC.Get(), buffer.Get());
  BitBlt(bufferDC.Get(), 0, 0, width, height, dest, rect.left, rect.top, SRCCOPY);
  GdiFlush();

  std::vector<int> sourceX(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x)
    sourceX[static_cast<size_t>(x)] = static_cast<int>(int64_t{x} * FWidth / width);
  const Dib::TLayout layout = LayoutOf(FPixelFormat);
  std::vector<uint32_t> row(static_cast<size_t>(FWidth));
  int decodedRow = -1;
  for (int y = 0; y < height; ++y) {
    const int sourceY = static_cast<int>(int64_t{y} * FHeight / height);
    if (sourceY != decodedRow) {
      Dib::DecodeRow(Row(sourceY), FWidth, layout, FColorTable, row.data());
      decodedRow = sourceY;
    }
    auto* out = static_cast<uint32_t*>(bufferBits) + int64_t{width} * y;
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = row[static_cast<size_t>(sourceX[static_cast<size_t>(x)])];
      if ((pixel & 0xFFFFFF) != keyArgb)
        out[x] = pixel;
    }
  }
  BitBlt(dest, rect.left, rect.top, width, height, bufferDC.Get(), 0, 0, SRCCOPY);
}

// --- icon ---

TIcon::TIcon()
{
  FTransparent = true;
}

TIcon::~TIcon() = default;

void TIcon::Adopt(HICON icon)
{
  FHandle.Reset(icon);
  FWidth = 0;
  FHeight = 0;
  if (!icon)
    return;
  ICONINFO info{};
  if (!GetIconInfo(icon, &info))
    return;
  TBitmapHandle colorBits(info.hbmColor);
  TBitmapHandle maskBits(info.hbmMask);
  BITMAP bitmap{};
  if (colorBits && GetObjectA(colorBits.Get(), sizeof(bitmap), &bitmap)) {
    FWidth = bitmap.bmWidth;
    FHeight = bitmap.bmHeight;
  } else if (maskBits && GetObjectA(maskBits.Get(), sizeof(bitmap), &bitmap)) {
    // A monochrome icon keeps its AND and XOR masks one above the other.
    FWidth = bitmap.bmWidth;
    FHeight = bitmap.bmHeight / 2;
  }
}

void TIcon::Assign(TPersistent* source)
{
  auto* icon = dynamic_cast<TIcon*>(source);
  if (!icon) {
    TGraphic::Assign(source);
    return;
  }
  if (icon == this)
    return;
  HICON copy = nullptr;
  if (icon->FHandle) {
    copy = CopyIcon(icon->FHandle.Get());
    if (!copy)
      throw EOutOfResources();
  }
  Adopt(copy);
  Changed();
}

void TIcon::SetWidth(int)
{
  throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHeight(int)
{
  throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHandle(HICON icon)
{
  if (icon == FHandle.Get())
    return;
  Adopt(icon);
  Changed();
}

HICON TIcon::ReleaseHandle()
{
  HICON icon = FHandle.Extract();
  FWidth = 0;
  FHeight = 0;
  if (icon)
    Changed();
  return icon;
}

void TIcon::LoadFromStream(TStream* stream)
{
  const std::vector<uint8_t> data = ReadAll(stream, kMaxIconFileBytes, kInvalidIcon);
  auto get16 = [&](size_t at) { return static_cast<unsigned>(data[at] | (data[at + 1] << 8)); };
  auto get32 = [&](size_t at) {
    return static_cast<uint32_t>(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16)) |
           (static_cast<uint32_t>(data[at + 3]) << 24);
  };
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries.
  if (data.size() < 6 + 16 || get16(0) != 0 || get16(2) != 1 || get16(4) == 0)
    throw EInvalidGraphic(kInvalidIcon);
  const size_t count = get16(4);
  if (6 + 16 * count > data.size())
    throw EInvalidGraphic(kInvalidIcon);
  const uint32_t bytes = get32(6 + 8);
  const uint32_t offset = get32(6 + 12);
  if (bytes < 40 || offset > data.size() || bytes > data.size() - offset)
    throw EInvalidGraphic(kInvalidIcon);
  HICON icon = CreateIconFromResourceEx(const_cast<uint8_t*>(data.data() + offset), bytes, TRUE, 0x00030000, 0, 0,
                                        LR_DEFAULTCOLOR);
  if (!icon)
    throw EInvalidGraphic(kInvalidIcon);
  Adopt(icon);
  Changed();
}

void TIcon::SaveToFile(const std::string&)
{
  throw EInvalidGraphicOperation("Saving icons is not supported");
}

void TIcon::Draw(TCanvas* canvas, const TRect& rect)
{
  if (!FHandle || !canvas)
    return;
  HDC dest = canvas->GetHandle();
  if (!dest)
    return;
  DrawIconEx(dest, rect.left, rect.top, FHandle.Get(), RectWidthOf(rect), RectHeightOf(rect), 0, nullptr, DI_NORMAL);
}

// --- picture ---

TPicture::TPicture() = default;

TPicture::~TPicture()
{
  if (FGraphic)
    FGraphic->OnChange = nullptr;
}

void TPicture::Hold(std::unique_ptr<TGraphic> graphic)
{
  if (FGraphic)
    FGraphic->OnChange = nullptr;
  FGraphic = std::move(graphic);
  if (FGraphic)
    FGraphic->OnChange = TNotifyEvent(this, &TPicture::GraphicChanged);
  Changed();
}

void TPicture::GraphicChanged(TObject*)
{
  Changed();
}

void TPicture::Changed()
{
  OnChange(this);
}

TBitmap* TPicture::GetBitmap()
{
  if (!dynamic_cast<TBitmap*>(FGraphic.get()))
    Hold(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(FGraphic.get());
}

void TPicture::SetBitmap(TBitmap* bitmap)
{
  GetBitmap()->Assign(bitmap);
}

TIcon* TPicture::GetIcon()
{
  if (!dynamic_cast<TIcon*>(FGraphic.get()))
    Hold(std::make_unique<TIcon>());
  return static_cast<TIcon*>(FGraphic.get());
}

void TPicture::SetIcon(TIcon* icon)
{
  GetIcon()->Assign(icon);
}

void TPicture::SetGraphic(TGraphic* graphic)
{
  if (graphic == FGraphic.get())
    return;
  if (!graphic) {
    Hold(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy;
  if (dynamic_cast<TBitmap*>(graphic))
    copy = std::make_unique<TBitmap>();
  else if (dynamic_cast<TIcon*>(graphic))
    copy = std::make_unique<TIcon>();
  else
    throw EInvalidCast();
  copy->Assign(graphic);
  Hold(std::move(copy));
}

void TPicture::Assign(TPersistent* source)
{
  if (!source) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
    if (picture != this)
      SetGraphic(picture->GetGraphic());
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::LoadFromFile(const std::string& fileName)
{
  const std::string name = ExtractFileName(fileName);
  const size_t dot = name.find_last_of('.');
  const bool icon = dot != std::string::npos && lstrcmpiA(name.c_str() + dot, ".ico") == 0;
  std::unique_ptr<TGraphic> graphic;
  if (icon)
    graphic = std::make_unique<TIcon>();
  else
    graphic = std::make_unique<TBitmap>();
  graphic->LoadFromFile(fileName);
  Hold(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName)
{
  if (FGraphic)
    FGraphic->SaveToFile(fileName);
}
