#include "Main.h"

#include "Bitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Two 8-bit values, in bits 0-7 and 16-23, each multiplied by `alpha` and divided by 255, truncated. Each
// product fits its 16-bit half, and (x + 1 + (x >> 8)) >> 8 is x / 255 for every such product.
inline uint32_t ScalePair(uint32_t pair, uint32_t alpha)
{
  const uint32_t product = pair * alpha;
  return ((product + 0x00010001u + ((product >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

} // namespace

void PremultiplyAlpha(TBitmap& bitmap)
{
  if (bitmap.GetPixelFormat() != pf32bit || bitmap.Empty() || bitmap.GetHeight() == 0)
    return;
  // 32-bit rows have no padding: whatever the row order, the pixels are one block, and each pixel stands
  // on its own.
  auto* first = static_cast<uint8_t*>(bitmap.ScanLine(0));
  auto* last = static_cast<uint8_t*>(bitmap.ScanLine(bitmap.GetHeight() - 1));
  uint8_t* block = std::min(first, last);
  const size_t count = static_cast<size_t>(bitmap.GetWidth()) * static_cast<size_t>(bitmap.GetHeight());
  for (size_t i = 0; i < count; ++i) {
    uint32_t pixel;
    std::memcpy(&pixel, block + 4 * i, 4);
    const uint32_t alpha = pixel >> 24;
    pixel = ScalePair(pixel & 0x00FF00FFu, alpha) | (ScalePair((pixel >> 8) & 0xFFu, alpha) << 8) | (alpha << 24);
    std::memcpy(block + 4 * i, &pixel, 4);
  }
  bitmap.Changed();
}
