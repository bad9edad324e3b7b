#include "PngImageData.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

uint32_t BigEndian32(const BYTE* p)
{
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

struct THeader {
  uint32_t Width = 0;
  uint32_t Height = 0;
  BYTE Depth = 0;
  BYTE ColourType = 0;
  BYTE Compression = 0;
  BYTE Filter = 0;
  BYTE Interlace = 0;
};

// Samples per pixel of a colour type; 0 for a type the format does not have.
uint32_t Channels(BYTE colourType)
{
  switch (colourType) {
  case 0:
  case 3:
    return 1;
  case 4:
    return 2;
  case 2:
    return 3;
  case 6:
    return 4;
  default:
    return 0;
  }
}

bool HeaderAllowed(const THeader& h)
{
  if (h.Compression != 0 || h.Filter != 0 || h.Interlace > 1)
    return false;
  const BYTE d = h.Depth;
  switch (h.ColourType) {
  case 0:
    return d == 1 || d == 2 || d == 4 || d == 8 || d == 16;
  case 3:
    return d == 1 || d == 2 || d == 4 || d == 8;
  case 2:
  case 4:
  case 6:
    return d == 8 || d == 16;
  default:
    return false;
  }
}

// The filtered rows the header makes: each row its filter byte and its packed samples, pass by pass when
// interlaced (a pass without columns or rows has no rows at all).
uint64_t RawSize(const THeader& h)
{
  const uint64_t bits = uint64_t{Channels(h.ColourType)} * h.Depth;
  const auto rows = [bits](uint64_t width, uint64_t height) {
    return width && height ? height * (1 + (width * bits + 7) / 8) : 0;
  };
  if (!h.Interlace)
    return rows(h.Width, h.Height);
  static const uint32_t kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  uint64_t total = 0;
  for (const auto& p : kPasses) {
    const uint64_t width = h.Width > p[0] ? (h.Width - p[0] + p[2] - 1) / p[2] : 0;
    const uint64_t height = h.Height > p[1] ? (h.Height - p[1] + p[3] - 1) / p[3] : 0;
    total += rows(width, height);
  }
  return total;
}

// --- inflating ---------------------------------------------------------------------------------------------

constexpr int kMaxBits = 15;
constexpr int kFastBits = 9;

// A canonical Huffman code: codes up to kFastBits long straight from a table of the next bits, longer ones
// bit by bit from the counts per length.
struct THuffman {
  uint16_t Fast[1 << kFastBits];  // (symbol << 4) | length; 0 where the code is longer
  uint16_t Count[kMaxBits + 1];
  uint16_t Symbol[288];
};

// A code from its code lengths. An over-subscribed set is refused, and so is an incomplete one, except a
// single code of one bit or none at all where `sparseOk` (the literal and distance codes, as zlib allows).
bool Build(THuffman& code, const uint8_t* lengths, int count, bool sparseOk)
{
  std::memset(code.Count, 0, sizeof code.Count);
  for (int i = 0; i < count; ++i)
    ++code.Count[lengths[i]];
  code.Count[0] = 0;
  int left = 1;
  int used = 0;
  for (int length = 1; length <= kMaxBits; ++length) {
    left = (left << 1) - code.Count[length];
    if (left < 0)
      return false;
    used += code.Count[length];
  }
  if (left > 0 && !(sparseOk && (used == 0 || (used == 1 && code.Count[1] == 1))))
    return false;
  uint16_t offsets[kMaxBits + 2] = {};
  for (int length = 1; length <= kMaxBits; ++length)
    offsets[length + 1] = static_cast<uint16_t>(offsets[length] + code.Count[length]);
  for (int i = 0; i < count; ++i)
    if (lengths[i])
      code.Symbol[offsets[lengths[i]]++] = static_cast<uint16_t>(i);
  // The stream holds each code's bits from its first, and the bit reader hands bits over from the lowest:
  // the table is indexed by the code reversed.
  std::memset(code.Fast, 0, sizeof code.Fast);
  uint32_t next = 0;
  int index = 0;
  for (int length = 1; length <= kFastBits; ++length, next <<= 1) {
    for (int k = 0; k < code.Count[length]; ++k, ++next, ++index) {
      uint32_t reversed = 0;
      for (int bit = 0; bit < length; ++bit)
        reversed |= ((next >> bit) & 1u) << (length - 1 - bit);
      for (uint32_t slot = reversed; slot < (1u << kFastBits); slot += 1u << length)
        code.Fast[slot] = static_cast<uint16_t>((code.Symbol[index] << 4) | length);
    }
  }
  return true;
}

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Inflates a zlib stream, keeping only the last 32 KiB of its output (what back-references may reach) and
// its Adler-32.
class TInflater {
public:
  // Data past `expected` is left over, as decoders leave it, up to as much again (and a little more for the
  // smallest pictures): beyond that it is no picture's data but a flood.
  TInflater(const BYTE* in, size_t size, uint64_t expected)
      : m_in(in), m_size(size), m_expected(expected), m_limit(2 * expected + (uint64_t{1} << 20))
  {
  }

  // The whole stream: header, blocks, checksum; true when it is sound and gives at least `expected` bytes.
  bool Run()
  {
    if (m_size < 2)
      return false;
    const uint32_t cmf = m_in[0], flg = m_in[1];
    if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (cmf * 256 + flg) % 31 != 0 || (flg & 0x20))
      return false;
    m_pos = 2;
    for (bool last = false; !last;) {
      last = Bits(1) != 0;
      bool sound = false;
      switch (Bits(2)) {
      case 0:
        sound = Stored();
        break;
      case 1:
        sound = Codes(FixedLiterals(), FixedDistances());
        break;
      case 2:
        sound = Dynamic();
        break;
      default:
        break;
      }
      if (!sound || Overrun())
        return false;
    }
    Checksum();
    // The checksum follows on the next byte boundary, most significant byte first.
    Bits(m_count % 8);
    uint32_t stored = 0;
    for (int i = 0; i < 4; ++i)
      stored = (stored << 8) | Bits(8);
    return !Overrun() && m_out >= m_expected && stored == ((m_s2 << 16) | m_s1);
  }

private:
  void Refill()
  {
    while (m_count <= 56) {
      // Past the end the stream reads as zeros; Overrun tells whether any of them was used.
      const uint64_t byte = m_pos < m_size ? m_in[m_pos] : 0;
      ++m_pos;
      m_bits |= byte << m_count;
      m_count += 8;
    }
  }
  uint32_t Bits(int n)
  {
    if (n == 0)
      return 0;
    if (m_count < n)
      Refill();
    const uint32_t value = static_cast<uint32_t>(m_bits & ((uint64_t{1} << n) - 1));
    m_bits >>= n;
    m_count -= n;
    return value;
  }
  bool Overrun() const { return uint64_t{m_pos} * 8 - static_cast<uint64_t>(m_count) > uint64_t{m_size} * 8; }

  // The next symbol of `code`; -1 for bits that are no code of it.
  int Decode(const THuffman& code)
  {
    if (m_count < kMaxBits)
      Refill();
    const uint16_t entry = code.Fast[m_bits & ((1u << kFastBits) - 1)];
    if (entry) {
      const int length = entry & 0x0F;
      m_bits >>= length;
      m_count -= length;
      return entry >> 4;
    }
    int value = 0, first = 0, index = 0;
    for (int length = 1; length <= kMaxBits; ++length) {
      value |= static_cast<int>(Bits(1));
      const int count = code.Count[length];
      if (value - count < first)
        return code.Symbol[index + (value - first)];
      index += count;
      first = (first + count) << 1;
      value <<= 1;
    }
    return -1;
  }

  bool Put(BYTE byte)
  {
    if (m_out >= m_limit)
      return false;
    m_window[m_out++ & kWindowMask] = byte;
    return true;
  }
  // Folds what was written since the last time into the checksum; often enough that the window still
  // holds it.
  void Checksum()
  {
    while (m_summed < m_out) {
      // 5552 bytes are the most that cannot overflow the sums before they are reduced.
      const uint64_t offset = m_summed & kWindowMask;
      const uint64_t run = std::min<uint64_t>({m_out - m_summed, kWindowSize - offset, 5552});
      for (const BYTE *p = m_window + offset, *end = p + run; p != end; ++p) {
        m_s1 += *p;
        m_s2 += m_s1;
      }
      m_s1 %= 65521;
      m_s2 %= 65521;
      m_summed += run;
    }
  }

  bool Stored()
  {
    Bits(m_count % 8);
    const uint32_t length = Bits(16);
    if ((Bits(16) ^ 0xFFFF) != length)
      return false;
    for (uint32_t i = 0; i < length; ++i) {
      if (!Put(static_cast<BYTE>(Bits(8))) || Overrun())
        return false;
      if (m_out - m_summed >= kWindowSize / 2)
        Checksum();
    }
    return true;
  }

  bool Codes(const THuffman& literals, const THuffman& distances)
  {
    for (;;) {
      const int symbol = Decode(literals);
      if (symbol < 0 || Overrun())
        return false;
      if (symbol < 256) {
        if (!Put(static_cast<BYTE>(symbol)))
          return false;
      } else if (symbol == 256) {
        return true;
      } else {
        if (symbol > 285)
          return false;
        const uint32_t length = kLengthBase[symbol - 257] + Bits(kLengthExtra[symbol - 257]);
        const int code = Decode(distances);
        if (code < 0 || code > 29)
          return false;
        const uint32_t distance = kDistanceBase[code] + Bits(kDistanceExtra[code]);
        if (distance > m_out || m_out + length > m_limit)
          return false;
        for (uint32_t i = 0; i < length; ++i, ++m_out)
          m_window[m_out & kWindowMask] = m_window[(m_out - distance) & kWindowMask];
      }
      if (m_out - m_summed >= kWindowSize / 2)
        Checksum();
    }
  }

  bool Dynamic()
  {
    static const uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const int literalCount = static_cast<int>(Bits(5)) + 257;
    const int distanceCount = static_cast<int>(Bits(5)) + 1;
    const int lengthCodes = static_cast<int>(Bits(4)) + 4;
    if (literalCount > 286 || distanceCount > 30)
      return false;
    uint8_t lengths[320] = {};
    for (int i = 0; i < lengthCodes; ++i)
      lengths[kOrder[i]] = static_cast<uint8_t>(Bits(3));
    THuffman lengthCode;
    if (!Build(lengthCode, lengths, 19, false))
      return false;
    std::memset(lengths, 0, sizeof lengths);
    for (int i = 0; i < literalCount + distanceCount;) {
      const int symbol = Decode(lengthCode);
      if (symbol < 0 || Overrun())
        return false;
      if (symbol < 16) {
        lengths[i++] = static_cast<uint8_t>(symbol);
        continue;
      }
      uint8_t repeated = 0;
      int times = 0;
      if (symbol == 16) {
        if (i == 0)
          return false;
        repeated = lengths[i - 1];
        times = 3 + static_cast<int>(Bits(2));
      } else if (symbol == 17) {
        times = 3 + static_cast<int>(Bits(3));
      } else {
        times = 11 + static_cast<int>(Bits(7));
      }
      if (i + times > literalCount + distanceCount)
        return false;
      while (times-- > 0)
        lengths[i++] = repeated;
    }
    // A block without an end-of-block code could never end.
    if (lengths[256] == 0)
      return false;
    THuffman literals, distances;
    return Build(literals, lengths, literalCount, true) &&
           Build(distances, lengths + literalCount, distanceCount, true) && Codes(literals, distances);
  }

  static const THuffman& FixedLiterals()
  {
    static const THuffman code = [] {
      uint8_t lengths[288];
      for (int i = 0; i < 288; ++i)
        lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
      THuffman built;
      Build(built, lengths, 288, false);
      return built;
    }();
    return code;
  }
  static const THuffman& FixedDistances()
  {
    // 32 codes of five bits; the last two stand for no distance and are refused when met.
    static const THuffman code = [] {
      uint8_t lengths[32];
      std::memset(lengths, 5, sizeof lengths);
      THuffman built;
      Build(built, lengths, 32, false);
      return built;
    }();
    return code;
  }

  static constexpr uint32_t kWindowSize = 32768;
  static constexpr uint64_t kWindowMask = kWindowSize - 1;

  const BYTE* m_in;
  size_t m_size;
  size_t m_pos = 0;
  uint64_t m_bits = 0;
  int m_count = 0;
  uint64_t m_expected;
  uint64_t m_limit;
  uint64_t m_out = 0;
  uint64_t m_summed = 0;
  uint32_t m_s1 = 1;
  uint32_t m_s2 = 0;
  BYTE m_window[kWindowSize] = {};
};

}  // namespace

bool ImageDataIntact(const std::vector<BYTE>& file)
{
  THeader header;
  bool headerSeen = false, paletteSeen = false, dataSeen = false, dataEnded = false;
  std::vector<BYTE> stream;
  // Gathering has checked the chunk structure: every chunk lies whole inside the file.
  for (size_t at = 8; at + 12 <= file.size();) {
    const uint32_t length = BigEndian32(&file[at]);
    const BYTE* type = &file[at + 4];
    const BYTE* data = type + 4;
    if (std::memcmp(type, "IHDR", 4) == 0 && length == 13) {
      header.Width = BigEndian32(data);
      header.Height = BigEndian32(data + 4);
      header.Depth = data[8];
      header.ColourType = data[9];
      header.Compression = data[10];
      header.Filter = data[11];
      header.Interlace = data[12];
      headerSeen = true;
    } else if (std::memcmp(type, "PLTE", 4) == 0) {
      paletteSeen = !dataSeen;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      // The image data is one run of chunks.
      if (dataEnded)
        return false;
      dataSeen = true;
      stream.insert(stream.end(), data, data + length);
    } else if (dataSeen) {
      dataEnded = true;
    }
    at += 12 + size_t{length};
  }
  if (!headerSeen || !dataSeen || !HeaderAllowed(header) || (header.ColourType == 3 && !paletteSeen))
    return false;
  return TInflater(stream.data(), stream.size(), RawSize(header)).Run();
}
