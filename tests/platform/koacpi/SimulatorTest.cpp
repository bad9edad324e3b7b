#include "KoAcpiFixture.h"

TEST_F(KoAcpiTest, CallLogRecordsEveryCallInItsFixedFormat)
{
  std::vector<uint8_t> group(kAcpiBufferSize);
  std::vector<uint8_t> buffer(kAcpiBufferSize);
  DWORD size = kAcpiBufferSize;
  AcpiInit();
  AcpiGetGroup(0x0F, group.data(), &size);
  AcpiElementCount(group.data());
  void* element = AcpiFirstElement(group.data());
  AcpiGetItemInfo(AcpiElementData(element), buffer.data(), &(size = kAcpiBufferSize));
  element = AcpiNextElement(element);
  AcpiNextElement(element);
  AcpiGetItemInfo(buffer.data(), buffer.data(), &(size = 12));
  DWORD value = 0;
  AcpiGetItem(0x0F080000, &value);
  AcpiGetItem(0x0F08FFFF, &value);
  AcpiSetItem(0x0F080000, 4, 0);
  AcpiSetItem(0x0F080000, 9, 1);
  AcpiGetInfo(buffer.data(), &(size = 8));
  AcpiGetGroup(0x42, buffer.data(), nullptr);
  EXPECT_EQ(CallLog(), "AcpiInit() = 1\n"
                       "AcpiGetGroup(0x0f, 4096) = 1\n"
                       "AcpiElementCount() = 2\n"
                       "AcpiFirstElement() = ok\n"
                       "AcpiElementData() = ok\n"
                       "AcpiGetItemInfo(0x0f070001, 4096) = 1\n"
                       "AcpiNextElement() = ok\n"
                       "AcpiNextElement() = null\n"
                       "AcpiGetItemInfo(?, 12) = 0\n"
                       "AcpiGetItem(0x0f080000) = 0x1 -> 2\n"
                       "AcpiGetItem(0x0f08ffff) = 0x0\n"
                       "AcpiSetItem(0x0f080000, 4, 0) = 0x3\n"
                       "AcpiSetItem(0x0f080000, 9, 1) = 0x0\n"
                       "AcpiGetInfo(8) = 0\n"
                       "AcpiGetGroup(0x42, null) = 0\n");

  KoSimClearCallLog();
  EXPECT_EQ(CallLog(), "");
  AcpiInit();
  char small[8];
  uint32_t logSize = sizeof small;
  EXPECT_EQ(KoSimGetCallLog(small, &logSize), 0);
  EXPECT_EQ(logSize, sizeof "AcpiInit() = 1\n");
}

TEST_F(KoAcpiTest, InjectedAnswersReplaceTheCallForTheSelectedArgumentAndCount)
{
  ASSERT_EQ(KoSimSetAnswer(3, 0x0F080000, 0, 2), 1);
  for (int call = 0; call < 2; ++call) {
    DWORD value = 77;
    EXPECT_EQ(AcpiGetItem(0x0F080000, &value), 0u);
    EXPECT_EQ(value, 77u) << "out-arguments stay untouched";
  }
  DWORD value = 77;
  EXPECT_EQ(AcpiGetItem(0x0F080000, &value), 1u) << "two calls only";
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(AcpiGetItem(0x09000000, &value), 1u) << "other items answer normally";

  // Every write answers "restart needed" and writes nothing, except one refusal for the companion item.
  ASSERT_EQ(KoSimSetAnswer(2, KOSIM_ANY_ARGUMENT, 3, -1), 1);
  ASSERT_EQ(KoSimSetAnswer(2, 0x09000000, 0, 1), 1);
  EXPECT_EQ(AcpiSetItem(0x09000000, 1, 1), 0u);
  EXPECT_EQ(AcpiSetItem(0x09000000, 1, 1), 3u);
  EXPECT_EQ(AcpiSetItem(0x0F080000, 1, 1), 3u);
  EXPECT_EQ(Value(0x09000000), 6u);
  EXPECT_EQ(Value(0x0F080000), 2u);
  EXPECT_FALSE(FileExists(m_store.Path()));
  KoSimClearAnswers();
  EXPECT_EQ(AcpiSetItem(0x0F080000, 1, 1), 1u);

  EXPECT_NE(CallLog().find("AcpiGetItem(0x0f080000) = 0x0\nAcpiGetItem(0x0f080000) = 0x0\n"), std::string::npos);
}

TEST_F(KoAcpiTest, InjectedAnswersForPackagesAndElements)
{
  std::vector<uint8_t> group = Group(0x0F);
  void* second = ElementAt(group.data(), 1);

  ASSERT_EQ(KoSimSetAnswer(5, 0x0B, 0, -1), 1);
  std::vector<uint8_t> buffer(kAcpiBufferSize, 0xCC);
  DWORD size = kAcpiBufferSize;
  EXPECT_EQ(AcpiGetGroup(0x0B, buffer.data(), &size), 0u);
  EXPECT_EQ(size, kAcpiBufferSize);
  EXPECT_EQ(buffer[0], 0xCC);
  EXPECT_NE(AcpiGetGroup(0x0F, buffer.data(), &size), 0u);

  // AcpiGetItemInfo selects by the id its data pointer leads to.
  ASSERT_EQ(KoSimSetAnswer(11, 0x0F080000, 0, 1), 1);
  size = kAcpiBufferSize;
  EXPECT_EQ(AcpiGetItemInfo(AcpiElementData(second), buffer.data(), &size), 0u);
  EXPECT_NE(AcpiGetItemInfo(AcpiElementData(AcpiFirstElement(group.data())), buffer.data(), &size), 0u);

  ASSERT_EQ(KoSimSetAnswer(7, KOSIM_ANY_ARGUMENT, 42, 1), 1);
  EXPECT_EQ(AcpiElementCount(group.data()), 42u);
  EXPECT_EQ(AcpiElementCount(group.data()), 2u);
  for (uint32_t ordinal : {6u, 9u, 10u})
    ASSERT_EQ(KoSimSetAnswer(ordinal, KOSIM_ANY_ARGUMENT, 1, 1), 1);
  EXPECT_EQ(AcpiFirstElement(group.data()), nullptr);
  EXPECT_EQ(AcpiElementData(second), nullptr);
  EXPECT_EQ(AcpiNextElement(AcpiFirstElement(group.data())), nullptr);
  EXPECT_EQ(AcpiNextElement(AcpiFirstElement(group.data())), second);

  ASSERT_EQ(KoSimSetAnswer(1, KOSIM_ANY_ARGUMENT, 0, 1), 1);
  ASSERT_EQ(KoSimSetAnswer(4, KOSIM_ANY_ARGUMENT, 0, 1), 1);
  EXPECT_EQ(AcpiInit(), 0u);
  EXPECT_EQ(AcpiGetInfo(buffer.data(), &size), 0u);
  EXPECT_NE(CallLog().find("AcpiElementCount() = 42\n"), std::string::npos);
}

TEST_F(KoAcpiTest, AnswerRulesThatCanNeverApplyAreRefused)
{
  EXPECT_EQ(KoSimSetAnswer(8, KOSIM_ANY_ARGUMENT, 1, 1), 0);
  EXPECT_EQ(KoSimSetAnswer(0, KOSIM_ANY_ARGUMENT, 1, 1), 0);
  EXPECT_EQ(KoSimSetAnswer(12, KOSIM_ANY_ARGUMENT, 1, 1), 0);
  EXPECT_EQ(KoSimSetAnswer(6, 0x0F, 1, 1), 0) << "element functions have no id or group to select by";
  EXPECT_EQ(KoSimSetAnswer(3, 0x0F080000, 1, 0), 0);
  EXPECT_EQ(KoSimSetAnswer(3, 0x0F080000, 1, -2), 0);
  DWORD value = 0;
  EXPECT_EQ(AcpiGetItem(0x0F080000, &value), 1u);
}
