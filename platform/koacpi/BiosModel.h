#pragma once
// The simulated BIOS setup: groups of items, each with a kind, a descriptor, a current value and the rules for
// writing it. Pure data and decisions; no files, no exports, no locking.
#include "AcpiPackage.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum class ItemKind { Number, Boolean, String };

// Fields of a 32-bit item id.
constexpr uint32_t ItemGroup(uint32_t id) { return id >> 24; }
constexpr uint32_t ItemAttribute(uint32_t id) { return (id >> 20) & 0xF; }
constexpr uint32_t ItemKindBits(uint32_t id) { return (id >> 16) & 0xF; }
constexpr uint32_t ItemIndex(uint32_t id) { return id & 0xFFFF; }
ItemKind KindOfId(uint32_t id);

// AcpiSetItem result bits.
constexpr uint32_t kSetAccepted = 1;
constexpr uint32_t kSetNeedsRestart = 2;

struct SimItem {
  uint32_t Id = 0;
  uint32_t Value = 0;
  uint32_t Default = 0;
  // String items.
  std::vector<std::string> Options;
  // Number items: 24-bit base and step, decimal exponent byte, numeric option count, extra strings.
  int32_t Base = 0;
  int32_t Step = 0;
  int32_t Exponent = 0;
  uint32_t Count = 0;
  std::vector<std::string> Extra;
  // Option indexes that take effect only after a restart.
  std::vector<uint32_t> RestartOptions;
  // Accepted values; unset: every option index.
  std::optional<uint32_t> Min;
  std::optional<uint32_t> Max;
  bool Readable = true;
  bool Writable = true;
  // Replaces the descriptor package built from the fields above.
  std::optional<PackageValues> Descriptor;

  ItemKind Kind() const { return KindOfId(Id); }
  // Options the descriptor offers: string texts, 2 for a boolean, extra strings plus numbers.
  uint32_t OptionCount() const;
  bool Accepts(uint32_t value) const;
  bool NeedsRestart(uint32_t value) const;
  // Element 0 id, 1 and 2 the accepted range, 3 default, then per kind.
  PackageValues DescriptorElements() const;
};

struct SimGroup {
  std::vector<SimItem> Items; // in the group's order
  // Replaces the group package built from the items.
  std::optional<PackageValues> Package;

  PackageValues PackageElements() const;
};

class BiosModel {
public:
  PackageValues Info;
  std::map<uint32_t, SimGroup> Groups;

  const SimGroup* FindGroup(uint32_t group) const;
  const SimItem* FindItem(uint32_t id) const;
  SimItem* FindItem(uint32_t id);

  // AcpiSetItem without the write: kSetAccepted (| kSetNeedsRestart), or 0 when refused.
  uint32_t CheckWrite(uint32_t id, uint32_t value, uint32_t commit) const;
};
