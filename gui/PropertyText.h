#pragma once
// The text of single published values: numbers, quoted strings, names of enumeration values, sets and
// colours. The component text reader and writer build on it.
#include "Published.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A value as it stands in text, before it meets a property.
struct TTextValue {
  enum TKind { Number, String, Name, Set, Data };
  TKind Kind = Number;
  // The number's text, the string (escapes resolved), the name, or the hexadecimal digits of data.
  std::string Text;
  // The names inside a set's brackets.
  std::vector<std::string> Items;
};

// A letter or underscore, then letters, digits and underscores.
bool IsIdentifier(const std::string& text);

// `value` in double quotes; a quote, a backslash and control characters are escaped (\" \\ \n \r \t,
// others \xHH). Other bytes are kept as they are.
std::string QuoteString(const std::string& value);

// The name of a colour ("clRed", "clBtnFace"); nothing when it has none.
std::optional<std::string> ColorName(int32_t color);
// The colour a name stands for; nothing for an unknown name.
std::optional<int32_t> ColorFromName(const std::string& name);

// The text of an ordinal property's value: a number, true/false, a colour's name or number, an enumeration
// value's name, or a set's names in brackets. A value without a name raises EPropertyError.
std::string OrdinalText(const TPropertyInfo& property, int64_t value);
// The ordinal value `value` stands for in `property`; a value of the wrong form, an unknown name or a
// number out of range raises EPropertyError naming the property and the value.
int64_t OrdinalFromText(const TPropertyInfo& property, const TTextValue& value);
