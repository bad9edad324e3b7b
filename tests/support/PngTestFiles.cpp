#include "PngTestFiles.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace {

void Append32(TBytes& out, uint32_t v)
{
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t Adler32(const TBytes& bytes)
{
  uint32_t a = 1;
  uint32_t b = 0;
  for (uint8_t byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

// zlib header, stored deflate blocks of at most 65535 bytes, Adler-32.
TBytes StoredZlib(const TBytes& raw)
{
  TBytes out{0x78, 0x01};
  size_t at = 0;
  do {
    const size_t size = std::min<size_t>(raw.size() - at, 65535);
    const bool last = at + size == raw.size();
    out.push_back(last ? 1 : 0);
    for (uint16_t v : {static_cast<uint16_t>(size), static_cast<uint16_t>(~size)}) {
      out.push_back(static_cast<uint8_t>(v));
      out.push_back(static_cast<uint8_t>(v >> 8));
    }
    out.insert(out.end(), raw.begin() + at, raw.begin() + at + size);
    at += size;
  } while (at < raw.size());
  Append32(out, Adler32(raw));
  return out;
}

// One unfiltered scanline of the pixels at x = x0, x0 + step, ... of row y, packed MSB first.
void AppendScanline(const TPngLayout& layout, uint32_t y, uint32_t x0, uint32_t step, TBytes& out)
{
  out.push_back(layout.Filter);
  const int channels = SampleCount(layout.ColorType);
  uint32_t bits = 0;
  int used = 0;
  for (uint32_t x = x0; x < layout.Width; x += step) {
    for (int c = 0; c < channels; ++c) {
      const uint16_t v = layout.Samples[(size_t{y} * layout.Width + x) * channels + c];
      if (layout.BitDepth == 16) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
        continue;
      }
      bits = (bits << layout.BitDepth) | v;
      used += layout.BitDepth;
      if (used == 8) {
        out.push_back(static_cast<uint8_t>(bits));
        bits = 0;
        used = 0;
      }
    }
  }
  if (used > 0)
    out.push_back(static_cast<uint8_t>(bits << (8 - used)));
}

TBytes Scanlines(const TPngLayout& layout)
{
  TBytes raw;
  if (!layout.Interlaced) {
    for (uint32_t y = 0; y < layout.Height; ++y)
      AppendScanline(layout, y, 0, 1, raw);
    return raw;
  }
  struct TPass {
    uint32_t X0, Y0, DX, DY;
  };
  static const TPass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                  {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  for (const TPass& pass : kAdam7) {
    if (pass.X0 >= layout.Width)
      continue;  // an empty pass has no scanlines at all
    for (uint32_t y = pass.Y0; y < layout.Height; y += pass.DY)
      AppendScanline(layout, y, pass.X0, pass.DX, raw);
  }
  return raw;
}

uint8_t To8(uint16_t v, uint8_t depth)
{
  return depth == 16 ? static_cast<uint8_t>(v >> 8) : static_cast<uint8_t>(v * 255 / ((1 << depth) - 1));
}

}  // namespace

int SampleCount(uint8_t colorType)
{
  switch (colorType) {
  case PngGrey:
  case PngPalette:
    return 1;
  case PngGreyAlpha:
    return 2;
  case PngRgb:
    return 3;
  case PngRgbAlpha:
    return 4;
  }
  throw std::invalid_argument("colour type");
}

TPngLayout MakeLayout(uint32_t width, uint32_t height, uint8_t colorType, uint8_t bitDepth, uint32_t seed,
                  int paletteSize, const std::vector<uint16_t>& key)
{
  TPngLayout layout;
  layout.Width = width;
  layout.Height = height;
  layout.ColorType = colorType;
  layout.BitDepth = bitDepth;
  std::mt19937 random(seed);
  const int channels = SampleCount(colorType);
  const uint32_t limit = colorType == PngPalette ? paletteSize : 1u << bitDepth;
  for (size_t i = 0; i < size_t{width} * height; ++i) {
    const bool keyed = !key.empty() && i % 3 == 0;
    for (int c = 0; c < channels; ++c)
      layout.Samples.push_back(keyed ? key[c] : static_cast<uint16_t>(random() % limit));
  }
  for (int i = 0; i < paletteSize * 3; ++i)
    layout.Palette.push_back(static_cast<uint8_t>(random()));
  return layout;
}

TBytes TrnsKey(const std::vector<uint16_t>& key)
{
  TBytes out;
  for (uint16_t v : key) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

TBytes EncodePngFile(const TPngLayout& layout)
{
  TBytes file{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  TBytes header;
  Append32(header, layout.Width);
  Append32(header, layout.Height);
  header.insert(header.end(), {layout.BitDepth, layout.ColorType, 0, 0, static_cast<uint8_t>(layout.Interlaced)});
  const TBytes image = StoredZlib(Scanlines(layout));
  std::vector<TBytes> chunks{Chunk("IHDR", header)};
  if (!layout.Palette.empty())
    chunks.push_back(Chunk("PLTE", layout.Palette));
  if (!layout.Trns.empty())
    chunks.push_back(Chunk("tRNS", layout.Trns));
  const size_t piece = layout.IdatPiece ? layout.IdatPiece : image.size();
  for (size_t at = 0; at < image.size(); at += piece)
    chunks.push_back(Chunk("IDAT", TBytes(&image[at], &image[0] + std::min(image.size(), at + piece))));
  chunks.push_back(Chunk("IEND", {}));
  for (const TBytes& chunk : chunks)
    file.insert(file.end(), chunk.begin(), chunk.end());
  return file;
}

TExpectedPicture ExpectedPicture(const TPngLayout& layout)
{
  const bool paletteAlpha = layout.ColorType == PngPalette && !layout.Trns.empty();
  const bool keyAlpha = (layout.ColorType == PngGrey || layout.ColorType == PngRgb) && !layout.Trns.empty();
  TExpectedPicture expected;
  expected.Alpha = paletteAlpha || keyAlpha || layout.ColorType == PngGreyAlpha || layout.ColorType == PngRgbAlpha;
  const int channels = SampleCount(layout.ColorType);
  for (size_t i = 0; i < size_t{layout.Width} * layout.Height; ++i) {
    const uint16_t* s = &layout.Samples[i * channels];
    uint8_t rgba[4] = {0, 0, 0, 255};
    if (layout.ColorType == PngPalette) {
      for (int c = 0; c < 3; ++c)
        rgba[c] = layout.Palette[s[0] * 3 + c];
      if (s[0] < layout.Trns.size())
        rgba[3] = layout.Trns[s[0]];
    } else {
      const bool colour = channels >= 3;
      for (int c = 0; c < 3; ++c)
        rgba[c] = To8(s[colour ? c : 0], layout.BitDepth);
      if (channels == 2 || channels == 4)
        rgba[3] = To8(s[channels - 1], layout.BitDepth);
      if (keyAlpha && TrnsKey(std::vector<uint16_t>(s, s + channels)) == layout.Trns)
        rgba[3] = 0;
    }
    expected.Pixels.insert(expected.Pixels.end(), rgba, rgba + (expected.Alpha ? 4 : 3));
  }
  return expected;
}

uint32_t Crc32(const uint8_t* bytes, size_t size)
{
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k)
      crc = (crc & 1) ? 0xEDB88320 ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

TBytes Chunk(const char* type, const TBytes& data)
{
  TBytes out;
  Append32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Append32(out, Crc32(out.data() + 4, data.size() + 4));
  return out;
}

std::vector<TChunkAt> ListChunks(const TBytes& file)
{
  std::vector<TChunkAt> chunks;
  for (size_t at = 8; at + 12 <= file.size();) {
    const uint32_t length = (uint32_t{file[at]} << 24) | (uint32_t{file[at + 1]} << 16) |
                            (uint32_t{file[at + 2]} << 8) | file[at + 3];
    if (length > file.size() - at - 12)
      break;
    chunks.push_back({at, length, std::string(file.begin() + at + 4, file.begin() + at + 8)});
    at += 12 + size_t{length};
  }
  return chunks;
}

void PutBigEndian32(TBytes& file, size_t offset, uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    file[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

void RepairChecksums(TBytes& file)
{
  for (const TChunkAt& chunk : ListChunks(file))
    PutBigEndian32(file, chunk.Offset + 8 + chunk.Length, Crc32(&file[chunk.Offset + 4], chunk.Length + 4));
}
