#include "BiosInterface.h"

#include "Assertion.h"
#include "SysApi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// Bits of an item id: group (31-24), attribute nibble (23-20), kind (19-16), index in the group (15-0).
constexpr DWORD ItemGroup(DWORD id) { return id >> 24; }
constexpr DWORD ItemAttribute(DWORD id) { return (id >> 20) & 0xF; }
constexpr DWORD ItemKind(DWORD id) { return (id >> 16) & 0xF; }
constexpr DWORD ItemIndex(DWORD id) { return id & 0xFFFF; }

constexpr DWORD kStringItemKind = 8;
constexpr DWORD kBooleanItemKind = 7;

constexpr DWORD kLevelGroup = 0x0F;
constexpr DWORD kCompanionGroup = 0x09;
constexpr DWORD kTpxGroup = 0x0B;
constexpr DWORD kDefaultsGroup = 0x03;
constexpr DWORD kTpxItem = 0x60001;
constexpr DWORD kGuardItems[] = {0x60008, 0x60009};
constexpr DWORD kGuardBit = 0x4;
constexpr std::uint32_t kCompanionMinOptions = 7;

// A package cannot hold more elements than its buffer has bytes; a larger count is a lie that would
// send a walk through memory that is not the package.
std::uint32_t ClampCount(DWORD count, DWORD bytes)
{
  return std::min<DWORD>(count, bytes);
}

ACPI_ELEMENT NextOf(ACPI_ELEMENT element)
{
  return element ? AcpiNextElement(element) : nullptr;
}

// A 32-bit element value, read only when it lies wholly inside [begin, begin + size).
bool ReadValueIn(ACPI_ELEMENT element, const BYTE* begin, std::size_t size, DWORD& value)
{
  if (!element)
    return false;
  const BYTE* data = static_cast<const BYTE*>(AcpiElementData(element));
  if (!data || data < begin || size < sizeof(DWORD) || data > begin + (size - sizeof(DWORD)))
    return false;
  std::memcpy(&value, data, sizeof value);
  return true;
}

// The first element of a descriptor package: the item id.
bool ReadFirstValue(BYTE* buffer, DWORD size, DWORD& value)
{
  return ReadValueIn(AcpiFirstElement(buffer), buffer, std::min(size, kAcpiBufferSize), value);
}

std::int64_t SignExtend24(DWORD word)
{
  const std::int64_t low = word & 0xFFFFFF;
  return (low & 0x800000) ? low - 0x1000000 : low;
}

// Kinds 1, 2, 3 and 12 store their numbers in smaller units than the exponent byte says.
int KindExponentShift(DWORD kind)
{
  switch (kind) {
  case 1:
    return 2;
  case 2:
  case 12:
    return 3;
  case 3:
    return 4;
  default:
    return 0;
  }
}

int TrailingDecimalZeros(std::int64_t x)
{
  std::uint64_t magnitude = x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
  int zeros = 0;
  while (magnitude > 0 && magnitude % 10 == 0) {
    magnitude /= 10;
    ++zeros;
  }
  return zeros;
}

long double PowerOfTen(int exponent)
{
  long double result = 1.0L;
  for (int i = 0; i < exponent; ++i)
    result *= 10.0L;
  return result;
}

std::int32_t Saturate32(long double value)
{
  if (value >= static_cast<long double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (value <= static_cast<long double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

void ShowBox(const char* text, const char* caption)
{
  SysApi().MessageBoxA(nullptr, text, caption, MB_OK);
}

bool IsFirstOfGroup(DWORD id)
{
  return ItemIndex(id) == 0;
}

// Moves the reader to the first item that `wanted` selects; elements without a descriptor match nothing.
template <class Selector>
bool FindItem(GroupItemReader& reader, Selector wanted)
{
  while (!reader.IsEnd()) {
    if (reader.HasItem() && wanted(reader.ItemId()))
      return true;
    reader.Next();
  }
  return false;
}

// Whether the group of `id` holds an item with exactly this id.
bool ItemExists(DWORD id)
{
  GroupInfoTraverser traverser(ItemGroup(id));
  std::vector<BYTE> descriptor(kAcpiBufferSize);
  for (; !traverser.IsEnd(); traverser.Next()) {
    void* data = traverser.Current();
    if (!data)
      continue;
    DWORD size = kAcpiBufferSize;
    DWORD first = 0;
    if (AcpiGetItemInfo(data, descriptor.data(), &size) && ReadFirstValue(descriptor.data(), size, first) &&
        first == id)
      return true;
  }
  return false;
}

bool ReadItem(DWORD id, DWORD& value)
{
  DWORD read = 0;
  if (!(AcpiGetItem(id, &read) & 1))
    return false;
  value = read;
  return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// GroupInfoTraverser

GroupInfoTraverser::GroupInfoTraverser() : m_current(nullptr), m_index(0), m_count(0) {}

GroupInfoTraverser::GroupInfoTraverser(DWORD group) : GroupInfoTraverser()
{
  // A group that cannot be read is simply empty to the walk.
  Open(group);
}

GroupInfoTraverser::~GroupInfoTraverser()
{
  Close();
}

bool GroupInfoTraverser::Open(DWORD group)
{
  KO_ASSERT(!IsOpen());
  if (!m_buffer)
    m_buffer = std::make_unique<BYTE[]>(kAcpiBufferSize);
  DWORD size = kAcpiBufferSize;
  m_index = 0;
  m_count = 0;
  m_current = nullptr;
  if (!AcpiGetGroup(group, m_buffer.get(), &size))
    return false;
  m_count = static_cast<std::int32_t>(ClampCount(AcpiElementCount(m_buffer.get()), kAcpiBufferSize));
  m_current = AcpiFirstElement(m_buffer.get());
  if (!m_current)
    m_count = 0;
  return true;
}

void GroupInfoTraverser::Next()
{
  if (m_index < m_count)
    ++m_index;
  if (m_index < m_count) {
    ACPI_ELEMENT next = AcpiNextElement(m_current);
    if (next)
      m_current = next;
    else
      m_count = m_index; // the package ended before its count: the walk ends here
  }
}

void* GroupInfoTraverser::Current() const
{
  return m_current ? AcpiElementData(m_current) : nullptr;
}

void GroupInfoTraverser::Close()
{
  m_buffer.reset();
  m_current = nullptr;
  m_index = 0;
  m_count = 0;
}

// ---------------------------------------------------------------------------------------------------------
// GroupItemReader

GroupItemReader::GroupItemReader()
    : m_traverser(std::make_unique<GroupInfoTraverser>()), m_descriptorSize(0), m_itemId(0), m_hasItem(false)
{
}

GroupItemReader::~GroupItemReader()
{
  Close();
}

bool GroupItemReader::Open(DWORD group)
{
  KO_ASSERT(!IsOpen());
  if (!m_traverser->Open(group)) {
    Close();
    return false;
  }
  if (!m_descriptor)
    m_descriptor = std::make_unique<BYTE[]>(kAcpiBufferSize);
  FetchDescriptor();
  return true;
}

void GroupItemReader::Next()
{
  m_traverser->Next();
  FetchDescriptor();
}

void GroupItemReader::Close()
{
  m_traverser->Close();
  m_descriptor.reset();
  m_descriptorSize = 0;
  m_itemId = 0;
  m_hasItem = false;
}

void GroupItemReader::FetchDescriptor()
{
  m_hasItem = false;
  m_itemId = 0;
  m_descriptorSize = 0;
  if (!m_descriptor)
    return;
  void* data = m_traverser->Current();
  if (!data)
    return;
  DWORD size = kAcpiBufferSize;
  if (!AcpiGetItemInfo(data, m_descriptor.get(), &size))
    return;
  // Never trust a size beyond the buffer we offered.
  m_descriptorSize = std::min(size, kAcpiBufferSize);
  m_hasItem = ReadFirstValue(m_descriptor.get(), m_descriptorSize, m_itemId);
}

std::unique_ptr<BiosItem> GroupItemReader::CreateItem() const
{
  std::unique_ptr<BiosItem> item;
  switch (ItemKind(m_itemId)) {
  case kStringItemKind:
    item = std::make_unique<BiosStringItem>();
    break;
  case kBooleanItemKind:
    item = std::make_unique<BiosBooleanItem>();
    break;
  default:
    item = std::make_unique<BiosNumberItem>();
    break;
  }
  // An item that does not parse is still handed out: it reports no options.
  item->Init(m_descriptor.get(), m_hasItem ? m_descriptorSize : 0);
  return item;
}

// ---------------------------------------------------------------------------------------------------------
// BiosItem

BiosItem::BiosItem() : m_size(0), m_id(0), m_valid(false) {}

BiosItem::~BiosItem() = default;

bool BiosItem::Init(const void* data, DWORD size)
{
  m_valid = false;
  m_id = 0;
  m_size = size;
  const BYTE* bytes = static_cast<const BYTE*>(data);
  if (bytes && size > 0)
    m_descriptor.assign(bytes, bytes + size);
  else
    m_descriptor.clear();
  if (m_descriptor.empty())
    return false;

  BYTE* copy = m_descriptor.data();
  const std::uint32_t n = ClampCount(AcpiElementCount(copy), m_size);
  if (n < 3)
    return false;
  ACPI_ELEMENT first = AcpiFirstElement(copy);
  if (!ElementValue(first, m_id))
    return false;
  ACPI_ELEMENT cursor = AcpiNextElement(first);
  std::uint32_t remaining = n - 1;
  m_valid = Parse(cursor, remaining);
  return m_valid;
}

std::uint32_t BiosItem::GetCount() const
{
  return 0;
}

bool BiosItem::IsFlagged() const
{
  return ItemAttribute(m_id) == 8;
}

void BiosItem::IndexToRational(std::uint32_t, std::int32_t&, std::int32_t&)
{
  ShowUnsupported("IndexToRational");
}

long double BiosItem::IndexToValue(std::uint32_t)
{
  ShowUnsupported("IndexToValue");
  return 0.0L;
}

std::string BiosItem::IndexToString(std::uint32_t)
{
  ShowUnsupported("IndexToString");
  return std::string();
}

bool BiosItem::Parse(ACPI_ELEMENT& cursor, std::uint32_t& remaining)
{
  // Elements 1 and 2 are not ours to interpret.
  if (remaining < 2 || !cursor)
    return false;
  cursor = NextOf(NextOf(cursor));
  remaining -= 2;
  // Every parsed item must be able to answer its default.
  DWORD defaultValue = 0;
  return remaining == 0 || ElementValue(cursor, defaultValue);
}

bool BiosItem::ElementValue(ACPI_ELEMENT element, DWORD& value) const
{
  return ReadValueIn(element, m_descriptor.data(), m_descriptor.size(), value);
}

bool BiosItem::ElementText(ACPI_ELEMENT element, const char*& text) const
{
  if (!element)
    return false;
  const BYTE* data = static_cast<const BYTE*>(AcpiElementData(element));
  const BYTE* begin = m_descriptor.data();
  if (!data || data < begin || data >= begin + m_descriptor.size())
    return false;
  text = reinterpret_cast<const char*>(data);
  return true;
}

bool BiosItem::DescriptorValue(std::uint32_t position, DWORD& value) const
{
  // Only a parsed descriptor is known to hold the element.
  if (!m_valid)
    return false;
  ACPI_ELEMENT element = AcpiFirstElement(const_cast<BYTE*>(m_descriptor.data()));
  for (std::uint32_t i = 0; i < position && element; ++i)
    element = AcpiNextElement(element);
  return ElementValue(element, value);
}

std::string BiosItem::TextAt(const char* text) const
{
  const char* end = reinterpret_cast<const char*>(m_descriptor.data() + m_descriptor.size());
  return std::string(text, std::find(text, end, '\0'));
}

void BiosItem::ShowUnsupported(const char* operation) const
{
  char text[96];
  std::snprintf(text, sizeof text, "Item[%x] does not supports %s", static_cast<unsigned>(m_id), operation);
  ShowBox(text, "BiosItem");
}

// ---------------------------------------------------------------------------------------------------------
// BiosNumberItem

BiosNumberItem::BiosNumberItem() : m_count(0), m_step(0), m_base(0) {}

std::uint32_t BiosNumberItem::GetCount() const
{
  return IsValid() ? m_count : 0;
}

DWORD BiosNumberItem::GetDefault() const
{
  DWORD value = 0;
  DescriptorValue(3, value);
  return value;
}

bool BiosNumberItem::Parse(ACPI_ELEMENT& cursor, std::uint32_t& remaining)
{
  m_exStrs.clear();
  m_count = 0;
  m_step = 0;
  m_base = 0;
  if (!BiosItem::Parse(cursor, remaining) || remaining < 4)
    return false;
  DWORD count = 0;
  cursor = NextOf(cursor);
  if (!ElementValue(cursor, m_base))
    return false;
  cursor = NextOf(cursor);
  if (!ElementValue(cursor, m_step))
    return false;
  cursor = NextOf(cursor);
  if (!ElementValue(cursor, count))
    return false;
  m_count = count;
  cursor = NextOf(cursor);
  remaining -= 4;
  if (m_count > kMaxItemOptions)
    return false;
  if (remaining == 0)
    return true;

  if (remaining < 2)
    return false;
  DWORD extras = 0;
  if (!ElementValue(cursor, extras) || extras == 0 || extras > remaining - 1)
    return false;
  std::vector<const char*> texts;
  for (DWORD i = 0; i < extras; ++i) {
    cursor = NextOf(cursor);
    const char* text = nullptr;
    if (!ElementText(cursor, text))
      return false;
    texts.push_back(text);
  }
  if (m_count + extras > kMaxItemOptions)
    return false;
  m_exStrs = std::move(texts);
  m_count += extras;
  return true;
}

std::int64_t BiosNumberItem::RawValue(std::int64_t k) const
{
  // Exact in 64 bits for every 32-bit index: |k| < 2^32 and |step| < 2^23.
  return SignExtend24(m_base) + k * SignExtend24(m_step);
}

int BiosNumberItem::Exponent() const
{
  return static_cast<int>(static_cast<std::int8_t>(m_base >> 24)) - KindExponentShift(ItemKind(m_id));
}

std::int64_t BiosNumberItem::Offset(std::uint32_t index) const
{
  return static_cast<std::int64_t>(index) - static_cast<std::int64_t>(m_exStrs.size());
}

void BiosNumberItem::IndexToRational(std::uint32_t index, std::int32_t& numerator, std::int32_t& denominator)
{
  if (index < m_exStrs.size())
    ShowBox("Can not convert extra string to value", "IndexToRational Fail");
  const long double raw = static_cast<long double>(RawValue(Offset(index)));
  const int e = Exponent();
  // Numbers beyond 32 bits cannot be told exactly; they saturate rather than wrap.
  if (e >= 0) {
    numerator = Saturate32(raw * PowerOfTen(e));
    denominator = 1;
  } else {
    numerator = Saturate32(raw);
    denominator = Saturate32(PowerOfTen(-e));
  }
}

long double BiosNumberItem::IndexToValue(std::uint32_t index)
{
  if (index < m_exStrs.size())
    ShowBox("Can not convert extra string to value", "IndexToValue Fail");
  const long double raw = static_cast<long double>(RawValue(Offset(index)));
  const int e = Exponent();
  return e >= 0 ? raw * PowerOfTen(e) : raw / PowerOfTen(-e);
}

std::string BiosNumberItem::IndexToString(std::uint32_t index)
{
  if (index < m_exStrs.size())
    return TextAt(m_exStrs[index]);

  const std::int64_t raw = RawValue(Offset(index));
  const DWORD kind = ItemKind(m_id);
  const auto exponentByte = static_cast<std::int8_t>(m_base >> 24);
  const auto magnitude = static_cast<std::uint8_t>(exponentByte < 0 ? -exponentByte : exponentByte);
  auto decimals = static_cast<std::uint8_t>(magnitude + KindExponentShift(kind));
  const int zeros =
      std::min(TrailingDecimalZeros(SignExtend24(m_base)), TrailingDecimalZeros(SignExtend24(m_step)));
  decimals = decimals > zeros ? static_cast<std::uint8_t>(decimals - zeros) : 0;

  int point = 0;
  bool negative = false;
  std::string text = FcvtDigits(raw, Exponent(), decimals, point, negative);
  if (point <= 0) {
    text.insert(0, static_cast<std::size_t>(1 - point), '0');
    text.insert(text.begin() + 1, '.');
  } else if (static_cast<std::size_t>(point) < text.size()) {
    text.insert(text.begin() + point, '.');
  }
  if (negative)
    text.insert(text.begin(), '-');
  return text;
}

// ---------------------------------------------------------------------------------------------------------
// BiosBooleanItem

std::uint32_t BiosBooleanItem::GetCount() const
{
  return 0;
}

DWORD BiosBooleanItem::GetDefault() const
{
  DWORD value = 0;
  DescriptorValue(3, value);
  return value;
}

bool BiosBooleanItem::Parse(ACPI_ELEMENT& cursor, std::uint32_t& remaining)
{
  return BiosItem::Parse(cursor, remaining) && remaining >= 1;
}

// ---------------------------------------------------------------------------------------------------------
// BiosStringItem

BiosStringItem::BiosStringItem() : m_count(0) {}

std::uint32_t BiosStringItem::GetCount() const
{
  // The declared count may exceed the texts actually present; only those can be offered.
  if (!IsValid())
    return 0;
  return std::min<std::uint32_t>(m_count, static_cast<std::uint32_t>(m_strs.size()));
}

DWORD BiosStringItem::GetDefault() const
{
  DWORD value = 0;
  DescriptorValue(3, value);
  return value;
}

bool BiosStringItem::Parse(ACPI_ELEMENT& cursor, std::uint32_t& remaining)
{
  m_strs.clear();
  m_count = 0;
  if (!BiosItem::Parse(cursor, remaining) || remaining < 3)
    return false;
  cursor = NextOf(cursor);
  DWORD count = 0;
  if (!ElementValue(cursor, count))
    return false;
  m_count = count;
  cursor = NextOf(cursor);
  remaining -= 2;
  if (m_count == 0 || m_count > remaining)
    return false;
  std::vector<const char*> texts;
  for (std::uint32_t i = 0; i < m_count; ++i) {
    if (i > 0)
      cursor = NextOf(cursor);
    const char* text = nullptr;
    if (!ElementText(cursor, text))
      return false;
    texts.push_back(text);
  }
  m_strs = std::move(texts);
  return true;
}

std::string BiosStringItem::IndexToString(std::uint32_t index)
{
  KO_ASSERT(index < m_strs.size());
  if (index >= m_strs.size())
    return std::string();
  return TextAt(m_strs[index]);
}

// ---------------------------------------------------------------------------------------------------------
// Decimal conversion

std::string FcvtDigits(std::int64_t mantissa, int scale, unsigned decimals, int& point, bool& negative)
{
  negative = mantissa < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(mantissa) : static_cast<std::uint64_t>(mantissa);

  std::string digits = magnitude == 0 ? std::string() : std::to_string(magnitude);
  // The value is digits * 10^(point - digits.size()).
  long long position = static_cast<long long>(digits.size()) + scale;
  const long long keep = position + static_cast<long long>(decimals);

  if (!digits.empty()) {
    if (keep >= static_cast<long long>(digits.size())) {
      digits.append(static_cast<std::size_t>(keep - static_cast<long long>(digits.size())), '0');
    } else if (keep < 0) {
      digits.clear();
    } else {
      const bool roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
      digits.resize(static_cast<std::size_t>(keep));
      if (roundUp) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
          digits[--i] = '0';
        if (i > 0) {
          ++digits[i - 1];
        } else {
          digits.insert(digits.begin(), '1');
          ++position;
        }
      }
    }
  }

  if (digits.find_first_not_of('0') == std::string::npos) {
    // Zero: as many zeros as decimals, the point in front; with no decimals a single "0".
    point = decimals == 0 ? 1 : 0;
    return decimals == 0 ? std::string("0") : std::string(decimals, '0');
  }
  point = static_cast<int>(position);
  return digits;
}

// ---------------------------------------------------------------------------------------------------------
// The CPU level

bool IsStartupBlocked()
{
  AcpiInit(); // its result tells nothing the start-up test uses
  for (DWORD id : kGuardItems) {
    if (!ItemExists(id))
      return false;
  }
  for (DWORD id : kGuardItems) {
    DWORD value = 0;
    if (!ReadItem(id, value) || !(value & kGuardBit))
      return false;
  }
  return true;
}

bool HasLevelItem()
{
  GroupItemReader reader;
  if (!reader.Open(kLevelGroup))
    return false;
  const bool found = FindItem(reader, IsFirstOfGroup);
  reader.Close();
  return found;
}

bool HasCompanionItem()
{
  GroupItemReader reader;
  if (!reader.Open(kCompanionGroup))
    return false;
  bool result = false;
  if (FindItem(reader, IsFirstOfGroup))
    result = reader.CreateItem()->GetCount() >= kCompanionMinOptions;
  reader.Close();
  return result;
}

bool LoadLevelNames(std::vector<std::string>& names, DWORD& level)
{
  bool levelRead = false;
  return LoadLevelNames(names, level, levelRead);
}

bool LoadLevelNames(std::vector<std::string>& names, DWORD& level, bool& levelRead)
{
  levelRead = false;
  GroupItemReader reader;
  if (!reader.Open(kLevelGroup))
    return false;
  names.clear();
  bool result = false;
  if (FindItem(reader, IsFirstOfGroup)) {
    std::unique_ptr<BiosItem> item = reader.CreateItem();
    const std::uint32_t count = item->GetCount();
    if (count > 0) {
      names.reserve(count);
      for (std::uint32_t i = 0; i < count; ++i)
        names.push_back(item->IndexToString(i));
      result = true;
      levelRead = ReadItem(reader.ItemId(), level); // on failure the level keeps its value
    }
  }
  reader.Close();
  return result;
}

void ReadLevel(DWORD& level)
{
  GroupItemReader reader;
  if (!reader.Open(kLevelGroup))
    return;
  if (FindItem(reader, IsFirstOfGroup))
    ReadItem(reader.ItemId(), level); // on failure the level keeps its value
  reader.Close();
}

void LevelNeedsRestart(DWORD level, bool& needsRestart)
{
  GroupItemReader reader;
  if (!reader.Open(kLevelGroup))
    return;
  if (FindItem(reader, IsFirstOfGroup))
    needsRestart = (AcpiSetItem(reader.ItemId(), level, 0) & 3) == 3;
  reader.Close();
}

bool ApplyLevel(DWORD level)
{
  bool accepted = false;
  {
    GroupItemReader reader;
    if (!reader.Open(kLevelGroup))
      return false;
    if (FindItem(reader, IsFirstOfGroup))
      accepted = (AcpiSetItem(reader.ItemId(), level, 1) & 1) != 0;
    reader.Close();
  }
  // The defaults and the companion belong to a level the firmware took; after a refusal they would leave
  // it inconsistent with the level it still holds.
  if (!accepted)
    return false;

  if (level == 0 && !IsInfoCodeThree())
    RestoreGroupDefaults();

  GroupItemReader reader;
  if (!reader.Open(kCompanionGroup))
    return false;
  if (FindItem(reader, IsFirstOfGroup)) {
    // The level decides success; the companion write's answer is not used.
    if (level == 0) {
      AcpiSetItem(reader.ItemId(), 1, 1);
      SysApi().OutputDebugStringA("[CPU Vantor+] Group: 0x09, SetItem: 0x01");
    } else {
      AcpiSetItem(reader.ItemId(), 6, 1);
      SysApi().OutputDebugStringA("[CPU Vantor+] Group: 0x09, SetItem: 0x06");
    }
  }
  reader.Close();
  return accepted;
}

bool ReadTpxMode(bool& tpxMode)
{
  GroupItemReader reader;
  if (!reader.Open(kTpxGroup))
    return false;
  bool result = false;
  if (FindItem(reader, [](DWORD id) { return (id & 0xFFFFFF) == kTpxItem; })) {
    DWORD value = 0;
    result = ReadItem(reader.ItemId(), value);
    if (result)
      tpxMode = value != 0;
  }
  reader.Close();
  return result;
}

bool IsInfoCodeThree()
{
  std::vector<BYTE> info(kAcpiBufferSize, 0);
  DWORD size = kAcpiBufferSize;
  AcpiGetInfo(info.data(), &size); // the package itself tells whether it was filled
  if (ClampCount(AcpiElementCount(info.data()), kAcpiBufferSize) < 3)
    return false;
  ACPI_ELEMENT element = NextOf(NextOf(AcpiFirstElement(info.data())));
  DWORD code = 0;
  return ReadValueIn(element, info.data(), info.size(), code) && (code & 0xFF) == 3;
}

void RestoreGroupDefaults()
{
  GroupItemReader reader;
  if (!reader.Open(kDefaultsGroup))
    return;
  for (; !reader.IsEnd(); reader.Next()) {
    if (!reader.HasItem())
      continue;
    std::unique_ptr<BiosItem> item = reader.CreateItem();
    // Without a parsed descriptor there is no default to go back to; without a current value there is
    // nothing known to differ from it. Either way the item is left as it is.
    if (!item->IsValid())
      continue;
    DWORD current = 0;
    if (!ReadItem(reader.ItemId(), current))
      continue;
    const DWORD defaultValue = item->GetDefault();
    if (current != defaultValue)
      AcpiSetItem(reader.ItemId(), defaultValue, 1); // a refused write leaves the item as it was
  }
  reader.Close();
}
