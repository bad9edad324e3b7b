#pragma once
// JSON text for scripts. The BIOS texts are 8-bit strings in the system's ANSI code page, the same ones
// the program draws; JSON wants Unicode, so everything outside ASCII goes out as \u escapes and the output
// stays plain ASCII whatever the console's code page is.
#include <string>

// `text` (ANSI code page) as a quoted JSON string.
std::string JsonString(const std::string& text);
