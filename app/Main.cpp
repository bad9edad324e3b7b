#include "Main.h"

#include "Bitmap.h"

#include <cstdint>

namespace {

// value * alpha / 255 with the quotient truncated, for value and alpha up to 255: exact for every product
// up to 65535, and free of the division.
inline uint8_t Scale(unsigned value, unsigned alpha)
{
  const unsigned product = value * alpha;
  return static_cast<uint8_t>((product + 1 + (product >> 8)) >> 8);
}

} // namespace

void PremultiplyAlpha(TBitmap& bitmap)
{
  if (bitmap.GetPixelFormat() != pf32bit || bitmap.Empty())
    return;
  const int width = bitmap.GetWidth();
  const int height = bitmap.GetHeight();
  for (int y = 0; y < height; ++y) {
    auto* pixel = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < width; ++x, pixel += 4) {
      const unsigned alpha = pixel[3];
      pixel[0] = Scale(pixel[0], alpha);
      pixel[1] = Scale(pixel[1], alpha);
      pixel[2] = Scale(pixel[2], alpha);
    }
  }
  bitmap.Changed();
}
