#pragma once
// Colours, fonts, pens, brushes, canvases over device contexts, bitmaps (DIB sections), icons and pictures.
#include "Classes.h"
#include "Handles.h"
#include "SysUtils.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// --- geometry ---

using TRect = RECT;
using TPoint = POINT;
using TSize = SIZE;

inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height)
{
  return TRect{left, top, left + width, top + height};
}
inline TPoint Point(int x, int y) { return TPoint{x, y}; }
inline bool operator==(const TRect& a, const TRect& b)
{
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const TRect& a, const TRect& b) { return !(a == b); }
inline bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(const TPoint& a, const TPoint& b) { return !(a == b); }

// A small set of enumerators 0..31, as the framework's set types ([fsBold, fsUnderline]).
template <typename E>
class TSet {
public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items)
  {
    for (E item : items)
      m_bits |= Bit(item);
  }
  static constexpr TSet FromBits(uint32_t bits)
  {
    TSet set;
    set.m_bits = bits;
    return set;
  }

  constexpr bool Contains(E item) const { return (m_bits & Bit(item)) != 0; }
  constexpr bool Empty() const { return m_bits == 0; }
  constexpr uint32_t Bits() const { return m_bits; }

  constexpr TSet operator+(TSet other) const { return FromBits(m_bits | other.m_bits); }
  constexpr TSet operator-(TSet other) const { return FromBits(m_bits & ~other.m_bits); }
  constexpr TSet operator*(TSet other) const { return FromBits(m_bits & other.m_bits); }
  TSet& operator+=(TSet other) { m_bits |= other.m_bits; return *this; }
  TSet& operator-=(TSet other) { m_bits &= ~other.m_bits; return *this; }
  TSet& Include(E item) { m_bits |= Bit(item); return *this; }
  TSet& Exclude(E item) { m_bits &= ~Bit(item); return *this; }
  constexpr bool operator==(TSet other) const { return m_bits == other.m_bits; }
  constexpr bool operator!=(TSet other) const { return m_bits != other.m_bits; }

private:
  static constexpr uint32_t Bit(E item) { return uint32_t{1} << static_cast<unsigned>(item); }
  uint32_t m_bits = 0;
};

// --- colours ---

// 0x00BBGGRR for a plain colour; 0x80000000 | COLOR_xxx for a system colour; clNone and clDefault are
// markers. A bitmap's reported transparent colour carries 0x02000000.
using TColor = int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }

constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The flag a bitmap's reported transparent colour carries.
constexpr TColor clTransparentFlag = 0x02000000;

// A plain colour as is; a system colour (top bit set) as the system's current value of it.
TColor ColorToRGB(TColor color);
inline COLORREF ColorToColorRef(TColor color) { return static_cast<COLORREF>(ColorToRGB(color)) & 0x00FFFFFFu; }

// --- graphics objects ---

// Base of fonts, pens and brushes: a changed property raises OnChange (and drops the cached handle).
class TGraphicsObject : public TPersistent {
public:
  TNotifyEvent OnChange;
  // Raises OnChange with this object as Sender.
  virtual void Changed();
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = BYTE;

class TFont : public TGraphicsObject {
public:
  TFont();
  ~TFont() override;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  void Assign(TPersistent* source) override;

  // The font handle for the current properties, created on first use and again after a change.
  HFONT GetHandle();

  const std::string& GetName() const { return FName; }
  void SetName(const std::string& name);
  // Character height in pixels; negative values are the em height, as LOGFONT has it.
  int GetHeight() const { return FHeight; }
  void SetHeight(int height);
  // Size in points, through PixelsPerInch.
  int GetSize() const;
  void SetSize(int points);
  int GetPixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int pixelsPerInch);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  TFontStyles GetStyle() const { return FStyle; }
  void SetStyle(TFontStyles style);
  TFontCharset GetCharset() const { return FCharset; }
  void SetCharset(TFontCharset charset);
  TFontPitch GetPitch() const { return FPitch; }
  void SetPitch(TFontPitch pitch);

  // The LOGFONT the handle is created from.
  LOGFONTA LogFont() const;

  void Changed() override;

private:
  std::string FName;
  int FHeight;
  int FPixelsPerInch;
  TColor FColor;
  TFontStyles FStyle;
  TFontCharset FCharset;
  TFontPitch FPitch;
  TFontHandle FHandle;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// Binary raster operations of the pen (SetROP2).
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
  pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
// The ROP2 code (R2_xxx) of a pen mode.
int PenModeToRop2(TPenMode mode);

class TPen : public TGraphicsObject {
public:
  TPen();
  ~TPen() override;
  TPen(const TPen&) = delete;
  TPen& operator=(const TPen&) = delete;

  void Assign(TPersistent* source) override;

  // The pen handle for colour, width and style, created on first use and again after a change.
  HPEN GetHandle();

  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  int GetWidth() const { return FWidth; }
  void SetWidth(int width);
  TPenStyle GetStyle() const { return FStyle; }
  void SetStyle(TPenStyle style);
  // Applied by the canvas (SetROP2) for each drawing call; not part of the handle.
  TPenMode GetMode() const { return FMode; }
  void SetMode(TPenMode mode);

  void Changed() override;

private:
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
  TPenHandle FHandle;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
public:
  TBrush();
  ~TBrush() override;
  TBrush(const TBrush&) = delete;
  TBrush& operator=(const TBrush&) = delete;

  void Assign(TPersistent* source) override;

  // The brush handle for colour and style, created on first use and again after a change. bsClear gives
  // the system's hollow brush.
  HBRUSH GetHandle();

  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  TBrushStyle GetStyle() const { return FStyle; }
  void SetStyle(TBrushStyle style);

  void Changed() override;

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  TBrushHandle FHandle;
};

// --- canvas ---

class TGraphic;
class TBitmap;

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

// --- graphics ---

// A picture that can draw itself on a canvas and be loaded from a file.
class TGraphic : public TPersistent {
public:
  virtual bool Empty() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;

  virtual bool GetTransparent() const { return FTransparent; }
  virtual void SetTransparent(bool transparent);

  // Opens the file (EFOpenError when it cannot) and reads it with LoadFromStream.
  void LoadFromFile(const std::string& fileName);
  // Reads the picture from the stream's current position; a file that is not a valid picture raises
  // EInvalidGraphic and leaves this object unchanged.
  virtual void LoadFromStream(TStream* stream) = 0;
  // Writes the picture; raises EFCreateError when the file cannot be written.
  virtual void SaveToFile(const std::string& fileName) = 0;

  // Draws into `rect` of the canvas (stretched to it).
  virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;

  TNotifyEvent OnChange;
  // Raises OnChange with this graphic as Sender.
  virtual void Changed();

protected:
  bool FTransparent = false;
};

// "Cannot create file %s"
class EFCreateError : public Exception {
public:
  explicit EFCreateError(const std::string& path);
};

// An operation a graphic cannot carry out (a scan line outside the bitmap, an impossible size).
class EInvalidGraphicOperation : public Exception {
  using Exception::Exception;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };

// Bits per pixel of a format; 0 for pfDevice and pfCustom.
int PixelFormatBits(TPixelFormat format);

// A bitmap held as a DIB section, with a memory DC for its canvas (created on first use).
// New pixels that a resize adds are white (in 32-bit formats with alpha 0, like everything GDI draws).
// A bitmap created here is stored bottom-up; one loaded from a top-down file stays top-down. ScanLine hides
// the difference.
class TBitmap : public TGraphic {
public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // Copies another bitmap's pixels, size, format and transparency settings (an independent copy);
  // nothing raises EConvertError, another class EInvalidCast.
  void Assign(TPersistent* source) override;

  bool Empty() const override;
  int GetWidth() const override { return FWidth; }
  int GetHeight() const override { return FHeight; }
  void SetWidth(int width) override { SetSize(width, FHeight); }
  void SetHeight(int height) override { SetSize(FWidth, height); }
  // Resizes, keeping the top-left content that still fits; a size of 0 in either direction empties it.
  void SetSize(int width, int height);

  // The bitmap's format; for an empty bitmap the format it will be created in.
  TPixelFormat GetPixelFormat() const;
  // Converts the content (through GDI: colours map to the nearest palette entry). pfDevice means the
  // screen's depth. 1-bit bitmaps get a black/white palette, 4-bit the 16 standard colours, 8-bit a
  // halftone palette.
  void SetPixelFormat(TPixelFormat format);
  bool GetMonochrome() const { return GetPixelFormat() == pf1bit; }
  // true: pf1bit; false: pfDevice when it was monochrome.
  void SetMonochrome(bool monochrome);

  // Row `row` from the top (0 = top row) whatever the storage order. Raises EInvalidGraphicOperation for
  // a row outside the bitmap. Writing through it does not raise OnChange; call Changed() afterwards when
  // listeners must know.
  void* ScanLine(int row);
  // Bytes per stored row (DWORD-aligned).
  int BytesPerLine() const;

  // The canvas over the bitmap's memory DC.
  TCanvas* GetCanvas();

  // The DIB section; null when empty. The bitmap keeps owning it.
  HBITMAP GetHandle() const { return FHandle.Get(); }
  // Takes ownership of a bitmap. A device-dependent bitmap is converted to a DIB section (and freed).
  // Another bitmap's DIB section may be lent this way and given back with ReleaseHandle; both bitmaps'
  // canvases work, one at a time.
  void SetHandle(HBITMAP bitmap);
  // Hands the DIB section to the caller, who then owns it; the bitmap becomes empty.
  HBITMAP ReleaseHandle();

  // tmAuto: the bottom-left pixel's colour (clWhite for a monochrome bitmap) plus clTransparentFlag;
  // tmFixed: the colour set.
  TColor GetTransparentColor();
  // Switches to tmFixed (clDefault switches back to tmAuto).
  void SetTransparentColor(TColor color);
  TTransparentMode GetTransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode mode);
  void SetTransparent(bool transparent) override;

  // Windows BMP: 1/4/8-bit (also RLE), 16/24/32-bit (also bit fields), every header version, both row
  // orders.
  void LoadFromStream(TStream* stream) override;
  // A Windows BMP with a BITMAPINFOHEADER, bottom-up; 15/16-bit as bit fields.
  void SaveToFile(const std::string& fileName) override;
  // The file's bytes as SaveToFile writes them.
  std::vector<uint8_t> SaveToBytes() const;

  void Draw(TCanvas* canvas, const TRect& rect) override;

  // Frees the pixels; format and transparency settings stay.
  void FreeImage();

  // The colour table of a palette format (empty for the others).
  std::vector<RGBQUAD> ColorTable() const;

private:
  class TBitmapCanvas;
  friend class TBitmapCanvas;

  // Installs a new DIB section (or none) in place of the current one.
  void SetImage(TBitmapHandle handle, void* bits, int width, int height, TPixelFormat format, bool topDown,
                std::vector<RGBQUAD> table);
  void DetachCanvas();
  HDC CanvasDC();
  // Stored row of picture row `row` (0 = top).
  uint8_t* Row(int row) const;
  void DrawTransparent(HDC dest, const TRect& rect);

  TBitmapHandle FHandle;
  void* FBits = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  bool FTopDown = false;
  TPixelFormat FPixelFormat = pfDevice;
  TTransparentMode FTransparentMode = tmAuto;
  TColor FTransparentColor = clDefault;
  std::vector<RGBQUAD> FColorTable;
  std::unique_ptr<TBitmapCanvas> FCanvas;
};

// An icon from a .ico file; owns its HICON.
class TIcon : public TGraphic {
public:
  TIcon();
  ~TIcon() override;
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  // A copy of another icon (CopyIcon); nothing raises EConvertError, another class EInvalidCast.
  void Assign(TPersistent* source) override;

  bool Empty() const override { return !FHandle; }
  int GetWidth() const override { return FWidth; }
  int GetHeight() const override { return FHeight; }
  // An icon's size comes from its image: setting it raises EInvalidGraphicOperation.
  void SetWidth(int width) override;
  void SetHeight(int height) override;

  HICON GetHandle() const { return FHandle.Get(); }
  // Takes ownership of an icon.
  void SetHandle(HICON icon);
  // Hands the icon to the caller, who then owns it; this object becomes empty.
  HICON ReleaseHandle();

  // The first image of a .ico file; broken files raise EInvalidGraphic ("Icon image is not valid").
  void LoadFromStream(TStream* stream) override;
  // Not offered: raises EInvalidGraphicOperation.
  void SaveToFile(const std::string& fileName) override;

  void Draw(TCanvas* canvas, const TRect& rect) override;

private:
  void Adopt(HICON icon);

  TIconHandle FHandle;
  int FWidth = 0;
  int FHeight = 0;
};

// Holds one graphic (a bitmap or an icon) for an image control. Asking for Bitmap turns it into a bitmap.
class TPicture : public TPersistent {
public:
  TPicture();
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // Copies a picture's or a graphic's content; nothing clears it.
  void Assign(TPersistent* source) override;

  // The graphic as a bitmap; a picture holding no bitmap gets a new, empty one.
  TBitmap* GetBitmap();
  void SetBitmap(TBitmap* bitmap);
  // The graphic as an icon; a picture holding no icon gets a new, empty one.
  TIcon* GetIcon();
  void SetIcon(TIcon* icon);
  // The graphic held, possibly null.
  TGraphic* GetGraphic() const { return FGraphic.get(); }
  // Holds a copy of `graphic` (null clears).
  void SetGraphic(TGraphic* graphic);

  int GetWidth() const { return FGraphic ? FGraphic->GetWidth() : 0; }
  int GetHeight() const { return FGraphic ? FGraphic->GetHeight() : 0; }

  // ".ico" loads an icon, anything else a bitmap.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

  // Raised when the graphic changes or is replaced.
  TNotifyEvent OnChange;
  virtual void Changed();

private:
  void Hold(std::unique_ptr<TGraphic> graphic);
  void GraphicChanged(TObject* sender);

  std::unique_ptr<TGraphic> FGraphic;
};

// Screen pixels per logical inch (LOGPIXELSY of the screen).
int ScreenPixelsPerInch();
// Bits per pixel of the screen.
int ScreenBitsPerPixel();
