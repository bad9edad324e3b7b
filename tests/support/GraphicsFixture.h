#pragma once
// Helpers shared by the graphics tests: hand-made BMP and icon files, in-memory streams,
// change counters and pixel access.
#include "Bitmap.h"
#include "Classes.h"
#include "Handles.h"
#include "TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A Windows BMP file as a paint program writes it, or broken on purpose.
struct TBmpLayout {
  uint32_t HeaderSize = 40;  // 12 (core), 40, 52, 56, 108, 124
  int32_t Width = 0;
  int32_t Height = 0;  // negative: top-down
  uint16_t BitCount = 24;
  uint32_t Compression = BI_RGB;
  std::vector<uint32_t> Masks;  // in the header (52 and up) or after a 40-byte one
  std::vector<RGBQUAD> Palette;
  std::vector<uint8_t> Pixels;  // stored rows, padded
  int64_t ColorsUsed = -1;      // -1: the palette's size
  int64_t OffBits = -1;         // -1: right after the palette
};

// Little-endian writers for hand-made picture files.
inline void Put16(std::vector<uint8_t>& out, uint32_t v)
{
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v)
{
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

inline std::vector<uint8_t> BuildBmp(const TBmpLayout& layout)
{
  std::vector<uint8_t> out;
  auto put16 = [&](uint32_t v) { Put16(out, v); };
  auto put32 = [&](uint32_t v) { Put32(out, v); };
  const bool core = layout.HeaderSize == 12;
  const size_t masksAfter = (layout.HeaderSize == 40) ? layout.Masks.size() * 4 : 0;
  const size_t paletteBytes = layout.Palette.size() * (core ? 3 : 4);
  const uint32_t offBits = layout.OffBits >= 0 ? static_cast<uint32_t>(layout.OffBits)
                                             : static_cast<uint32_t>(14 + layout.HeaderSize + masksAfter + paletteBytes);
  out.push_back('B');
  out.push_back('M');
  put32(static_cast<uint32_t>(offBits + layout.Pixels.size()));
  put32(0);
  put32(offBits);
  const size_t headerStart = out.size();
  put32(layout.HeaderSize);
  if (core) {
    put16(static_cast<uint32_t>(layout.Width));
    put16(static_cast<uint32_t>(layout.Height));
    put16(1);
    put16(layout.BitCount);
  } else {
    put32(static_cast<uint32_t>(layout.Width));
    put32(static_cast<uint32_t>(layout.Height));
    put16(1);
    put16(layout.BitCount);
    put32(layout.Compression);
    put32(static_cast<uint32_t>(layout.Pixels.size()));
    put32(2835);
    put32(2835);
    put32(layout.ColorsUsed >= 0 ? static_cast<uint32_t>(layout.ColorsUsed) : static_cast<uint32_t>(layout.Palette.size()));
    put32(0);
    if (layout.HeaderSize >= 52) {
      for (size_t i = 0; i < 4 && 40 + 4 * i < layout.HeaderSize; ++i)
        put32(i < layout.Masks.size() ? layout.Masks[i] : 0);
    }
    while (out.size() < headerStart + layout.HeaderSize)
      out.push_back(0);
    if (layout.HeaderSize == 40) {
      for (uint32_t mask : layout.Masks)
        put32(mask);
    }
  }
  for (const RGBQUAD& q : layout.Palette) {
    out.push_back(q.rgbBlue);
    out.push_back(q.rgbGreen);
    out.push_back(q.rgbRed);
    if (!core)
      out.push_back(0);
  }
  while (out.size() < offBits)
    out.push_back(0);
  out.insert(out.end(), layout.Pixels.begin(), layout.Pixels.end());
  return out;
}

inline RGBQUAD Rgb(uint8_t red, uint8_t green, uint8_t blue) { return RGBQUAD{blue, green, red, 0}; }

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
  TKernelHandle file(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file)
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Counts OnChange / OnChanging notifications.
struct TCounter : TObject {
  int Count = 0;
  TObject* LastSender = nullptr;
  void Notify(TObject* sender)
  {
    ++Count;
    LastSender = sender;
  }
  TNotifyEvent Event() { return TNotifyEvent(this, &TCounter::Notify); }
};

// 0x00BBGGRR of a pixel, read through the canvas.
inline COLORREF PixelOf(TBitmap& bitmap, int x, int y)
{
  return static_cast<COLORREF>(bitmap.GetCanvas()->GetPixel(x, y));
}

inline void Fill(TBitmap& bitmap, TColor color)
{
  bitmap.GetCanvas()->GetBrush()->SetColor(color);
  bitmap.GetCanvas()->GetBrush()->SetStyle(bsSolid);
  bitmap.GetCanvas()->FillRect(Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight()));
}

// A 24-bit bitmap whose every pixel has its own colour.
inline void MakePattern(TBitmap& bitmap, int width, int height)
{
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 37 + y);
      row[3 * x + 1] = static_cast<uint8_t>(y * 53 + 7);
      row[3 * x + 2] = static_cast<uint8_t>(x * y * 11 + 3);
    }
  }
}

// B, G, R bytes of a pixel as 0x00RRGGBB.
inline uint32_t Bgr(const uint8_t* pixel) { return pixel[0] | (pixel[1] << 8) | (pixel[2] << 16); }

// A 16 x 16, 32-bit icon file: left half red, right half blue, fully opaque.
inline std::vector<uint8_t> IconFile()
{
  std::vector<uint8_t> out;
  auto put16 = [&](uint32_t v) { Put16(out, v); };
  auto put32 = [&](uint32_t v) { Put32(out, v); };
  const uint32_t imageBytes = 40 + 16 * 16 * 4 + 16 * 4;
  put16(0);
  put16(1);
  put16(1);
  out.push_back(16);
  out.push_back(16);
  out.push_back(0);
  out.push_back(0);
  put16(1);
  put16(32);
  put32(imageBytes);
  put32(22);
  put32(40);
  put32(16);
  put32(32);  // colour and mask, one above the other
  put16(1);
  put16(32);
  for (int i = 0; i < 6; ++i)
    put32(0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool left = x < 8;
      out.push_back(left ? 0 : 255);
      out.push_back(0);
      out.push_back(left ? 255 : 0);
      out.push_back(255);
    }
  }
  for (int i = 0; i < 16 * 4; ++i)
    out.push_back(0);
  return out;
}
