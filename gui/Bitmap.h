#pragma once
// Bitmaps held as DIB sections, with a canvas over a memory DC.
#include "Canvas.h"
#include "Classes.h"
#include "Colors.h"
#include "Geometry.h"
#include "Graphic.h"
#include "Handles.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Dib {
struct TImage;
}

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
  // Converts the content in software, each colour mapped to the nearest palette entry. pfDevice means the
  // screen's depth. 1-bit bitmaps get a black/white palette, 4-bit the 16 standard colours, 8-bit the
  // static colours with a colour cube and a grey ramp between them.
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

  // The DIB section; null when empty. While the canvas is in use the section is selected into the canvas's
  // memory DC; see Dormant.
  HBITMAP GetHandle() const { return FSection.Handle; }
  // Adopts a bitmap: from now on this object owns it. A device-dependent bitmap, and a DIB section with bit
  // fields of another layout, is copied into a DIB section of ours (the latter decoded as the BMP reader
  // decodes the same masks) and freed. When this raises, `bitmap` still owns the handle.
  void SetHandle(TBitmapHandle&& bitmap);
  // Uses a DIB section that someone else owns and keeps alive, sharing its pixels; it is never freed here,
  // whatever happens. The loan ends with FreeImage, with any new picture and with destruction. Both
  // bitmaps' canvases work, one at a time. Anything but a DIB section raises EInvalidGraphicOperation.
  void Borrow(HBITMAP bitmap);
  bool Borrowed() const { return FSection.Handle && !FSection.Owner; }
  // Hands the DIB section over to the caller; the bitmap becomes empty. A borrowed section is not ours to
  // hand over: EInvalidGraphicOperation.
  TBitmapHandle ExtractHandle();
  // Takes the DIB section out of the canvas's memory DC (the canvas gives its DC up; its next use selects
  // the section again). A bitmap can be selected into one DC only, so call this before handing GetHandle()
  // to code that selects it itself, such as the source DC of UpdateLayeredWindow.
  void Dormant();

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
  // A Windows BMP with a BITMAPINFOHEADER, bottom-up; 15-bit as plain RGB, 16-bit as 5-6-5 bit
  // fields.
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

  // The DIB section in use and, unless it is borrowed, its owner.
  struct TSection {
    TSection() = default;
    TSection(TBitmapHandle owned) : Handle(owned.Get()), Owner(std::move(owned)) {}
    static TSection Borrowed(HBITMAP handle)
    {
      TSection section;
      section.Handle = handle;
      return section;
    }

    HBITMAP Handle = nullptr;
    TBitmapHandle Owner;
  };

  // Installs a new DIB section (or none) in place of the current one.
  void SetImage(TSection section, void* bits, int width, int height, TPixelFormat format, bool topDown,
                std::vector<RGBQUAD> table);
  // Installs a decoded picture in a new DIB section.
  void SetDecodedImage(Dib::TImage image);
  void CopyDeviceBitmap(HBITMAP bitmap);
  // Whether `other`'s pixels fit this bitmap's own section byte for byte.
  bool SameLayout(const TBitmap& other) const;
  // A new section holding a copy of `bitmap`'s pixels (none when it has none).
  void CopySection(const TBitmap& bitmap);
  void DetachCanvas();
  HDC CanvasDC();
  // Stored row of picture row `row` (0 = top).
  uint8_t* Row(int row) const;
  void DrawTransparent(HDC dest, const TRect& rect);
  // DrawTransparent without a buffer, where it can; false leaves `dest` untouched.
  bool DrawKeyedThroughClip(HDC dest, const TRect& rect, uint32_t keyArgb);

  TSection FSection;
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
