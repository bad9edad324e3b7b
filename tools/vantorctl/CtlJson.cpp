#include "CtlJson.h"

#include <windows.h>

#include <cstdio>

namespace {

void AppendEscape(std::string& out, unsigned unit)
{
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", unit);
  out += escape;
}

std::wstring Widen(const std::string& text)
{
  if (text.empty())
    return {};
  // Without MB_ERR_INVALID_CHARS a byte the code page does not map becomes a replacement character, so a
  // malformed name still gives well-formed JSON.
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
  return wide;
}

} // namespace

std::string JsonString(const std::string& text)
{
  std::string out = "\"";
  for (wchar_t c : Widen(text)) {
    const unsigned unit = static_cast<unsigned>(c) & 0xFFFF;
    switch (unit) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\b': out += "\\b"; break;
    case '\f': out += "\\f"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
      // Control characters must be escaped; surrogate halves stay in their pairs, one escape each.
      if (unit < 0x20 || unit > 0x7E)
        AppendEscape(out, unit);
      else
        out += static_cast<char>(unit);
    }
  }
  return out + "\"";
}
