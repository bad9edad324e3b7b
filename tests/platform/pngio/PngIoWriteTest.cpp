// Encoding, and the records the library allocates and frees.
#include "PngIoFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

// A record of the library's own, freed when the test is done with it.
class TRecord {
public:
  TRecord() { std::memset(&m_data, 0xCD, sizeof(m_data)); }
  ~TRecord() { PngIo().Free(&m_data); }
  TRecord(const TRecord&) = delete;
  TRecord& operator=(const TRecord&) = delete;
  PngData* operator&() { return &m_data; }
  PngData& operator*() { return m_data; }
  PngData* operator->() { return &m_data; }

private:
  PngData m_data;
};

void FillRandom(PngData& data, uint32_t seed)
{
  std::mt19937 random(seed);
  for (uint32_t y = 0; y < data.height; ++y) {
    for (uint32_t i = 0; i < data.rowBytes; ++i)
      data.rows[y][i] = static_cast<uint8_t>(random());
  }
}

TBytes Rows(const PngData& data)
{
  TBytes bytes;
  for (uint32_t y = 0; y < data.height; ++y)
    bytes.insert(bytes.end(), data.rows[y], data.rows[y] + data.rowBytes);
  return bytes;
}

TEST(PngAllocate, GivesZeroedRowsTopFirstThatFreeReleases)
{
  for (uint32_t type : {2u, 6u}) {
    for (auto [width, height] : {std::pair{1u, 1u}, {7u, 3u}, {PngMaxSide, 2u}, {3u, PngMaxSide}}) {
      TRecord record;
      ASSERT_TRUE(PngIo().Allocate(&record, width, height, type)) << width << " x " << height;
      EXPECT_EQ(width, record->width);
      EXPECT_EQ(height, record->height);
      EXPECT_EQ(8u, record->bitDepth);
      EXPECT_EQ(type, record->colorType);
      EXPECT_EQ(width * (type == 6 ? 4 : 3), record->rowBytes);
      for (uint32_t y = 0; y < height; ++y) {
        ASSERT_NE(nullptr, record->rows[y]);
        if (y > 0) {
          EXPECT_GE(record->rows[y], record->rows[y - 1] + record->rowBytes);
        }
      }
      EXPECT_EQ(TBytes(size_t{record->rowBytes} * height, 0), Rows(*record));
      PngIo().Free(&record);
      EXPECT_TRUE(RecordCleared(*record));
    }
  }
}

TEST(PngAllocate, RefusesOtherTypesAndSizesLeavingNothingToFree)
{
  struct TCase {
    uint32_t Width, Height, Type;
  };
  const TCase cases[] = {{4, 4, 0}, {4, 4, 3}, {4, 4, 4}, {4, 4, 7}, {0, 4, 6}, {4, 0, 2}, {PngMaxSide + 1, 1, 6},
                         {1, PngMaxSide + 1, 2}, {8193, 8193, 6}, {0xFFFFFFFF, 0xFFFFFFFF, 6}};
  for (const TCase& c : cases) {
    TRecord record;
    EXPECT_FALSE(PngIo().Allocate(&record, c.Width, c.Height, c.Type))
        << c.Width << " x " << c.Height << " type " << c.Type;
    EXPECT_TRUE(RecordCleared(*record));
  }
  EXPECT_FALSE(PngIo().Allocate(nullptr, 4, 4, 6));
}

TEST(PngFree, AcceptsNullAndZeroedRecords)
{
  PngIo().Free(nullptr);
  PngData data{};
  PngIo().Free(&data);
  PngIo().Free(&data);
  EXPECT_TRUE(RecordCleared(data));
}

// Every written picture reads back pixel for pixel, as a plain 8-bit PNG of the record's colour type, and
// the file does not depend on how the callback takes it.
TEST(PngWrite, RoundTripsPixelExact)
{
  uint32_t seed = 50;
  for (uint32_t type : {2u, 6u}) {
    for (auto [width, height] : {std::pair{1u, 1u}, {13u, 11u}, {300u, 2u}, {2u, 300u}}) {
      SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height) + " type " + std::to_string(type));
      TRecord record;
      ASSERT_TRUE(PngIo().Allocate(&record, width, height, type));
      FillRandom(*record, ++seed);
      TByteSink whole;
      ASSERT_TRUE(PngIo().Write(&record, &TByteSink::Write, &whole));
      TByteSink dribble;
      dribble.Piece = 1;
      ASSERT_TRUE(PngIo().Write(&record, &TByteSink::Write, &dribble));
      EXPECT_EQ(whole.Bytes, dribble.Bytes);

      const std::vector<TChunkAt> chunks = ListChunks(whole.Bytes);
      ASSERT_FALSE(chunks.empty());
      ASSERT_EQ("IHDR", chunks.front().Type);
      const uint8_t* ihdr = &whole.Bytes[chunks.front().Offset + 8];
      EXPECT_EQ(8, ihdr[8]);      // bit depth
      EXPECT_EQ(type, ihdr[9]);   // colour type
      EXPECT_EQ(0, ihdr[12]);     // not interlaced

      TDecoded picture;
      ASSERT_TRUE(Decode(whole.Bytes, picture));
      EXPECT_EQ(width, picture.Width);
      EXPECT_EQ(height, picture.Height);
      EXPECT_EQ(type, picture.ColorType);
      EXPECT_TRUE(Rows(*record) == picture.Pixels);
    }
  }
}

// Rows need not be the library's own, nor in one block: a caller may point them anywhere.
TEST(PngWrite, TakesRowsFromAnywhere)
{
  std::vector<TBytes> rows{{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
  BYTE* pointers[2] = {rows[1].data(), rows[0].data()};  // bottom row first in memory order
  const PngData data{2, 2, 8, PngColorRgb, 6, pointers};
  TByteSink sink;
  ASSERT_TRUE(PngIo().Write(&data, &TByteSink::Write, &sink));
  TDecoded picture;
  ASSERT_TRUE(Decode(sink.Bytes, picture));
  EXPECT_EQ((TBytes{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}), picture.Pixels);
}

TEST(PngWrite, RefusesMalformedRecordsWritingNothing)
{
  TRecord record;
  ASSERT_TRUE(PngIo().Allocate(&record, 4, 3, PngColorRgba));
  BYTE* rows[3] = {record->rows[0], nullptr, record->rows[2]};
  struct TCase {
    const char* Name;
    void (*Spoil)(PngData&);
  };
  const TCase cases[] = {
      {"bit depth 16", [](PngData& d) { d.bitDepth = 16; }},
      {"palette type", [](PngData& d) { d.colorType = 3; }},
      {"grey type", [](PngData& d) { d.colorType = 0; }},
      {"row size of RGB", [](PngData& d) { d.rowBytes = d.width * 3; }},
      {"zero width", [](PngData& d) { d.width = 0; d.rowBytes = 0; }},
      {"zero height", [](PngData& d) { d.height = 0; }},
      {"too wide", [](PngData& d) { d.width = PngMaxSide + 1; d.rowBytes = d.width * 4; }},
      {"no rows", [](PngData& d) { d.rows = nullptr; }},
  };
  for (const TCase& c : cases) {
    PngData spoilt = *record;
    c.Spoil(spoilt);
    TByteSink sink;
    EXPECT_FALSE(PngIo().Write(&spoilt, &TByteSink::Write, &sink)) << c.Name;
    EXPECT_TRUE(sink.Bytes.empty()) << c.Name;
  }
  PngData gap = *record;
  gap.rows = rows;
  TByteSink sink;
  EXPECT_FALSE(PngIo().Write(&gap, &TByteSink::Write, &sink));
  EXPECT_FALSE(PngIo().Write(&*record, nullptr, nullptr));
  EXPECT_FALSE(PngIo().Write(nullptr, &TByteSink::Write, &sink));
  EXPECT_TRUE(sink.Bytes.empty());
}

TEST(PngWrite, ReportsACallbackThatStopsTakingBytes)
{
  TRecord record;
  ASSERT_TRUE(PngIo().Allocate(&record, 40, 30, PngColorRgb));
  FillRandom(*record, 60);
  for (size_t refuse : {size_t{0}, size_t{8}, size_t{100}}) {
    TByteSink sink;
    sink.Refuse = refuse;
    sink.Piece = 33;
    EXPECT_FALSE(PngIo().Write(&record, &TByteSink::Write, &sink)) << "refuses after " << refuse;
    EXPECT_EQ(refuse, sink.Bytes.size());
  }
}

}  // namespace
