#include "WindowBinder.h"

#include "SysApi.h"

#include <exception>

TNotifyEvent ApplicationHandleException;

std::string CurrentExceptionMessage()
{
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

namespace {

// The executable's file name without folder and extension: the title a program has until it sets one.
std::string ModuleTitle()
{
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path);
  name = name.substr(name.find_last_of("\\/") + 1);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace

void HandleException(TObject* Sender) noexcept
{
  try {
    if (ApplicationHandleException) {
      ApplicationHandleException(Sender);
      return;
    }
    const std::string text = CurrentExceptionMessage();
    SysApi().MessageBoxA(nullptr, text.c_str(), ModuleTitle().c_str(), MB_OK | MB_ICONERROR);
  } catch (...) {
    // A failing error handler has nowhere left to report to; the message loop must go on.
  }
}
