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
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit TChannel(uint32_t m) : mask(m)
  {
    if (!m)
      return;
    while (!((m >> shift) & 1))
      ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1))
      ++bits;
  }
  bool Contiguous() const { return mask == 0 || (((mask >> shift) + 1) & (mask >> shift)) == 0; }
  // The channel scaled to 0..255.
  uint32_t Get(uint32_t pixel) const
  {
    if (!bits)
      return 0;
    const uint64_t value = (pixel & mask) >> shift;
    const uint64_t max = (uint64_t{1} << bits) - 1;
    return static_cast<uint32_t>((value * 255 + max / 2) / max);
  }
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
// the bitmap are dropped; a command cut off by the end of the data is an error.
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
      for (unsigned i = 0; i < count; ++i, ++x)
        put(x, y, fourBit ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
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
      x += data[pos];
      y += data[pos + 1];
      pos += 2;
      break;
    default: {  // absolute run, padded to a 16-bit boundary
      const size_t bytes = fourBit ? (value + 1) / 2 : value;
      const size_t padded = (bytes + 1) & ~size_t{1};
      if (pos + padded > size)
        Invalid();
      for (unsigned i = 0; i < value; ++i, ++x) {
        const uint8_t byte = data[pos + (fourBit ? i / 2 : i)];
        put(x, y, fourBit ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : byte);
      }
      pos += padded;
      break;
    }
    }
  }
}

}  // namespace

TImage ReadBmp(const uint8_t* data, size_t size)
{
  constexpr size_t kFileHeader = 14;
  if (!data || size < kFileHeader + 12 || data[0] != 'B' || data[1] != 'M')
    Invalid();
  const uint32_t offBits = Get32(data + 10);
  const uint8_t* info = data + kFileHeader;
  const uint32_t headerSize = Get32(info);
  if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
      headerSize != 124)
    Invalid();
  if (kFileHeader + headerSize > size)
    Invalid();

  int64_t width = 0, height = 0;
  unsigned bitCount = 0;
  uint32_t compression = BI_RGB, colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  size_t afterHeader = kFileHeader + headerSize;
  const bool core = headerSize == 12;
  if (core) {
    width = Get16(info + 4);
    height = Get16(info + 6);
    bitCount = Get16(info + 10);
  } else {
    width = static_cast<int32_t>(Get32(info + 4));
    height = static_cast<int32_t>(Get32(info + 8));
    bitCount = Get16(info + 14);
    compression = Get32(info + 16);
    colorsUsed = Get32(info + 32);
    if (headerSize >= 52) {
      for (int i = 0; i < 3; ++i)
        masks[i] = Get32(info + 40 + 4 * i);
      if (headerSize >= 56)
        masks[3] = Get32(info + 52);
    }
  }

  const bool topDown = height < 0;
  if (topDown)
    height = -height;
  if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension || width * height > kMaxPixels)
    Invalid();

  const bool bitFields = compression == BI_BITFIELDS || compression == 6 /* BI_ALPHABITFIELDS */;
  switch (compression) {
  case BI_RGB:
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
      Invalid();
    break;
  case BI_RLE8:
    if (bitCount != 8 || topDown)
      Invalid();
    break;
  case BI_RLE4:
    if (bitCount != 4 || topDown)
      Invalid();
    break;
  case BI_BITFIELDS:
  case 6:
    if (bitCount != 16 && bitCount != 32)
      Invalid();
    break;
  default:
    Invalid();
  }

  if (bitFields && headerSize == 40) {
    const size_t count = compression == 6 ? 4 : 3;
    if (afterHeader + 4 * count > size)
      Invalid();
    for (size_t i = 0; i < count; ++i)
      masks[i] = Get32(data + afterHeader + 4 * i);
    afterHeader += 4 * count;
  }

  TImage image;
  image.Width = static_cast<int>(width);
  image.Height = static_cast<int>(height);
  image.TopDown = topDown;

  if (bitCount <= 8) {
    const uint32_t maxColors = 1u << bitCount;
    const uint32_t colors = colorsUsed ? colorsUsed : maxColors;
    if (colors > maxColors)
      Invalid();
    const size_t entrySize = core ? 3 : 4;
    if (afterHeader + entrySize * colors > size)
      Invalid();
    for (uint32_t i = 0; i < colors; ++i) {
      const uint8_t* e = data + afterHeader + entrySize * i;
      image.ColorTable.push_back(RGBQUAD{e[0], e[1], e[2], 0});
    }
    afterHeader += entrySize * colors;
    image.Layout = static_cast<TLayout>(bitCount);
  }

  // Writers that leave the offset 0 mean "right after the colour table".
  const size_t pixelStart = offBits == 0 ? afterHeader : offBits;
  if (pixelStart < kFileHeader + headerSize || pixelStart > size)
    Invalid();
  const uint8_t* pixels = data + pixelStart;
  const size_t available = size - pixelStart;

  const int64_t sourceStride = Stride(width, bitCount);

  if (compression == BI_RLE8 || compression == BI_RLE4) {
    image.Bits.assign(static_cast<size_t>(Stride(width, image.Layout) * height), 0);
    DecodeRle(pixels, available, compression == BI_RLE4, image);
    return image;
  }

  if (sourceStride * height > static_cast<int64_t>(available))
    Invalid();

  // Layouts that are stored as they come.
  TLayout direct = 0;
  if (bitCount <= 8 || bitCount == 24) {
    direct = static_cast<TLayout>(bitCount);
  } else if (bitCount == 16 && !bitFields) {
    direct = 15;
  } else if (bitCount == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F) {
    direct = 15;
  } else if (bitCount == 16 && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) {
    direct = 16;
  } else if (bitCount == 32 && (!bitFields || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF &&
                                               (masks[3] == 0 || masks[3] == 0xFF000000u)))) {
    direct = 32;
  }
  if (direct) {
    image.Layout = direct;
    const size_t bytes = static_cast<size_t>(sourceStride * height);
    image.Bits.assign(pixels, pixels + bytes);
    return image;
  }

  // Any other bit fields: decode each pixel.
  const TChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
  if (!red.mask || !green.mask || !blue.mask || !red.Contiguous() || !green.Contiguous() || !blue.Contiguous() ||
      !alpha.Contiguous() || (red.mask & green.mask) || (red.mask & blue.mask) || (green.mask & blue.mask))
    Invalid();
  image.Layout = bitCount == 16 ? 24 : 32;
  const int64_t stride = Stride(width, image.Layout);
  image.Bits.assign(static_cast<size_t>(stride * height), 0);
  std::vector<RGBQUAD> noTable;
  TColorMatcher matcher(noTable);
  std::vector<uint32_t> row(static_cast<size_t>(width));
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* source = pixels + sourceStride * y;
    for (int64_t x = 0; x < width; ++x) {
      const uint32_t value = bitCount == 16 ? Get16(source + 2 * x) : Get32(source + 4 * x);
      row[static_cast<size_t>(x)] =
          (alpha.Get(value) << 24) | (red.Get(value) << 16) | (green.Get(value) << 8) | blue.Get(value);
    }
    EncodeRow(row.data(), image.Width, image.Layout, matcher, image.Bits.data() + stride * y);
  }
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
