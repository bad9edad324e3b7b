#pragma once
// The class library's errors and the few free helpers the program needs.
#include <cstddef>
#include <exception>
#include <string>
#include <vector>

// Base of every error the class library raises; the application object shows its message.
class Exception : public std::exception {
public:
  explicit Exception(std::string message) : m_message(std::move(message)) {}
  const std::string& Message() const noexcept { return m_message; }
  const char* what() const noexcept override { return m_message.c_str(); }

private:
  std::string m_message;
};

// "Cannot open file %s"
class EFOpenError : public Exception {
public:
  explicit EFOpenError(const std::string& path);
  const std::string& FileName() const noexcept { return m_fileName; }

private:
  std::string m_fileName;
};

class EStreamError : public Exception {
  using Exception::Exception;
};

class EReadError : public EStreamError {
  using EStreamError::EStreamError;
};

// An object of a class that the operation does not support.
class EInvalidCast : public Exception {
public:
  EInvalidCast() : Exception("Invalid class typecast") {}
};

// Assigning from nothing, or between classes that cannot copy each other.
class EConvertError : public Exception {
  using Exception::Exception;
};

// "List index out of bounds (%d)"
class EListError : public Exception {
public:
  explicit EListError(long long index);
};

// A value or an index outside its range: "Range check error", or for a string index
// "String index out of range (index %d, length %d)".
class ERangeError : public Exception {
public:
  ERangeError() : Exception("Range check error") {}
  using Exception::Exception;
};

// A picture file that is not a picture of the expected kind.
class EInvalidGraphic : public Exception {
  using Exception::Exception;
};

// The system refused a GDI or USER object.
class EOutOfResources : public Exception {
public:
  EOutOfResources() : Exception("Out of system resources") {}
  using Exception::Exception;
};

// printf-style formatting into a std::string.
std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Command-line parameters split as the system's start-up code does: blanks separate, double quotes group
// and are removed. Parameter 0 is the program.
std::vector<std::string> SplitCommandLine(const char* commandLine);
int ParamCount();
std::string ParamStr(int index);

// True when one of parameters 1..n is a switch character from `chars` followed by exactly `name`.
bool FindCmdLineSwitch(const std::vector<std::string>& params, const std::string& name,
                       const std::string& chars = "-", bool ignoreCase = true);
// The same over this process's command line.
bool FindCmdLineSwitch(const std::string& name, const std::string& chars = "-", bool ignoreCase = true);

// The character at `index` (0 is the first) of a text; an index outside the text raises ERangeError before
// anything is read.
char CharAt(const std::string& text, size_t index);
// The last character of a text; an empty text raises ERangeError.
char LastChar(const std::string& text);

// The folder part of a path, with its trailing backslash ("C:\\app\\" of "C:\\app\\x.exe").
std::string ExtractFilePath(const std::string& path);
// The file part of a path.
std::string ExtractFileName(const std::string& path);
// Full path of the running executable.
std::string ApplicationExeName();
