// Skin pictures through pngio.dll: pixel-exact rows, failures that lose nothing, and entry points that are
// never called unless they were found.
#include "PngReader.h"

#include "Bitmap.h"
#include "GraphicsFixture.h"
#include "PngTestFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using TBgra = std::array<uint8_t, 4>;

std::vector<TBgra> Pixels(TBitmap& bitmap)
{
  std::vector<TBgra> pixels;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) {
      const auto* p = static_cast<const uint8_t*>(bitmap.ScanLine(y)) + 4 * x;
      pixels.push_back({p[0], p[1], p[2], p[3]});
    }
  return pixels;
}

std::vector<COLORREF> Colours(TBitmap& bitmap)
{
  std::vector<COLORREF> colours;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x)
      colours.push_back(PixelOf(bitmap, x, y));
  return colours;
}

TPngLayout Layout(uint32_t width, uint32_t height, uint8_t colorType, std::vector<uint16_t> samples, TBytes palette = {},
              TBytes trns = {})
{
  TPngLayout layout;
  layout.Width = width;
  layout.Height = height;
  layout.ColorType = colorType;
  layout.Samples = std::move(samples);
  layout.Palette = std::move(palette);
  layout.Trns = std::move(trns);
  return layout;
}

TEST(PngReader, RowsBecomeBgraNotPremultipliedTopRowFirst)
{
  const struct {
    const char* Name;
    TPngLayout Layout;
    std::vector<TBgra> Expected;
  } cases[] = {
      {"half, no and full alpha", Layout(3, 1, PngRgbAlpha, {200, 100, 50, 128, 200, 100, 50, 0, 1, 2, 3, 255}),
       {{50, 100, 200, 128}, {0, 0, 0, 0}, {3, 2, 1, 255}}},
      {"no alpha, two rows", Layout(2, 2, PngRgb, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
       {{3, 2, 1, 255}, {6, 5, 4, 255}, {9, 8, 7, 255}, {12, 11, 10, 255}}},
      {"palette with a transparent entry", Layout(2, 1, PngPalette, {0, 1}, {9, 8, 7, 6, 5, 4}, {255, 0}),
       {{7, 8, 9, 255}, {0, 0, 0, 0}}},
  };
  TBitmap bitmap;  // each picture replaces the one before, size included
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFile file(".png");
    WriteBytes(file.Path(), EncodePngFile(c.Layout));
    LoadPngFile(file.Path(), bitmap);
    EXPECT_EQ(bitmap.GetPixelFormat(), pf32bit);
    EXPECT_EQ(bitmap.GetWidth(), static_cast<int>(c.Layout.Width));
    EXPECT_EQ(bitmap.GetHeight(), static_cast<int>(c.Layout.Height));
    EXPECT_EQ(Pixels(bitmap), c.Expected);
  }
}

TEST(PngReader, AFileThatDoesNotDecodeOrOpenLeavesThePixelsAsTheyWere)
{
  TBytes damaged = EncodePngFile(MakeLayout(6, 4, PngRgbAlpha, 8, 2));
  damaged[damaged.size() - 20] ^= 0x40;  // image data under a checksum that no longer fits
  TTempFile file(".png");
  WriteBytes(file.Path(), damaged);
  TBitmap bitmap;
  MakePattern(bitmap, 5, 4);
  const std::vector<COLORREF> before = Colours(bitmap);

  LoadPngFile(file.Path(), bitmap);
  EXPECT_EQ(bitmap.GetPixelFormat(), pf32bit);
  EXPECT_EQ(Colours(bitmap), before);
  EXPECT_THROW(LoadPngFile(ExeDir() + "no-such-picture.png", bitmap), EFOpenError);
  EXPECT_EQ(Colours(bitmap), before);
}

TEST(PngReader, AMissingLibraryFailsTheAssertion)
{
  TThrowingAsserts asserts;
  try {
    PngManager manager(ExeDir() + "no-such-folder\\pngio.dll");
    FAIL() << "no assertion";
  } catch (const TAssertionFailure& failure) {
    EXPECT_EQ(std::string(failure.what()).rfind("Assertion failed: m_hinst, file PngReader.cpp, line ", 0), 0u);
  }
}

// A decoder of the test's own, counting what is asked of it.
struct TFakeCodec {
  static inline PngData Picture{};
  static inline int Reads = 0;
  static inline int Frees = 0;

  static BOOL WINAPI ReadPngEx(PngData* data, PngReadCallback, void*)
  {
    ++Reads;
    *data = Picture;
    return TRUE;
  }
  static void WINAPI FreePngData(PngData*) { ++Frees; }
  static PngManager::TEntryPoints Entries(bool read = true, bool free = true)
  {
    Reads = Frees = 0;
    PngManager::TEntryPoints entries;
    entries.ReadPngEx = read ? &ReadPngEx : nullptr;
    entries.FreePngData = free ? &FreePngData : nullptr;
    return entries;
  }
};

TEST(PngManagerContract, WithoutBothReadAndFreeNothingIsCalled)
{
  for (const bool withRead : {false, true}) {
    PngManager manager(TFakeCodec::Entries(withRead, !withRead));
    TBytesStream stream({1, 2});
    TBitmap bitmap;
    EXPECT_FALSE(manager.ReadToBitmap(&stream, bitmap));
    EXPECT_EQ(TFakeCodec::Reads + TFakeCodec::Frees, 0);
  }
}

TEST(PngManagerContract, APictureOfHeightZeroKeepsItsWidthAndIsFreedOnce)
{
  TFakeCodec::Picture = PngData{7, 0, 8, PngColorRgba, 28, nullptr};
  PngManager manager(TFakeCodec::Entries());
  TBytesStream stream({1});
  TBitmap bitmap;
  MakePattern(bitmap, 3, 3);
  EXPECT_TRUE(manager.ReadToBitmap(&stream, bitmap));
  EXPECT_EQ(bitmap.GetWidth(), 7);
  EXPECT_EQ(bitmap.GetHeight(), 0);
  EXPECT_EQ(TFakeCodec::Frees, 1);
}

TEST(PngManagerContract, TheFileIsClosedAndTheRowsFreedWhenTheBitmapCannotTakeThePicture)
{
  BYTE* rows[1] = {nullptr};  // never read: the resize raises first
  TFakeCodec::Picture = PngData{0x10000, 0x10000, 8, PngColorRgba, 0x40000, rows};
  PngManager manager(TFakeCodec::Entries());
  TTempFile file(".png");
  WriteBytes(file.Path(), {1, 2, 3});
  {
    TFileStream open(file.Path());  // the probe can tell: an open file cannot be deleted
    ASSERT_FALSE(DeleteFileA(file.Path().c_str()));
  }
  TBitmap bitmap;
  EXPECT_THROW(LoadPngFile(manager, file.Path(), bitmap), EOutOfResources);
  EXPECT_EQ(TFakeCodec::Frees, 1);
  EXPECT_TRUE(DeleteFileA(file.Path().c_str()));
}

} // namespace
