#pragma once
// The BIOS item model over the KOACPI packages, and the program's knowledge of the items that hold the
// CPU level. Nothing here is cached: every call asks the BIOS again.
#include "KoAcpi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// More options than this is a corrupt descriptor: a setup list of that length cannot be offered to
// anyone, and walking billions of options would hang the caller and exhaust memory.
constexpr std::uint32_t kMaxItemOptions = 0x10000;

// Walks the elements of one group package.
class GroupInfoTraverser {
public:
  GroupInfoTraverser();
  explicit GroupInfoTraverser(DWORD group);
  ~GroupInfoTraverser();
  GroupInfoTraverser(const GroupInfoTraverser&) = delete;
  GroupInfoTraverser& operator=(const GroupInfoTraverser&) = delete;

  bool Open(DWORD group);
  bool IsOpen() const { return m_buffer != nullptr; }
  bool IsEnd() const { return m_index >= m_count; }
  void Next();
  // Data pointer of the current element; null when there is none.
  void* Current() const;
  void Close();

private:
  std::unique_ptr<BYTE[]> m_buffer;
  ACPI_ELEMENT m_current;
  std::int32_t m_index;
  std::int32_t m_count;
};

class BiosItem;

// A group walk that also fetches the descriptor of the current item.
class GroupItemReader {
public:
  GroupItemReader();
  ~GroupItemReader();
  GroupItemReader(const GroupItemReader&) = delete;
  GroupItemReader& operator=(const GroupItemReader&) = delete;

  bool Open(DWORD group);
  bool IsOpen() const { return m_traverser->IsOpen(); }
  bool IsEnd() const { return m_traverser->IsEnd(); }
  void Next();
  // Whether the current element's descriptor could be fetched; without it there is no item id.
  bool HasItem() const { return m_hasItem; }
  DWORD ItemId() const { return m_itemId; }
  void Close();

  // The item object for the current item, also when its descriptor does not parse.
  std::unique_ptr<BiosItem> CreateItem() const;

private:
  void FetchDescriptor();

  std::unique_ptr<GroupInfoTraverser> m_traverser;
  std::unique_ptr<BYTE[]> m_descriptor;
  DWORD m_descriptorSize;
  DWORD m_itemId;
  bool m_hasItem;
};

// One BIOS setup item, built from a private copy of its descriptor package.
class BiosItem {
public:
  BiosItem();
  virtual ~BiosItem();
  BiosItem(const BiosItem&) = delete;
  BiosItem& operator=(const BiosItem&) = delete;

  bool Init(const void* data, DWORD size);
  // Whether the last Init parsed the whole descriptor; an item that did not offers no options.
  bool IsValid() const { return m_valid; }

  virtual std::uint32_t GetCount() const;
  virtual DWORD GetDefault() const = 0;
  virtual bool IsFlagged() const;
  virtual void IndexToRational(std::uint32_t index, std::int32_t& numerator, std::int32_t& denominator);
  virtual long double IndexToValue(std::uint32_t index);
  virtual std::string IndexToString(std::uint32_t index);

protected:
  virtual bool Parse(ACPI_ELEMENT& cursor, std::uint32_t& remaining);

  // Element access on the private copy; false when the element is missing or does not lie in the copy.
  bool ElementValue(ACPI_ELEMENT element, DWORD& value) const;
  bool ElementText(ACPI_ELEMENT element, const char*& text) const;
  bool DescriptorValue(std::uint32_t position, DWORD& value) const;
  // The text at a pointer into the copy, never read beyond the copy's end.
  std::string TextAt(const char* text) const;
  void ShowUnsupported(const char* operation) const;

  std::vector<BYTE> m_descriptor;
  DWORD m_size;
  DWORD m_id;

private:
  bool m_valid;
};

class BiosNumberItem : public BiosItem {
public:
  BiosNumberItem();

  std::uint32_t GetCount() const override;
  DWORD GetDefault() const override;
  void IndexToRational(std::uint32_t index, std::int32_t& numerator, std::int32_t& denominator) override;
  long double IndexToValue(std::uint32_t index) override;
  std::string IndexToString(std::uint32_t index) override;

protected:
  bool Parse(ACPI_ELEMENT& cursor, std::uint32_t& remaining) override;

private:
  // Unscaled number of the option at offset k past the extra strings (k may be negative).
  std::int64_t RawValue(std::int64_t k) const;
  int Exponent() const;
  std::int64_t Offset(std::uint32_t index) const;

  std::vector<const char*> m_exStrs;
  std::uint32_t m_count;
  DWORD m_step;
  DWORD m_base;
};

class BiosBooleanItem : public BiosItem {
public:
  std::uint32_t GetCount() const override;
  DWORD GetDefault() const override;

protected:
  bool Parse(ACPI_ELEMENT& cursor, std::uint32_t& remaining) override;
};

class BiosStringItem : public BiosItem {
public:
  BiosStringItem();

  std::uint32_t GetCount() const override;
  DWORD GetDefault() const override;
  std::string IndexToString(std::uint32_t index) override;

protected:
  bool Parse(ACPI_ELEMENT& cursor, std::uint32_t& remaining) override;

private:
  std::uint32_t m_count;
  std::vector<const char*> m_strs;
};

// Decimal conversion in the manner of fcvt, of the exact value mantissa * 10^scale with `decimals`
// digits after the point (rounded half away from zero): the digits without a point, the position of the
// point and the sign. Zero with no decimals gives "0" with the point after it.
std::string FcvtDigits(std::int64_t mantissa, int scale, unsigned decimals, int& point, bool& negative);

// The CPU level: an option index of the level item, stored in the BIOS as it is.
bool IsStartupBlocked();
bool HasLevelItem();
bool HasCompanionItem();
bool LoadLevelNames(std::vector<std::string>& names, DWORD& level);
// The same; `levelRead` tells whether the BIOS answered the current level, since any value it gives
// (0xFFFFFFFF too) may be what it holds.
bool LoadLevelNames(std::vector<std::string>& names, DWORD& level, bool& levelRead);
void ReadLevel(DWORD& level);
void LevelNeedsRestart(DWORD level, bool& needsRestart);
bool ApplyLevel(DWORD level);
bool ReadTpxMode(bool& tpxMode);
bool IsInfoCodeThree();
void RestoreGroupDefaults();
