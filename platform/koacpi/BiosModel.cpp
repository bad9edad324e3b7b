#include "BiosModel.h"

#include <algorithm>

ItemKind KindOfId(uint32_t id)
{
  switch (ItemKindBits(id)) {
  case 8:
    return ItemKind::String;
  case 7:
    return ItemKind::Boolean;
  default:
    return ItemKind::Number;
  }
}

uint32_t SimItem::OptionCount() const
{
  switch (Kind()) {
  case ItemKind::String:
    return static_cast<uint32_t>(Options.size());
  case ItemKind::Boolean:
    return 2;
  case ItemKind::Number:
    break;
  }
  return Count + static_cast<uint32_t>(Extra.size());
}

bool SimItem::Accepts(uint32_t value) const
{
  const uint32_t options = OptionCount();
  if (!Max && options == 0)
    return false; // nothing to choose from
  const uint32_t lowest = Min.value_or(0);
  const uint32_t highest = Max.value_or(options - 1);
  return value >= lowest && value <= highest;
}

bool SimItem::NeedsRestart(uint32_t value) const
{
  return std::find(RestartOptions.begin(), RestartOptions.end(), value) != RestartOptions.end();
}

PackageValues SimItem::DescriptorElements() const
{
  if (Descriptor)
    return *Descriptor;
  const uint32_t options = OptionCount();
  PackageValues elements{PackageValue::Integer(Id), PackageValue::Integer(Min.value_or(0)),
                         PackageValue::Integer(Max.value_or(options == 0 ? 0 : options - 1)),
                         PackageValue::Integer(Default)};
  switch (Kind()) {
  case ItemKind::Boolean:
    break;
  case ItemKind::String:
    elements.push_back(PackageValue::Integer(static_cast<uint32_t>(Options.size())));
    for (const std::string& text : Options)
      elements.push_back(PackageValue::String(text));
    break;
  case ItemKind::Number:
    elements.push_back(PackageValue::Integer((static_cast<uint32_t>(Exponent & 0xFF) << 24) |
                                             (static_cast<uint32_t>(Base) & 0xFFFFFF)));
    elements.push_back(PackageValue::Integer(static_cast<uint32_t>(Step) & 0xFFFFFF));
    elements.push_back(PackageValue::Integer(Count));
    if (!Extra.empty()) {
      elements.push_back(PackageValue::Integer(static_cast<uint32_t>(Extra.size())));
      for (const std::string& text : Extra)
        elements.push_back(PackageValue::String(text));
    }
    break;
  }
  return elements;
}

PackageValues SimGroup::PackageElements() const
{
  if (Package)
    return *Package;
  PackageValues elements;
  for (const SimItem& item : Items)
    elements.push_back(PackageValue::Integer(item.Id));
  return elements;
}

const SimGroup* BiosModel::FindGroup(uint32_t group) const
{
  const auto found = Groups.find(group);
  return found == Groups.end() ? nullptr : &found->second;
}

const SimItem* BiosModel::FindItem(uint32_t id) const
{
  const SimGroup* group = FindGroup(ItemGroup(id));
  if (!group)
    return nullptr;
  for (const SimItem& item : group->Items)
    if (item.Id == id)
      return &item;
  return nullptr;
}

SimItem* BiosModel::FindItem(uint32_t id)
{
  return const_cast<SimItem*>(static_cast<const BiosModel&>(*this).FindItem(id));
}

uint32_t BiosModel::CheckWrite(uint32_t id, uint32_t value, uint32_t commit) const
{
  const SimItem* item = FindItem(id);
  if (!item || !item->Writable || commit > 1 || !item->Accepts(value))
    return 0;
  return kSetAccepted | (item->NeedsRestart(value) ? kSetNeedsRestart : 0);
}
