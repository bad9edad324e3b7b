#include "CallLog.h"

#include <cstdarg>
#include <cstdio>

void CallLog::Add(std::string line)
{
  if (m_lines.size() == kMostLines)
    m_lines.pop_front();
  m_lines.push_back(std::move(line));
}

std::string CallLog::Text() const
{
  std::string text;
  for (const std::string& line : m_lines) {
    text += line;
    text += '\n';
  }
  return text;
}

std::string Format(const char* format, ...)
{
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0)
    std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}
