#include "SysUtils.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

bool HasR(const char* commandLine)
{
  return FindCmdLineSwitch(SplitCommandLine(commandLine), "r");
}

} // namespace

TEST(CmdLineSwitch, MinusAndTheLetterInEitherCaseMatch)
{
  EXPECT_TRUE(HasR("prog.exe -r"));
  EXPECT_TRUE(HasR("prog.exe -R"));
  EXPECT_TRUE(HasR("\"C:\\Program Files\\prog.exe\" -x -r"));
}

TEST(CmdLineSwitch, OtherSpellingsDoNotMatch)
{
  EXPECT_FALSE(HasR("prog.exe"));
  EXPECT_FALSE(HasR("prog.exe /r"));
  EXPECT_FALSE(HasR("prog.exe --r"));
  EXPECT_FALSE(HasR("prog.exe -rx"));
  EXPECT_FALSE(HasR("prog.exe r"));
  EXPECT_FALSE(HasR("prog.exe -"));
  // Parameter 0 is the program itself, never a switch.
  EXPECT_FALSE(HasR("-r"));
}

TEST(CmdLineSwitch, CaseAndSwitchCharactersCanBeChosen)
{
  const auto params = SplitCommandLine("p /R");
  EXPECT_TRUE(FindCmdLineSwitch(params, "r", "-/", true));
  EXPECT_FALSE(FindCmdLineSwitch(params, "r", "-/", false));
}

TEST(SplitCommandLine, QuotesGroupAndAreRemoved)
{
  EXPECT_EQ(SplitCommandLine("  a  \"b c\" d\"e f\"g  "), (std::vector<std::string>{"a", "b c", "de fg"}));
  EXPECT_TRUE(SplitCommandLine("").empty());
  EXPECT_TRUE(SplitCommandLine(nullptr).empty());
}

TEST(SysUtils, FormatAndPathHelpers)
{
  EXPECT_EQ(Format("Item[%x] of %s", 0x60008u, "x"), "Item[60008] of x");
  EXPECT_EQ(Format("%s", std::string(1000, 'a').c_str()).size(), 1000u);
  EXPECT_EQ(ExtractFilePath("C:\\app\\x.exe"), "C:\\app\\");
  EXPECT_EQ(ExtractFileName("C:\\app\\x.exe"), "x.exe");
  EXPECT_EQ(ExtractFileName("x.exe"), "x.exe");
  EXPECT_EQ(ExtractFilePath("x.exe"), "");
  EXPECT_EQ(ExtractFileName(ApplicationExeName()), "GuiTests.exe");
}

TEST(SysUtils, ErrorsCarryTheirMessages)
{
  EXPECT_EQ(EListError(5).Message(), "List index out of bounds (5)");
  EXPECT_STREQ(EInvalidCast().what(), "Invalid class typecast");
  EXPECT_EQ(EFOpenError("C:\\x.png").Message(), "Cannot open file C:\\x.png");
}

TEST(SysUtils, CheckedCharacterAccessRaisesTheRangeError)
{
  const struct {
    const char* Text;
    size_t Index;
    char Expected;  // 0: out of range
  } cases[] = {
      {"C:\\skins", 0, 'C'}, {"C:\\skins\\", 8, '\\'}, {"C:", 1, ':'},    {"a", 0, 'a'},
      {"a", 1, 0},           {"", 0, 0},              {"abc", 3, 0},     {"abc", static_cast<size_t>(-1), 0},
  };
  for (const auto& test : cases) {
    if (test.Expected) {
      EXPECT_EQ(CharAt(test.Text, test.Index), test.Expected) << test.Text << " " << test.Index;
    } else {
      EXPECT_THROW(CharAt(test.Text, test.Index), ERangeError) << test.Text << " " << test.Index;
    }
  }
  EXPECT_EQ(LastChar("C:\\skins\\"), '\\');
  EXPECT_EQ(LastChar("C:"), ':');
  EXPECT_EQ(LastChar("x"), 'x');
  try {
    LastChar("");
    ADD_FAILURE() << "an empty text has a last character";
  } catch (const Exception& error) {  // one of the library's errors, as the error box expects
    EXPECT_NE(dynamic_cast<const ERangeError*>(&error), nullptr);
    EXPECT_EQ(error.Message(), "String index out of range (index -1, length 0)");
  }
  try {
    CharAt("abc", 7);
    ADD_FAILURE() << "no error";
  } catch (const ERangeError& error) {
    EXPECT_EQ(error.Message(), "String index out of range (index 7, length 3)");
  }
  EXPECT_STREQ(ERangeError().what(), "Range check error");
}
