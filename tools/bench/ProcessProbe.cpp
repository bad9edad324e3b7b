#include "ProcessProbe.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

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

struct TWindowCount {
  DWORD ProcessId;
  int Count;
};

BOOL CALLBACK CountChild(HWND, LPARAM data)
{
  ++reinterpret_cast<TWindowCount*>(data)->Count;
  return TRUE;
}

BOOL CALLBACK CountProcessWindow(HWND window, LPARAM data)
{
  auto* count = reinterpret_cast<TWindowCount*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == count->ProcessId) {
    ++count->Count;
    // Lists every descendant, not only the direct children.
    EnumChildWindows(window, &CountChild, data);
  }
  return TRUE;
}

std::string Signed(long long value)
{
  char text[32];
  std::snprintf(text, sizeof text, "%+lld", value);
  return text;
}

} // namespace

// The process's GDI handle table, which Wine keeps in the process and names in its PEB: the objects in use.
// Where the system counts GDI objects itself its answer is taken.
int GdiObjectsOf(HANDLE process)
{
  const DWORD count = GetGuiResources(process, GR_GDIOBJECTS);
  if (count != 0)
    return static_cast<int>(count);
  using TQuery = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const FARPROC found = ntdll ? GetProcAddress(ntdll, "NtQueryInformationProcess") : nullptr;
  const auto query = reinterpret_cast<TQuery>(reinterpret_cast<void (*)()>(found));
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
    return -1;
  struct TEntry {
    uint64_t Object;
    uint32_t Owner;
    uint16_t Unique;
    uint8_t Type;
    uint8_t Flags;
    uint64_t UserPointer;
  };
  static_assert(sizeof(TEntry) == 24, "layout of a GDI handle table entry");
  // Both processes are 64-bit: the table's address sits at the same place in either PEB.
  const auto* tableField = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress) + 0xF8;
  uint64_t table = 0;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, tableField, &table, sizeof table, &read) || read != sizeof table || !table)
    return -1;
  std::vector<TEntry> entries(0x10000);
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                         entries.size() * sizeof(TEntry), &read) ||
      read != entries.size() * sizeof(TEntry))
    return -1;
  int used = 0;
  for (const TEntry& entry : entries)
    used += entry.Type != 0;
  return used;
}

// Committed private memory, region by region: what the system would report as private bytes. Wine answers
// GetProcessMemoryInfo for another process with zeros.
SIZE_T PrivateBytesOf(HANDLE process)
{
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) &&
      memory.PrivateUsage != 0)
    return memory.PrivateUsage;
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
      total += region.RegionSize;
    if (region.RegionSize == 0)
      break;
  }
  return total;
}

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

bool TStartedProcess::Stop(HWND window, UINT message, WPARAM wParam)
{
  if (!Running())
    return true;
  if (window)
    SendAndWait(window, message, wParam, 0);
  if (WaitForSingleObject(m_process.Get(), kEndMs) == WAIT_OBJECT_0)
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
  counts.PrivateBytes = PrivateBytesOf(process.Handle());
  counts.Gdi = GdiObjectsOf(process.Handle());
  const DWORD user = GetGuiResources(process.Handle(), GR_USEROBJECTS);
  if (user != 0) {
    counts.User = static_cast<int>(user);
  } else {
    TWindowCount windows{process.Id(), 0};
    EnumWindows(&CountProcessWindow, reinterpret_cast<LPARAM>(&windows));
    counts.User = windows.Count;
    counts.UserIsWindows = true;
  }
  GetProcessHandleCount(process.Handle(), &counts.Handles);
  return counts;
}

std::string Describe(const TCounts& counts)
{
  return "private " + std::to_string(counts.PrivateBytes / 1024) + " KiB, GDI " + std::to_string(counts.Gdi) +
         (counts.UserIsWindows ? ", windows " : ", USER ") + std::to_string(counts.User) + ", handles " +
         (counts.Handles ? std::to_string(counts.Handles) : "n/a");
}

std::string DescribeGrowth(const TCounts& first, const TCounts& last)
{
  std::string grown;
  const auto check = [&](const char* what, long long before, long long after, const char* unit) {
    if (after > before)
      grown += std::string(grown.empty() ? "" : ", ") + what + " " + Signed(after - before) + unit;
  };
  check("private", static_cast<long long>(first.PrivateBytes / 1024), static_cast<long long>(last.PrivateBytes / 1024),
        " KiB");
  check("GDI", first.Gdi, last.Gdi, "");
  check(last.UserIsWindows ? "windows" : "USER", first.User, last.User, "");
  check("handles", first.Handles, last.Handles, "");
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
