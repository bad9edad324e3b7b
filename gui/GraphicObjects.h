#pragma once
// Fonts, pens and brushes: drawing properties that create their GDI object on demand.
#include "Classes.h"
#include "Colors.h"
#include "Handles.h"
#include "Sets.h"

#include <windows.h>

#include <string>

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
// How the system renders the glyphs' edges. Text drawn over a colour key needs solid edges
// (fqNonAntialiased): smoothed ones would be blended with the key and show it as a fringe.
enum TFontQuality { fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural };
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
  TFontQuality GetQuality() const { return FQuality; }
  void SetQuality(TFontQuality quality);

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
  TFontQuality FQuality = fqDefault;
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

// Screen pixels per logical inch (LOGPIXELSY of the screen): the resolution fonts are sized for.
int ScreenPixelsPerInch();
