#include "KoAcpiFixture.h"

#include "AcpiPackage.h"

#include <cstring>
#include <functional>

namespace {

constexpr uint8_t kFill = 0xCC;

// A filling call into a buffer of `capacity` bytes with guard bytes behind it.
struct TFill {
  DWORD Result;
  DWORD Size;
  std::vector<uint8_t> Bytes; // capacity + guard, as left by the call
};

using TFillCall = std::function<DWORD(void* buffer, DWORD* size)>;

TFill Fill(const TFillCall& call, DWORD capacity)
{
  TFill fill{0, capacity, std::vector<uint8_t>(capacity + 64, kFill)};
  fill.Result = call(fill.Bytes.data(), &fill.Size);
  return fill;
}

bool Untouched(const std::vector<uint8_t>& bytes, size_t from)
{
  for (size_t at = from; at < bytes.size(); ++at)
    if (bytes[at] != kFill)
      return false;
  return true;
}

void ExpectSizeProtocol(const char* what, const TFillCall& call)
{
  SCOPED_TRACE(what);
  const TFill full = Fill(call, kAcpiBufferSize);
  ASSERT_NE(full.Result, 0u);
  const DWORD needed = full.Size;
  ASSERT_GT(needed, 0u);
  ASSERT_LT(needed, kAcpiBufferSize);
  EXPECT_TRUE(Untouched(full.Bytes, needed));

  const TFill exact = Fill(call, needed);
  EXPECT_NE(exact.Result, 0u);
  EXPECT_EQ(exact.Size, needed);
  EXPECT_TRUE(Untouched(exact.Bytes, needed));
  EXPECT_EQ(std::memcmp(exact.Bytes.data(), full.Bytes.data(), needed), 0);

  for (DWORD capacity : {needed - 1, DWORD(4), DWORD(0)}) {
    const TFill shortFill = Fill(call, capacity);
    EXPECT_EQ(shortFill.Result, 0u) << capacity;
    EXPECT_EQ(shortFill.Size, needed) << capacity;
    EXPECT_TRUE(Untouched(shortFill.Bytes, 0)) << capacity;
  }
}

} // namespace

TEST_F(KoAcpiTest, EveryFillingCallFitsExactlyAndFailsOneByteShortWithoutWriting)
{
  ExpectSizeProtocol("group", [](void* buffer, DWORD* size) { return AcpiGetGroup(0x0F, buffer, size); });
  ExpectSizeProtocol("info", [](void* buffer, DWORD* size) { return AcpiGetInfo(buffer, size); });
  std::vector<uint8_t> group = Group(0x0F);
  void* levelData = AcpiElementData(ElementAt(group.data(), 1));
  ExpectSizeProtocol("descriptor",
                     [&](void* buffer, DWORD* size) { return AcpiGetItemInfo(levelData, buffer, size); });
}

TEST_F(KoAcpiTest, NullBufferOrSizeFails)
{
  uint8_t buffer[kAcpiBufferSize];
  DWORD size = kAcpiBufferSize;
  EXPECT_EQ(AcpiGetGroup(0x0F, buffer, nullptr), 0u);
  EXPECT_EQ(AcpiGetInfo(buffer, nullptr), 0u);
  EXPECT_EQ(AcpiGetGroup(0x0F, nullptr, &size), 0u);
  EXPECT_EQ(AcpiGetInfo(nullptr, &size), 0u);
  std::vector<uint8_t> group = Group(0x0F);
  EXPECT_EQ(AcpiGetItemInfo(AcpiElementData(ElementAt(group.data(), 1)), nullptr, &size), 0u);
  EXPECT_EQ(AcpiGetItemInfo(AcpiElementData(ElementAt(group.data(), 1)), buffer, nullptr), 0u);
}

TEST_F(KoAcpiTest, AByteExactCopyOfAPackageIsWalkedLikeTheOriginal)
{
  std::vector<uint8_t> original = Group(0x0F);
  std::vector<uint8_t> copy(original);
  std::fill(original.begin(), original.end(), 0); // nothing may refer back to the bytes the DLL filled
  EXPECT_EQ(AcpiFirstElement(original.data()), nullptr);

  ASSERT_EQ(AcpiElementCount(copy.data()), 2u);
  EXPECT_EQ(IntegersOf(copy.data()), (std::vector<uint32_t>{0x0F070001, 0x0F080000}));
  std::vector<uint8_t> descriptor(kAcpiBufferSize);
  DWORD size = kAcpiBufferSize;
  ASSERT_NE(AcpiGetItemInfo(AcpiElementData(ElementAt(copy.data(), 1)), descriptor.data(), &size), 0u);
  std::vector<uint8_t> descriptorCopy(descriptor.begin(), descriptor.begin() + size);
  EXPECT_EQ(TextAt(descriptorCopy.data(), 9), "Maximum Performance");
}

TEST_F(KoAcpiTest, ElementFunctionsAnswerNullForAnythingButAnElement)
{
  std::vector<uint8_t> descriptor = Descriptor(0x0F080000);
  uint8_t* package = descriptor.data();
  void* first = AcpiFirstElement(package);
  ASSERT_NE(first, nullptr);
  char* text = static_cast<char*>(AcpiElementData(ElementAt(package, 5)));
  ASSERT_STREQ(text, "Standard");

  void* notElements[] = {nullptr, reinterpret_cast<void*>(0x1234), package, package + 4,
                         static_cast<uint8_t*>(first) + 4, text, text + 4};
  std::vector<uint8_t> out(kAcpiBufferSize, kFill);
  for (void* pointer : notElements) {
    EXPECT_EQ(AcpiElementData(pointer), nullptr) << pointer;
    EXPECT_EQ(AcpiNextElement(pointer), nullptr) << pointer;
    DWORD size = kAcpiBufferSize;
    EXPECT_EQ(AcpiGetItemInfo(pointer, out.data(), &size), 0u) << pointer;
  }
  for (void* pointer : {static_cast<void*>(nullptr), reinterpret_cast<void*>(0x1234), static_cast<void*>(text)}) {
    EXPECT_EQ(AcpiFirstElement(pointer), nullptr) << pointer;
    EXPECT_EQ(AcpiElementCount(pointer), 0u) << pointer;
  }
  EXPECT_EQ(AcpiNextElement(ElementAt(package, 9)), nullptr) << "after the last element";

  // The data of a text element is no item id.
  DWORD size = kAcpiBufferSize;
  EXPECT_EQ(AcpiGetItemInfo(text, out.data(), &size), 0u);
  EXPECT_EQ(size, kAcpiBufferSize);
  EXPECT_TRUE(Untouched(out, 0));
}

TEST_F(KoAcpiTest, PackagesInMemoryThatIsGoneOrNoLongerReadableGiveNull)
{
  const std::vector<uint8_t> group = Group(0x0F);
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const DWORD page = system.dwPageSize;

  // A package whose bytes end at a page boundary, followed by an inaccessible page.
  auto* memory = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(memory, nullptr);
  DWORD oldProtection;
  ASSERT_TRUE(VirtualProtect(memory + page, page, PAGE_NOACCESS, &oldProtection));
  uint8_t* package = memory + page - group.size();
  std::memcpy(package, group.data(), group.size());
  void* last = ElementAt(package, 1);
  void* data = AcpiElementData(last);
  ASSERT_NE(data, nullptr);

  // Claiming one byte more than there is reaches into the inaccessible page.
  const uint32_t total = static_cast<uint32_t>(group.size()) + 1;
  std::memcpy(package + 4, &total, 4);
  EXPECT_EQ(AcpiElementCount(package), 0u);
  EXPECT_EQ(AcpiElementData(last), nullptr);
  std::memcpy(package + 4, group.data() + 4, 4);
  EXPECT_EQ(AcpiElementCount(package), 2u);

  ASSERT_TRUE(VirtualProtect(memory, page, PAGE_NOACCESS, &oldProtection));
  EXPECT_EQ(AcpiElementCount(package), 0u);
  EXPECT_EQ(AcpiElementData(last), nullptr);
  EXPECT_EQ(AcpiNextElement(AcpiFirstElement(package)), nullptr);

  ASSERT_TRUE(VirtualFree(memory, 0, MEM_RELEASE));
  EXPECT_EQ(AcpiFirstElement(package), nullptr);
  EXPECT_EQ(AcpiElementData(last), nullptr);
  std::vector<uint8_t> out(kAcpiBufferSize);
  DWORD size = kAcpiBufferSize;
  EXPECT_EQ(AcpiGetItemInfo(data, out.data(), &size), 0u);
}

TEST_F(KoAcpiTest, MalformedPackagesAreRejectedWhole)
{
  const std::string one("\x01\0\0\0", 4);
  const std::vector<uint8_t> good = RawPackage({{kElementInteger, one}, {kElementText, std::string("ab\0\0", 4)}});
  std::vector<uint8_t> copy = good;
  ASSERT_EQ(AcpiElementCount(copy.data()), 2u);

  std::vector<std::vector<uint8_t>> bad = {
      RawPackage({{kElementInteger, one}, {kElementText, "abcd"}}),       // text without terminator
      RawPackage({{kElementInteger, "\x01\0"}}),                          // payload below 4 bytes
      RawPackage({{7, one}}),                                             // unknown element type
      RawPackage({{kElementInteger, std::string("\x01\0\0\0\0\0\0\0", 8)}}), // integer of 8 bytes
  };
  std::vector<uint8_t> wrongMagic = good;
  wrongMagic[0] ^= 1;
  bad.push_back(wrongMagic);
  std::vector<uint8_t> wrongCount = good;
  wrongCount[8] = 3;
  bad.push_back(wrongCount);
  std::vector<uint8_t> wrongBackOffset = good;
  wrongBackOffset[kPackageHeaderSize + 8] += 4;
  bad.push_back(wrongBackOffset);
  std::vector<uint8_t> elementTooLong = good;
  elementTooLong[kPackageHeaderSize + kElementHeaderSize + 4 + 4] = 8;
  bad.push_back(elementTooLong);

  for (size_t index = 0; index < bad.size(); ++index) {
    uint8_t* package = bad[index].data();
    EXPECT_EQ(AcpiElementCount(package), 0u) << index;
    EXPECT_EQ(AcpiFirstElement(package), nullptr) << index;
    EXPECT_EQ(AcpiElementData(package + kPackageHeaderSize), nullptr) << index;
  }
}

TEST_F(KoAcpiTest, TextDataCanBeReadFourBytesAtATimeWithinThePackage)
{
  LoadLayout(R"({"groups": {"0x0F": [{"id": "0x0F080000", "options": ["Boost", "", "A"]}]}})");
  std::vector<uint8_t> descriptor = Descriptor(0x0F080000);
  const uint8_t* end = descriptor.data() + descriptor.size();
  for (unsigned index : {5u, 6u, 7u}) {
    const auto* data = static_cast<const uint8_t*>(AcpiElementData(ElementAt(descriptor.data(), index)));
    ASSERT_NE(data, nullptr);
    EXPECT_LE(data + 4, end) << index;
  }
  EXPECT_EQ(TextAt(descriptor.data(), 6), "");
  EXPECT_EQ(TextAt(descriptor.data(), 7), "A");
}
