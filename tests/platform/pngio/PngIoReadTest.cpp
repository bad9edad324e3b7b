// Decoding: every kind of PNG into 8-bit rows, input in pieces, and refusal of what is not a sound picture.
#include "PngIoFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace {

struct TVariant {
  std::string Name;
  TPngLayout Layout;
};

// Test names carry the variant's name; its bytes say nothing.
void PrintTo(const TVariant& variant, std::ostream* out)
{
  *out << variant.Name;
}

TPngLayout WithTrns(TPngLayout layout, TBytes trns)
{
  layout.Trns = std::move(trns);
  return layout;
}

TPngLayout Interlaced(TPngLayout layout)
{
  layout.Interlaced = true;
  return layout;
}

std::vector<TVariant> Variants()
{
  const std::vector<uint16_t> grey8Key{77}, grey16Key{0x1234}, grey2Key{2}, rgbKey{10, 20, 30};
  const std::vector<uint16_t> rgb16Key{0x0102, 0x0304, 0x0506};
  TPngLayout split = MakeLayout(17, 9, PngRgbAlpha, 8, 31);
  split.IdatPiece = 7;
  return {
      {"Grey1", MakeLayout(13, 11, PngGrey, 1, 1)},
      {"Grey2", MakeLayout(13, 11, PngGrey, 2, 2)},
      {"Grey4", MakeLayout(13, 11, PngGrey, 4, 3)},
      {"Grey8", MakeLayout(13, 11, PngGrey, 8, 4)},
      {"Grey16", MakeLayout(13, 11, PngGrey, 16, 5)},
      {"Grey2Keyed", WithTrns(MakeLayout(13, 11, PngGrey, 2, 6, 0, grey2Key), TrnsKey(grey2Key))},
      {"Grey8Keyed", WithTrns(MakeLayout(13, 11, PngGrey, 8, 7, 0, grey8Key), TrnsKey(grey8Key))},
      {"Grey16Keyed", WithTrns(MakeLayout(13, 11, PngGrey, 16, 8, 0, grey16Key), TrnsKey(grey16Key))},
      {"GreyAlpha8", MakeLayout(13, 11, PngGreyAlpha, 8, 9)},
      {"GreyAlpha16", MakeLayout(13, 11, PngGreyAlpha, 16, 10)},
      {"Rgb8", MakeLayout(13, 11, PngRgb, 8, 11)},
      {"Rgb16", MakeLayout(13, 11, PngRgb, 16, 12)},
      {"Rgb8Keyed", WithTrns(MakeLayout(13, 11, PngRgb, 8, 13, 0, rgbKey), TrnsKey(rgbKey))},
      {"Rgb16Keyed", WithTrns(MakeLayout(13, 11, PngRgb, 16, 14, 0, rgb16Key), TrnsKey(rgb16Key))},
      {"Palette1", MakeLayout(13, 11, PngPalette, 1, 15, 2)},
      {"Palette2", MakeLayout(13, 11, PngPalette, 2, 16, 4)},
      {"Palette4", MakeLayout(13, 11, PngPalette, 4, 17, 16)},
      {"Palette8", MakeLayout(13, 11, PngPalette, 8, 18, 200)},
      {"Palette8Trns", WithTrns(MakeLayout(13, 11, PngPalette, 8, 19, 200), {0, 128, 255, 1, 254})},
      {"Palette4Trns", WithTrns(MakeLayout(13, 11, PngPalette, 4, 20, 16), {255, 0})},
      {"Rgba8", MakeLayout(13, 11, PngRgbAlpha, 8, 21)},
      {"Rgba16", MakeLayout(13, 11, PngRgbAlpha, 16, 22)},
      {"Rgba8Adam7", Interlaced(MakeLayout(13, 11, PngRgbAlpha, 8, 23))},
      {"Rgb16Adam7", Interlaced(MakeLayout(13, 11, PngRgb, 16, 24))},
      {"Palette2TrnsAdam7", Interlaced(WithTrns(MakeLayout(13, 11, PngPalette, 2, 25, 4), {40, 0}))},
      {"Grey8KeyedAdam7", Interlaced(WithTrns(MakeLayout(13, 11, PngGrey, 8, 26, 0, grey8Key), TrnsKey(grey8Key)))},
      {"GreyAlpha8Adam7", Interlaced(MakeLayout(13, 11, PngGreyAlpha, 8, 27))},
      {"Rgba8Adam7Tiny", Interlaced(MakeLayout(3, 2, PngRgbAlpha, 8, 28))},
      {"Rgb8Adam7OnePixel", Interlaced(MakeLayout(1, 1, PngRgb, 8, 29))},
      {"Rgba8ManyIdat", split},
      {"Grey1Widest", MakeLayout(PngMaxSide, 1, PngGrey, 1, 32)},
      {"Grey1Tallest", MakeLayout(1, PngMaxSide, PngGrey, 1, 33)},
  };
}

std::string FirstDifference(const TBytes& actual, const TBytes& expected, uint32_t rowBytes)
{
  if (actual.size() != expected.size())
    return std::to_string(actual.size()) + " bytes instead of " + std::to_string(expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] != expected[i])
      return "row " + std::to_string(i / rowBytes) + " byte " + std::to_string(i % rowBytes) + ": " +
             std::to_string(actual[i]) + " instead of " + std::to_string(expected[i]);
  }
  return "";
}

class PngVariant : public testing::TestWithParam<TVariant> {};

// Whole, and again one byte per callback: the same 8-bit rows, with alpha exactly when the file has any
// transparency, 16-bit samples by their high byte, palette indices by their entries.
TEST_P(PngVariant, DecodesToExactEightBitRows)
{
  const TPngLayout& layout = GetParam().Layout;
  const TBytes file = EncodePngFile(layout);
  const TExpectedPicture expected = ExpectedPicture(layout);
  for (size_t piece : {SIZE_MAX, size_t{1}}) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    TDecoded picture;
    ASSERT_TRUE(Decode(file, picture, piece));
    EXPECT_EQ(layout.Width, picture.Width);
    EXPECT_EQ(layout.Height, picture.Height);
    EXPECT_EQ(8u, picture.BitDepth);
    EXPECT_EQ(expected.Alpha ? 6u : 2u, picture.ColorType);
    EXPECT_EQ(layout.Width * (expected.Alpha ? 4 : 3), picture.RowBytes);
    EXPECT_EQ("", FirstDifference(picture.Pixels, expected.Pixels, picture.RowBytes));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, PngVariant, testing::ValuesIn(Variants()),
                         [](const testing::TestParamInfo<TVariant>& info) { return info.param.Name; });

TBytes SmallRgba()
{
  return EncodePngFile(MakeLayout(5, 4, PngRgbAlpha, 8, 40));
}

TEST(PngRead, PiecesOfEveryAwkwardSizeGiveTheSamePicture)
{
  TPngLayout layout = MakeLayout(21, 13, PngPalette, 4, 41, 16);
  layout.Trns = {0, 100};
  layout.IdatPiece = 50;
  const TBytes file = EncodePngFile(layout);
  const TExpectedPicture expected = ExpectedPicture(layout);
  for (size_t piece : {2, 3, 7, 8, 12, 13, 33, 4095, 65537}) {
    TDecoded picture;
    ASSERT_TRUE(Decode(file, picture, piece)) << "pieces of " << piece;
    EXPECT_EQ(expected.Pixels, picture.Pixels) << "pieces of " << piece;
  }
}

TEST(PngRead, StopsReadingAtTheEndOfThePicture)
{
  TBytes file = SmallRgba();
  const size_t pngSize = file.size();
  file.resize(pngSize + 4 * 1024 * 1024, 0xAB);  // a stream that goes on well past the cap
  TByteSource source(file, 1000);
  TDecoded picture;
  ASSERT_TRUE(Decode(source, picture));
  EXPECT_LT(source.Position, pngSize + 1000);
}

TEST(PngRead, RefusesWhatIsNoPng)
{
  const TBytes signature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  TBytes signatureAndJunk = signature;
  signatureAndJunk.resize(200, 'x');
  TBytes textSignature = SmallRgba();
  textSignature[4] = 0x0A;  // a PNG that went through a text-mode copy
  const std::vector<std::pair<const char*, TBytes>> cases{
      {"empty", {}},
      {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}},
      {"BMP", {'B', 'M', 0x3E, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 40, 0}},
      {"text", {'h', 'e', 'l', 'l', 'o', '\n'}},
      {"signature only", signature},
      {"signature and junk", signatureAndJunk},
      {"text-mode copy", textSignature},
  };
  for (const auto& [name, bytes] : cases)
    EXPECT_TRUE(Refused(bytes)) << name;
}

TEST(PngRead, RefusesEveryTruncation)
{
  const TBytes file = SmallRgba();
  for (size_t size = 0; size < file.size(); ++size)
    EXPECT_TRUE(Refused(TBytes(file.begin(), file.begin() + size))) << "cut at " << size;
}

// A file edited, with or without its chunk checksums put right again afterwards.
struct TCorruption {
  const char* Name;
  std::function<void(TBytes&)> Edit;
  bool Repair;
};

size_t ChunkData(const TBytes& file, const char* type)
{
  for (const TChunkAt& chunk : ListChunks(file)) {
    if (chunk.Type == type)
      return chunk.Offset + 8;
  }
  throw std::runtime_error(std::string("no chunk ") + type);
}

TEST(PngRead, RefusesCorruptFiles)
{
  const auto ihdrByte = [](size_t at, uint8_t value) {
    return [=](TBytes& f) { f[ChunkData(f, "IHDR") + at] = value; };
  };
  const std::vector<TCorruption> cases{
      {"image bit flipped", [](TBytes& f) { f[ChunkData(f, "IDAT") + 20] ^= 0x10; }, false},
      {"header bit flipped", [](TBytes& f) { f[ChunkData(f, "IHDR") + 3] ^= 0x01; }, false},
      {"zlib header", [](TBytes& f) { f[ChunkData(f, "IDAT")] = 0x79; }, true},
      {"deflate block type 3", [](TBytes& f) { f[ChunkData(f, "IDAT") + 2] = 0x07; }, true},
      {"stored length", [](TBytes& f) { f[ChunkData(f, "IDAT") + 3] ^= 0xFF; }, true},
      {"adler", [](TBytes& f) { f[ChunkData(f, "IEND") - 13] ^= 0x55; }, true},
      {"bit depth 3", ihdrByte(8, 3), true},
      {"colour type 5", ihdrByte(9, 5), true},
      {"compression 1", ihdrByte(10, 1), true},
      {"interlace 2", ihdrByte(12, 2), true},
      {"taller than the data", ihdrByte(7, 9), true},
      {"length past the end", [](TBytes& f) { PutBigEndian32(f, ChunkData(f, "IDAT") - 8, 0x7FFFFFF0); }, false},
      {"length over 2^31", [](TBytes& f) { PutBigEndian32(f, ChunkData(f, "IDAT") - 8, 0x80000001); }, false},
      {"header not first", [](TBytes& f) { std::swap_ranges(&f[12], &f[16], &f[ChunkData(f, "IDAT") - 4]); }, true},
      {"no image data", [](TBytes& f) { f.erase(f.begin() + ChunkData(f, "IDAT") - 8, f.end() - 12); }, false},
      {"no end", [](TBytes& f) { f.resize(f.size() - 12); }, false},
  };
  for (const TCorruption& corruption : cases) {
    TBytes file = SmallRgba();
    corruption.Edit(file);
    if (corruption.Repair)
      RepairChecksums(file);
    EXPECT_TRUE(Refused(file)) << corruption.Name;
  }
}

// Image data past the last row is left over, as decoders commonly leave it; the rows the header makes are
// the picture.
TEST(PngRead, ImageDataPastTheLastRowIsLeftOver)
{
  TBytes file = SmallRgba();
  file[ChunkData(file, "IHDR") + 7] = 3;  // 4 rows of data, 3 in the header
  RepairChecksums(file);
  TDecoded picture;
  ASSERT_TRUE(Decode(file, picture));
  EXPECT_EQ(picture.Height, 3u);
}

TEST(PngRead, RefusesBadScanlinesAndPalettes)
{
  TPngLayout badFilter = MakeLayout(6, 5, PngRgb, 8, 42);
  badFilter.Filter = 5;
  TPngLayout noPalette = MakeLayout(6, 5, PngPalette, 8, 43, 4);
  noPalette.Palette.clear();
  TPngLayout indexPastPalette = MakeLayout(6, 5, PngPalette, 8, 44, 4);
  indexPastPalette.Samples[7] = 9;
  TPngLayout shortPalette = MakeLayout(6, 5, PngPalette, 8, 45, 4);
  shortPalette.Palette.pop_back();
  for (const TPngLayout* layout : {&badFilter, &noPalette, &shortPalette})
    EXPECT_TRUE(Refused(EncodePngFile(*layout))) << "layout " << (layout - &badFilter);
  // An index past the palette is decoded by some decoders (as black) and refused by others; either way it
  // must not crash or leave anything behind.
  TDecoded picture;
  if (Decode(EncodePngFile(indexPastPalette), picture)) {
    EXPECT_EQ(6u * 5 * 3, picture.Pixels.size());
  }
}

TEST(PngRead, RefusesSizesOutsideTheLimits)
{
  const std::vector<std::pair<uint32_t, uint32_t>> sizes{
      {0, 4},       {5, 0},        {PngMaxSide + 1, 1},       {1, PngMaxSide + 1},
      {8193, 8193}, {0x80000000, 1}, {0xFFFFFFFF, 0xFFFFFFFF}};
  for (const auto& [width, height] : sizes) {
    TBytes file = SmallRgba();
    const size_t ihdr = ChunkData(file, "IHDR");
    PutBigEndian32(file, ihdr, width);
    PutBigEndian32(file, ihdr + 4, height);
    RepairChecksums(file);
    TByteSource source(file, 16);
    PngData data;
    EXPECT_FALSE(PngIo().Read(&data, &TByteSource::Read, &source)) << width << " x " << height;
    EXPECT_TRUE(RecordCleared(data));
    // Refused from the header: the image data is never asked for.
    EXPECT_LE(source.Position, ihdr + 13 + 4 + 16) << width << " x " << height;
  }
}

TEST(PngRead, SurvivesCallbacksThatFailOrLie)
{
  const TBytes file = SmallRgba();
  TDecoded picture;
  for (size_t end : {size_t{0}, size_t{8}, size_t{40}, file.size() - 1}) {
    TByteSource failing(file, 10);
    failing.EndAt = end;
    EXPECT_FALSE(Decode(failing, picture)) << "ends at " << end;
  }
  TByteSource overclaiming(file);
  overclaiming.Overclaim = true;
  EXPECT_FALSE(Decode(overclaiming, picture));

  PngData data;
  EXPECT_FALSE(PngIo().Read(&data, nullptr, nullptr));
  EXPECT_TRUE(RecordCleared(data));
  TByteSource source(file);
  EXPECT_FALSE(PngIo().Read(nullptr, &TByteSource::Read, &source));
}

}  // namespace
