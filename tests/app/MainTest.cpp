// Premultiplying a 32-bit picture for a per-pixel-alpha window.
#include "Main.h"

#include "Bitmap.h"
#include "GraphicsFixture.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(PremultiplyAlpha, EveryColourAndAlphaPairIsScaledAndTruncated)
{
  // Column: colour value (blue; green and red get others); row: alpha.
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(256, 256);
  auto colours = [](int c) { return std::array<int, 3>{c, 255 - c, (c * 7) & 0xFF}; };
  for (int a = 0; a < 256; ++a)
    for (int c = 0; c < 256; ++c) {
      auto* p = static_cast<uint8_t*>(bitmap.ScanLine(a)) + 4 * c;
      for (int i = 0; i < 3; ++i)
        p[i] = static_cast<uint8_t>(colours(c)[i]);
      p[3] = static_cast<uint8_t>(a);
    }
  PremultiplyAlpha(bitmap);
  int wrong = 0;
  for (int a = 0; a < 256; ++a)
    for (int c = 0; c < 256; ++c) {
      const auto* p = static_cast<const uint8_t*>(bitmap.ScanLine(a)) + 4 * c;
      for (int i = 0; i < 3; ++i)
        wrong += p[i] != colours(c)[i] * a / 255;
      wrong += p[3] != a;
    }
  EXPECT_EQ(wrong, 0);
}

TEST(PremultiplyAlpha, ABitmapOfAnotherFormatIsLeftAlone)
{
  TBitmap bitmap;
  MakePattern(bitmap, 9, 5);
  const std::vector<uint8_t> before = bitmap.SaveToBytes();
  PremultiplyAlpha(bitmap);
  EXPECT_EQ(bitmap.SaveToBytes(), before);
}

} // namespace
