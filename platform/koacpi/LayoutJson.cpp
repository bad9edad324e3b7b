#include "LayoutJson.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <set>
#include <stdexcept>

using Json = nlohmann::ordered_json;

namespace {

// Level item with named levels, companion, TPX status, start-up guards and a default-restore group whose
// items all sit away from their defaults. The item ahead of the level item makes a walk skip something.
constexpr const char* kDefaultLayout = R"({
  "info": [1, 538313985, 2, "KOACPI stand-in BIOS"],
  "groups": {
    "0x00": [
      {"id": "0x00060008", "value": 3, "default": 3, "base": 0, "step": 1, "exponent": 0, "count": 8},
      {"id": "0x00060009", "value": 1, "default": 1, "base": 0, "step": 1, "exponent": 0, "count": 8}
    ],
    "0x03": [
      {"id": "0x03080000", "value": 2, "default": 0, "options": ["Quiet", "Normal", "Boost"]},
      {"id": "0x03070001", "value": 0, "default": 1},
      {"id": "0x03000002", "value": 4, "default": 0, "base": 1000, "step": 500, "exponent": -3, "count": 5,
       "extra": ["Auto"]},
      {"id": "0x03000003", "value": 7, "default": 2, "base": 40, "step": 5, "exponent": 0, "count": 10}
    ],
    "0x09": [
      {"id": "0x09000000", "value": 6, "default": 6, "base": 0, "step": 1, "exponent": 0, "count": 8}
    ],
    "0x0B": [
      {"id": "0x0B060001", "value": 0, "default": 0, "base": 0, "step": 1, "exponent": 0, "count": 2}
    ],
    "0x0F": [
      {"id": "0x0F070001", "value": 1, "default": 1},
      {"id": "0x0F080000", "value": 2, "default": 2,
       "options": ["Standard", "Quiet", "Balanced", "Performance", "Maximum Performance"],
       "restart": [0, 4]}
    ]
  }
})";

struct TLayoutError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Hex(uint32_t value, int digits)
{
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

// "0x" followed by 1 to `maxDigits` hex digits.
std::optional<uint32_t> ParseHexText(const std::string& text, size_t maxDigits)
{
  if (text.size() < 3 || text.size() > 2 + maxDigits || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
    return {};
  uint32_t value = 0;
  for (size_t at = 2; at < text.size(); ++at) {
    const char c = text[at];
    uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return {};
    value = value << 4 | digit;
  }
  return value;
}

int64_t Integer(const Json& value, const std::string& what, int64_t lowest, int64_t highest)
{
  if (!value.is_number_integer())
    throw TLayoutError(what + " must be a whole number");
  const int64_t number = value.is_number_unsigned() && value.get<uint64_t>() > INT64_MAX
                             ? INT64_MAX
                             : value.get<int64_t>();
  if (number < lowest || number > highest)
    throw TLayoutError(what + " must lie in " + std::to_string(lowest) + " .. " + std::to_string(highest) +
                       ", not " + value.dump());
  return number;
}

uint32_t Unsigned(const Json& value, const std::string& what)
{
  return static_cast<uint32_t>(Integer(value, what, 0, UINT32_MAX));
}

bool Boolean(const Json& value, const std::string& what)
{
  if (!value.is_boolean())
    throw TLayoutError(what + " must be true or false");
  return value.get<bool>();
}

std::vector<std::string> Texts(const Json& value, const std::string& what)
{
  if (!value.is_array())
    throw TLayoutError(what + " must be a list of texts");
  std::vector<std::string> texts;
  for (const Json& entry : value) {
    if (!entry.is_string())
      throw TLayoutError(what + " must be a list of texts, not " + entry.dump());
    texts.push_back(entry.get<std::string>());
  }
  return texts;
}

// Element lists: numbers become integer elements (negative ones as their 32-bit pattern), texts text elements.
PackageValues Elements(const Json& value, const std::string& what)
{
  if (!value.is_array())
    throw TLayoutError(what + " must be a list of numbers and texts");
  PackageValues elements;
  for (const Json& entry : value) {
    if (entry.is_string())
      elements.push_back(PackageValue::String(entry.get<std::string>()));
    else
      elements.push_back(PackageValue::Integer(
          static_cast<uint32_t>(Integer(entry, what + " element", INT32_MIN, UINT32_MAX))));
  }
  return elements;
}

uint32_t ItemId(const Json& value, const std::string& what)
{
  if (value.is_string()) {
    if (const auto id = ParseHexText(value.get<std::string>(), 8))
      return *id;
    throw TLayoutError(what + " id " + value.dump() + " is not a hex number like \"0x0F080000\"");
  }
  return Unsigned(value, what + " id");
}

const char* KindName(ItemKind kind)
{
  switch (kind) {
  case ItemKind::String:
    return "string";
  case ItemKind::Boolean:
    return "boolean";
  case ItemKind::Number:
    break;
  }
  return "number";
}

SimItem ParseItem(const Json& value, uint32_t group, const std::string& where)
{
  if (!value.is_object())
    throw TLayoutError(where + ": an item must be an object");
  if (!value.contains("id"))
    throw TLayoutError(where + ": the item has no \"id\"");
  SimItem item;
  item.Id = ItemId(value["id"], where);
  const std::string what = "item " + Hex(item.Id, 8);
  if (ItemGroup(item.Id) != group)
    throw TLayoutError(what + " is listed in group " + Hex(group, 2) + " but its id says group " +
                       Hex(ItemGroup(item.Id), 2));

  static const std::set<std::string> common{"id",  "value", "default",  "restart",  "min",
                                            "max", "readable", "writable", "descriptor"};
  static const std::set<std::string> forString{"options"};
  static const std::set<std::string> forNumber{"base", "step", "exponent", "count", "extra"};
  const ItemKind kind = item.Kind();
  for (const auto& [key, entry] : value.items()) {
    if (common.count(key) || (kind == ItemKind::String && forString.count(key)) ||
        (kind == ItemKind::Number && forNumber.count(key)))
      continue;
    if (forString.count(key) || forNumber.count(key))
      throw TLayoutError(what + ": \"" + key + "\" does not apply to a " + KindName(kind) + " item");
    throw TLayoutError(what + ": unknown key \"" + key + "\"");
  }

  auto field = [&](const char* key) -> const Json* { return value.contains(key) ? &value[key] : nullptr; };
  const std::string prefix = what + " \"";
  if (auto f = field("default"))
    item.Default = Unsigned(*f, prefix + "default\"");
  item.Value = item.Default;
  if (auto f = field("value"))
    item.Value = Unsigned(*f, prefix + "value\"");
  if (auto f = field("options"))
    item.Options = Texts(*f, prefix + "options\"");
  if (auto f = field("base"))
    item.Base = static_cast<int32_t>(Integer(*f, prefix + "base\"", -0x800000, 0xFFFFFF));
  if (auto f = field("step"))
    item.Step = static_cast<int32_t>(Integer(*f, prefix + "step\"", -0x800000, 0xFFFFFF));
  if (auto f = field("exponent"))
    item.Exponent = static_cast<int32_t>(Integer(*f, prefix + "exponent\"", -128, 255));
  if (auto f = field("count"))
    item.Count = Unsigned(*f, prefix + "count\"");
  if (auto f = field("extra"))
    item.Extra = Texts(*f, prefix + "extra\"");
  if (auto f = field("restart")) {
    if (!f->is_array())
      throw TLayoutError(prefix + "restart\" must be a list of option indexes");
    for (const Json& entry : *f)
      item.RestartOptions.push_back(Unsigned(entry, prefix + "restart\" entry"));
  }
  if (auto f = field("min"))
    item.Min = Unsigned(*f, prefix + "min\"");
  if (auto f = field("max"))
    item.Max = Unsigned(*f, prefix + "max\"");
  if (item.Min && item.Max && *item.Min > *item.Max)
    throw TLayoutError(what + ": \"min\" lies above \"max\"");
  if (auto f = field("readable"))
    item.Readable = Boolean(*f, prefix + "readable\"");
  if (auto f = field("writable"))
    item.Writable = Boolean(*f, prefix + "writable\"");
  if (auto f = field("descriptor"))
    item.Descriptor = Elements(*f, prefix + "descriptor\"");
  return item;
}

SimGroup ParseGroup(const Json& value, uint32_t group, const std::string& where)
{
  SimGroup result;
  const Json* items = &value;
  if (value.is_object()) {
    for (const auto& [key, entry] : value.items())
      if (key != "items" && key != "package")
        throw TLayoutError(where + ": unknown key \"" + key + "\"");
    static const Json none = Json::array();
    items = value.contains("items") ? &value["items"] : &none;
    if (value.contains("package"))
      result.Package = Elements(value["package"], where + " \"package\"");
  }
  if (!items->is_array())
    throw TLayoutError(where + ": a group must be a list of items or an object with \"items\"");
  std::set<uint32_t> ids;
  for (size_t index = 0; index < items->size(); ++index) {
    SimItem item = ParseItem((*items)[index], group, where + ", item " + std::to_string(index + 1));
    if (!ids.insert(item.Id).second)
      throw TLayoutError("item " + Hex(item.Id, 8) + " is listed twice in " + where);
    result.Items.push_back(std::move(item));
  }
  return result;
}

BiosModel ParseModel(std::string_view text)
{
  Json root;
  try {
    root = Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& e) {
    throw TLayoutError(std::string("not valid JSON: ") + e.what());
  }
  if (!root.is_object())
    throw TLayoutError("the layout must be a JSON object");
  for (const auto& [key, entry] : root.items())
    if (key != "info" && key != "groups")
      throw TLayoutError("unknown key \"" + key + "\" at the top of the layout");
  if (!root.contains("groups") || !root["groups"].is_object())
    throw TLayoutError("the layout has no \"groups\" object");

  BiosModel model;
  if (root.contains("info"))
    model.Info = Elements(root["info"], "\"info\"");
  for (const auto& [key, entry] : root["groups"].items()) {
    const auto group = ParseHexText(key, 2);
    if (!group)
      throw TLayoutError("group key \"" + key + "\" is not a hex number like \"0x0F\"");
    const std::string where = "group " + Hex(*group, 2);
    if (model.Groups.count(*group))
      throw TLayoutError(where + " is listed twice");
    model.Groups[*group] = ParseGroup(entry, *group, where);
  }
  return model;
}

Json ElementsJson(const PackageValues& elements)
{
  Json list = Json::array();
  for (const PackageValue& element : elements)
    list.push_back(element.IsText ? Json(element.Text) : Json(element.Number));
  return list;
}

Json ItemJson(const SimItem& item)
{
  Json json = Json::object();
  json["id"] = Hex(item.Id, 8);
  json["value"] = item.Value;
  json["default"] = item.Default;
  switch (item.Kind()) {
  case ItemKind::String:
    json["options"] = item.Options;
    break;
  case ItemKind::Boolean:
    break;
  case ItemKind::Number:
    json["base"] = item.Base;
    json["step"] = item.Step;
    json["exponent"] = item.Exponent;
    json["count"] = item.Count;
    if (!item.Extra.empty())
      json["extra"] = item.Extra;
    break;
  }
  if (!item.RestartOptions.empty())
    json["restart"] = item.RestartOptions;
  if (item.Min)
    json["min"] = *item.Min;
  if (item.Max)
    json["max"] = *item.Max;
  if (!item.Readable)
    json["readable"] = false;
  if (!item.Writable)
    json["writable"] = false;
  if (item.Descriptor)
    json["descriptor"] = ElementsJson(*item.Descriptor);
  return json;
}

} // namespace

bool ParseLayout(std::string_view text, BiosModel& model, std::string& error)
{
  try {
    model = ParseModel(text);
    return true;
  } catch (const TLayoutError& e) {
    error = e.what();
  } catch (const Json::exception& e) {
    error = e.what();
  }
  return false;
}

std::string LayoutToJson(const BiosModel& model)
{
  Json groups = Json::object();
  for (const auto& [number, group] : model.Groups) {
    Json items = Json::array();
    for (const SimItem& item : group.Items)
      items.push_back(ItemJson(item));
    if (group.Package)
      groups[Hex(number, 2)] = Json{{"items", items}, {"package", ElementsJson(*group.Package)}};
    else
      groups[Hex(number, 2)] = items;
  }
  Json root = Json::object();
  root["info"] = ElementsJson(model.Info);
  root["groups"] = groups;
  return root.dump(2) + "\n";
}

BiosModel DefaultLayout()
{
  BiosModel model;
  std::string error;
  if (!ParseLayout(kDefaultLayout, model, error))
    throw std::logic_error("embedded default layout: " + error);
  return model;
}
