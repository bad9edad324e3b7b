#include "KoAcpiFixture.h"

#include <cstdlib>

namespace {

// The backups a damaged store leaves, removed with the test.
struct TBackups {
  explicit TBackups(const std::string& store) : Store(store) {}
  ~TBackups()
  {
    for (const char* suffix : {".bad", ".bad.1", ".bad.2"})
      DeleteFileA((Store + suffix).c_str());
  }
  std::string Store;
};

std::string StorePath()
{
  char path[MAX_PATH * 4] = {};
  uint32_t size = sizeof path;
  EXPECT_EQ(KoSimStorePath(path, &size), 1);
  return path;
}

} // namespace

TEST_F(KoAcpiTest, WrittenValuesAndLoadedLayoutsSurviveAReload)
{
  ASSERT_EQ(AcpiSetItem(0x0F080000, 4, 1), 3u);
  ASSERT_EQ(AcpiSetItem(0x09000000, 1, 1), 1u);
  ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
  EXPECT_EQ(Value(0x0F080000), 4u);
  EXPECT_EQ(Value(0x09000000), 1u);

  LoadLayout(R"({"groups": {"0x0F": [{"id": "0x0F080000", "value": 1, "options": ["Low", "High"]}]}})");
  ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
  EXPECT_EQ(TextAt(Descriptor(0x0F080000).data(), 6), "High");
  EXPECT_EQ(Value(0x0F080000), 1u);
}

TEST_F(KoAcpiTest, TheStoreComesFromTheEnvironmentAndAMissingOneIsCreatedByTheFirstWrite)
{
  TTempFile other(".json");
  SetEnvironmentVariableA("KOACPI_STORE", other.Path().c_str());
  ASSERT_EQ(KoSimUseStore(nullptr), 1);
  EXPECT_EQ(StorePath(), other.Path());
  EXPECT_EQ(Value(0x0F080000), 2u);
  EXPECT_FALSE(FileExists(other.Path()));
  ASSERT_EQ(AcpiSetItem(0x0F080000, 3, 1), 1u);
  EXPECT_TRUE(FileExists(other.Path()));
  EXPECT_FALSE(FileExists(m_store.Path()));

  char tiny[4];
  uint32_t size = sizeof tiny;
  EXPECT_EQ(KoSimStorePath(tiny, &size), 0);
  EXPECT_EQ(size, other.Path().size() + 1);
}

TEST_F(KoAcpiTest, ADamagedStoreIsKeptAsBackupAndReplacedByTheDefaultLayout)
{
  TBackups backups(m_store.Path());
  const std::string garbage("{\"groups\": \x01\xff broken", 20);
  WriteFileBytes(m_store.Path(), garbage);
  {
    TDebugCapture debug;
    ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
    ASSERT_EQ(debug.Lines().size(), 1u);
    const std::string& line = debug.Lines()[0];
    EXPECT_NE(line.find(m_store.Path()), std::string::npos) << line;
    EXPECT_NE(line.find("damaged"), std::string::npos) << line;
    EXPECT_NE(line.find("not valid JSON"), std::string::npos) << line;
    EXPECT_NE(line.find(m_store.Path() + ".bad"), std::string::npos) << line;
  }
  EXPECT_EQ(ReadFileBytes(m_store.Path() + ".bad"), garbage);
  EXPECT_EQ(Value(0x0F080000), 2u);
  EXPECT_NE(ReadFileBytes(m_store.Path()).find("Maximum Performance"), std::string::npos);

  // A second damage never overwrites the first backup.
  const std::string invalid = R"({"groups": {"0x0F": [{"id": "0x0F080000", "valeu": 1}]}})";
  WriteFileBytes(m_store.Path(), invalid);
  {
    TDebugCapture debug;
    ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
    EXPECT_NE(debug.All().find("unknown key \"valeu\""), std::string::npos) << debug.All();
  }
  EXPECT_EQ(ReadFileBytes(m_store.Path() + ".bad"), garbage);
  EXPECT_EQ(ReadFileBytes(m_store.Path() + ".bad.1"), invalid);
}

// Runs in a fresh process, where nothing has called the DLL yet: the first call reads the store that the
// environment names, set only after the DLL was loaded. Answers which check failed.
int FirstCallReadsTheStoreNamedByTheEnvironment()
{
  TTempFile store(".json");
  TBackups backups(store.Path());
  WriteFileBytes(store.Path(), "not json");
  SetEnvironmentVariableA("KOACPI_STORE", store.Path().c_str());
  TDebugCapture debug;
  DWORD value = 0;
  if (AcpiInit() != 1)
    return 1;
  if (AcpiGetItem(0x0F080000, &value) != 1 || value != 2)
    return 2;
  if (ReadFileBytes(store.Path() + ".bad") != "not json")
    return 3;
  if (debug.Lines().size() != 1 || debug.Lines()[0].find(store.Path()) == std::string::npos)
    return 4;
  return 0;
}

TEST(KoAcpiFirstCall, ReadsTheStoreNamedByTheEnvironment)
{
  EXPECT_EXIT(
      {
        const int failure = FirstCallReadsTheStoreNamedByTheEnvironment();
        std::exit(failure);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(KoAcpiTest, AWriteThatCannotBeSavedIsRefusedAndChangesNothing)
{
  const std::string unreachable = m_store.Path() + ".missing-folder\\store.json";
  ASSERT_EQ(KoSimUseStore(unreachable.c_str()), 1);
  TDebugCapture debug;
  EXPECT_EQ(AcpiSetItem(0x0F080000, 3, 1), 0u);
  EXPECT_EQ(Value(0x0F080000), 2u);
  EXPECT_NE(debug.All().find("refused"), std::string::npos) << debug.All();
  EXPECT_EQ(AcpiSetItem(0x0F080000, 3, 0), 1u) << "a probe needs no store";
  EXPECT_EQ(KoSimLoadLayout(R"({"groups": {}})", nullptr, 0), 0);
  EXPECT_EQ(Value(0x0F080000), 2u);
}
