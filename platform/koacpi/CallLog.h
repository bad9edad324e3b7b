#pragma once
// The lines that record each call of the ten BIOS operations (format in KoAcpiControl.h).
#include <cstddef>
#include <deque>
#include <string>

class CallLog {
public:
  // The program stays in the tray for days; only the newest lines are worth keeping.
  static constexpr size_t kMostLines = 65536;

  void Add(std::string line);
  void Clear() { m_lines.clear(); }
  // Every line, each ending in '\n'.
  std::string Text() const;

private:
  std::deque<std::string> m_lines;
};

// printf-style formatting into a std::string.
std::string Format(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
