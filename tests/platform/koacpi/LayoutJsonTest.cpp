#include "KoAcpiFixture.h"

TEST_F(KoAcpiTest, OverridesGiveExactlyTheListedElements)
{
  LoadLayout(R"({
    "info": [7, "v2", -1],
    "groups": {
      "0x05": {"items": [{"id": "0x05080000", "options": ["x"]}],
               "package": [5, "text", 4294967295]}
    }})");
  std::vector<uint8_t> group = Group(0x05);
  ASSERT_EQ(AcpiElementCount(group.data()), 3u);
  EXPECT_EQ(IntAt(group.data(), 0), 5u);
  EXPECT_EQ(TextAt(group.data(), 1), "text");
  EXPECT_EQ(IntAt(group.data(), 2), 0xFFFFFFFFu);

  std::vector<uint8_t> info(kAcpiBufferSize);
  DWORD size = kAcpiBufferSize;
  ASSERT_EQ(AcpiGetInfo(info.data(), &size), 1u);
  ASSERT_EQ(AcpiElementCount(info.data()), 3u);
  EXPECT_EQ(TextAt(info.data(), 1), "v2");
  EXPECT_EQ(IntAt(info.data(), 2), 0xFFFFFFFFu);

  // The descriptor override is what the item answers, whatever its first element says.
  LoadLayout(R"({"groups": {"0x05": [{"id": "0x05080000", "descriptor": [1, "bad", 3]}]}})");
  std::vector<uint8_t> descriptor = Descriptor(0x05080000);
  ASSERT_EQ(AcpiElementCount(descriptor.data()), 3u);
  EXPECT_EQ(IntAt(descriptor.data(), 0), 1u);
  EXPECT_EQ(TextAt(descriptor.data(), 1), "bad");
}

TEST_F(KoAcpiTest, AnEmptyGroupIsAPackageWithoutElementsAndAMissingGroupFails)
{
  LoadLayout(R"({"groups": {"0x06": [], "0x07": {"items": []}}})");
  for (uint32_t number : {0x06u, 0x07u}) {
    std::vector<uint8_t> group = Group(number);
    EXPECT_EQ(AcpiElementCount(group.data()), 0u);
    EXPECT_EQ(AcpiFirstElement(group.data()), nullptr);
  }
  uint8_t buffer[kAcpiBufferSize];
  DWORD size = kAcpiBufferSize;
  EXPECT_EQ(AcpiGetGroup(0x0F, buffer, &size), 0u);
  EXPECT_EQ(AcpiGetGroup(0x100 + 0x06, buffer, &size), 0u);
}

TEST_F(KoAcpiTest, TheLayoutReadBackLoadsToTheSameBios)
{
  LoadLayout(R"({"info": [1, "x"], "groups": {
      "0x03": [{"id": "0x03000002", "value": 4, "default": 1, "base": -7, "step": 3, "exponent": 254,
                "count": 5, "extra": ["Auto"], "restart": [1], "min": 1, "max": 4, "writable": false}],
      "0x05": {"items": [], "package": [1, "y"]}}})");
  const std::string first = Layout();
  LoadLayout(first);
  EXPECT_EQ(Layout(), first);
  EXPECT_NE(first.find("\"exponent\": 254"), std::string::npos);
  EXPECT_NE(first.find("\"writable\": false"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(m_store.Path()), first);
}

TEST_F(KoAcpiTest, InvalidLayoutsAreRefusedWithAClearReasonAndChangeNothing)
{
  LoadLayout(R"({"groups": {"0x0F": [{"id": "0x0F080000", "value": 1, "options": ["a", "b"]}]}})");
  const std::string layout = Layout();
  const std::string stored = ReadFileBytes(m_store.Path());
  struct { const char* Json; const char* Reason; } cases[] = {
      {R"({"groups": {)", "not valid JSON"},
      {R"([1, 2])", "must be a JSON object"},
      {R"({"info": []})", "no \"groups\""},
      {R"({"groups": {}, "extra": 1})", "unknown key \"extra\""},
      {R"({"groups": {"15": []}})", "group key \"15\""},
      {R"({"groups": {"0x0F": [{"id": "0x0F080000", "valeu": 1}]}})", "unknown key \"valeu\""},
      {R"({"groups": {"0x0F": [{"id": "0x09000000"}]}})", "its id says group 0x09"},
      {R"({"groups": {"0x0F": [{"id": "0x0F000000", "options": ["a"]}]}})", "does not apply to a number item"},
      {R"({"groups": {"0x0F": [{"id": "0x0F000000", "base": 16777216}]}})", "\"base\" must lie in"},
      {R"({"groups": {"0x0F": [{"id": "0x0F000000", "count": 1.5}]}})", "\"count\" must be a whole number"},
      {R"({"groups": {"0x0F": [{"id": "0x0F070000"}, {"id": "0x0F070000"}]}})", "listed twice"},
      {R"({"groups": {"0x0F": [{"id": "0x0F070000", "min": 1, "max": 0}]}})", "\"min\" lies above \"max\""},
      {R"({"groups": {"0x0F": [{"id": "F080000"}]}})", "is not a hex number"},
      {R"({"groups": {"0x0F": [{"value": 1}]}})", "has no \"id\""},
      {R"({"groups": {"0x0F": {"items": [], "package": [true]}}})", "must be a whole number"},
  };
  for (const auto& c : cases) {
    TDebugCapture debug;
    std::string error;
    EXPECT_FALSE(TryLoadLayout(c.Json, error)) << c.Json;
    EXPECT_NE(error.find(c.Reason), std::string::npos) << c.Json << "\n" << error;
    EXPECT_NE(debug.All().find(error), std::string::npos) << "the reason goes to the debugger too";
  }
  EXPECT_EQ(Layout(), layout);
  EXPECT_EQ(ReadFileBytes(m_store.Path()), stored);
  EXPECT_EQ(KoSimLoadLayout(nullptr, nullptr, 0), 0);
}

TEST_F(KoAcpiTest, LoadDefaultBringsBackTheEmbeddedLayout)
{
  LoadLayout(R"({"groups": {}})");
  uint8_t buffer[kAcpiBufferSize];
  DWORD size = kAcpiBufferSize;
  EXPECT_EQ(AcpiGetGroup(0x0F, buffer, &size), 0u);
  ASSERT_EQ(KoSimLoadDefault(), 1);
  EXPECT_EQ(Value(0x0F080000), 2u);
  EXPECT_NE(ReadFileBytes(m_store.Path()).find("Maximum Performance"), std::string::npos);
}
