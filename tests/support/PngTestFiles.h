#pragma once
// PNG files made by the tests, sample by sample, so that every variant is exactly known: zlib streams of
// stored (uncompressed) deflate blocks, unfiltered scanlines, Adam7 passes when interlaced.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

enum TPngColorType : uint8_t { PngGrey = 0, PngRgb = 2, PngPalette = 3, PngGreyAlpha = 4, PngRgbAlpha = 6 };

struct TPngLayout {
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint8_t ColorType = PngRgbAlpha;
  uint8_t BitDepth = 8;
  bool Interlaced = false;
  std::vector<uint16_t> Samples;  // Width * Height * SampleCount(ColorType), top row first
  TBytes Palette;                 // R, G, B per entry
  TBytes Trns;                    // the tRNS chunk's data; empty: no tRNS chunk
  size_t IdatPiece = 0;           // spreads the image data over IDAT chunks of this size; 0: one chunk
  uint8_t Filter = 0;             // the filter byte of every scanline (only 0 keeps the samples as given)
};

int SampleCount(uint8_t colorType);

// A layout with `seed`-made samples: in range for the bit depth, palette indices within `paletteSize`, and
// (with `key`) every third pixel set to the key colour so that a tRNS key actually hits.
TPngLayout MakeLayout(uint32_t width, uint32_t height, uint8_t colorType, uint8_t bitDepth, uint32_t seed,
                  int paletteSize = 0, const std::vector<uint16_t>& key = {});

// The tRNS data for a grey (one value) or colour (three values) key.
TBytes TrnsKey(const std::vector<uint16_t>& key);

TBytes EncodePngFile(const TPngLayout& layout);

// What the library must deliver for `layout`: 8-bit R, G, B(, A) rows, with A exactly when the picture
// carries transparency.
struct TExpectedPicture {
  bool Alpha = false;
  TBytes Pixels;
};
TExpectedPicture ExpectedPicture(const TPngLayout& layout);

// Chunk-level access for damaging files on purpose.
uint32_t Crc32(const uint8_t* bytes, size_t size);
TBytes Chunk(const char* type, const TBytes& data);
struct TChunkAt {
  size_t Offset;  // of the length field
  uint32_t Length;
  std::string Type;
};
// The chunks that lie wholly inside the file, in order.
std::vector<TChunkAt> ListChunks(const TBytes& file);
// Gives every whole chunk its correct checksum again, so that an edit reaches the decoder.
void RepairChecksums(TBytes& file);
void PutBigEndian32(TBytes& file, size_t offset, uint32_t value);
