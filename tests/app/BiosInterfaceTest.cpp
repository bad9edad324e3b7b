#include "BiosInterface.h"

#include "KoAcpiControl.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>

namespace {

// The levels, companion, TPX, guard and default-restore items as the program expects to find them.
const char* const kStandardGroups = R"(
  "0x00": [{"id": "0x00060008", "value": 4, "count": 8}, {"id": "0x00060009", "value": 12, "count": 16}],
  "0x03": [{"id": "0x03070001", "value": 1, "default": 0},
           {"id": "0x03000002", "value": 5, "default": 5, "count": 10},
           {"id": "0x03080003", "value": 2, "default": 1, "options": ["a", "b", "c"]}],
  "0x09": [{"id": "0x09000000", "value": 0, "count": 7}],
  "0x0B": [{"id": "0x0B060001", "value": 0, "count": 2}],
  "0x0F": [{"id": "0x0F070001", "value": 1},
           {"id": "0x0F080000", "value": 2, "options": ["Quiet", "Standard", "Turbo", "Extreme"],
            "restart": [3]}])";

constexpr DWORD kLevelId = 0x0F080000;
constexpr DWORD kCompanionId = 0x09000000;

std::vector<std::string> Lines(const std::string& text)
{
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// Each test has a BIOS of its own in its own store file.
class Bios : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
    KoSimClearAnswers();
  }
  void TearDown() override { KoSimClearAnswers(); }

  void Load(const std::string& groups, const std::string& info = "[1, 0, 2]")
  {
    const std::string json = R"({"info": )" + info + R"(, "groups": {)" + groups + "}}";
    char error[512] = {};
    ASSERT_EQ(KoSimLoadLayout(json.c_str(), error, sizeof error), 1) << error << "\n" << json;
    KoSimClearCallLog();
  }

  // One item in group 0x05 whose descriptor is exactly `descriptor`; the reader stands on it.
  std::unique_ptr<BiosItem> ItemFrom(const std::string& id, const std::string& descriptor)
  {
    Load(R"("0x05": [{"id": ")" + id + R"(", "descriptor": )" + descriptor + "}]");
    GroupItemReader reader;
    EXPECT_TRUE(reader.Open(0x05));
    EXPECT_TRUE(reader.HasItem());
    return reader.CreateItem();
  }

  std::vector<std::string> Calls()
  {
    uint32_t size = 0;
    KoSimGetCallLog(nullptr, &size);
    std::string log(size, '\0');
    EXPECT_EQ(KoSimGetCallLog(log.data(), &size), 1);
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    return Lines(log);
  }

  // The calls whose line starts with `name`.
  std::vector<std::string> Calls(const std::string& name)
  {
    std::vector<std::string> all = Calls(), picked;
    std::copy_if(all.begin(), all.end(), std::back_inserter(picked),
                 [&](const std::string& line) { return line.rfind(name, 0) == 0; });
    return picked;
  }

  uint32_t Value(DWORD id)
  {
    uint32_t value = 0xDEAD;
    EXPECT_EQ(KoSimGetValue(id, &value), 1) << std::hex << id;
    return value;
  }

  TTempFile m_store{".json"};
};

// --- walks -------------------------------------------------------------------------------------------------

TEST_F(Bios, WalkFetchesEachDescriptorInGroupOrderAndSkipsElementsWithoutOne)
{
  Load(R"("0x05": {"items": [{"id": "0x05070001"}, {"id": "0x05070002"}],
                   "package": [84344833, "junk", 1, 84344834]})");
  GroupItemReader reader;
  ASSERT_TRUE(reader.Open(0x05));
  std::vector<std::string> seen;
  for (; !reader.IsEnd(); reader.Next())
    seen.push_back(reader.HasItem() ? std::to_string(reader.ItemId()) : "-");
  EXPECT_EQ(seen, (std::vector<std::string>{"84344833", "-", "-", "84344834"}));
  reader.Close();
  EXPECT_FALSE(reader.IsOpen());

  // Closed, the reader can walk again from the start.
  ASSERT_TRUE(reader.Open(0x05));
  EXPECT_EQ(reader.ItemId(), 0x05070001u);
}

TEST_F(Bios, WalkCallsTheLibraryInTheDocumentedOrder)
{
  Load(kStandardGroups);
  EXPECT_TRUE(HasLevelItem());
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "AcpiGetGroup(0x0f, 4096) = 1", "AcpiElementCount() = 2", "AcpiFirstElement() = ok",
                         "AcpiElementData() = ok", "AcpiGetItemInfo(0x0f070001, 4096) = 1",
                         "AcpiFirstElement() = ok", "AcpiElementData() = ok", "AcpiNextElement() = ok",
                         "AcpiElementData() = ok", "AcpiGetItemInfo(0x0f080000, 4096) = 1",
                         "AcpiFirstElement() = ok", "AcpiElementData() = ok"}));
}

TEST_F(Bios, EmptyMissingAndFailingGroups)
{
  Load(R"("0x05": [], "0x0F": [])");
  GroupItemReader reader;
  ASSERT_TRUE(reader.Open(0x05));
  EXPECT_TRUE(reader.IsEnd());
  EXPECT_TRUE(Calls("AcpiGetItemInfo").empty());
  reader.Close();
  EXPECT_FALSE(HasLevelItem());

  // A group the BIOS cannot give leaves the reader closed, ready for another group.
  EXPECT_FALSE(reader.Open(0x06));
  EXPECT_FALSE(reader.IsOpen());
  KoSimSetAnswer(5, 0x05, 0, 1);
  EXPECT_FALSE(reader.Open(0x05));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_TRUE(reader.Open(0x05));

  GroupInfoTraverser missing(0x06);
  EXPECT_TRUE(missing.IsEnd());
}

TEST_F(Bios, CountsThatLieAndElementsThatFailEndTheWalk)
{
  Load(kStandardGroups);
  for (uint32_t count : {3u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    KoSimSetAnswer(7, KOSIM_ANY_ARGUMENT, count, -1);
    GroupInfoTraverser traverser(0x0F);
    int steps = 0;
    for (; !traverser.IsEnd() && steps < 10000; traverser.Next())
      ++steps;
    EXPECT_LE(steps, 2) << count;
    KoSimClearAnswers();
  }
  // An element the library cannot resolve has no descriptor, so nothing matches.
  KoSimSetAnswer(9, KOSIM_ANY_ARGUMENT, 0, -1);
  EXPECT_FALSE(HasLevelItem());
  KoSimClearAnswers();
  KoSimSetAnswer(11, kLevelId, 0, -1);
  EXPECT_FALSE(HasLevelItem());
}

TEST_F(Bios, OpeningAnOpenWalkIsAnAssertion)
{
  Load(kStandardGroups);
  TThrowingAsserts throwing;
  GroupItemReader reader;
  ASSERT_TRUE(reader.Open(0x0F));
  try {
    reader.Open(0x09);
    FAIL() << "no assertion";
  } catch (const TAssertionFailure& failure) {
    EXPECT_EQ(std::string(failure.what()).rfind("Assertion failed: !IsOpen(), file BiosInterface.cpp, line ", 0),
              0u);
  }
  GroupInfoTraverser traverser(0x0F);
  EXPECT_THROW(traverser.Open(0x0F), TAssertionFailure);
}

// --- items -------------------------------------------------------------------------------------------------

TEST_F(Bios, CreateItemPicksTheClassByKindAndHandsOutItemsThatDoNotParse)
{
  auto text = ItemFrom("0x05080001", R"([84410369, 0, 1, 1, 2, "On", "Off"])");
  ASSERT_NE(dynamic_cast<BiosStringItem*>(text.get()), nullptr);
  EXPECT_TRUE(text->IsValid());
  EXPECT_EQ(text->GetCount(), 2u);
  EXPECT_EQ(text->GetDefault(), 1u);
  EXPECT_EQ(text->IndexToString(1), "Off");

  auto flag = ItemFrom("0x05870002", R"([92733442, 0, 1, 1])");
  ASSERT_NE(dynamic_cast<BiosBooleanItem*>(flag.get()), nullptr);
  EXPECT_TRUE(flag->IsValid());
  EXPECT_TRUE(flag->IsFlagged());
  EXPECT_EQ(flag->GetCount(), 0u);

  // Exactly seven elements: no extra strings.
  auto number = ItemFrom("0x050C0003", R"([84672515, 0, 0, 7, 10, 1, 5])");
  ASSERT_NE(dynamic_cast<BiosNumberItem*>(number.get()), nullptr);
  EXPECT_FALSE(number->IsFlagged());
  EXPECT_EQ(number->GetCount(), 5u);
  EXPECT_EQ(number->GetDefault(), 7u);

  auto shortOne = ItemFrom("0x05070004", R"([84344836, 0])");
  EXPECT_NE(dynamic_cast<BiosBooleanItem*>(shortOne.get()), nullptr);
  EXPECT_FALSE(shortOne->IsValid());
  EXPECT_EQ(shortOne->GetCount(), 0u);
}

TEST_F(Bios, ItemsWhoseDescriptorDoesNotParseOfferNoOptions)
{
  // More strings declared than carried; a zero string count; extra strings that are not there; counts
  // far beyond any setup list; a number descriptor cut short.
  for (const char* descriptor :
       {R"([84410369, 0, 0, 0, 5, "a", "b"])", R"([84410369, 0, 0, 0, 0, "a"])", R"([84410369, 0, 0, 0, 1])"})
    EXPECT_EQ(ItemFrom("0x05080001", descriptor)->GetCount(), 0u) << descriptor;
  for (const char* descriptor :
       {R"([84279297, 0, 0, 0, 0, 1, 4, 3, "x"])", R"([84279297, 0, 0, 0, 0, 1, 4, 0, "x"])",
        R"([84279297, 0, 0, 0, 0, 1, 4, 1])", R"([84279297, 0, 0, 0, 0, 1, 4294967295])",
        R"([84279297, 0, 0, 0, 0, 1, 65536, 1, "x"])", R"([84279297, 0, 0, 0, 0, 1])"})
    EXPECT_EQ(ItemFrom("0x05060001", descriptor)->GetCount(), 0u) << descriptor;
  EXPECT_EQ(ItemFrom("0x05060001", R"([84279297, 0, 0, 0, 0, 1, 65535, 1, "x"])")->GetCount(), 65536u);

  TThrowingAsserts throwing;
  auto text = ItemFrom("0x05080001", R"([84410369, 0, 0, 0, 5, "a", "b"])");
  EXPECT_THROW(text->IndexToString(0), TAssertionFailure);
}

TEST_F(Bios, NumberTexts)
{
  struct Case {
    const char* id;
    int base, step, exponent;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {"0x05000001", 1000, 500, -3, {"1.0", "1.5", "2.0"}},          // common trailing zeros cut a decimal
      {"0x05000001", 150, 25, 0xFE, {"1.50", "1.75", "2.00"}},       // exponent byte 0xFE: hundredths
      {"0x05000001", 100, 200, 0xFE, {"1", "3", "5"}},               // all decimals are common zeros
      {"0x05000001", -250, 100, -2, {"-2.5", "-1.5", "-0.5", "0.5"}}, // negative values
      {"0x05000001", -5, 1, -2, {"-0.05", "-0.04"}},
      {"0x05000001", 0, 1, 0, {"0", "1"}},                            // zero with no decimals
      {"0x05000001", 0, 3, -1, {"0.0", "0.3"}},
      {"0x05000001", 5, 1, 2, {"500.00", "600.00"}},                  // a positive exponent keeps its decimals
      {"0x05010001", 1234, 1, 0, {"12.34", "12.35"}},                 // kind 1: hundredths
      {"0x05020001", 1234, 1, 0, {"1.234"}},                          // kinds 2 and 12: thousandths
      {"0x050C0001", 1234, 1, 0, {"1.234"}},
      {"0x05030001", 12345, 1, 0, {"1.2345"}},                        // kind 3: ten-thousandths
      {"0x05030001", 50, 10, 2, {"0.50000", "0.60000"}},          // kind shift, exponent 2
  };
  for (const Case& c : cases) {
    const std::string layout = std::string(R"("0x05": [{"id": ")") + c.id + R"(", "base": )" +
                               std::to_string(c.base) + R"(, "step": )" + std::to_string(c.step) +
                               R"(, "exponent": )" + std::to_string(c.exponent) + R"(, "count": 4}])";
    Load(layout);
    GroupItemReader reader;
    ASSERT_TRUE(reader.Open(0x05));
    auto item = reader.CreateItem();
    for (size_t i = 0; i < c.texts.size(); ++i)
      EXPECT_EQ(item->IndexToString(static_cast<uint32_t>(i)), c.texts[i]) << layout << " option " << i;
  }
}

TEST_F(Bios, NumberValuesExtraStringsAndTheirBoxes)
{
  Load(R"("0x05": [{"id": "0x05000001", "base": -250, "step": 100, "exponent": 254, "count": 3,
                    "extra": ["Auto", "Off"]}])");
  GroupItemReader reader;
  ASSERT_TRUE(reader.Open(0x05));
  auto item = reader.CreateItem();
  EXPECT_EQ(item->GetCount(), 5u);
  EXPECT_EQ(item->IndexToString(0), "Auto");
  EXPECT_EQ(item->IndexToString(1), "Off");
  EXPECT_EQ(item->IndexToString(2), "-2.5");
  EXPECT_EQ(item->IndexToValue(3), -1.5L);
  int32_t numerator = 0, denominator = 0;
  item->IndexToRational(4, numerator, denominator);
  EXPECT_EQ(numerator, -50);
  EXPECT_EQ(denominator, 100);

  TSysRecorder recorder;
  item->IndexToRational(0, numerator, denominator);
  EXPECT_EQ(numerator, -450); // offset -2: meaningless, but computed
  EXPECT_EQ(item->IndexToValue(1), -3.5L);
  ASSERT_EQ(recorder.Boxes.size(), 2u);
  EXPECT_EQ(recorder.Boxes[0].text, "Can not convert extra string to value");
  EXPECT_EQ(recorder.Boxes[0].caption, "IndexToRational Fail");
  EXPECT_EQ(recorder.Boxes[1].caption, "IndexToValue Fail");
  EXPECT_EQ(recorder.Boxes[1].owner, nullptr);
}

TEST_F(Bios, HugeExponentsStayDefined)
{
  auto big = ItemFrom("0x05000001", R"([83886081, 0, 0, 0, 2130706433, 1, 2])"); // exponent 127, base 1
  int32_t numerator = 0, denominator = 0;
  big->IndexToRational(1, numerator, denominator);
  EXPECT_EQ(numerator, INT32_MAX);
  EXPECT_EQ(denominator, 1);
  EXPECT_NEAR(static_cast<double>(big->IndexToValue(0) / 1e127L), 1.0, 1e-15);
  EXPECT_EQ(big->IndexToString(0), "1" + std::string(127, '0') + "." + std::string(127, '0'));

  auto tiny = ItemFrom("0x05030001", R"([84082689, 0, 0, 0, 2147483649, 0, 2])"); // exponent -128, kind 3
  tiny->IndexToRational(0, numerator, denominator);
  EXPECT_EQ(numerator, 1);
  EXPECT_EQ(denominator, INT32_MAX);
  EXPECT_GT(tiny->IndexToValue(0), 0.0L);
  EXPECT_EQ(tiny->IndexToString(0), "0." + std::string(131, '0') + "1");
}

TEST_F(Bios, UnsupportedConversionsSayWhichItemAndLeaveTheirOutputs)
{
  auto flag = ItemFrom("0x05070001", R"([84344833, 0, 1, 0])");
  auto text = ItemFrom("0x05080002", R"([84410370, 0, 0, 0, 1, "x"])");
  TSysRecorder recorder;
  int32_t numerator = 7, denominator = 9;
  flag->IndexToRational(0, numerator, denominator);
  EXPECT_EQ(numerator, 7);
  EXPECT_EQ(denominator, 9);
  EXPECT_EQ(flag->IndexToValue(0), 0.0L);
  EXPECT_EQ(flag->IndexToString(0), "");
  EXPECT_EQ(text->IndexToValue(0), 0.0L);
  ASSERT_EQ(recorder.Boxes.size(), 4u);
  EXPECT_EQ(recorder.Boxes[0].text, "Item[5070001] does not supports IndexToRational");
  EXPECT_EQ(recorder.Boxes[1].text, "Item[5070001] does not supports IndexToValue");
  EXPECT_EQ(recorder.Boxes[2].text, "Item[5070001] does not supports IndexToString");
  EXPECT_EQ(recorder.Boxes[3].text, "Item[5080002] does not supports IndexToValue");
  for (const TRecordedBox& box : recorder.Boxes) {
    EXPECT_EQ(box.caption, "BiosItem");
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
  }
}

TEST_F(Bios, StringIndexBeyondTheTextsIsAnAssertion)
{
  auto text = ItemFrom("0x05080001", R"([84410369, 0, 0, 0, 2, "a", "b"])");
  TThrowingAsserts throwing;
  try {
    text->IndexToString(2);
    FAIL() << "no assertion";
  } catch (const TAssertionFailure& failure) {
    EXPECT_NE(std::string(failure.what()).find("index < m_strs.size(), file BiosInterface.cpp"), std::string::npos);
  }
}

TEST(FcvtDigits, PointSignAndRounding)
{
  int point = 0;
  bool negative = true;
  EXPECT_EQ(FcvtDigits(0, 0, 0, point, negative), "0");
  EXPECT_EQ(point, 1);
  EXPECT_FALSE(negative);
  EXPECT_EQ(FcvtDigits(0, -5, 2, point, negative), "00");
  EXPECT_EQ(point, 0);
  EXPECT_EQ(FcvtDigits(-15, -1, 3, point, negative), "1500");
  EXPECT_EQ(point, 1);
  EXPECT_TRUE(negative);
  EXPECT_EQ(FcvtDigits(5, -2, 3, point, negative), "50");
  EXPECT_EQ(point, -1);
  EXPECT_EQ(FcvtDigits(125, -3, 2, point, negative), "13");
  EXPECT_EQ(point, 0);
  EXPECT_EQ(FcvtDigits(999, -2, 1, point, negative), "100");
  EXPECT_EQ(point, 2);
  EXPECT_EQ(FcvtDigits(4, -3, 2, point, negative), "00");
  EXPECT_EQ(point, 0);
  EXPECT_EQ(FcvtDigits(12, 3, 0, point, negative), "12000");
  EXPECT_EQ(point, 5);
  EXPECT_EQ(FcvtDigits(INT64_MIN, 0, 0, point, negative), "9223372036854775808");
}

// --- the CPU level -----------------------------------------------------------------------------------------

TEST_F(Bios, StartupIsBlockedOnlyWhenBothGuardsAreReadableWithBitTwo)
{
  Load(kStandardGroups);
  EXPECT_TRUE(IsStartupBlocked());
  EXPECT_EQ(Calls().front(), "AcpiInit() = 1");
  EXPECT_EQ(Calls("AcpiGetItem("),
            (std::vector<std::string>{"AcpiGetItem(0x00060008) = 0x1 -> 4", "AcpiGetItem(0x00060009) = 0x1 -> 12"}));

  const std::string guards[] = {
      R"("0x00": [{"id": "0x00060008", "value": 4, "count": 8}])",
      R"("0x00": [{"id": "0x00060009", "value": 4, "count": 8}])",
      R"("0x00": [{"id": "0x00060008", "value": 4, "count": 8}, {"id": "0x00060009", "value": 3, "count": 8}])",
      R"("0x00": [{"id": "0x00060008", "value": 4, "count": 8, "readable": false},
                  {"id": "0x00060009", "value": 4, "count": 8}])",
      R"("0x00": {"items": [{"id": "0x00060008", "value": 4, "count": 8},
                            {"id": "0x00060009", "value": 4, "count": 8}], "package": [393224]})"};
  for (const std::string& layout : guards) {
    Load(layout);
    EXPECT_FALSE(IsStartupBlocked()) << layout;
  }
}

TEST_F(Bios, LevelAndCompanionPresence)
{
  Load(kStandardGroups);
  EXPECT_TRUE(HasLevelItem());
  EXPECT_TRUE(HasCompanionItem());
  Load(R"("0x09": [{"id": "0x09000000", "count": 6}], "0x0F": [{"id": "0x0F080001", "options": ["a"]}])");
  EXPECT_FALSE(HasLevelItem());
  EXPECT_FALSE(HasCompanionItem());
  Load(R"("0x09": [{"id": "0x09000001", "count": 9}, {"id": "0x09000000", "count": 4, "extra": ["A", "B", "C"]}])");
  EXPECT_TRUE(HasCompanionItem());
  Load(R"("0x05": [])");
  EXPECT_FALSE(HasLevelItem());
  EXPECT_FALSE(HasCompanionItem());
}

TEST_F(Bios, LoadLevelNamesAndReadLevel)
{
  Load(kStandardGroups);
  std::vector<std::string> names{"old"};
  DWORD level = 99;
  ASSERT_TRUE(LoadLevelNames(names, level));
  EXPECT_EQ(names, (std::vector<std::string>{"Quiet", "Standard", "Turbo", "Extreme"}));
  EXPECT_EQ(level, 2u);
  level = 99;
  ReadLevel(level);
  EXPECT_EQ(level, 2u);

  // An unreadable level item still gives its names; the level keeps what it had.
  Load(R"("0x0F": [{"id": "0x0F080000", "value": 1, "options": ["A", "B"], "readable": false}])");
  level = 99;
  ASSERT_TRUE(LoadLevelNames(names, level));
  EXPECT_EQ(names.size(), 2u);
  EXPECT_EQ(level, 99u);
  ReadLevel(level);
  EXPECT_EQ(level, 99u);

  // No options: no names and no read.
  Load(R"("0x0F": [{"id": "0x0F000000", "value": 1, "count": 0}])");
  EXPECT_FALSE(LoadLevelNames(names, level));
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(level, 99u);
  EXPECT_TRUE(Calls("AcpiGetItem(").empty());

  // A missing group touches nothing.
  Load(R"("0x05": [])");
  names = {"kept"};
  EXPECT_FALSE(LoadLevelNames(names, level));
  EXPECT_EQ(names, std::vector<std::string>{"kept"});
  ReadLevel(level);
  EXPECT_EQ(level, 99u);
}

TEST_F(Bios, LevelNeedsRestartOnlyProbes)
{
  Load(kStandardGroups);
  bool restart = false;
  LevelNeedsRestart(3, restart);
  EXPECT_TRUE(restart);
  LevelNeedsRestart(1, restart);
  EXPECT_FALSE(restart);
  EXPECT_EQ(Calls("AcpiSetItem"), (std::vector<std::string>{"AcpiSetItem(0x0f080000, 3, 0) = 0x3",
                                                              "AcpiSetItem(0x0f080000, 1, 0) = 0x1"}));
  EXPECT_EQ(Value(kLevelId), 2u);

  KoSimSetAnswer(2, kLevelId, 2, 1);
  restart = true;
  LevelNeedsRestart(3, restart);
  EXPECT_FALSE(restart); // restart without acceptance
  KoSimSetAnswer(2, kLevelId, 7, 1);
  LevelNeedsRestart(0, restart);
  EXPECT_TRUE(restart);

  Load(R"("0x05": [])");
  restart = true;
  LevelNeedsRestart(3, restart);
  EXPECT_TRUE(restart);
}

TEST_F(Bios, ApplyingALevelWritesItThenTheCompanion)
{
  Load(kStandardGroups);
  TSysRecorder recorder;
  EXPECT_TRUE(ApplyLevel(3));
  EXPECT_EQ(Calls("AcpiSetItem"), (std::vector<std::string>{"AcpiSetItem(0x0f080000, 3, 1) = 0x3",
                                                              "AcpiSetItem(0x09000000, 6, 1) = 0x1"}));
  EXPECT_TRUE(Calls("AcpiGetGroup(0x03").empty());
  EXPECT_EQ(Value(kLevelId), 3u);
  EXPECT_EQ(Value(kCompanionId), 6u);
  EXPECT_EQ(recorder.DebugLines, std::vector<std::string>{"[CPU Vantor+] Group: 0x09, SetItem: 0x06"});

}

// After a refused level write nothing else is written: no defaults restored, no companion, no debugger line.
TEST_F(Bios, ARefusedLevelWriteWritesNothingElse)
{
  const struct {
    const char* Case;
    const char* LevelItem;
    DWORD Level;
    bool InjectRefusal;
  } cases[] = {
      {"level out of range", R"({"id": "0x0F080000", "value": 2, "options": ["A", "B", "C", "D"]})", 9, false},
      {"item takes no value (level 0)",
       R"({"id": "0x0F080000", "value": 2, "options": ["A", "B", "C", "D"], "writable": false})", 0, false},
      {"firmware answers 0 (level 0)", R"({"id": "0x0F080000", "value": 2, "options": ["A", "B", "C", "D"]})", 0,
       true},
      {"no level item in the group", R"({"id": "0x0F070001", "value": 1})", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    Load(std::string(R"("0x03": [{"id": "0x03070001", "value": 1, "default": 0}],
                        "0x09": [{"id": "0x09000000", "value": 3, "count": 7}],
                        "0x0F": [)") + c.LevelItem + "]");
    if (c.InjectRefusal)
      KoSimSetAnswer(2, kLevelId, 0, 1);
    TSysRecorder recorder;
    EXPECT_FALSE(ApplyLevel(c.Level));
    const std::vector<std::string> writes = Calls("AcpiSetItem");
    EXPECT_LE(writes.size(), 1u);
    for (const std::string& write : writes)
      EXPECT_EQ(write.rfind("AcpiSetItem(0x0f080000", 0), 0u) << write;
    EXPECT_TRUE(Calls("AcpiGetGroup(0x03").empty());
    EXPECT_TRUE(Calls("AcpiGetGroup(0x09").empty());
    EXPECT_EQ(Value(0x03070001), 1u);
    EXPECT_EQ(Value(kCompanionId), 3u);
    EXPECT_TRUE(recorder.DebugLines.empty());
  }
}

TEST_F(Bios, ApplyingLevelZeroRestoresTheDefaultsUnlessTheInfoCodeIsThree)
{
  Load(kStandardGroups, "[1, 2, 259]"); // 259: low byte 3
  TSysRecorder recorder;
  EXPECT_TRUE(IsInfoCodeThree());
  EXPECT_TRUE(ApplyLevel(0));
  EXPECT_TRUE(Calls("AcpiGetGroup(0x03").empty());
  EXPECT_EQ(Value(0x03070001), 1u);

  Load(kStandardGroups, "[1, 2, 4]");
  recorder.DebugLines.clear();
  EXPECT_FALSE(IsInfoCodeThree());
  KoSimClearCallLog();
  EXPECT_TRUE(ApplyLevel(0));
  EXPECT_EQ(Calls("AcpiSetItem"), (std::vector<std::string>{"AcpiSetItem(0x0f080000, 0, 1) = 0x1",
                                                              "AcpiSetItem(0x03070001, 0, 1) = 0x1",
                                                              "AcpiSetItem(0x03080003, 1, 1) = 0x1",
                                                              "AcpiSetItem(0x09000000, 1, 1) = 0x1"}));
  EXPECT_EQ(Value(0x03070001), 0u);
  EXPECT_EQ(Value(0x03080003), 1u);
  EXPECT_EQ(Value(kCompanionId), 1u);
  EXPECT_EQ(recorder.DebugLines, std::vector<std::string>{"[CPU Vantor+] Group: 0x09, SetItem: 0x01"});

  Load(kStandardGroups, "[1, 3]");
  EXPECT_FALSE(IsInfoCodeThree()); // fewer than three elements
}

TEST_F(Bios, ApplyLevelFailures)
{
  // No companion group: false, though the level went in.
  Load(R"("0x0F": [{"id": "0x0F080000", "options": ["A", "B"]}])");
  TSysRecorder recorder;
  EXPECT_FALSE(ApplyLevel(1));
  EXPECT_EQ(Value(kLevelId), 1u);
  EXPECT_TRUE(recorder.DebugLines.empty());

  // No level group: nothing else happens at all.
  Load(R"("0x03": [{"id": "0x03070001", "value": 1, "default": 0}], "0x09": [{"id": "0x09000000", "count": 7}])");
  EXPECT_FALSE(ApplyLevel(0));
  EXPECT_EQ(Calls(), std::vector<std::string>{"AcpiGetGroup(0x0f, 4096) = 0"});

  // The companion's answer does not count, its debugger line goes out anyway.
  Load(kStandardGroups);
  KoSimSetAnswer(2, kCompanionId, 0, -1);
  EXPECT_TRUE(ApplyLevel(1));
  EXPECT_EQ(recorder.DebugLines, std::vector<std::string>{"[CPU Vantor+] Group: 0x09, SetItem: 0x06"});
}

TEST_F(Bios, RestoreLeavesItemsWithoutAKnownValueOrDefault)
{
  Load(R"("0x03": {"items": [{"id": "0x03070001", "value": 1, "default": 0, "readable": false},
                             {"id": "0x03070002", "value": 1, "default": 0, "descriptor": [50790402, 0, 1]},
                             {"id": "0x03070003", "value": 1, "default": 0}],
                   "package": [50790401, 7, 50790402, 50790403]})");
  RestoreGroupDefaults();
  EXPECT_EQ(Calls("AcpiSetItem"), std::vector<std::string>{"AcpiSetItem(0x03070003, 0, 1) = 0x1"});
  EXPECT_EQ(Value(0x03070001), 1u);
  EXPECT_EQ(Value(0x03070002), 1u);
}

TEST_F(Bios, TpxMode)
{
  Load(kStandardGroups);
  bool tpx = true;
  EXPECT_TRUE(ReadTpxMode(tpx));
  EXPECT_FALSE(tpx);
  // The attribute nibble is part of what identifies the item.
  Load(R"("0x0B": [{"id": "0x0B060002", "value": 1, "count": 2}, {"id": "0x0BF60001", "value": 1, "count": 2}])");
  tpx = false;
  EXPECT_FALSE(ReadTpxMode(tpx));
  EXPECT_FALSE(tpx);
  Load(R"("0x0B": [{"id": "0x0BF60002", "value": 1, "count": 2}, {"id": "0x0B060001", "value": 3, "count": 4}])");
  EXPECT_TRUE(ReadTpxMode(tpx));
  EXPECT_TRUE(tpx);
  Load(R"("0x0B": [{"id": "0x0B060001", "value": 0, "count": 2, "readable": false}])");
  EXPECT_FALSE(ReadTpxMode(tpx));
  EXPECT_TRUE(tpx);
  Load(R"("0x05": [])");
  tpx = false;
  EXPECT_FALSE(ReadTpxMode(tpx));
  EXPECT_FALSE(tpx);
}

// --- malformed BIOS data -----------------------------------------------------------------------------------

class Fuzz {
public:
  explicit Fuzz(uint32_t seed) : m_random(seed) {}

  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(m_random); }
  bool Chance(uint32_t percent) { return Below(100) < percent; }

  std::string Text()
  {
    std::string text;
    for (uint32_t i = Below(12); i > 0; --i)
      text += static_cast<char>('a' + Below(26));
    return "\"" + text + "\"";
  }

  std::string Number()
  {
    static const uint32_t edges[] = {0, 1, 2, 3, 7, 8, 0xFF, 0x10000, 0x10001, 0x7FFFFFFF, 0x80000000,
                                     0xFFFFFFFF, 0xFE000096, 0x7F000001, 0x80000001, 0x00FFFFFF, 0x00800000};
    switch (Below(3)) {
    case 0:
      return std::to_string(Below(12));
    case 1:
      return std::to_string(edges[Below(sizeof edges / sizeof edges[0])]);
    default:
      return std::to_string(static_cast<uint32_t>(m_random()));
    }
  }

  std::string Element() { return Chance(20) ? Text() : Number(); }

  // A descriptor of the shape `id`'s kind asks for, then often damaged: an element replaced, the list cut
  // short or lengthened, counts that disagree with what follows.
  std::string Descriptor(uint32_t id)
  {
    const uint32_t kind = (id >> 16) & 0xF;
    std::vector<std::string> elements{std::to_string(id), Number(), Number(), std::to_string(Below(9))};
    if (kind == 8) {
      const uint32_t texts = Below(6);
      elements.push_back(std::to_string(Chance(70) ? texts : Below(8)));
      for (uint32_t i = 0; i < texts; ++i)
        elements.push_back(Text());
    } else if (kind != 7) {
      elements.push_back(Number());
      elements.push_back(Number());
      elements.push_back(Chance(60) ? std::to_string(Below(40)) : Number());
      if (Chance(50)) {
        const uint32_t texts = Below(4);
        elements.push_back(std::to_string(Chance(70) ? texts : Below(6)));
        for (uint32_t i = 0; i < texts; ++i)
          elements.push_back(Text());
      }
    }
    if (Chance(30))
      elements[Below(static_cast<uint32_t>(elements.size()))] = Element();
    if (Chance(15))
      elements.resize(Below(static_cast<uint32_t>(elements.size())) + 1);
    if (Chance(10))
      elements.push_back(Element());
    std::string list = "[";
    for (size_t i = 0; i < elements.size(); ++i)
      list += (i ? ", " : "") + elements[i];
    return list + "]";
  }

  uint32_t Id(uint32_t group)
  {
    static const uint32_t kinds[] = {0, 1, 2, 3, 6, 7, 8, 12, 15};
    if (Chance(25))
      return (group << 24) | (group == 0 ? 0x60008 + Below(2) : 0x60001);
    return (group << 24) | (Below(16) << 20) | (kinds[Below(9)] << 16) | (Chance(50) ? 0 : Below(4));
  }

  std::string Layout()
  {
    static const uint32_t groups[] = {0x00, 0x03, 0x09, 0x0B, 0x0F};
    std::ostringstream json;
    json << R"({"info": [)";
    for (uint32_t i = Below(5); i > 0; --i)
      json << Element() << (i > 1 ? ", " : "");
    json << R"(], "groups": {)";
    bool firstGroup = true;
    for (uint32_t group : groups) {
      if (Chance(10))
        continue;
      std::vector<uint32_t> ids;
      std::string items;
      for (uint32_t i = Below(5); i > 0; --i) {
        const uint32_t id = Id(group);
        if (std::find(ids.begin(), ids.end(), id) != ids.end())
          continue;
        ids.push_back(id);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", id);
        items += std::string(items.empty() ? "" : ", ") + R"({"id": ")" + hex + R"(", "value": )" +
                 std::to_string(Below(9)) + R"(, "default": )" + std::to_string(Below(9)) +
                 (Chance(15) ? R"(, "readable": false)" : "") + R"(, "descriptor": )" + Descriptor(id) + "}";
      }
      char key[8];
      std::snprintf(key, sizeof key, "0x%02X", group);
      json << (firstGroup ? "" : ", ") << '"' << key << R"(": {"items": [)" << items << "]";
      if (Chance(30)) {
        json << R"(, "package": [)";
        for (uint32_t i = Below(6); i > 0; --i)
          json << (Chance(60) && !ids.empty() ? std::to_string(ids[Below(static_cast<uint32_t>(ids.size()))])
                                              : Element())
               << (i > 1 ? ", " : "");
        json << "]";
      }
      json << "}";
      firstGroup = false;
    }
    json << "}}";
    return json.str();
  }

  // Occasional lies from the element functions and failures of the others.
  void Answers()
  {
    static const uint32_t ordinals[] = {2, 3, 5, 6, 7, 9, 10, 11};
    for (uint32_t i = Chance(40) ? Below(3) + 1 : 0; i > 0; --i) {
      const uint32_t ordinal = ordinals[Below(8)];
      const uint32_t result = ordinal == 7 ? static_cast<uint32_t>(std::stoul(Number())) : Below(4);
      KoSimSetAnswer(ordinal, KOSIM_ANY_ARGUMENT, result, Chance(50) ? -1 : static_cast<int32_t>(Below(5) + 1));
    }
  }

private:
  std::mt19937 m_random;
};

void ExerciseEveryItem(DWORD group)
{
  GroupItemReader reader;
  if (!reader.Open(group))
    return;
  for (int steps = 0; !reader.IsEnd(); reader.Next(), ++steps) {
    ASSERT_LT(steps, 4096);
    if (!reader.HasItem())
      continue;
    auto item = reader.CreateItem();
    const uint32_t count = item->GetCount();
    ASSERT_LE(count, kMaxItemOptions);
    if (!item->IsValid()) {
      ASSERT_EQ(count, 0u);
    }
    item->GetDefault();
    item->IsFlagged();
    const bool number = dynamic_cast<BiosNumberItem*>(item.get()) != nullptr;
    for (uint32_t i = 0; i < count; ++i) {
      item->IndexToString(i);
      if (number) {
        int32_t numerator = 0, denominator = 1;
        item->IndexToRational(i, numerator, denominator);
        EXPECT_NE(denominator, 0);
        item->IndexToValue(i);
      }
    }
  }
}

TEST_F(Bios, MalformedDescriptorsAndPackagesEndCleanly)
{
  Fuzz fuzz(20240611);
  TThrowingAsserts throwing; // an assertion reached through the public functions fails the test
  TSysRecorder recorder;
  for (int round = 0; round < 200; ++round) {
    const std::string layout = fuzz.Layout();
    char error[512] = {};
    ASSERT_EQ(KoSimLoadLayout(layout.c_str(), error, sizeof error), 1) << error << "\n" << layout;
    KoSimClearAnswers();
    fuzz.Answers();
    SCOPED_TRACE(layout);

    IsStartupBlocked();
    HasLevelItem();
    HasCompanionItem();
    std::vector<std::string> names;
    DWORD level = 0;
    if (LoadLevelNames(names, level)) {
      EXPECT_FALSE(names.empty());
      EXPECT_LE(names.size(), kMaxItemOptions);
    }
    ReadLevel(level);
    bool flag = false;
    LevelNeedsRestart(level, flag);
    ReadTpxMode(flag);
    IsInfoCodeThree();
    ApplyLevel(fuzz.Chance(50) ? 0 : level);
    RestoreGroupDefaults();
    for (DWORD group : {0x00u, 0x03u, 0x09u, 0x0Bu, 0x0Fu})
      ExerciseEveryItem(group);
    KoSimClearCallLog();
  }
}

} // namespace
