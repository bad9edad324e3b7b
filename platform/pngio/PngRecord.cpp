#include "PngRecord.h"

#include <cstdint>
#include <cstring>

UINT32 BytesPerPixel(UINT32 colorType)
{
  switch (colorType) {
  case PngColorRgb:
    return 3;
  case PngColorRgba:
    return 4;
  default:
    return 0;
  }
}

bool SizeAllowed(UINT64 width, UINT64 height)
{
  return width >= 1 && height >= 1 && width <= PngMaxSide && height <= PngMaxSide &&
         width * height <= PngMaxPixels;
}

bool AllocateRecord(PngData& data, UINT32 width, UINT32 height, UINT32 colorType, bool zeroed)
{
  std::memset(&data, 0, sizeof(data));
  const UINT32 pixelBytes = BytesPerPixel(colorType);
  if (pixelBytes == 0 || !SizeAllowed(width, height))
    return false;
  // The limits keep these far from overflow, even in 32 bits; checked in 64 bits all the same.
  const uint64_t rowBytes = uint64_t{width} * pixelBytes;
  const uint64_t pointerBytes = uint64_t{height} * sizeof(BYTE*);
  const uint64_t total = pointerBytes + rowBytes * height;
  if (total > SIZE_MAX)
    return false;
  void* block = HeapAlloc(GetProcessHeap(), zeroed ? HEAP_ZERO_MEMORY : 0, static_cast<SIZE_T>(total));
  if (!block)
    return false;
  // The pointer array comes first, so `rows` is the block itself and FreeRecord needs nothing else.
  auto** rows = static_cast<BYTE**>(block);
  BYTE* pixels = static_cast<BYTE*>(block) + pointerBytes;
  for (UINT32 y = 0; y < height; ++y)
    rows[y] = pixels + y * rowBytes;
  data.width = width;
  data.height = height;
  data.bitDepth = 8;
  data.colorType = colorType;
  data.rowBytes = static_cast<UINT32>(rowBytes);
  data.rows = rows;
  return true;
}

void FreeRecord(PngData& data)
{
  if (data.rows)
    HeapFree(GetProcessHeap(), 0, data.rows);
  std::memset(&data, 0, sizeof(data));
}

bool RecordWellFormed(const PngData& data)
{
  const UINT32 pixelBytes = BytesPerPixel(data.colorType);
  if (pixelBytes == 0 || data.bitDepth != 8 || !SizeAllowed(data.width, data.height) || !data.rows)
    return false;
  if (uint64_t{data.width} * pixelBytes != data.rowBytes)
    return false;
  for (UINT32 y = 0; y < data.height; ++y) {
    if (!data.rows[y])
      return false;
  }
  return true;
}
