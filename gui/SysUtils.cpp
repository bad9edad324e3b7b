#include "SysUtils.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

EFOpenError::EFOpenError(const std::string& path)
    : Exception("Cannot open file " + path), m_fileName(path)
{
}

EListError::EListError(long long index)
    : Exception("List index out of bounds (" + std::to_string(index) + ")")
{
}

std::string Format(const char* format, ...)
{
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}

std::vector<std::string> SplitCommandLine(const char* commandLine)
{
  std::vector<std::string> params;
  if (!commandLine)
    return params;
  const char* p = commandLine;
  for (;;) {
    while (*p == ' ' || *p == '\t')
      ++p;
    if (!*p)
      break;
    std::string param;
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p) {
      if (*p == '"')
        quoted = !quoted;
      else
        param += *p;
    }
    params.push_back(param);
  }
  return params;
}

int ParamCount()
{
  const int count = static_cast<int>(SplitCommandLine(GetCommandLineA()).size()) - 1;
  return count > 0 ? count : 0;
}

std::string ParamStr(int index)
{
  if (index == 0)
    return ApplicationExeName();
  const std::vector<std::string> params = SplitCommandLine(GetCommandLineA());
  if (index < 0 || index >= static_cast<int>(params.size()))
    return {};
  return params[static_cast<size_t>(index)];
}

bool FindCmdLineSwitch(const std::vector<std::string>& params, const std::string& name,
                       const std::string& chars, bool ignoreCase)
{
  for (size_t i = 1; i < params.size(); ++i) {
    const std::string& param = params[i];
    if (param.empty() || chars.find(param[0]) == std::string::npos)
      continue;
    const std::string rest = param.substr(1);
    const bool same = ignoreCase ? lstrcmpiA(rest.c_str(), name.c_str()) == 0 : rest == name;
    if (same)
      return true;
  }
  return false;
}

bool FindCmdLineSwitch(const std::string& name, const std::string& chars, bool ignoreCase)
{
  return FindCmdLineSwitch(SplitCommandLine(GetCommandLineA()), name, chars, ignoreCase);
}

char CharAt(const std::string& text, size_t index)
{
  if (index >= text.size())
    throw ERangeError(Format("String index out of range (index %llu, length %llu)",
                             static_cast<unsigned long long>(index), static_cast<unsigned long long>(text.size())));
  return text[index];
}

char LastChar(const std::string& text)
{
  if (text.empty())
    throw ERangeError("String index out of range (index -1, length 0)");
  return text.back();
}

std::string ExtractFilePath(const std::string& path)
{
  const size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path)
{
  const size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ApplicationExeName()
{
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}
