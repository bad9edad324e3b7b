#include "Dib.h"
#include "GraphicsFixture.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

namespace {

// The pixel at (x, y), y from the top, as 0xAARRGGBB.
uint32_t PixelAt(const Dib::TImage& image, int x, int y)
{
  const int64_t stride = Dib::Stride(image.Width, image.Layout);
  const int stored = image.TopDown ? y : image.Height - 1 - y;
  std::vector<uint32_t> row(static_cast<size_t>(image.Width));
  Dib::DecodeRow(image.Bits.data() + stride * stored, image.Width, image.Layout, image.ColorTable, row.data());
  return row[static_cast<size_t>(x)];
}

Dib::TImage Read(const TBmpLayout& layout)
{
  const std::vector<uint8_t> bytes = BuildBmp(layout);
  return Dib::ReadBmp(bytes.data(), bytes.size());
}

void ExpectInvalid(const std::vector<uint8_t>& bytes)
{
  try {
    Dib::ReadBmp(bytes.data(), bytes.size());
    ADD_FAILURE() << "a broken file was accepted";
  } catch (const EInvalidGraphic& error) {
    EXPECT_STREQ(error.what(), "Bitmap image is not valid");
  }
}

void ExpectInvalid(const TBmpLayout& layout) { ExpectInvalid(BuildBmp(layout)); }

// 3 x 2, 24-bit, bottom-up: top row red, green, blue; bottom row white, black, grey. Rows padded to 12 bytes.
TBmpLayout Small24()
{
  TBmpLayout layout;
  layout.Width = 3;
  layout.Height = 2;
  layout.BitCount = 24;
  layout.Pixels = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0x80, 0x80, 0, 0, 0,    // bottom row first
                 0, 0, 0xFF,       0, 0xFF, 0, 0xFF, 0, 0,       0, 0, 0};
  return layout;
}

}  // namespace

TEST(Dib, Reads24BitBottomUpRowsInPictureOrder)
{
  const Dib::TImage image = Read(Small24());
  EXPECT_EQ(image.Width, 3);
  EXPECT_EQ(image.Height, 2);
  EXPECT_EQ(image.Layout, 24);
  EXPECT_FALSE(image.TopDown);
  EXPECT_EQ(PixelAt(image, 0, 0), 0xFF0000u);
  EXPECT_EQ(PixelAt(image, 1, 0), 0x00FF00u);
  EXPECT_EQ(PixelAt(image, 2, 0), 0x0000FFu);
  EXPECT_EQ(PixelAt(image, 0, 1), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(image, 2, 1), 0x808080u);
}

TEST(Dib, ReadsTopDownFilesWithEveryHeaderVersion)
{
  for (uint32_t headerSize : {40u, 52u, 56u, 108u, 124u}) {
    TBmpLayout layout = Small24();
    layout.HeaderSize = headerSize;
    layout.Height = -2;
    // Stored rows now run top to bottom: swap them.
    std::vector<uint8_t> rows(layout.Pixels.begin() + 12, layout.Pixels.end());
    rows.insert(rows.end(), layout.Pixels.begin(), layout.Pixels.begin() + 12);
    layout.Pixels = rows;
    const Dib::TImage image = Read(layout);
    EXPECT_TRUE(image.TopDown) << headerSize;
    EXPECT_EQ(PixelAt(image, 0, 0), 0xFF0000u) << headerSize;
    EXPECT_EQ(PixelAt(image, 2, 1), 0x808080u) << headerSize;
  }
}

TEST(Dib, ReadsPaletteDepthsWithTheirColourTables)
{
  // 1-bit, 10 wide (two bytes per row, padded to 4), colours red and blue.
  TBmpLayout mono;
  mono.Width = 10;
  mono.Height = 1;
  mono.BitCount = 1;
  mono.Palette = {Rgb(255, 0, 0), Rgb(0, 0, 255)};
  mono.Pixels = {0xA0, 0x40, 0, 0};  // 1 0 1 0 0 0 0 0 | 0 1
  Dib::TImage image = Read(mono);
  EXPECT_EQ(image.Layout, 1);
  EXPECT_EQ(PixelAt(image, 0, 0), 0x0000FFu);
  EXPECT_EQ(PixelAt(image, 1, 0), 0xFF0000u);
  EXPECT_EQ(PixelAt(image, 2, 0), 0x0000FFu);
  EXPECT_EQ(PixelAt(image, 8, 0), 0xFF0000u);
  EXPECT_EQ(PixelAt(image, 9, 0), 0x0000FFu);

  // 4-bit, odd width, a palette of three used colours.
  TBmpLayout nibbles;
  nibbles.Width = 3;
  nibbles.Height = 1;
  nibbles.BitCount = 4;
  nibbles.Palette = {Rgb(0, 0, 0), Rgb(10, 20, 30), Rgb(200, 100, 50)};
  nibbles.Pixels = {0x21, 0x00, 0, 0};
  image = Read(nibbles);
  EXPECT_EQ(image.Layout, 4);
  EXPECT_EQ(image.ColorTable.size(), 3u);
  EXPECT_EQ(PixelAt(image, 0, 0), 0xC86432u);
  EXPECT_EQ(PixelAt(image, 1, 0), 0x0A141Eu);
  EXPECT_EQ(PixelAt(image, 2, 0), 0x000000u);

  // 8-bit with the old core header and three-byte palette entries.
  TBmpLayout core;
  core.HeaderSize = 12;
  core.Width = 2;
  core.Height = 1;
  core.BitCount = 8;
  core.Palette.assign(256, Rgb(0, 0, 0));
  core.Palette[7] = Rgb(1, 2, 3);
  core.Palette[255] = Rgb(250, 251, 252);
  core.Pixels = {7, 255, 0, 0};
  image = Read(core);
  EXPECT_EQ(image.Layout, 8);
  EXPECT_EQ(PixelAt(image, 0, 0), 0x010203u);
  EXPECT_EQ(PixelAt(image, 1, 0), 0xFAFBFCu);
}

TEST(Dib, Reads16BitLayoutsAndBitFields)
{
  // 5-5-5 without masks: pure red and a mid grey.
  TBmpLayout rgb555;
  rgb555.Width = 2;
  rgb555.Height = 1;
  rgb555.BitCount = 16;
  rgb555.Pixels = {0x00, 0x7C, 0x10, 0x42};  // 0x7C00, 0x4210
  Dib::TImage image = Read(rgb555);
  EXPECT_EQ(image.Layout, 15);
  EXPECT_EQ(PixelAt(image, 0, 0), 0xFF0000u);
  EXPECT_EQ(PixelAt(image, 1, 0), 0x848484u);

  // 5-6-5 bit fields after a 40-byte header: pure green and pure blue.
  TBmpLayout rgb565;
  rgb565.Width = 2;
  rgb565.Height = 1;
  rgb565.BitCount = 16;
  rgb565.Compression = BI_BITFIELDS;
  rgb565.Masks = {0xF800, 0x07E0, 0x001F};
  rgb565.Pixels = {0xE0, 0x07, 0x1F, 0x00};
  image = Read(rgb565);
  EXPECT_EQ(image.Layout, 16);
  EXPECT_EQ(PixelAt(image, 0, 0), 0x00FF00u);
  EXPECT_EQ(PixelAt(image, 1, 0), 0x0000FFu);

  // 4-4-4-4 in a V5 header: decoded into 24-bit pixels.
  TBmpLayout rgb444;
  rgb444.HeaderSize = 124;
  rgb444.Width = 1;
  rgb444.Height = 1;
  rgb444.BitCount = 16;
  rgb444.Compression = BI_BITFIELDS;
  rgb444.Masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
  rgb444.Pixels = {0x0F, 0xF8, 0, 0};  // red 8, green 0, blue 15
  image = Read(rgb444);
  EXPECT_EQ(image.Layout, 24);
  EXPECT_EQ(PixelAt(image, 0, 0), 0x8800FFu);
}

TEST(Dib, Reads32BitPixelsWithTheirAlpha)
{
  TBmpLayout plain;
  plain.Width = 1;
  plain.Height = 1;
  plain.BitCount = 32;
  plain.Pixels = {50, 100, 200, 128};
  Dib::TImage image = Read(plain);
  EXPECT_EQ(image.Layout, 32);
  EXPECT_EQ(PixelAt(image, 0, 0), 0x80C86432u);

  // Red in the lowest byte (R, G, B, A in memory), as some tools write: decoded into B, G, R, A.
  TBmpLayout swapped;
  swapped.HeaderSize = 108;
  swapped.Width = 1;
  swapped.Height = -1;
  swapped.BitCount = 32;
  swapped.Compression = BI_BITFIELDS;
  swapped.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
  swapped.Pixels = {200, 100, 50, 64};
  image = Read(swapped);
  EXPECT_EQ(image.Layout, 32);
  EXPECT_EQ(PixelAt(image, 0, 0), 0x40C86432u);
}

TEST(Dib, DecodesRunLengthEncodedFiles)
{
  std::vector<RGBQUAD> palette;
  for (int i = 0; i < 16; ++i)
    palette.push_back(Rgb(static_cast<uint8_t>(i * 16), 0, static_cast<uint8_t>(255 - i * 16)));
  auto index = [&](const Dib::TImage& image, int x, int y) {
    const uint32_t argb = PixelAt(image, x, y);
    return static_cast<int>(((argb >> 16) & 0xFF) / 16);
  };

  TBmpLayout rle8;
  rle8.Width = 4;
  rle8.Height = 3;
  rle8.BitCount = 8;
  rle8.Compression = BI_RLE8;
  rle8.Palette = palette;
  rle8.Pixels = {3, 5, 1, 7, 0, 0,        // bottom row: 5 5 5 7
                 0, 3, 1, 2, 3, 0, 0, 0,  // absolute 1 2 3 (padded), end of line
                 0, 2, 2, 0, 2, 4,        // skip two pixels, then 4 4
                 0, 1};
  Dib::TImage image = Read(rle8);
  const int expected8[3][4] = {{0, 0, 4, 4}, {1, 2, 3, 0}, {5, 5, 5, 7}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(index(image, x, y), expected8[y][x]) << x << "," << y;

  TBmpLayout rle4;
  rle4.Width = 5;
  rle4.Height = 2;
  rle4.BitCount = 4;
  rle4.Compression = BI_RLE4;
  rle4.Palette = palette;
  rle4.Pixels = {5, 0x12, 0, 0,           // bottom row: 1 2 1 2 1
                 0, 3, 0x34, 0x50, 2, 0x66,  // absolute 3 4 5, then 6 6
                 0, 1};
  image = Read(rle4);
  const int expected4[2][5] = {{3, 4, 5, 6, 6}, {1, 2, 1, 2, 1}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(index(image, x, y), expected4[y][x]) << x << "," << y;
}

TEST(Dib, RunsThatLeaveThePictureAreClipped)
{
  TBmpLayout layout;
  layout.Width = 2;
  layout.Height = 1;
  layout.BitCount = 8;
  layout.Compression = BI_RLE8;
  layout.Palette = {Rgb(0, 0, 0), Rgb(255, 255, 255)};
  layout.Pixels = {255, 1, 0, 2, 200, 200, 3, 1, 0, 1};  // 255 pixels into a 2-pixel row, a jump far away
  const Dib::TImage image = Read(layout);
  EXPECT_EQ(PixelAt(image, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(image, 1, 0), 0xFFFFFFu);
}

TEST(Dib, LongRunsPastTheRowsEndAreDroppedHoweverManyThereAre)
{
  // 2^32 - 1 pixels of runs past a 2-pixel row: a column counter that kept counting would come round
  // to column 0 again and take the last run's red there.
  TBmpLayout layout;
  layout.Width = 2;
  layout.Height = 1;
  layout.BitCount = 8;
  layout.Compression = BI_RLE8;
  layout.Palette = {Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(255, 0, 0)};
  constexpr size_t kRuns = 16843009;  // 255 * kRuns == 2^32 - 1
  layout.Pixels.reserve(kRuns * 2 + 6);
  layout.Pixels = {1, 1};  // white at column 0
  for (size_t i = 0; i < kRuns; ++i) {
    layout.Pixels.push_back(255);
    layout.Pixels.push_back(0);
  }
  layout.Pixels.insert(layout.Pixels.end(), {1, 2, 0, 1});  // one red pixel, end of bitmap
  const Dib::TImage image = Read(layout);
  EXPECT_EQ(PixelAt(image, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(image, 1, 0), 0x000000u);
}

TEST(Dib, RejectsBrokenFilesWithOneClearError)
{
  ExpectInvalid(std::vector<uint8_t>{});
  std::vector<uint8_t> bytes = BuildBmp(Small24());
  bytes[0] = 'P';  // wrong magic
  ExpectInvalid(bytes);
  bytes = BuildBmp(Small24());
  bytes.resize(20);  // cut inside the header
  ExpectInvalid(bytes);
  bytes = BuildBmp(Small24());
  bytes.pop_back();  // one pixel byte missing
  ExpectInvalid(bytes);

  TBmpLayout layout = Small24();
  layout.HeaderSize = 64;  // not a header this reader knows
  ExpectInvalid(layout);
  layout = Small24();
  layout.Width = 0;
  ExpectInvalid(layout);
  layout = Small24();
  layout.Height = 0;
  ExpectInvalid(layout);
  layout = Small24();
  layout.Width = 0x7FFFFFFF;  // absurd: rejected before any allocation
  ExpectInvalid(layout);
  layout = Small24();
  layout.Height = static_cast<int32_t>(0x80000000u);
  ExpectInvalid(layout);
  layout = Small24();
  layout.Width = 20000;  // each side allowed, the area not
  layout.Height = 20000;
  ExpectInvalid(layout);
  layout = Small24();
  layout.BitCount = 7;
  ExpectInvalid(layout);
  layout = Small24();
  layout.Compression = 4;  // embedded JPEG
  ExpectInvalid(layout);
  layout = Small24();
  layout.Compression = BI_RLE8;  // RLE8 needs 8 bits per pixel
  ExpectInvalid(layout);
  bytes = BuildBmp(Small24());
  bytes[12] = 0x10;  // pixel offset far beyond the end of the file
  ExpectInvalid(bytes);

  TBmpLayout palette;
  palette.Width = 1;
  palette.Height = 1;
  palette.BitCount = 8;
  palette.Palette = {Rgb(1, 1, 1)};
  palette.ColorsUsed = 300;  // more colours than 8 bits can index
  palette.Pixels = {0, 0, 0, 0};
  ExpectInvalid(palette);

  TBmpLayout fields;
  fields.Width = 1;
  fields.Height = 1;
  fields.BitCount = 32;
  fields.Compression = BI_BITFIELDS;
  fields.Masks = {0, 0, 0};
  fields.Pixels = {1, 2, 3, 4};
  ExpectInvalid(fields);
  fields.Masks = {0xFF00, 0xFF00, 0xFF};  // overlapping
  ExpectInvalid(fields);
}

TEST(Dib, RejectsTruncatedRunLengthData)
{
  TBmpLayout layout;
  layout.Width = 4;
  layout.Height = 2;
  layout.BitCount = 8;
  layout.Compression = BI_RLE8;
  layout.Palette = {Rgb(0, 0, 0), Rgb(255, 255, 255)};
  layout.Pixels = {0, 4, 1, 1};  // absolute run of four announced, two bytes present
  ExpectInvalid(layout);
  layout.Pixels = {4, 1, 0, 0, 4};  // data ends in the middle of the second row's command
  ExpectInvalid(layout);
  layout.Pixels = {4, 1};  // no end of bitmap and a row still missing
  ExpectInvalid(layout);
  layout.Height = -2;  // run-length files are bottom-up only
  layout.Pixels = {4, 1, 0, 0, 4, 1, 0, 1};
  ExpectInvalid(layout);
}

TEST(Dib, WrittenFilesReadBackPixelForPixel)
{
  for (Dib::TLayout layout : {1, 4, 8, 15, 16, 24, 32}) {
    for (bool topDown : {false, true}) {
      Dib::TImage image;
      image.Width = 7;
      image.Height = 3;
      image.Layout = layout;
      image.TopDown = topDown;
      image.ColorTable = Dib::DefaultColorTable(layout);
      const int64_t stride = Dib::Stride(image.Width, layout);
      image.Bits.assign(static_cast<size_t>(stride * image.Height), 0);
      for (size_t i = 0; i < image.Bits.size(); ++i)
        image.Bits[i] = static_cast<uint8_t>(i * 37 + 11);
      const std::vector<uint8_t> file = Dib::WriteBmp(image);
      const Dib::TImage back = Dib::ReadBmp(file.data(), file.size());
      EXPECT_EQ(back.Layout, layout);
      EXPECT_FALSE(back.TopDown);
      for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x)
          ASSERT_EQ(PixelAt(back, x, y), PixelAt(image, x, y)) << layout << " " << x << "," << y;
    }
  }
}

TEST(Dib, DefaultTablesHoldThePureColoursAndMatchNearest)
{
  const std::vector<RGBQUAD> mono = Dib::DefaultColorTable(1);
  ASSERT_EQ(mono.size(), 2u);
  EXPECT_EQ(Dib::DefaultColorTable(4).size(), 16u);
  const std::vector<RGBQUAD> table = Dib::DefaultColorTable(8);
  ASSERT_EQ(table.size(), 256u);
  Dib::TColorMatcher matcher(table);
  for (uint32_t colour : {0x000000u, 0xFFFFFFu, 0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFF00u, 0xFF00FFu, 0x00FFFFu,
                          0x800000u, 0x008000u, 0x000080u, 0x808080u, 0xC0C0C0u}) {
    const RGBQUAD& entry = table[matcher.Index(colour)];
    EXPECT_EQ((uint32_t{entry.rgbRed} << 16) | (uint32_t{entry.rgbGreen} << 8) | entry.rgbBlue, colour);
  }
  Dib::TColorMatcher monoMatcher(mono);
  EXPECT_EQ(monoMatcher.Index(0x202020), 0);
  EXPECT_EQ(monoMatcher.Index(0xE0E0E0), 1);
}

TEST(Dib, StrideIsDwordAlignedAndCannotOverflow)
{
  EXPECT_EQ(Dib::Stride(3, 24), 12);
  EXPECT_EQ(Dib::Stride(10, 1), 4);
  EXPECT_EQ(Dib::Stride(3, 15), 8);
  EXPECT_EQ(Dib::Stride(0x7FFFFFFF, 32), int64_t{0x7FFFFFFF} * 4);
}

TEST(Dib, OneTableDecidesWhichBitFieldsAreKeptAsStored)
{
  const Dib::TMasks rgb888{0x00FF0000, 0x0000FF00, 0x000000FF, 0};
  const Dib::TMasks bgr888{0x000000FF, 0x0000FF00, 0x00FF0000, 0};
  const Dib::TMasks rgb555{0x7C00, 0x03E0, 0x001F, 0};
  const Dib::TMasks rgb565{0xF800, 0x07E0, 0x001F, 0};
  auto alpha = [](Dib::TMasks masks, uint32_t mask) {
    masks.Alpha = mask;
    return masks;
  };
  const struct {
    const char* Name;
    unsigned BitCount;
    bool BitFields;
    Dib::TMasks Masks;
    Dib::TLayout Expected;
  } cases[] = {
      {"palette", 8, false, {}, 8},
      {"24-bit", 24, false, {}, 24},
      {"16-bit without masks", 16, false, {}, 15},
      {"32-bit without masks", 32, false, {}, 32},
      {"8-8-8", 32, true, rgb888, 32},
      {"8-8-8-8", 32, true, alpha(rgb888, 0xFF000000), 32},
      {"8-8-8 with a 4-bit alpha", 32, true, alpha(rgb888, 0x0F000000), 0},
      {"8-8-8, red lowest", 32, true, alpha(bgr888, 0xFF000000), 0},
      {"5-5-5", 16, true, rgb555, 15},
      {"1-5-5-5", 16, true, alpha(rgb555, 0x8000), 15},
      {"5-6-5", 16, true, rgb565, 16},
      {"5-6-5 with a clashing alpha", 16, true, alpha(rgb565, 0x8000), 0},
      {"5-6-5 masks on 32-bit pixels", 32, true, rgb565, 0},
      {"4-4-4-4", 16, true, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0},
  };
  for (const auto& test : cases)
    EXPECT_EQ(Dib::StoredLayout(test.BitCount, test.BitFields, test.Masks), test.Expected) << test.Name;
}

TEST(Dib, ASectionsAlphaIsTheRunOfBitsTheColoursLeave)
{
  const struct {
    unsigned BitCount;
    uint32_t Red, Green, Blue;
    uint32_t Expected;
  } cases[] = {
      {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
      {32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
      {32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
      {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
      {32, 0x00FF0000, 0x000000FF, 0x0000F000, 0},  // two runs left over: no alpha
      {16, 0x7C00, 0x03E0, 0x001F, 0x8000},
      {16, 0xF800, 0x07E0, 0x001F, 0},
      {24, 0, 0, 0, 0},
  };
  for (const auto& test : cases)
    EXPECT_EQ(Dib::ImpliedAlphaMask(test.BitCount, test.Red, test.Green, test.Blue), test.Expected)
        << std::hex << test.Red << " " << test.Green << " " << test.Blue;
}
