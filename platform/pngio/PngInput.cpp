#include "PngInput.h"

#include "PngRecord.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr BYTE kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr UINT32 kMaxChunkLength = 0x7FFFFFFF;
constexpr UINT kPieceBytes = 64 * 1024;

// Eight tables, so that the checksum takes eight bytes a step: checking every chunk of a file then costs
// next to nothing beside decoding it.
using TCrcTables = std::array<std::array<UINT32, 256>, 8>;

constexpr TCrcTables MakeCrcTables()
{
  TCrcTables tables{};
  for (UINT32 n = 0; n < 256; ++n) {
    UINT32 c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][n] = c;
  }
  for (size_t t = 1; t < tables.size(); ++t) {
    for (UINT32 n = 0; n < 256; ++n)
      tables[t][n] = (tables[t - 1][n] >> 8) ^ tables[0][tables[t - 1][n] & 0xFF];
  }
  return tables;
}
constexpr TCrcTables kCrc = MakeCrcTables();

UINT32 LittleEndian32(const BYTE* p)
{
  return UINT32{p[0]} | (UINT32{p[1]} << 8) | (UINT32{p[2]} << 16) | (UINT32{p[3]} << 24);
}

UINT32 BigEndian32(const BYTE* p)
{
  return (UINT32{p[0]} << 24) | (UINT32{p[1]} << 16) | (UINT32{p[2]} << 8) | UINT32{p[3]};
}

enum class TVerdict { NeedMore, Complete, Bad };

// Where the walk over the chunks has got to; only whole chunks are checked.
struct TChunkWalk {
  size_t Next = sizeof(kSignature);
  bool HeaderSeen = false;
};

TVerdict CheckChunk(const BYTE* chunk, UINT32 length, TChunkWalk& walk)
{
  const BYTE* type = chunk + 4;
  if (PngCrc32(type, size_t{length} + 4) != BigEndian32(type + 4 + length))
    return TVerdict::Bad;
  if (!walk.HeaderSeen) {
    // The header must come first; its size is checked here so no decoder ever allocates for a huge one.
    if (length != 13 || std::memcmp(type, "IHDR", 4) != 0)
      return TVerdict::Bad;
    if (!SizeAllowed(BigEndian32(type + 4), BigEndian32(type + 8)))
      return TVerdict::Bad;
    walk.HeaderSeen = true;
    return TVerdict::NeedMore;
  }
  return std::memcmp(type, "IEND", 4) == 0 ? TVerdict::Complete : TVerdict::NeedMore;
}

// Checks what has arrived since the last call.
TVerdict Advance(const std::vector<BYTE>& file, TChunkWalk& walk)
{
  const size_t signatureBytes = std::min(file.size(), sizeof(kSignature));
  if (std::memcmp(file.data(), kSignature, signatureBytes) != 0)
    return TVerdict::Bad;
  if (file.size() < sizeof(kSignature))
    return TVerdict::NeedMore;
  for (;;) {
    if (file.size() - walk.Next < 8)
      return TVerdict::NeedMore;
    const BYTE* chunk = file.data() + walk.Next;
    const UINT32 length = BigEndian32(chunk);
    if (length > kMaxChunkLength)
      return TVerdict::Bad;
    // Length, type, data and checksum: refused as soon as it is known not to fit.
    const uint64_t end = uint64_t{walk.Next} + 12 + length;
    if (end > PngMaxFileBytes || (!walk.HeaderSeen && length != 13))
      return TVerdict::Bad;
    if (file.size() < end)
      return TVerdict::NeedMore;
    const TVerdict verdict = CheckChunk(chunk, length, walk);
    walk.Next = static_cast<size_t>(end);
    if (verdict != TVerdict::NeedMore)
      return verdict;
  }
}

}  // namespace

UINT32 PngCrc32(const BYTE* bytes, size_t size, UINT32 crc)
{
  crc = ~crc;
  for (; size >= 8; size -= 8, bytes += 8) {
    const UINT32 low = crc ^ LittleEndian32(bytes);
    const UINT32 high = LittleEndian32(bytes + 4);
    crc = kCrc[7][low & 0xFF] ^ kCrc[6][(low >> 8) & 0xFF] ^ kCrc[5][(low >> 16) & 0xFF] ^ kCrc[4][low >> 24] ^
          kCrc[3][high & 0xFF] ^ kCrc[2][(high >> 8) & 0xFF] ^ kCrc[1][(high >> 16) & 0xFF] ^ kCrc[0][high >> 24];
  }
  for (; size > 0; --size, ++bytes)
    crc = kCrc[0][(crc ^ *bytes) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool GatherPngFile(PngReadCallback read, void* user, std::vector<BYTE>& file)
{
  file.clear();
  std::vector<BYTE> piece(kPieceBytes);
  TChunkWalk walk;
  for (;;) {
    const UINT got = read(user, piece.data(), kPieceBytes);
    if (got == 0 || got > kPieceBytes)
      return false;
    file.insert(file.end(), piece.data(), piece.data() + got);
    switch (Advance(file, walk)) {
    case TVerdict::NeedMore:
      break;
    case TVerdict::Bad:
      return false;
    case TVerdict::Complete:
      // Whatever followed IEND in this piece is not part of the picture.
      file.resize(walk.Next);
      return true;
    }
  }
}
