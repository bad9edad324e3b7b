#include "Bitmap.h"

#include "Dib.h"
#include "SysUtils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const char kInvalidBitmap[] = "Bitmap image is not valid";

// Picture files are read whole; anything larger than the largest picture we accept is not one of ours.
constexpr size_t kMaxBitmapFileBytes = static_cast<size_t>(Dib::kMaxPixels) * 4 + 65536;

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

// A DIB section as the system describes it.
struct TSectionInfo {
  void* Bits = nullptr;
  int Width = 0;
  int Height = 0;
  bool TopDown = false;
  unsigned BitCount = 0;
  bool BitFields = false;
  Dib::TMasks Masks;
  // The layout the bitmap keeps the pixels in as they are; 0 when they have to be decoded first.
  Dib::TLayout Layout = 0;
  std::vector<RGBQUAD> Table;
};

// Describes a DIB section; false for a device-dependent bitmap. Raises EInvalidGraphic for a handle that is
// no bitmap. The bitmap must not be selected into any DC.
bool DescribeSection(HBITMAP bitmap, TSectionInfo& info)
{
  if (GetObjectType(bitmap) != OBJ_BITMAP)
    throw EInvalidGraphic(kInvalidBitmap);
  DIBSECTION section{};
  const int got = GetObjectA(bitmap, sizeof(section), &section);
  if (got == 0)
    throw EInvalidGraphic(kInvalidBitmap);
  if (got != static_cast<int>(sizeof(DIBSECTION)) || !section.dsBm.bmBits)
    return false;
  const BITMAPINFOHEADER& header = section.dsBmih;
  info.BitCount = header.biBitCount;
  info.BitFields = header.biCompression == BI_BITFIELDS;
  if (info.BitFields) {
    const DWORD* masks = section.dsBitfields;
    info.Masks = {masks[0], masks[1], masks[2], Dib::ImpliedAlphaMask(info.BitCount, masks[0], masks[1], masks[2])};
  }
  info.Layout = Dib::StoredLayout(info.BitCount, info.BitFields, info.Masks);
  info.Table.clear();
  if (info.Layout && Dib::HasColorTable(info.Layout)) {
    TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
    TSelectObject select(dc.Get(), bitmap);
    RGBQUAD entries[256];
    UINT count = GetDIBColorTable(dc.Get(), 0, 256, entries);
    if (header.biClrUsed && header.biClrUsed < count)
      count = header.biClrUsed;
    info.Table.assign(entries, entries + count);
  }
  info.Bits = section.dsBm.bmBits;
  info.Width = section.dsBm.bmWidth;
  info.Height = std::abs(section.dsBm.bmHeight);
  info.TopDown = header.biHeight < 0 ||
                 StoredTopDown(bitmap, info.Bits, info.Height, info.Layout ? info.Layout : 32, info.Table);
  return true;
}

// The pixels of a bit-field section in the layout the file reader gives the same pixels.
Dib::TImage DecodeSection(const TSectionInfo& info)
{
  Dib::TImage image;
  image.Width = info.Width;
  image.Height = info.Height;
  image.TopDown = info.TopDown;
  GdiFlush();
  const int64_t stride = Dib::Stride(info.Width, static_cast<Dib::TLayout>(info.BitCount));
  Dib::DecodeBitFields(static_cast<const uint8_t*>(info.Bits), stride, info.BitCount, info.Masks, image);
  return image;
}

}  // namespace

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

// The canvas of a bitmap: a memory DC, created on first use, with the bitmap's DIB section selected.
// Drawing on it is a change of the bitmap. A bitmap can be selected into one DC only, so a canvas that
// needs a handle another bitmap canvas holds (a section borrowed by a second TBitmap) takes it out of that
// canvas's DC first; that canvas selects it again when it is next used.
class TBitmap::TBitmapCanvas : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap& bitmap) : FBitmap(bitmap) {}
  ~TBitmapCanvas() override { FreeHandle(); }

  // Gives the DC up, taking the bitmap out of it; the next use creates the DC again.
  void FreeHandle()
  {
    SetHandle(nullptr);
    FSelection.reset();
    FDC.Reset();
    if (FSelected) {
      auto& holders = Holders();
      holders.erase(std::remove(holders.begin(), holders.end(), this), holders.end());
      FSelected = nullptr;
    }
  }

  // Takes `bitmap` out of every bitmap canvas's DC.
  static void Deselect(HBITMAP bitmap)
  {
    if (!bitmap)
      return;
    const std::vector<TBitmapCanvas*> holders = Holders();
    for (TBitmapCanvas* holder : holders) {
      if (holder->FSelected == bitmap)
        holder->FreeHandle();
    }
  }

  void Changed() override
  {
    TCanvas::Changed();
    FBitmap.Changed();
  }

protected:
  void CreateHandle() override
  {
    TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
    if (!dc)
      throw EOutOfResources();
    FDC = std::move(dc);
    if (HBITMAP bitmap = FBitmap.GetHandle()) {
      Deselect(bitmap);
      FSelection = std::make_unique<TSelectObject>(FDC.Get(), bitmap);
      FSelected = bitmap;
      Holders().push_back(this);
    }
    SetHandle(FDC.Get());
  }

private:
  // Bitmap canvases whose DC holds a bitmap (GUI thread only). Never destroyed: bitmaps of the
  // application's forms go at exit, after the statics made later than the application object.
  static std::vector<TBitmapCanvas*>& Holders()
  {
    static std::vector<TBitmapCanvas*>& holders = *new std::vector<TBitmapCanvas*>;
    return holders;
  }

  TBitmap& FBitmap;
  TMemoryDC FDC;
  std::unique_ptr<TSelectObject> FSelection;
  HBITMAP FSelected = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
  DetachCanvas();
}

void TBitmap::DetachCanvas()
{
  if (FCanvas)
    FCanvas->FreeHandle();
}

void TBitmap::Dormant()
{
  DetachCanvas();
  GdiFlush();
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

void TBitmap::SetImage(TSection section, void* bits, int width, int height, TPixelFormat format, bool topDown,
                       std::vector<RGBQUAD> table)
{
  DetachCanvas();
  FSection = std::move(section);
  FBits = FSection.Handle ? bits : nullptr;
  FWidth = width;
  FHeight = height;
  FPixelFormat = format;
  FTopDown = topDown;
  FColorTable = FSection.Handle ? std::move(table) : std::vector<RGBQUAD>();
}

uint8_t* TBitmap::Row(int row) const
{
  const int64_t stride = Dib::Stride(FWidth, LayoutOf(FPixelFormat));
  const int stored = FTopDown ? row : FHeight - 1 - row;
  return static_cast<uint8_t*>(FBits) + stride * stored;
}

bool TBitmap::Empty() const
{
  return !FSection.Handle;
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
    table = FSection.Handle && !FColorTable.empty() ? FColorTable : Dib::DefaultColorTable(layout);
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
  if (FSection.Handle) {
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
  if (!FSection.Handle) {
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
  if (!FSection.Handle || row < 0 || row >= FHeight)
    throw EInvalidGraphicOperation("Scan line index out of range");
  GdiFlush();
  return Row(row);
}

int TBitmap::BytesPerLine() const
{
  return FSection.Handle ? static_cast<int>(Dib::Stride(FWidth, LayoutOf(FPixelFormat))) : 0;
}

void TBitmap::SetHandle(TBitmapHandle&& bitmap)
{
  const HBITMAP handle = bitmap.Get();
  if (!handle) {
    FreeImage();
    return;
  }
  if (handle == FSection.Handle) {
    if (FSection.Owner)
      bitmap.Extract();  // already ours: the second owner must not free it
    else
      FSection.Owner = std::move(bitmap);  // a loan becomes ownership
    return;
  }
  TBitmapCanvas::Deselect(handle);  // another bitmap that borrowed it may hold it in its canvas's DC
  TSectionInfo info;
  const bool section = DescribeSection(handle, info);
  if (section && info.Layout) {
    SetImage(TSection(std::move(bitmap)), info.Bits, info.Width, info.Height, FormatOf(info.Layout), info.TopDown,
             std::move(info.Table));
  } else {
    // A copy stands in for it: decoded as a file with the same masks would be, or drawn by the system.
    if (section && info.BitFields)
      SetDecodedImage(DecodeSection(info));
    else
      CopyDeviceBitmap(handle);
    bitmap.Reset();
  }
  Changed();
}

void TBitmap::Borrow(HBITMAP bitmap)
{
  if (!bitmap) {
    FreeImage();
    return;
  }
  if (bitmap == FSection.Handle)
    return;
  TBitmapCanvas::Deselect(bitmap);
  TSectionInfo info;
  if (!DescribeSection(bitmap, info) || !info.Layout)
    throw EInvalidGraphicOperation("Only a DIB section in a stored layout can be borrowed");
  SetImage(TSection::Borrowed(bitmap), info.Bits, info.Width, info.Height, FormatOf(info.Layout), info.TopDown,
           std::move(info.Table));
  Changed();
}

void TBitmap::SetDecodedImage(Dib::TImage image)
{
  void* bits = nullptr;
  TBitmapHandle dib = CreateDib(image.Width, image.Height, image.Layout, image.TopDown, image.ColorTable, &bits);
  std::memcpy(bits, image.Bits.data(), image.Bits.size());
  SetImage(std::move(dib), bits, image.Width, image.Height, FormatOf(image.Layout), image.TopDown,
           std::move(image.ColorTable));
}

// A device-dependent bitmap (or a DIB section of a depth we do not keep): copied into a DIB section of ours.
void TBitmap::CopyDeviceBitmap(HBITMAP bitmap)
{
  BITMAP info{};
  GetObjectA(bitmap, sizeof(info), &info);
  const int width = info.bmWidth, height = info.bmHeight;
  const Dib::TLayout layout = info.bmBitsPixel == 1 ? 1 : (info.bmBitsPixel == 16 ? 24 : LayoutOf(DeviceFormat()));
  CheckSize(width, height, layout);
  if (width == 0 || height == 0) {
    SetImage(TBitmapHandle(), nullptr, width, height, FormatOf(layout), false, {});
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
}

TBitmapHandle TBitmap::ExtractHandle()
{
  if (FSection.Handle && !FSection.Owner)
    throw EInvalidGraphicOperation("A borrowed bitmap cannot be handed over");
  DetachCanvas();
  GdiFlush();
  TBitmapHandle handle = std::move(FSection.Owner);
  FSection.Handle = nullptr;
  FBits = nullptr;
  FWidth = 0;
  FHeight = 0;
  FColorTable.clear();
  if (handle)
    Changed();
  return handle;
}

void TBitmap::FreeImage()
{
  const bool had = FSection.Handle || FWidth || FHeight;
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
  if (!FSection.Handle || GetMonochrome())
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
  if (SameLayout(*bitmap)) {
    // A copy of the same size and layout goes into the section already here: a new section per copy is
    // most of a small picture's cost (a skinned control copies its picture at every look change).
    GdiFlush();
    std::memcpy(FBits, bitmap->FBits, static_cast<size_t>(BytesPerLine()) * static_cast<size_t>(FHeight));
  } else {
    CopySection(*bitmap);
  }
  FTransparent = bitmap->FTransparent;
  FTransparentMode = bitmap->FTransparentMode;
  FTransparentColor = bitmap->FTransparentColor;
  Changed();
}

bool TBitmap::SameLayout(const TBitmap& other) const
{
  // Only a section of our own is written into: a borrowed one belongs to someone else.
  return FSection.Handle && FSection.Handle == FSection.Owner.Get() && other.FSection.Handle &&
         other.FWidth == FWidth && other.FHeight == FHeight && other.FPixelFormat == FPixelFormat &&
         other.FTopDown == FTopDown && other.FColorTable.size() == FColorTable.size() &&
         (FColorTable.empty() ||
          std::memcmp(other.FColorTable.data(), FColorTable.data(), FColorTable.size() * sizeof(RGBQUAD)) == 0);
}

void TBitmap::CopySection(const TBitmap& bitmap)
{
  TBitmapHandle copy;
  void* bits = nullptr;
  if (bitmap.FSection.Handle) {
    GdiFlush();
    const Dib::TLayout layout = LayoutOf(bitmap.FPixelFormat);
    copy = CreateDib(bitmap.FWidth, bitmap.FHeight, layout, bitmap.FTopDown, bitmap.FColorTable, &bits);
    std::memcpy(bits, bitmap.FBits, static_cast<size_t>(Dib::Stride(bitmap.FWidth, layout) * bitmap.FHeight));
  }
  SetImage(std::move(copy), bits, bitmap.FWidth, bitmap.FHeight, bitmap.FPixelFormat, bitmap.FTopDown,
           bitmap.FColorTable);
}

void TBitmap::LoadFromStream(TStream* stream)
{
  const std::vector<uint8_t> data = ReadAll(stream, kMaxBitmapFileBytes, kInvalidBitmap);
  SetDecodedImage(Dib::ReadBmp(data.data(), data.size()));
  Changed();
}

std::vector<uint8_t> TBitmap::SaveToBytes() const
{
  if (!FSection.Handle)
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
  if (!FSection.Handle || !canvas)
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
  StretchBlt(dest, rect.left, rect.top, RectWidth(rect), RectHeight(rect), source, 0, 0, FWidth, FHeight,
             canvas->GetCopyMode());
}

// Pixels of the transparent colour leave the destination alone. The destination's pixels are read into a
// 32-bit buffer, the picture's other pixels are put over them (stretched by nearest pixel) and the result
// is written back: exact on every kind of target, palette ones included, and the destination keeps its
// own alpha where the picture is transparent.
void TBitmap::DrawTransparent(HDC dest, const TRect& rect)
{
  const int width = RectWidth(rect), height = RectHeight(rect);
  if (width <= 0 || height <= 0)
    return;
  const COLORREF key = ColorToColorRef(GetTransparentColor());
  const uint32_t keyArgb = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
  if (DrawKeyedThroughClip(dest, rect, keyArgb))
    return;

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

namespace {

// The rectangles of a picture's pixels that are not `keyArgb`, rows with the same runs as the row above
// merged into one band; false when there would be more than `limit` (the system joins a region's
// rectangles one by one, so a picture of many runs is left to the buffered way).
bool OpaqueRects(const uint8_t* bits, int64_t stride, bool topDown, int width, int height, Dib::TLayout layout,
                 uint32_t keyArgb, size_t limit, std::vector<RECT>& rects)
{
  std::vector<uint32_t> row(static_cast<size_t>(width));
  size_t bandStart = 0;  // first rectangle of the row above
  for (int y = 0; y < height; ++y) {
    const int stored = topDown ? y : height - 1 - y;
    Dib::DecodeRow(bits + stride * stored, width, layout, {}, row.data());
    const size_t rowStart = rects.size();
    for (int x = 0; x < width;) {
      while (x < width && (row[static_cast<size_t>(x)] & 0xFFFFFF) == keyArgb)
        ++x;
      const int left = x;
      while (x < width && (row[static_cast<size_t>(x)] & 0xFFFFFF) != keyArgb)
        ++x;
      if (x > left)
        rects.push_back(RECT{left, y, x, y + 1});
    }
    const size_t count = rects.size() - rowStart;
    const bool sameRuns = y > 0 && count == rowStart - bandStart &&
                          std::equal(rects.begin() + static_cast<std::ptrdiff_t>(rowStart), rects.end(),
                                     rects.begin() + static_cast<std::ptrdiff_t>(bandStart),
                                     [](const RECT& a, const RECT& b) { return a.left == b.left && a.right == b.right; });
    if (sameRuns) {
      rects.resize(rowStart);
      for (size_t i = bandStart; i < rowStart; ++i)
        rects[i].bottom = y + 1;
    } else {
      bandStart = rowStart;
    }
    if (rects.size() > limit)
      return false;
  }
  return true;
}

} // namespace

// A 1:1 copy of a true-colour picture onto a device whose logical units are its pixels: the pixels that
// are not the key colour are copied through a clip region of them. The same pixels as the buffered way,
// without reading the destination back (on a window under some systems, a round trip to the display) or a
// buffer per draw.
bool TBitmap::DrawKeyedThroughClip(HDC dest, const TRect& rect, uint32_t keyArgb)
{
  constexpr size_t kMaxRects = 256;
  const Dib::TLayout layout = LayoutOf(FPixelFormat);
  if (RectWidth(rect) != FWidth || RectHeight(rect) != FHeight || (layout != 24 && layout != 32) ||
      GetMapMode(dest) != MM_TEXT || GetGraphicsMode(dest) != GM_COMPATIBLE || GetLayout(dest) != 0)
    return false;
  GdiFlush();
  std::vector<RECT> rects;
  if (!OpaqueRects(static_cast<const uint8_t*>(FBits), Dib::Stride(FWidth, layout), FTopDown, FWidth, FHeight, layout,
                   keyArgb, kMaxRects, rects))
    return false;
  if (rects.empty())
    return true;
  const HDC source = CanvasDC();
  if (rects.size() == 1 && rects[0].left == 0 && rects[0].top == 0 && rects[0].right == FWidth &&
      rects[0].bottom == FHeight) {
    BitBlt(dest, rect.left, rect.top, FWidth, FHeight, source, 0, 0, SRCCOPY);
    return true;
  }
  // The clip region is in device units: the picture's place as the device sees it.
  POINT origin{rect.left, rect.top};
  LPtoDP(dest, &origin, 1);
  const size_t rectBytes = rects.size() * sizeof(RECT);
  std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + rectBytes);
  RGNDATAHEADER header{};
  header.dwSize = sizeof(RGNDATAHEADER);
  header.iType = RDH_RECTANGLES;
  header.nCount = static_cast<DWORD>(rects.size());
  header.nRgnSize = static_cast<DWORD>(rectBytes);
  header.rcBound = RECT{0, 0, FWidth, FHeight};
  std::memcpy(data.data(), &header, sizeof(header));
  std::memcpy(data.data() + sizeof(header), rects.data(), rectBytes);
  const TRegionHandle opaque(
      ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<const RGNDATA*>(data.data())));
  if (!opaque)
    return false;
  OffsetRgn(opaque.Get(), origin.x, origin.y);
  const TSaveDC saved(dest);
  if (ExtSelectClipRgn(dest, opaque.Get(), RGN_AND) == ERROR)
    return false;
  BitBlt(dest, rect.left, rect.top, FWidth, FHeight, source, 0, 0, SRCCOPY);
  return true;
}
