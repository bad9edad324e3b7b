#include "BenchSupport.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstring>

namespace bench {

namespace {

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

BOOL CALLBACK CountWindowAndChildren(HWND window, LPARAM count)
{
  CountWindow(window, count);
  EnumChildWindows(window, &CountWindow, count);
  return TRUE;
}

} // namespace

// Wine does not implement GetGuiResources; there the process's GDI handle table (shared through the PEB)
// is counted instead.
int GdiObjects()
{
  const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (count != 0)
    return static_cast<int>(count);
  using TQuery = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const FARPROC found = ntdll ? GetProcAddress(ntdll, "NtQueryInformationProcess") : nullptr;
  const auto query = reinterpret_cast<TQuery>(reinterpret_cast<void (*)()>(found));
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
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
  const auto* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
  const void* table = nullptr;
  std::memcpy(&table, peb + (sizeof(void*) == 8 ? 0xF8 : 0x94), sizeof(table));
  if (!table)
    return -1;
  const auto* entries = static_cast<const TEntry*>(table);
  int used = 0;
  for (int i = 0; i < 0x10000; ++i)
    used += entries[i].Type != 0;
  return used;
}

int UserObjects()
{
  const DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (count != 0)
    return static_cast<int>(count);
  int windows = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountWindowAndChildren, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

void Pump()
{
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

} // namespace bench
