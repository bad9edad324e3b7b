#include "PropertyText.h"

#include "Graphics.h"

#include <cctype>
#include <utility>

namespace {

// The first name of a colour is the one written; the aliases after it are only read.
const std::pair<const char*, TColor> kColorNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clLtGray", clLtGray},
    {"clDkGray", clDkGray},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
};

const char* kTrue = "true";
const char* kFalse = "false";

// A decimal number with an optional minus sign, or 0x and hexadecimal digits; nothing when the text is
// not one or does not fit 64 bits.
std::optional<int64_t> ParseNumber(const std::string& text)
{
  size_t pos = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative)
    pos = 1;
  const bool hex = text.size() > pos + 2 && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X');
  if (hex)
    pos += 2;
  if (pos >= text.size())
    return std::nullopt;
  const uint64_t base = hex ? 16 : 10;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    uint64_t digit;
    if (std::isdigit(c))
      digit = c - '0';
    else if (hex && std::isxdigit(c))
      digit = static_cast<uint64_t>(std::tolower(c) - 'a' + 10);
    else
      return std::nullopt;
    if (magnitude > (limit - digit) / base)
      return std::nullopt;
    magnitude = magnitude * base + digit;
  }
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

[[noreturn]] void BadValue(const TPropertyInfo& property, const std::string& value, const char* expected)
{
  throw EPropertyError(Format("%s is not %s (%s)", value.c_str(), expected, property.Name().c_str()));
}

// A value for messages, in the form it had in the text.
std::string Shown(const TTextValue& value)
{
  switch (value.Kind) {
  case TTextValue::String: return QuoteString(value.Text);
  case TTextValue::Data: return "{...}";
  case TTextValue::Set: {
    std::string text = "[";
    for (size_t i = 0; i < value.Items.size(); ++i)
      text += (i ? ", " : "") + value.Items[i];
    return text + "]";
  }
  default: return value.Text;
  }
}

int64_t NumberFromText(const TPropertyInfo& property, const TTextValue& value)
{
  std::optional<int64_t> number = value.Kind == TTextValue::Number ? ParseNumber(value.Text) : std::nullopt;
  if (!number)
    BadValue(property, Shown(value), "a number");
  // A colour written in hexadecimal is its 32 bits, system colours included.
  if (property.Kind() == TPropertyKind::Color && *number > 0x7FFFFFFF && *number <= 0xFFFFFFFF &&
      value.Text.find_first_of("xX") != std::string::npos)
    number = static_cast<int32_t>(static_cast<uint32_t>(*number));
  if (*number < property.MinValue() || *number > property.MaxValue())
    throw EPropertyError(Format("%s is out of range for %s (%lld to %lld)", value.Text.c_str(),
                                property.Name().c_str(), static_cast<long long>(property.MinValue()),
                                static_cast<long long>(property.MaxValue())));
  return *number;
}

int64_t EnumerationValue(const TPropertyInfo& property, const std::string& name)
{
  const std::optional<int64_t> element = property.Enumeration().ValueOf(name);
  if (!element)
    throw EPropertyError(Format("%s is not a value of %s (%s)", name.c_str(), property.Name().c_str(),
                                property.Enumeration().TypeName().c_str()));
  return *element;
}

} // namespace

bool IsIdentifier(const std::string& text)
{
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0])))
    return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
      return false;
  }
  return true;
}

std::string QuoteString(const std::string& value)
{
  std::string text = "\"";
  for (char c : value) {
    switch (c) {
    case '"': text += "\\\""; break;
    case '\\': text += "\\\\"; break;
    case '\n': text += "\\n"; break;
    case '\r': text += "\\r"; break;
    case '\t': text += "\\t"; break;
    default:
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        text += Format("\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
      else
        text += c;
    }
  }
  return text + "\"";
}

std::optional<std::string> ColorName(int32_t color)
{
  for (const auto& [name, value] : kColorNames) {
    if (value == color)
      return std::string(name);
  }
  return std::nullopt;
}

std::optional<int32_t> ColorFromName(const std::string& name)
{
  for (const auto& [known, value] : kColorNames) {
    if (name == known)
      return value;
  }
  return std::nullopt;
}

std::string OrdinalText(const TPropertyInfo& property, int64_t value)
{
  property.CheckOrdinal(value);
  switch (property.Kind()) {
  case TPropertyKind::Boolean:
    return value ? kTrue : kFalse;
  case TPropertyKind::Enumeration:
    return *property.Enumeration().NameOf(value);
  case TPropertyKind::Set: {
    std::string text = "[";
    for (const auto& [name, element] : property.Enumeration().Values()) {
      if (element >= 0 && element < 32 && (value & (int64_t{1} << element)) != 0)
        text += (text.size() > 1 ? ", " : "") + name;
    }
    return text + "]";
  }
  case TPropertyKind::Color: {
    if (std::optional<std::string> name = ColorName(static_cast<int32_t>(value)))
      return *name;
    const uint32_t bits = static_cast<uint32_t>(value);
    if ((bits & 0xFF000000u) == 0x80000000u)
      return Format("0x%08X", bits);
    if (value < 0)
      return std::to_string(value);
    return Format("0x%06X", bits);
  }
  default:
    return std::to_string(value);
  }
}

int64_t OrdinalFromText(const TPropertyInfo& property, const TTextValue& value)
{
  switch (property.Kind()) {
  case TPropertyKind::Integer:
    return NumberFromText(property, value);
  case TPropertyKind::Boolean:
    if (value.Kind == TTextValue::Name && value.Text == kTrue)
      return 1;
    if (value.Kind == TTextValue::Name && value.Text == kFalse)
      return 0;
    BadValue(property, Shown(value), "true or false");
  case TPropertyKind::Color:
    if (value.Kind == TTextValue::Name) {
      if (std::optional<int32_t> color = ColorFromName(value.Text))
        return *color;
      BadValue(property, value.Text, "a colour name");
    }
    return NumberFromText(property, value);
  case TPropertyKind::Enumeration:
    if (value.Kind != TTextValue::Name)
      BadValue(property, Shown(value), "a name of a value");
    return EnumerationValue(property, value.Text);
  case TPropertyKind::Set: {
    if (value.Kind != TTextValue::Set)
      BadValue(property, Shown(value), "a set in brackets");
    int64_t bits = 0;
    for (const std::string& item : value.Items) {
      const int64_t element = EnumerationValue(property, item);
      if (element >= 0 && element < 32)
        bits |= int64_t{1} << element;
    }
    property.CheckOrdinal(bits);
    return bits;
  }
  default:
    throw EPropertyError(Format("%s is %s, not a value with a number", property.Name().c_str(),
                                KindText(property.Kind())));
  }
}
