#include "ProcessProbe.h"

#include "ProcessCounts.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace appbench {

namespace {

constexpr DWORD kAnswerMs = 30000;
constexpr DWORD kEndMs = 15000;

struct TWindowSearch {
  DWORD ProcessId;
  const char* ClassName;
  HWND Found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM data)
{
  auto* search = reinterpret_cast<TWindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[64] = {};
  if (owner != search->ProcessId || !GetClassNameA(window, className, sizeof className) ||
      std::strcmp(className, search->ClassName) != 0)
    return TRUE;
  search->Found = window;
  return FALSE;
}

std::string Signed(long long value)
{
  char text[32];
  std::snprintf(text, sizeof text, "%+lld", value);
  return text;
}

} // namespace

TStartedProcess::TStartedProcess(const std::string& exePath)
{
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  std::string commandLine = "\"" + exePath + "\"";
  const std::string folder = exePath.substr(0, exePath.find_last_of('\\') + 1);
  if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &started))
    return;
  m_process.Reset(started.hProcess);
  m_thread.Reset(started.hThread);
  m_id = started.dwProcessId;
}

TStartedProcess::~TStartedProcess()
{
  if (Running()) {
    TerminateProcess(m_process.Get(), 1);
    WaitForSingleObject(m_process.Get(), kEndMs);
  }
}

bool TStartedProcess::Running() const
{
  return m_process.Valid() && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

HWND TStartedProcess::Window(const char* className) const
{
  TWindowSearch search{m_id, className, nullptr};
  if (m_process.Valid())
    EnumWindows(&FindProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

bool TStartedProcess::WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) const
{
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (!Running() || GetTickCount64() > end)
      return done();
    Sleep(1);
  }
  return true;
}

bool TStartedProcess::WaitForEnd(DWORD timeoutMs) const
{
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  const HANDLE process = m_process.Get();
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
    const DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0)
      return true;
    if (woken != WAIT_OBJECT_0 + 1)
      return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

bool TStartedProcess::Stop(HWND window, UINT message, WPARAM wParam)
{
  if (!Running())
    return true;
  if (window)
    SendAndWait(window, message, wParam, 0);
  if (WaitForEnd(kEndMs))
    return true;
  TerminateProcess(m_process.Get(), 1);
  WaitForSingleObject(m_process.Get(), kEndMs);
  return false;
}

bool SendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &result) != 0;
}

void Settle(HWND window)
{
  SendAndWait(window, WM_NULL, 0, 0);
  Sleep(50);
  SendAndWait(window, WM_NULL, 0, 0);
}

std::vector<HWND> ChildWindows(HWND parent, const char* className)
{
  std::vector<HWND> found;
  for (HWND child = FindWindowExA(parent, nullptr, className, nullptr); child;
       child = FindWindowExA(parent, child, className, nullptr))
    found.push_back(child);
  return found;
}

TCounts CountsOf(const TStartedProcess& process)
{
  TCounts counts;
  counts.PrivateBytes = koprobe::PrivateBytesOf(process.Handle());
  counts.Gdi = koprobe::GdiObjectsOf(process.Handle());
  const koprobe::TUserCount user = koprobe::UserObjectsOf(process.Handle(), process.Id());
  counts.User = user.Count;
  counts.UserIsWindows = user.IsWindows;
  counts.Handles = koprobe::KernelHandlesOf(process.Handle());
  return counts;
}

std::string Describe(const TCounts& counts)
{
  const auto figure = [](long long value) { return value < 0 ? std::string("n/a") : std::to_string(value); };
  return "private " + figure(counts.PrivateBytes < 0 ? -1 : counts.PrivateBytes / 1024) + " KiB, GDI " +
         figure(counts.Gdi) + (counts.UserIsWindows ? ", windows " : ", USER ") + figure(counts.User) +
         ", handles " + figure(counts.Handles);
}

std::string DescribeGrowth(const TCounts& first, const TCounts& last)
{
  std::string grown;
  std::string blind;
  const auto check = [&](const char* what, long long before, long long after, const char* unit) {
    if (before < 0 || after < 0)
      blind += std::string(blind.empty() ? "" : ", ") + what;
    else if (after > before)
      grown += std::string(grown.empty() ? "" : ", ") + what + " " + Signed(after - before) + unit;
  };
  const auto kib = [](long long bytes) { return bytes < 0 ? -1 : bytes / 1024; };
  check("private", kib(first.PrivateBytes), kib(last.PrivateBytes), " KiB");
  check("GDI", first.Gdi, last.Gdi, "");
  check(last.UserIsWindows ? "windows" : "USER", first.User, last.User, "");
  check("handles", first.Handles, last.Handles, "");
  if (!blind.empty())
    return "NOT COUNTED (" + blind + "): the leak check proves nothing";
  return grown.empty() ? "no growth" : "GROWTH: " + grown;
}

std::vector<uint32_t> ScreenPixels(HWND window)
{
  RECT bounds{};
  if (!GetWindowRect(window, &bounds) || bounds.right <= bounds.left || bounds.bottom <= bounds.top)
    return {};
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const TWindowDC screen(nullptr);
  const TBitmapHandle section(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const TMemoryDC memory = TMemoryDC::CreateCompatible(screen.Get());
  if (!section || !memory)
    return {};
  {
    const TSelectObject selected(memory.Get(), section.Get());
    if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), bounds.left, bounds.top, SRCCOPY))
      return {};
    GdiFlush();
  }
  const auto* pixels = static_cast<const uint32_t*>(bits);
  return std::vector<uint32_t>(pixels, pixels + static_cast<size_t>(width) * height);
}

} // namespace appbench
