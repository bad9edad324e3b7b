#include "PngDecoder.h"

#include "ComSupport.h"
#include "PngRecord.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>

namespace {

bool IsIndexed(const WICPixelFormatGUID& format)
{
  return IsEqualGUID(format, GUID_WICPixelFormat1bppIndexed) ||
         IsEqualGUID(format, GUID_WICPixelFormat2bppIndexed) ||
         IsEqualGUID(format, GUID_WICPixelFormat4bppIndexed) ||
         IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed);
}

// Samples per pixel of the 16-bit formats a PNG decodes to (grey, RGB, RGBA), 0 for any other format. These
// are unpacked here rather than converted: a conversion may round or apply gamma, the high byte is exact.
UINT WideChannels(const WICPixelFormatGUID& format)
{
  if (IsEqualGUID(format, GUID_WICPixelFormat16bppGray))
    return 1;
  if (IsEqualGUID(format, GUID_WICPixelFormat48bppRGB))
    return 3;
  if (IsEqualGUID(format, GUID_WICPixelFormat64bppRGBA))
    return 4;
  return 0;
}

bool PaletteHasAlpha(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, bool& alpha)
{
  TComPtr<IWICPalette> palette;
  BOOL hasAlpha = FALSE;
  if (FAILED(factory->CreatePalette(palette.Put())) || FAILED(frame->CopyPalette(palette.Get())) ||
      FAILED(palette->HasAlpha(&hasAlpha)))
    return false;
  alpha = hasAlpha != FALSE;
  return true;
}

// Whether a format without a palette carries alpha; the formats a PNG decodes to are known here, since
// asking the component registry costs about as much as decoding a small picture.
bool FormatHasAlpha(IWICImagingFactory* factory, const WICPixelFormatGUID& format, bool& alpha)
{
  static const GUID* const kWithAlpha[] = {&GUID_WICPixelFormat32bppBGRA, &GUID_WICPixelFormat32bppRGBA,
                                           &GUID_WICPixelFormat64bppRGBA, &GUID_WICPixelFormat64bppBGRA};
  static const GUID* const kWithout[] = {&GUID_WICPixelFormatBlackWhite, &GUID_WICPixelFormat2bppGray,
                                         &GUID_WICPixelFormat4bppGray,   &GUID_WICPixelFormat8bppGray,
                                         &GUID_WICPixelFormat16bppGray,  &GUID_WICPixelFormat24bppBGR,
                                         &GUID_WICPixelFormat24bppRGB,   &GUID_WICPixelFormat48bppRGB};
  for (const GUID* known : kWithAlpha) {
    if (IsEqualGUID(format, *known)) {
      alpha = true;
      return true;
    }
  }
  for (const GUID* known : kWithout) {
    if (IsEqualGUID(format, *known)) {
      alpha = false;
      return true;
    }
  }
  TComPtr<IWICComponentInfo> info;
  TComPtr<IWICPixelFormatInfo2> formatInfo;
  BOOL transparent = FALSE;
  if (FAILED(factory->CreateComponentInfo(format, info.Put())) ||
      FAILED(info->QueryInterface(IID_PPV_ARGS(formatInfo.Put()))) ||
      FAILED(formatInfo->SupportsTransparency(&transparent)))
    return false;
  alpha = transparent != FALSE;
  return true;
}

// Transparency is a property of the decoded format: a palette with transparent entries, or a format with
// an alpha channel (which is how a grey or colour picture with one transparent value is delivered too).
bool HasTransparency(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame,
                     const WICPixelFormatGUID& format, bool& alpha)
{
  return IsIndexed(format) ? PaletteHasAlpha(factory, frame, alpha) : FormatHasAlpha(factory, format, alpha);
}

// B, G, R(, A) pixels copied straight into the rows, then red and blue change places.
bool CopyInPlace(IWICBitmapSource* source, PngData& data)
{
  const UINT size = data.rowBytes * data.height;  // at most 4 * PngMaxPixels
  BYTE* const pixels = data.rows[0];
  if (FAILED(source->CopyPixels(nullptr, data.rowBytes, size, pixels)))
    return false;
  if (data.colorType == PngColorRgb) {
    for (BYTE* pixel = pixels; pixel != pixels + size; pixel += 3)
      std::swap(pixel[0], pixel[2]);
    return true;
  }
  // Four bytes at a time, which the compiler turns into vector code.
  for (BYTE* pixel = pixels; pixel != pixels + size; pixel += 4) {
    UINT32 v;
    std::memcpy(&v, pixel, 4);
    v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    std::memcpy(pixel, &v, 4);
  }
  return true;
}

// Turns one row of the source format into one row of the record.
using TUnpack = void (*)(const BYTE* in, BYTE* out, UINT32 width, UINT channels, bool alpha);

void UnpackBgra(const BYTE* in, BYTE* out, UINT32 width, UINT, bool alpha)
{
  for (const BYTE* end = in + size_t{width} * 4; in != end; in += 4) {
    *out++ = in[2];
    *out++ = in[1];
    *out++ = in[0];
    if (alpha)
      *out++ = in[3];
  }
}

// Little-endian 16-bit samples: the high byte is the second of each pair.
void UnpackWide(const BYTE* in, BYTE* out, UINT32 width, UINT channels, bool alpha)
{
  for (const BYTE* end = in + size_t{width} * channels * 2; in != end; in += channels * 2) {
    const bool grey = channels < 3;
    *out++ = in[1];
    *out++ = in[grey ? 1 : 3];
    *out++ = in[grey ? 1 : 5];
    if (alpha)
      *out++ = channels == 4 ? in[7] : 255;
  }
}

// Copies a band of rows at a time through a buffer of the source format.
bool CopyBanded(IWICBitmapSource* source, PngData& data, UINT channels, UINT sampleBytes, TUnpack unpack)
{
  const UINT sourceRow = data.width * channels * sampleBytes;  // at most 8 * PngMaxSide
  const UINT bandRows = std::max<UINT>(1, (1u << 20) / sourceRow);
  std::vector<BYTE> band(size_t{sourceRow} * std::min(bandRows, data.height));
  const bool alpha = data.colorType == PngColorRgba;
  for (UINT32 top = 0; top < data.height; top += bandRows) {
    const UINT rows = std::min(bandRows, data.height - top);
    const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(data.width), static_cast<INT>(rows)};
    if (FAILED(source->CopyPixels(&rect, sourceRow, sourceRow * rows, band.data())))
      return false;
    for (UINT r = 0; r < rows; ++r)
      unpack(band.data() + size_t{r} * sourceRow, data.rows[top + r], data.width, channels, alpha);
  }
  return true;
}

// Everything else goes through the one conversion every decoder offers from every format.
bool CopyConverted(IWICBitmapFrameDecode* frame, PngData& data)
{
  TComPtr<IWICBitmapSource> converted;
  if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, converted.Put())))
    return false;
  if (data.colorType == PngColorRgba)
    return CopyInPlace(converted.Get(), data);
  return CopyBanded(converted.Get(), data, 4, 1, UnpackBgra);
}

bool CopyRows(IWICBitmapFrameDecode* frame, const WICPixelFormatGUID& format, PngData& data)
{
  if (const UINT channels = WideChannels(format))
    return CopyBanded(frame, data, channels, 2, UnpackWide);
  if (data.colorType == PngColorRgb && IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
    return CopyInPlace(frame, data);
  return CopyConverted(frame, data);
}

bool Decode(const std::vector<BYTE>& file, PngData& data)
{
  TComPtr<IWICImagingFactory> factory;
  TComPtr<IWICStream> stream;
  TComPtr<IWICBitmapDecoder> decoder;
  TComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(factory.Put()))) ||
      FAILED(factory->CreateStream(stream.Put())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()), static_cast<DWORD>(file.size()))) ||
      FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.Put())) ||
      FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)) ||
      FAILED(decoder->GetFrame(0, frame.Put())))
    return false;
  UINT width = 0;
  UINT height = 0;
  WICPixelFormatGUID format{};
  bool alpha = false;
  if (FAILED(frame->GetSize(&width, &height)) || !SizeAllowed(width, height) ||
      FAILED(frame->GetPixelFormat(&format)) || !HasTransparency(factory.Get(), frame.Get(), format, alpha))
    return false;
  if (!AllocateRecord(data, width, height, alpha ? PngColorRgba : PngColorRgb, false))
    return false;
  if (!CopyRows(frame.Get(), format, data)) {
    FreeRecord(data);
    return false;
  }
  return true;
}

}  // namespace

bool DecodePngFile(const std::vector<BYTE>& file, PngData& data)
{
  std::memset(&data, 0, sizeof(data));
  try {
    return Decode(file, data);
  } catch (...) {
    // Only a band buffer can throw (out of memory), possibly after the rows were allocated.
    FreeRecord(data);
    return false;
  }
}
