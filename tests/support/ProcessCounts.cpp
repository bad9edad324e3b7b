#include "ProcessCounts.h"

#include <psapi.h>
#include <winternl.h>

#include <cstdint>

namespace koprobe {

namespace {

// One entry of the GDI handle table; Wine keeps the 64-bit layout in 32-bit processes too.
struct TGdiEntry {
  uint64_t Object;
  uint32_t Owner;
  uint16_t Unique;
  uint8_t Type;
  uint8_t Flags;
  uint64_t UserPointer;
};
static_assert(sizeof(TGdiEntry) == 24, "layout of a GDI handle table entry");
constexpr size_t kGdiEntries = 0x10000;
// Where the PEB names the table: both processes have this one's word size.
constexpr size_t kGdiTableField = sizeof(void*) == 8 ? 0xF8 : 0x94;

template <typename TFunction>
TFunction NtdllFunction(const char* name)
{
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const FARPROC found = ntdll ? GetProcAddress(ntdll, name) : nullptr;
  return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(found));
}

bool ReadExactly(HANDLE process, const void* at, void* to, SIZE_T bytes)
{
  SIZE_T read = 0;
  return ReadProcessMemory(process, at, to, bytes, &read) && read == bytes;
}

BOOL CALLBACK CountOne(HWND, LPARAM count)
{
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// A window and every descendant (EnumChildWindows lists them all, not only direct children).
BOOL CALLBACK CountWithChildren(HWND window, LPARAM count)
{
  CountOne(window, count);
  EnumChildWindows(window, &CountOne, count);
  return TRUE;
}

struct TProcessWindows {
  DWORD ProcessId;
  int Count;
};

BOOL CALLBACK CountIfOwned(HWND window, LPARAM data)
{
  auto* windows = reinterpret_cast<TProcessWindows*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == windows->ProcessId)
    CountWithChildren(window, reinterpret_cast<LPARAM>(&windows->Count));
  return TRUE;
}

} // namespace

int GdiObjectsOf(HANDLE process)
{
  const DWORD count = GetGuiResources(process, GR_GDIOBJECTS);
  if (count != 0)
    return static_cast<int>(count);
  using TQuery = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  const auto query = NtdllFunction<TQuery>("NtQueryInformationProcess");
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      !basic.PebBaseAddress)
    return -1;
  const void* table = nullptr;
  const auto* field = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress) + kGdiTableField;
  if (!ReadExactly(process, field, &table, sizeof table) || !table)
    return -1;
  std::vector<TGdiEntry> entries(kGdiEntries);
  if (!ReadExactly(process, table, entries.data(), entries.size() * sizeof(TGdiEntry)))
    return -1;
  int used = 0;
  for (const TGdiEntry& entry : entries)
    used += entry.Type != 0;
  return used;
}

long KernelHandlesOf(HANDLE process)
{
  DWORD count = 0;
  if (GetProcessHandleCount(process, &count) && count != 0)
    return static_cast<long>(count);
  struct TEntry {
    USHORT ProcessId;
    USHORT CreatorBackTraceIndex;
    UCHAR ObjectType;
    UCHAR Attributes;
    USHORT Handle;
    PVOID Object;
    ACCESS_MASK Access;
  };
  struct TList {
    ULONG Count;
    TEntry Entries[1];
  };
  using TQuery = LONG(WINAPI*)(SYSTEM_INFORMATION_CLASS, void*, ULONG, ULONG*);
  const auto query = NtdllFunction<TQuery>("NtQuerySystemInformation");
  const DWORD id = GetProcessId(process);
  if (!query || id == 0)
    return -1;
  constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
  std::vector<BYTE> buffer(1 << 20);
  ULONG needed = 0;
  while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
    if (buffer.size() >= (64u << 20))
      return -1;
    buffer.resize(buffer.size() * 2);
  }
  const auto* list = reinterpret_cast<const TList*>(buffer.data());
  long own = 0;
  for (ULONG i = 0; i < list->Count; ++i)
    own += list->Entries[i].ProcessId == static_cast<USHORT>(id);
  // Every process holds some handles: none seen means the list does not name processes.
  return own > 0 ? own : -1;
}

long long PrivateBytesOf(HANDLE process)
{
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) &&
      memory.PrivateUsage != 0)
    return static_cast<long long>(memory.PrivateUsage);
  long long total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
      total += static_cast<long long>(region.RegionSize);
    if (region.RegionSize == 0)
      break;
  }
  return total > 0 ? total : -1;
}

int WindowsOfProcess(DWORD processId)
{
  TProcessWindows windows{processId, 0};
  if (!EnumWindows(&CountIfOwned, reinterpret_cast<LPARAM>(&windows)))
    return -1;
  return windows.Count;
}

int WindowsOfThread(DWORD threadId)
{
  int count = 0;
  // Fails when the thread has no windows at all, which is a count of 0.
  EnumThreadWindows(threadId, &CountWithChildren, reinterpret_cast<LPARAM>(&count));
  return count;
}

TUserCount UserObjectsOf(HANDLE process, DWORD processId)
{
  const DWORD count = GetGuiResources(process, GR_USEROBJECTS);
  if (count != 0)
    return {static_cast<int>(count), false};
  return {WindowsOfProcess(processId), true};
}

bool RunUnixProgram(std::vector<std::string> argv, bool wait)
{
  using TSpawn = LONG(WINAPI*)(char* const argv[], int wait);
  const auto spawn = NtdllFunction<TSpawn>("__wine_unix_spawnvp");
  if (!spawn || argv.empty())
    return false;
  std::vector<char*> words;
  for (std::string& word : argv)
    words.push_back(word.data());
  words.push_back(nullptr);
  return spawn(words.data(), wait ? 1 : 0) == 0;
}

bool RunXdotool(std::vector<std::string> arguments, bool wait)
{
  arguments.insert(arguments.begin(), "/usr/bin/xdotool");
  return RunUnixProgram(std::move(arguments), wait);
}

bool HasXInputFocus(HWND window)
{
  const auto xWindow = reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_whole_window"));
  if (!xWindow)
    return false;
  return RunUnixProgram(
      {"/bin/sh", "-c", "[ \"$(/usr/bin/xdotool getwindowfocus)\" = " + std::to_string(xWindow) + " ]"});
}

} // namespace koprobe
