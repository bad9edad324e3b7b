#pragma once
// Pixel rows of device-independent bitmaps and the Windows BMP file format, without any GDI object:
// the bitmap class keeps its pixels in DIB sections and converts, loads and saves them with these.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Dib {

// A pixel layout: 1, 4, 8 (colour table), 15 (16 bits 5-5-5), 16 (16 bits 5-6-5), 24, 32 (B, G, R, A).
using TLayout = int;

bool ValidLayout(TLayout layout);
// Bits per stored pixel (16 for layout 15).
int StorageBits(TLayout layout);
bool HasColorTable(TLayout layout);
// Bytes per row, DWORD-aligned; computed in 64 bits so absurd sizes cannot overflow.
int64_t Stride(int64_t width, TLayout layout);

// 1: black, white. 4: the 16 standard colours. 8: the 20 static system colours, a 6x6x6 cube and greys.
std::vector<RGBQUAD> DefaultColorTable(TLayout layout);

// Pixels as 0xAARRGGBB; alpha is only ever non-zero from 32-bit rows.
void DecodeRow(const uint8_t* row, int width, TLayout layout, const std::vector<RGBQUAD>& table, uint32_t* out);

// Nearest colour-table entry (squared RGB distance, lowest index on ties), remembered per colour.
class TColorMatcher {
public:
  explicit TColorMatcher(const std::vector<RGBQUAD>& table) : m_table(table) {}
  uint8_t Index(uint32_t argb);

private:
  const std::vector<RGBQUAD>& m_table;
  std::unordered_map<uint32_t, uint8_t> m_cache;
};

// Writes `width` pixels into a stored row; palette layouts take the nearest entry of `table`.
void EncodeRow(const uint32_t* pixels, int width, TLayout layout, TColorMatcher& matcher, uint8_t* row);

// Copies pixels [0, count) of a stored row into another row of the same layout.
void CopyPixels(const uint8_t* source, uint8_t* dest, int count, TLayout layout);

// Limits for pictures read from files, so that a broken header cannot ask for a huge allocation.
constexpr int kMaxDimension = 32767;
constexpr int64_t kMaxPixels = int64_t{1} << 26;

// A decoded BMP file, in the layout the bitmap keeps it in.
struct TImage {
  int Width = 0;
  int Height = 0;
  TLayout Layout = 24;
  bool TopDown = false;
  std::vector<RGBQUAD> ColorTable;
  // Rows of Stride(Width, Layout) bytes, in storage order (the bottom row first unless TopDown).
  std::vector<uint8_t> Bits;
};

// Channel masks of bit-field pixels.
struct TMasks {
  uint32_t Red = 0;
  uint32_t Green = 0;
  uint32_t Blue = 0;
  uint32_t Alpha = 0;
};

// The layout that keeps pixels of `bitCount` bits exactly as they are stored, or 0 when they have to be
// decoded. Without bit fields the masks do not count. With them, 5-5-5, 5-6-5 and 8-8-8 (red highest) are
// kept, provided the alpha mask is absent or holds just the bits the colours leave over. The file reader
// and the bitmap's adoption of DIB sections both decide by this one table.
TLayout StoredLayout(unsigned bitCount, bool bitFields, const TMasks& masks);

// The alpha mask a DIB section implies (the system reports only its three colour masks): the bits of a 16-
// or 32-bit pixel that no colour uses, when they form one run; otherwise 0.
uint32_t ImpliedAlphaMask(unsigned bitCount, uint32_t red, uint32_t green, uint32_t blue);

// Decodes rows of 16- or 32-bit bit-field pixels, `stride` bytes apart, into `image` (whose Width, Height
// and TopDown are set): 16-bit pixels become layout 24, 32-bit ones layout 32 with their alpha. Masks that
// are empty, overlap or have gaps raise EInvalidGraphic("Bitmap image is not valid").
void DecodeBitFields(const uint8_t* pixels, int64_t stride, unsigned bitCount, const TMasks& masks, TImage& image);

// Reads a Windows BMP file: core, info, V2, V3, V4 and V5 headers; 1/4/8-bit with colour table, also RLE4
// and RLE8; 16-bit (5-5-5, 5-6-5 or any bit fields); 24-bit; 32-bit (also bit fields); both row orders.
// Odd bit fields come out as 24 (16-bit) or 32-bit layout. A file that is not a valid bitmap raises
// EInvalidGraphic("Bitmap image is not valid").
TImage ReadBmp(const uint8_t* data, size_t size);

// The BMP file of an image: BITMAPINFOHEADER, bottom-up rows, 5-6-5 as bit fields.
std::vector<uint8_t> WriteBmp(const TImage& image);

}  // namespace Dib
