#include "KoAcpiFixture.h"

#include "AcpiPackage.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

std::vector<std::string> g_debugLines;

LONG CALLBACK CaptureDebugPrint(EXCEPTION_POINTERS* pointers)
{
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2 &&
      record->ExceptionInformation[1])
    g_debugLines.emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
  return EXCEPTION_CONTINUE_SEARCH;
}

void AppendWord(std::vector<uint8_t>& bytes, uint32_t word)
{
  const auto* raw = reinterpret_cast<const uint8_t*>(&word);
  bytes.insert(bytes.end(), raw, raw + 4);
}

} // namespace

TDebugCapture::TDebugCapture() : m_handler(AddVectoredExceptionHandler(1, CaptureDebugPrint))
{
  g_debugLines.clear();
}

TDebugCapture::~TDebugCapture()
{
  RemoveVectoredExceptionHandler(m_handler);
}

const std::vector<std::string>& TDebugCapture::Lines() const
{
  return g_debugLines;
}

std::string TDebugCapture::All() const
{
  std::string all;
  for (const std::string& line : g_debugLines)
    all += line + "\n";
  return all;
}

std::string ReadFileBytes(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path)
{
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void KoAcpiTest::SetUp()
{
  // Both ways of naming the store point at this test's own file, so no test touches the one beside the DLL.
  SetEnvironmentVariableA("KOACPI_STORE", m_store.Path().c_str());
  ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
  KoSimClearAnswers();
  KoSimClearCallLog();
}

void KoAcpiTest::TearDown()
{
  KoSimClearAnswers();
  DeleteFileA((m_store.Path() + ".tmp").c_str());
}

bool KoAcpiTest::TryLoadLayout(const std::string& json, std::string& error)
{
  char text[1024] = {};
  const int done = KoSimLoadLayout(json.c_str(), text, sizeof text);
  error = text;
  return done == 1;
}

void KoAcpiTest::LoadLayout(const std::string& json)
{
  std::string error;
  ASSERT_TRUE(TryLoadLayout(json, error)) << error;
}

namespace {

// Asks for the size first, then for the text; the size reported includes the terminator.
std::string SizedText(int (*get)(char*, uint32_t*))
{
  uint32_t size = 0;
  get(nullptr, &size);
  std::string text(size, '\0');
  EXPECT_EQ(get(text.data(), &size), 1);
  text.resize(size ? size - 1 : 0);
  return text;
}

} // namespace

std::string KoAcpiTest::Layout()
{
  return SizedText(KoSimGetLayout);
}

std::string KoAcpiTest::CallLog()
{
  return SizedText(KoSimGetCallLog);
}

uint32_t KoAcpiTest::Value(uint32_t id)
{
  uint32_t value = 0xDEADBEEF;
  EXPECT_EQ(KoSimGetValue(id, &value), 1) << std::hex << id;
  return value;
}

std::vector<uint8_t> KoAcpiTest::Group(uint32_t group)
{
  std::vector<uint8_t> buffer(kAcpiBufferSize);
  DWORD size = kAcpiBufferSize;
  EXPECT_NE(AcpiGetGroup(group, buffer.data(), &size), 0u) << std::hex << group;
  buffer.resize(size);
  return buffer;
}

std::vector<uint8_t> KoAcpiTest::Descriptor(uint32_t id)
{
  std::vector<uint8_t> group = Group(id >> 24);
  for (void* element = AcpiFirstElement(group.data()); element; element = AcpiNextElement(element)) {
    void* data = AcpiElementData(element);
    if (!data || *static_cast<uint32_t*>(data) != id)
      continue;
    std::vector<uint8_t> descriptor(kAcpiBufferSize);
    DWORD size = kAcpiBufferSize;
    EXPECT_NE(AcpiGetItemInfo(data, descriptor.data(), &size), 0u);
    descriptor.resize(size);
    return descriptor;
  }
  ADD_FAILURE() << "no item " << std::hex << id;
  return {};
}

void* ElementAt(void* package, unsigned index)
{
  void* element = AcpiFirstElement(package);
  for (unsigned at = 0; at < index && element; ++at)
    element = AcpiNextElement(element);
  return element;
}

uint32_t IntAt(void* package, unsigned index)
{
  void* data = AcpiElementData(ElementAt(package, index));
  EXPECT_NE(data, nullptr) << "element " << index;
  uint32_t value = 0xDEADBEEF;
  if (data)
    std::memcpy(&value, data, 4);
  return value;
}

std::string TextAt(void* package, unsigned index)
{
  const void* data = AcpiElementData(ElementAt(package, index));
  EXPECT_NE(data, nullptr) << "element " << index;
  return data ? static_cast<const char*>(data) : "";
}

std::vector<uint32_t> IntegersOf(void* package)
{
  std::vector<uint32_t> values;
  for (void* element = AcpiFirstElement(package); element; element = AcpiNextElement(element)) {
    uint32_t value;
    std::memcpy(&value, AcpiElementData(element), 4);
    values.push_back(value);
  }
  return values;
}

std::vector<uint8_t> RawPackage(const std::vector<TRawElement>& elements)
{
  std::vector<uint8_t> bytes;
  AppendWord(bytes, kPackageMagic);
  AppendWord(bytes, 0);
  AppendWord(bytes, static_cast<uint32_t>(elements.size()));
  for (const TRawElement& element : elements) {
    const uint32_t offset = static_cast<uint32_t>(bytes.size());
    AppendWord(bytes, element.Type);
    AppendWord(bytes, static_cast<uint32_t>(element.Payload.size()));
    AppendWord(bytes, offset);
    bytes.insert(bytes.end(), element.Payload.begin(), element.Payload.end());
  }
  const uint32_t total = static_cast<uint32_t>(bytes.size());
  std::memcpy(bytes.data() + 4, &total, 4);
  return bytes;
}
