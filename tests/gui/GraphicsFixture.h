#pragma once
// Helpers shared by the graphics tests: GDI object counting, hand-made BMP files, in-memory streams.
#include "Classes.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// GDI objects of this process. Wine does not implement GetGuiResources; there the process's GDI handle
// table (shared with the system through the PEB) is counted instead.
inline int GdiObjectCount()
{
  const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (count != 0)
    return static_cast<int>(count);
  struct TEntry {
    uint64_t Object;
    uint32_t Owner;
    uint16_t Unique;
    uint8_t Type;
    uint8_t Flags;
    uint64_t UserPointer;
  };
  static_assert(sizeof(TEntry) == 24, "layout of a GDI handle table entry");
  const auto* peb = reinterpret_cast<const uint8_t*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  const void* table = nullptr;
  std::memcpy(&table, peb + (sizeof(void*) == 8 ? 0xF8 : 0x94), sizeof(table));
  if (!table)
    return -1;
  const auto* entries = static_cast<const TEntry*>(table);
  int used = 0;
  for (int i = 0; i < 0x10000; ++i)
    used += entries[i].Type != 0;
  return used;
}

// A Windows BMP file as a paint program writes it, or broken on purpose.
struct TBmpSpec {
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

inline std::vector<uint8_t> BuildBmp(const TBmpSpec& spec)
{
  std::vector<uint8_t> out;
  auto put16 = [&](uint32_t v) { Put16(out, v); };
  auto put32 = [&](uint32_t v) { Put32(out, v); };
  const bool core = spec.HeaderSize == 12;
  const size_t masksAfter = (spec.HeaderSize == 40) ? spec.Masks.size() * 4 : 0;
  const size_t paletteBytes = spec.Palette.size() * (core ? 3 : 4);
  const uint32_t offBits = spec.OffBits >= 0 ? static_cast<uint32_t>(spec.OffBits)
                                             : static_cast<uint32_t>(14 + spec.HeaderSize + masksAfter + paletteBytes);
  out.push_back('B');
  out.push_back('M');
  put32(static_cast<uint32_t>(offBits + spec.Pixels.size()));
  put32(0);
  put32(offBits);
  const size_t headerStart = out.size();
  put32(spec.HeaderSize);
  if (core) {
    put16(static_cast<uint32_t>(spec.Width));
    put16(static_cast<uint32_t>(spec.Height));
    put16(1);
    put16(spec.BitCount);
  } else {
    put32(static_cast<uint32_t>(spec.Width));
    put32(static_cast<uint32_t>(spec.Height));
    put16(1);
    put16(spec.BitCount);
    put32(spec.Compression);
    put32(static_cast<uint32_t>(spec.Pixels.size()));
    put32(2835);
    put32(2835);
    put32(spec.ColorsUsed >= 0 ? static_cast<uint32_t>(spec.ColorsUsed) : static_cast<uint32_t>(spec.Palette.size()));
    put32(0);
    if (spec.HeaderSize >= 52) {
      for (size_t i = 0; i < 4 && 40 + 4 * i < spec.HeaderSize; ++i)
        put32(i < spec.Masks.size() ? spec.Masks[i] : 0);
    }
    while (out.size() < headerStart + spec.HeaderSize)
      out.push_back(0);
    if (spec.HeaderSize == 40) {
      for (uint32_t mask : spec.Masks)
        put32(mask);
    }
  }
  for (const RGBQUAD& q : spec.Palette) {
    out.push_back(q.rgbBlue);
    out.push_back(q.rgbGreen);
    out.push_back(q.rgbRed);
    if (!core)
      out.push_back(0);
  }
  while (out.size() < offBits)
    out.push_back(0);
  out.insert(out.end(), spec.Pixels.begin(), spec.Pixels.end());
  return out;
}

inline RGBQUAD Rgb(uint8_t red, uint8_t green, uint8_t blue) { return RGBQUAD{blue, green, red, 0}; }

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// A read-only stream over bytes in memory.
class TBytesStream : public TStream {
public:
  explicit TBytesStream(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  long Read(void* buffer, long count) override
  {
    const int64_t left = static_cast<int64_t>(m_bytes.size()) - m_position;
    const long n = static_cast<long>(std::max<int64_t>(0, std::min<int64_t>(count, left)));
    if (n > 0)
      std::memcpy(buffer, m_bytes.data() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override
  {
    const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? m_position : int64_t(m_bytes.size());
    m_position = std::max<int64_t>(0, base + offset);
    return m_position;
  }

private:
  std::vector<uint8_t> m_bytes;
  int64_t m_position = 0;
};
