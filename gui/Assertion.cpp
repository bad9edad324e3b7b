#include "Assertion.h"

#include "SysApi.h"

#include <windows.h>

#include <cstring>

namespace {

std::string BaseName(const char* path)
{
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/')
      name = p + 1;
  }
  return name;
}

void ReportAndExit(const char* expression, const char* file, int line)
{
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  const std::string caption = BaseName(module);
  const std::string text = AssertionText(expression, file, line);
  SysApi().MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
  SysApi().ExitProcess(3);
}

TAssertReporter& Reporter()
{
  static TAssertReporter reporter = ReportAndExit;
  return reporter;
}

} // namespace

TAssertReporter SetAssertReporter(TAssertReporter reporter)
{
  TAssertReporter old = std::move(Reporter());
  Reporter() = reporter ? std::move(reporter) : TAssertReporter(ReportAndExit);
  return old;
}

std::string AssertionText(const char* expression, const char* file, int line)
{
  return "Assertion failed: " + std::string(expression) + ", file " + BaseName(file) + ", line " +
         std::to_string(line);
}

void AssertFailed(const char* expression, const char* file, int line)
{
  Reporter()(expression, file, line);
}
