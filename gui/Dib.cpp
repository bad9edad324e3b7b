#include "Dib.h"

#include "SysUtils.h"

#include <algorithm>
#include <cstring>

namespace Dib {

namespace {

const char kInvalidBitmap[] = "Bitmap image is not valid";

[[noreturn]] void Invalid() { throw EInvalidGraphic(kInvalidBitmap); }

RGBQUAD Quad(uint8_t red, uint8_t green, uint8_t blue) { return RGBQUAD{blue, green, red, 0}; }

uint32_t QuadToArgb(const RGBQUAD& quad)
{
  return (uint32_t{quad.rgbRed} << 16) | (uint32_t{quad.rgbGreen} << 8) | quad.rgbBlue;
}

uint32_t TableColor(const std::vector<RGBQUAD>& table, unsigned index)
{
  return index < table.size() ? QuadToArgb(table[index]) : 0;
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p)
{
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
void Put16(std::vector<uint8_t>& out, uint16_t v)
{
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v)
{
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One colour channel of a bit-field pixel: where it sits and how wide it is.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  int Bits = 0;

  explicit TChannel(uint32_t mask) : Mask(mask)
  {
    if (!mask)
      return;
    while (!((mask >> Shift) & 1))
      ++Shift;
    while (Shift + Bits < 32 && ((mask >> (Shift + Bits)) & 1))
      ++Bits;
  }
  bool Contiguous() const { return Mask == 0 || (((Mask >> Shift) + 1) & (Mask >> Shift)) == 0; }
  // The channel scaled to 0..255.
  uint32_t Get(uint32_t pixel) const
  {
    if (!Bits)
      return 0;
    const uint64_t value = (pixel & Mask) >> Shift;
    const uint64_t max = (uint64_t{1} << Bits) - 1;
    return static_cast<uint32_t>((value * 255 + max / 2) / max);
  }
};

// Colour masks whose pixels are kept as they are stored. Alpha may be absent or take the bits left over.
struct TStoredMasks {
  unsigned BitCount;
  uint32_t Red, Green, Blue;
  TLayout Layout;
};
constexpr TStoredMasks kStoredMasks[] = {
    {16, 0x7C00, 0x03E0, 0x001F, 15},
    {16, 0xF800, 0x07E0, 0x001F, 16},
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 32},
};

}  // namespace

bool ValidLayout(TLayout layout)
{
  switch (layout) {
  case 1: case 4: case 8: case 15: case 16: case 24: case 32:
    return true;
  default:
    return false;
  }
}

int StorageBits(TLayout layout) { return layout == 15 ? 16 : layout; }

bool HasColorTable(TLayout layout) { return layout <= 8; }

int64_t Stride(int64_t width, TLayout layout) { return ((width * StorageBits(layout) + 31) / 32) * 4; }

std::vector<RGBQUAD> DefaultColorTable(TLayout layout)
{
  std::vector<RGBQUAD> table;
  if (layout == 1) {
    table = {Quad(0, 0, 0), Quad(255, 255, 255)};
  } else if (layout == 4) {
    table = {Quad(0, 0, 0),       Quad(128, 0, 0),   Quad(0, 128, 0),   Quad(128, 128, 0),
             Quad(0, 0, 128),     Quad(128, 0, 128), Quad(0, 128, 128), Quad(192, 192, 192),
             Quad(128, 128, 128), Quad(255, 0, 0),   Quad(0, 255, 0),   Quad(255, 255, 0),
             Quad(0, 0, 255),     Quad(255, 0, 255), Quad(0, 255, 255), Quad(255, 255, 255)};
  } else if (layout == 8) {
    // The static colours at both ends, as the system palette keeps them; between them a colour cube and a
    // grey ramp, so that pure and web colours map exactly.
    table = {Quad(0, 0, 0),     Quad(128, 0, 0),   Quad(0, 128, 0),     Quad(128, 128, 0),   Quad(0, 0, 128),
             Quad(128, 0, 128), Quad(0, 128, 128), Quad(192, 192, 192), Quad(192, 220, 192), Quad(166, 202, 240)};
    static const uint8_t kCube[] = {0, 51, 102, 153, 204, 255};
    for (uint8_t red : kCube)
      for (uint8_t green : kCube)
        for (uint8_t blue : kCube)
          table.push_back(Quad(red, green, blue));
    for (int i = 0; i < 20; ++i) {
      const uint8_t grey = static_cast<uint8_t>(8 + i * 12);
      table.push_back(Quad(grey, grey, grey));
    }
    const RGBQUAD last[] = {Quad(255, 251, 240), Quad(160, 160, 164), Quad(128, 128, 128), Quad(255, 0, 0),
                            Quad(0, 255, 0),     Quad(255, 255, 0),   Quad(0, 0, 255),     Quad(255, 0, 255),
                            Quad(0, 255, 255),   Quad(255, 255, 255)};
    table.insert(table.end(), std::begin(last), std::end(last));
  }
  return table;
}

void DecodeRow(const uint8_t* row, int width, TLayout layout, const std::vector<RGBQUAD>& table, uint32_t* out)
{
  for (int x = 0; x < width; ++x) {
    switch (layout) {
    case 1:
      out[x] = TableColor(table, (row[x >> 3] >> (7 - (x & 7))) & 1);
      break;
    case 4:
      out[x] = TableColor(table, (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
      break;
    case 8:
      out[x] = TableColor(table, row[x]);
      break;
    case 15: {
      const unsigned v = Get16(row + 2 * x);
      const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      out[x] = (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
      break;
    }
    case 16: {
      const unsigned v = Get16(row + 2 * x);
      const unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
      out[x] = (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
      break;
    }
    case 24: {
      const uint8_t* p = row + 3 * x;
      out[x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
      break;
    }
    case 32:
      out[x] = Get32(row + 4 * x);
      break;
    default:
      out[x] = 0;
    }
  }
}

uint8_t TColorMatcher::Index(uint32_t argb)
{
  const uint32_t rgb = argb & 0xFFFFFF;
  const auto found = m_cache.find(rgb);
  if (found != m_cache.end())
    return found->second;
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  int best = 0;
  int bestDistance = 1 << 30;
  for (size_t i = 0; i < m_table.size() && i < 256; ++i) {
    const int dr = m_table[i].rgbRed - r, dg = m_table[i].rgbGreen - g, db = m_table[i].rgbBlue - b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
      if (distance == 0)
        break;
    }
  }
  const uint8_t index = static_cast<uint8_t>(best);
  m_cache.emplace(rgb, index);
  return index;
}

void EncodeRow(const uint32_t* pixels, int width, TLayout layout, TColorMatcher& matcher, uint8_t* row)
{
  if (layout == 1 || layout == 4)
    std::memset(row, 0, static_cast<size_t>((int64_t{width} * layout + 7) / 8));
  for (int x = 0; x < width; ++x) {
    const uint32_t argb = pixels[x];
    const unsigned r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (layout) {
    case 1:
      row[x >> 3] |= static_cast<uint8_t>((matcher.Index(argb) & 1) << (7 - (x & 7)));
      break;
    case 4:
      row[x >> 1] |= static_cast<uint8_t>((x & 1) ? (matcher.Index(argb) & 0x0F) : (matcher.Index(argb) << 4));
      break;
    case 8:
      row[x] = matcher.Index(argb);
      break;
    case 15: {
      const unsigned v = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
      row[2 * x] = static_cast<uint8_t>(v);
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case 16: {
      const unsigned v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
      row[2 * x] = static_cast<uint8_t>(v);
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case 24:
      row[3 * x] = static_cast<uint8_t>(b);
      row[3 * x + 1] = static_cast<uint8_t>(g);
      row[3 * x + 2] = static_cast<uint8_t>(r);
      break;
    case 32:
      std::memcpy(row + 4 * x, &argb, 4);
      break;
    default:
      break;
    }
  }
}

void CopyPixels(const uint8_t* source, uint8_t* dest, int count, TLayout layout)
{
  const int bits = StorageBits(layout);
  const int64_t wholeBytes = int64_t{count} * bits / 8;
  std::memcpy(dest, source, static_cast<size_t>(wholeBytes));
  const int done = static_cast<int>(wholeBytes * 8 / bits);
  for (int x = done; x < count; ++x) {
    const int bit = x * bits;
    const int shift = 8 - bits - (bit & 7);
    const uint8_t mask = static_cast<uint8_t>(((1 << bits) - 1) << shift);
    dest[bit >> 3] = static_cast<uint8_t>((dest[bit >> 3] & ~mask) | (source[bit >> 3] & mask));
  }
}

// --- BMP reading ---

namespace {

// Run-length decoding into rows of 8-bit (RLE8) or 4-bit (RLE4) indices, bottom row first. Writes outside
// the bitmap are dropped; a command cut off by the end of the data is an error. The column stops at the
// row's end, so that no number of runs past it can make it overflow.
void DecodeRle(const uint8_t* data, size_t size, bool fourBit, TImage& image)
{
  const int64_t stride = Stride(image.Width, image.Layout);
  auto put = [&](int x, int y, unsigned index) {
    if (x < 0 || x >= image.Width || y < 0 || y >= image.Height)
      return;
    uint8_t* row = image.Bits.data() + stride * y;
    if (!fourBit) {
      row[x] = static_cast<uint8_t>(index);
    } else if (x & 1) {
      row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | (index & 0x0F));
    } else {
      row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
    }
  };
  // Moves the column on by `pixels`, to the row's end at most.
  auto advance = [&](int& x, unsigned pixels) {
    x = static_cast<int>(std::min<int64_t>(int64_t{x} + pixels, image.Width));
  };
  size_t pos = 0;
  int x = 0, y = 0;
  for (;;) {
    if (y >= image.Height)
      return;  // every row is done; what follows cannot change the picture
    if (pos + 2 > size)
      Invalid();
    const unsigned count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count && x + static_cast<int>(i) < image.Width; ++i)
        put(x + static_cast<int>(i), y, fourBit ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      advance(x, count);
      continue;
    }
    switch (value) {
    case 0:  // end of line
      x = 0;
      ++y;
      break;
    case 1:  // end of bitmap
      return;
    case 2:  // delta
      if (pos + 2 > size)
        Invalid();
      advance(x, data[pos]);
      y += data[pos + 1];
      pos += 2;
      break;
    default: {  // absolute run, padded to a 16-bit boundary
      const size_t bytes = fourBit ? (value + 1) / 2 : value;
      const size_t padded = (bytes + 1) & ~size_t{1};
      if (pos + padded > size)
        Invalid();
      for (unsigned i = 0; i < value && x + static_cast<int>(i) < image.Width; ++i) {
        const uint8_t byte = data[pos + (fourBit ? i / 2 : i)];
        put(x + static_cast<int>(i), y, fourBit ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : byte);
      }
      advance(x, value);
      pos += padded;
      break;
    }
    }
  }
}

}  // namespace

namespace {

constexpr size_t kFileHeader = 14;
constexpr uint32_t kAlphaBitFields = 6;  // BI_ALPHABITFIELDS: four masks after a 40-byte header

// What the info header of a BMP file says, checked for sense.
struct THeader {
  uint32_t Size = 0;
  bool Core = false;
  int64_t Width = 0;
  int64_t Height = 0;
  bool TopDown = false;
  unsigned BitCount = 0;
  uint32_t Compression = BI_RGB;
  uint32_t ColorsUsed = 0;
  TMasks Masks;
  // Offset of what follows the header and its masks.
  size_t End = 0;
};

bool KnownHeaderSize(uint32_t size)
{
  switch (size) {
  case 12: case 40: case 52: case 56: case 108: case 124:
    return true;
  default:
    return false;
  }
}

// Depths each compression allows; run-length files are bottom-up only.
void CheckCompression(const THeader& header)
{
  const unsigned bits = header.BitCount;
  switch (header.Compression) {
  case BI_RGB:
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
      Invalid();
    break;
  case BI_RLE8:
    if (bits != 8 || header.TopDown)
      Invalid();
    break;
  case BI_RLE4:
    if (bits != 4 || header.TopDown)
      Invalid();
    break;
  case BI_BITFIELDS:
  case kAlphaBitFields:
    if (bits != 16 && bits != 32)
      Invalid();
    break;
  default:
    Invalid();
  }
}

THeader ReadHeader(const uint8_t* data, size_t size)
{
  const uint8_t* info = data + kFileHeader;
  THeader header;
  header.Size = Get32(info);
  if (!KnownHeaderSize(header.Size) || kFileHeader + header.Size > size)
    Invalid();
  header.Core = header.Size == 12;
  if (header.Core) {
    header.Width = Get16(info + 4);
    header.Height = Get16(info + 6);
    header.BitCount = Get16(info + 10);
  } else {
    header.Width = static_cast<int32_t>(Get32(info + 4));
    header.Height = static_cast<int32_t>(Get32(info + 8));
    header.BitCount = Get16(info + 14);
    header.Compression = Get32(info + 16);
    header.ColorsUsed = Get32(info + 32);
    if (header.Size >= 52) {
      header.Masks.Red = Get32(info + 40);
      header.Masks.Green = Get32(info + 44);
      header.Masks.Blue = Get32(info + 48);
    }
    if (header.Size >= 56)
      header.Masks.Alpha = Get32(info + 52);
  }
  header.TopDown = header.Height < 0;
  if (header.TopDown)
    header.Height = -header.Height;
  if (header.Width < 1 || header.Height < 1 || header.Width > kMaxDimension || header.Height > kMaxDimension ||
      header.Width * header.Height > kMaxPixels)
    Invalid();
  CheckCompression(header);

  header.End = kFileHeader + header.Size;
  const bool bitFields = header.Compression == BI_BITFIELDS || header.Compression == kAlphaBitFields;
  if (bitFields && header.Size == 40) {
    const size_t count = header.Compression == kAlphaBitFields ? 4 : 3;
    if (header.End + 4 * count > size)
      Invalid();
    const uint8_t* masks = data + header.End;
    header.Masks.Red = Get32(masks);
    header.Masks.Green = Get32(masks + 4);
    header.Masks.Blue = Get32(masks + 8);
    if (count == 4)
      header.Masks.Alpha = Get32(masks + 12);
    header.End += 4 * count;
  }
  return header;
}

// The colour table of a palette file (three-byte entries after a core header); returns where it ends.
size_t ReadColorTable(const uint8_t* data, size_t size, const THeader& header, TImage& image)
{
  const uint32_t maxColors = 1u << header.BitCount;
  const uint32_t colors = header.ColorsUsed ? header.ColorsUsed : maxColors;
  if (colors > maxColors)
    Invalid();
  const size_t entrySize = header.Core ? 3 : 4;
  if (header.End + entrySize * colors > size)
    Invalid();
  for (uint32_t i = 0; i < colors; ++i) {
    const uint8_t* entry = data + header.End + entrySize * i;
    image.ColorTable.push_back(RGBQUAD{entry[0], entry[1], entry[2], 0});
  }
  return header.End + entrySize * colors;
}

}  // namespace

TLayout StoredLayout(unsigned bitCount, bool bitFields, const TMasks& masks)
{
  if (bitCount <= 8 || bitCount == 24)
    return ValidLayout(static_cast<TLayout>(bitCount)) ? static_cast<TLayout>(bitCount) : 0;
  if (!bitFields)
    return bitCount == 16 ? 15 : bitCount == 32 ? 32 : 0;
  for (const TStoredMasks& stored : kStoredMasks) {
    if (stored.BitCount == bitCount && stored.Red == masks.Red && stored.Green == masks.Green &&
        stored.Blue == masks.Blue &&
        (masks.Alpha == 0 || masks.Alpha == ImpliedAlphaMask(bitCount, masks.Red, masks.Green, masks.Blue)))
      return stored.Layout;
  }
  return 0;
}

uint32_t ImpliedAlphaMask(unsigned bitCount, uint32_t red, uint32_t green, uint32_t blue)
{
  if (bitCount != 16 && bitCount != 32)
    return 0;
  const uint32_t pixel = bitCount == 32 ? 0xFFFFFFFFu : 0xFFFFu;
  const uint32_t rest = pixel & ~(red | green | blue);
  return TChannel(rest).Contiguous() ? rest : 0;
}

void DecodeBitFields(const uint8_t* pixels, int64_t stride, unsigned bitCount, const TMasks& masks, TImage& image)
{
  const TChannel red(masks.Red), green(masks.Green), blue(masks.Blue), alpha(masks.Alpha);
  if ((bitCount != 16 && bitCount != 32) || !red.Mask || !green.Mask || !blue.Mask || !red.Contiguous() ||
      !green.Contiguous() || !blue.Contiguous() || !alpha.Contiguous() || (red.Mask & green.Mask) ||
      (red.Mask & blue.Mask) || (green.Mask & blue.Mask))
    Invalid();
  image.Layout = bitCount == 16 ? 24 : 32;
  const int64_t outStride = Stride(image.Width, image.Layout);
  image.Bits.assign(static_cast<size_t>(outStride * image.Height), 0);
  const std::vector<RGBQUAD> noTable;
  TColorMatcher matcher(noTable);
  std::vector<uint32_t> row(static_cast<size_t>(image.Width));
  for (int64_t y = 0; y < image.Height; ++y) {
    const uint8_t* source = pixels + stride * y;
    for (int64_t x = 0; x < image.Width; ++x) {
      const uint32_t value = bitCount == 16 ? Get16(source + 2 * x) : Get32(source + 4 * x);
      row[static_cast<size_t>(x)] =
          (alpha.Get(value) << 24) | (red.Get(value) << 16) | (green.Get(value) << 8) | blue.Get(value);
    }
    EncodeRow(row.data(), image.Width, image.Layout, matcher, image.Bits.data() + outStride * y);
  }
}

TImage ReadBmp(const uint8_t* data, size_t size)
{
  if (!data || size < kFileHeader + 12 || data[0] != 'B' || data[1] != 'M')
    Invalid();
  const THeader header = ReadHeader(data, size);
  TImage image;
  image.Width = static_cast<int>(header.Width);
  image.Height = static_cast<int>(header.Height);
  image.TopDown = header.TopDown;
  size_t afterHeader = header.End;
  if (header.BitCount <= 8) {
    afterHeader = ReadColorTable(data, size, header, image);
    image.Layout = static_cast<TLayout>(header.BitCount);
  }

  // Writers that leave the offset 0 mean "right after the colour table".
  const uint32_t offBits = Get32(data + 10);
  const size_t pixelStart = offBits == 0 ? afterHeader : offBits;
  if (pixelStart < kFileHeader + header.Size || pixelStart > size)
    Invalid();
  const uint8_t* pixels = data + pixelStart;
  const size_t available = size - pixelStart;

  if (header.Compression == BI_RLE8 || header.Compression == BI_RLE4) {
    image.Bits.assign(static_cast<size_t>(Stride(image.Width, image.Layout) * image.Height), 0);
    DecodeRle(pixels, available, header.Compression == BI_RLE4, image);
    return image;
  }

  const int64_t sourceStride = Stride(header.Width, static_cast<TLayout>(header.BitCount));
  if (sourceStride * header.Height > static_cast<int64_t>(available))
    Invalid();
  const bool bitFields = header.Compression == BI_BITFIELDS || header.Compression == kAlphaBitFields;
  if (const TLayout stored = StoredLayout(header.BitCount, bitFields, header.Masks)) {
    image.Layout = stored;
    image.Bits.assign(pixels, pixels + sourceStride * header.Height);
    return image;
  }
  DecodeBitFields(pixels, sourceStride, header.BitCount, header.Masks, image);
  return image;
}

std::vector<uint8_t> WriteBmp(const TImage& image)
{
  const int64_t stride = Stride(image.Width, image.Layout);
  const bool masks = image.Layout == 16;
  const uint32_t colors = HasColorTable(image.Layout) ? static_cast<uint32_t>(image.ColorTable.size()) : 0;
  const uint32_t offBits = 14 + 40 + (masks ? 12 : 0) + 4 * colors;
  const uint32_t imageSize = static_cast<uint32_t>(stride * image.Height);

  std::vector<uint8_t> out;
  out.reserve(offBits + imageSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, offBits + imageSize);
  Put32(out, 0);
  Put32(out, offBits);

  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(image.Width));
  Put32(out, static_cast<uint32_t>(image.Height));
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(StorageBits(image.Layout)));
  Put32(out, masks ? BI_BITFIELDS : BI_RGB);
  Put32(out, imageSize);
  Put32(out, 3780);  // 96 dots per inch
  Put32(out, 3780);
  Put32(out, colors);
  Put32(out, 0);
  if (masks) {
    Put32(out, 0xF800);
    Put32(out, 0x07E0);
    Put32(out, 0x001F);
  }
  for (uint32_t i = 0; i < colors; ++i) {
    const RGBQUAD& q = image.ColorTable[i];
    out.push_back(q.rgbBlue);
    out.push_back(q.rgbGreen);
    out.push_back(q.rgbRed);
    out.push_back(0);
  }
  for (int y = 0; y < image.Height; ++y) {
    const int stored = image.TopDown ? image.Height - 1 - y : y;
    const uint8_t* row = image.Bits.data() + stride * stored;
    out.insert(out.end(), row, row + stride);
  }
  return out;
}

}  // namespace Dib
