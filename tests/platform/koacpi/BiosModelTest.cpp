#include "KoAcpiFixture.h"

namespace {

uint32_t Read(uint32_t id)
{
  DWORD value = 0xDEADBEEF;
  EXPECT_EQ(AcpiGetItem(id, &value), 1u) << std::hex << id;
  return value;
}

} // namespace

TEST_F(KoAcpiTest, DefaultLevelItemOffersFiveNamedLevelsBehindAnItemAWalkMustSkip)
{
  EXPECT_EQ(AcpiInit(), 1u);
  std::vector<uint8_t> group = Group(0x0F);
  EXPECT_EQ(IntegersOf(group.data()), (std::vector<uint32_t>{0x0F070001, 0x0F080000}));

  std::vector<uint8_t> level = Descriptor(0x0F080000);
  ASSERT_EQ(AcpiElementCount(level.data()), 10u);
  EXPECT_EQ(IntAt(level.data(), 0), 0x0F080000u);
  EXPECT_EQ(IntAt(level.data(), 3), 2u);
  EXPECT_EQ(IntAt(level.data(), 4), 5u);
  EXPECT_EQ(TextAt(level.data(), 5), "Standard");
  EXPECT_EQ(TextAt(level.data(), 9), "Maximum Performance");
  EXPECT_EQ(Read(0x0F080000), 2u);
  EXPECT_EQ(AcpiSetItem(0x0F080000, 0, 0), 3u);
  EXPECT_EQ(AcpiSetItem(0x0F080000, 4, 0), 3u);
  EXPECT_EQ(AcpiSetItem(0x0F080000, 1, 0), 1u);
}

TEST_F(KoAcpiTest, DefaultCompanionTpxGuardAndInformation)
{
  std::vector<uint8_t> companion = Descriptor(0x09000000);
  ASSERT_EQ(AcpiElementCount(companion.data()), 7u) << "a number item without extra strings";
  EXPECT_EQ(IntAt(companion.data(), 6), 8u);
  EXPECT_EQ(Read(0x09000000), 6u);

  EXPECT_EQ(IntegersOf(Group(0x0B).data()), (std::vector<uint32_t>{0x0B060001}));
  EXPECT_EQ(Read(0x0B060001), 0u);

  EXPECT_EQ(IntegersOf(Group(0x00).data()), (std::vector<uint32_t>{0x00060008, 0x00060009}));
  EXPECT_EQ(Read(0x00060008) & 4, 0u);
  EXPECT_EQ(Read(0x00060009) & 4, 0u);

  std::vector<uint8_t> info(kAcpiBufferSize);
  DWORD size = kAcpiBufferSize;
  ASSERT_EQ(AcpiGetInfo(info.data(), &size), 1u);
  ASSERT_GE(AcpiElementCount(info.data()), 3u);
  EXPECT_NE(IntAt(info.data(), 2) & 0xFF, 3u);
}

TEST_F(KoAcpiTest, DefaultRestoreGroupHoldsEveryKindAwayFromItsDefault)
{
  std::vector<uint8_t> group = Group(0x03);
  bool string = false, boolean = false, numberWithExtras = false, exponent = false;
  for (uint32_t id : IntegersOf(group.data())) {
    std::vector<uint8_t> descriptor = Descriptor(id);
    EXPECT_NE(Read(id), IntAt(descriptor.data(), 3)) << std::hex << id;
    const uint32_t kind = (id >> 16) & 0xF;
    string |= kind == 8;
    boolean |= kind == 7;
    if (kind != 7 && kind != 8) {
      exponent |= (IntAt(descriptor.data(), 4) >> 24) != 0;
      numberWithExtras |= AcpiElementCount(descriptor.data()) > 7;
    }
  }
  EXPECT_TRUE(string && boolean && numberWithExtras && exponent);
}

TEST_F(KoAcpiTest, NumberDescriptorPacksExponentWithBaseAndMasksTheStep)
{
  LoadLayout(R"({"groups": {"0x03": [
      {"id": "0x03010004", "base": -2, "step": -500, "exponent": -3, "count": 4, "extra": ["Auto", "Off"]}]}})");
  std::vector<uint8_t> descriptor = Descriptor(0x03010004);
  ASSERT_EQ(AcpiElementCount(descriptor.data()), 10u);
  EXPECT_EQ(IntAt(descriptor.data(), 4), 0xFDFFFFFEu);
  EXPECT_EQ(IntAt(descriptor.data(), 5), 0x00FFFE0Cu);
  EXPECT_EQ(IntAt(descriptor.data(), 6), 4u);
  EXPECT_EQ(IntAt(descriptor.data(), 7), 2u);
  EXPECT_EQ(TextAt(descriptor.data(), 9), "Off");
  EXPECT_EQ(AcpiSetItem(0x03010004, 5, 0), 1u) << "extra strings count as options";
  EXPECT_EQ(AcpiSetItem(0x03010004, 6, 0), 0u);
}

TEST_F(KoAcpiTest, ProbeAnswersWithoutWritingAndCommitWritesAndSaves)
{
  EXPECT_EQ(AcpiSetItem(0x0F080000, 4, 0), 3u);
  EXPECT_EQ(Value(0x0F080000), 2u);
  EXPECT_FALSE(FileExists(m_store.Path())) << "a probe saves nothing";

  EXPECT_EQ(AcpiSetItem(0x0F080000, 4, 1), 3u);
  EXPECT_EQ(Read(0x0F080000), 4u);
  EXPECT_NE(ReadFileBytes(m_store.Path()).find("\"value\": 4"), std::string::npos);
  EXPECT_EQ(AcpiSetItem(0x0F080000, 3, 1), 1u);
  EXPECT_EQ(Read(0x0F080000), 3u);
}

TEST_F(KoAcpiTest, WritesOutsideTheAcceptedRangeOrToLockedItemsAreRefused)
{
  LoadLayout(R"({"groups": {
      "0x0F": [{"id": "0x0F080000", "value": 1, "options": ["a", "b", "c"]},
               {"id": "0x0F080001", "value": 2, "options": ["a", "b", "c", "d"], "min": 2, "max": 3},
               {"id": "0x0F070002", "value": 1, "writable": false},
               {"id": "0x0F070003", "value": 1, "readable": false}]}})");
  const std::string before = ReadFileBytes(m_store.Path());
  struct { uint32_t Id, Value, Commit, Result; } cases[] = {
      {0x0F080000, 3, 1, 0}, {0x0F080000, 2, 1, 1}, {0x0F080001, 1, 0, 0}, {0x0F080001, 4, 0, 0},
      {0x0F080001, 3, 0, 1}, {0x0F070002, 0, 1, 0}, {0x0F070003, 2, 1, 0}, {0x0F070003, 0, 1, 1},
      {0x0F080000, 0, 2, 0}, {0x0F080099, 0, 1, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AcpiSetItem(c.Id, c.Value, c.Commit), c.Result) << std::hex << c.Id << " " << c.Value;
  EXPECT_EQ(Value(0x0F080000), 2u);
  EXPECT_EQ(Value(0x0F080001), 2u);
  EXPECT_EQ(Value(0x0F070002), 1u);
  EXPECT_EQ(Value(0x0F070003), 0u) << "an unreadable item can still be written";
  EXPECT_NE(ReadFileBytes(m_store.Path()), before);
}

TEST_F(KoAcpiTest, ReadsOfUnknownOrUnreadableItemsFailAndLeaveTheValue)
{
  LoadLayout(R"({"groups": {"0x0F": [{"id": "0x0F070003", "value": 1, "readable": false},
                                      {"id": "0x0F070004", "value": 1}]}})");
  for (uint32_t id : {0x0F070003u, 0x0F080000u, 0x77000000u}) {
    DWORD value = 0xABCD;
    EXPECT_EQ(AcpiGetItem(id, &value), 0u) << std::hex << id;
    EXPECT_EQ(value, 0xABCDu);
  }
  EXPECT_EQ(AcpiGetItem(0x0F070004, nullptr), 0u);
  uint32_t value = 0;
  EXPECT_EQ(KoSimGetValue(0x0F080000, &value), 0);
}
