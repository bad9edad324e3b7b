#include "GraphicObjects.h"

#include "Published.h"
#include "SysUtils.h"

namespace {

const bool kFontEnumsPublished = PublishEnum<TFontStyle>({"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}) &&
                                 PublishEnum<TFontPitch>({"fpDefault", "fpVariable", "fpFixed"}) &&
                                 PublishEnum<TFontQuality>({"fqDefault", "fqDraft", "fqProof", "fqNonAntialiased",
                                                            "fqAntialiased", "fqClearType", "fqClearTypeNatural"});

// The defaults are those of a new font.
const auto kFontTable = PublishClass<TFont>()
                            .Property("Charset", &TFont::GetCharset, &TFont::SetCharset, DEFAULT_CHARSET)
                            .Color("Color", &TFont::GetColor, &TFont::SetColor, clWindowText)
                            .Property("Height", &TFont::GetHeight, &TFont::SetHeight, -11)
                            .Property("Name", &TFont::GetName, &TFont::SetName, "MS Sans Serif")
                            .Property("Pitch", &TFont::GetPitch, &TFont::SetPitch, fpDefault)
                            .Property("Quality", &TFont::GetQuality, &TFont::SetQuality, fqDefault)
                            .Property("Style", &TFont::GetStyle, &TFont::SetStyle, TFontStyles());

} // namespace

int ScreenPixelsPerInch()
{
  TWindowDC screen(nullptr);
  return screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
}

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
    FQuality = font->FQuality;
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
  static const BYTE kQualities[] = {DEFAULT_QUALITY,          DRAFT_QUALITY,     PROOF_QUALITY,
                                    NONANTIALIASED_QUALITY,   ANTIALIASED_QUALITY, CLEARTYPE_QUALITY,
                                    CLEARTYPE_NATURAL_QUALITY};
  logFont.lfQuality = kQualities[FQuality];
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

void TFont::SetQuality(TFontQuality quality)
{
  if (quality == FQuality)
    return;
  FQuality = quality;
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
