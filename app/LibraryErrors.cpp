// The errors GCC's library raises from its own checks (a string or vector past its maximum size, a
// position past the end, a string made from a null pointer), raised by the program's own functions.
//
// The library's versions build std::length_error and the like, whose message is a reference-counted string
// of the library's old ABI: they bring that whole string implementation (40 KB, and a random-device reader
// it drags along) into a program that otherwise uses only the new one. The program catches none of those
// types by name, only std::exception, whose what() these keep saying the library's words.
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <new>

#if defined(__GLIBCXX__)
namespace {

class TLibraryError : public std::exception {
public:
  explicit TLibraryError(const char* text) { std::snprintf(m_text, sizeof(m_text), "%s", text ? text : ""); }
  TLibraryError(const char* format, va_list arguments) { std::vsnprintf(m_text, sizeof(m_text), format, arguments); }
  const char* what() const noexcept override { return m_text; }

private:
  char m_text[256];
};

} // namespace

namespace std {

void __throw_bad_alloc()
{
  throw bad_alloc();
}

void __throw_bad_array_new_length()
{
  throw bad_array_new_length();
}

void __throw_length_error(const char* text)
{
  throw TLibraryError(text);
}

void __throw_logic_error(const char* text)
{
  throw TLibraryError(text);
}

void __throw_out_of_range_fmt(const char* format, ...)
{
  va_list arguments;
  va_start(arguments, format);
  TLibraryError error(format, arguments);
  va_end(arguments);
  throw error;
}

} // namespace std
#endif
