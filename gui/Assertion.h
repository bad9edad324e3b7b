#pragma once
// Internal preconditions stay checked in the shipped program. A failed one is reported by the current
// reporter: by default a message box captioned with the executable's file name, then the process ends.
#include <functional>
#include <string>

using TAssertReporter = std::function<void(const char* expression, const char* file, int line)>;

// Installs a reporter (tests make a failure throw); returns the one it replaces.
TAssertReporter SetAssertReporter(TAssertReporter reporter);

// "Assertion failed: <expression>, file <source>, line <n>", the source without its folders.
std::string AssertionText(const char* expression, const char* file, int line);

void AssertFailed(const char* expression, const char* file, int line);

#define KO_ASSERT(expression) ((expression) ? (void)0 : AssertFailed(#expression, __FILE__, __LINE__))
