#pragma once
// The few operating-system calls that tests must observe or answer instead of the system: modal boxes and
// menus (they would block a test), the reboot and privilege calls and the platform they depend on, the
// notification area, debugger output, ending the process and screen metrics. Everything else is called
// directly.
#include <windows.h>
#include <shellapi.h>

#include <functional>

struct TSysApi {
  std::function<int(HWND, LPCSTR, LPCSTR, UINT)> MessageBoxA;
  std::function<BOOL(HMENU, UINT, int, int, int, HWND, const RECT*)> TrackPopupMenu;
  std::function<void(LPCSTR)> OutputDebugStringA;
  std::function<BOOL(UINT, DWORD)> ExitWindowsEx;
  std::function<BOOL(HANDLE, DWORD, PHANDLE)> OpenProcessToken;
  std::function<BOOL(LPCSTR, LPCSTR, PLUID)> LookupPrivilegeValueA;
  std::function<BOOL(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD)> AdjustTokenPrivileges;
  std::function<BOOL(LPOSVERSIONINFOA)> GetVersionExA;
  std::function<BOOL(DWORD, PNOTIFYICONDATAA)> Shell_NotifyIconA;
  // Looked up by name: E_NOTIMPL where the shell lacks it.
  std::function<HRESULT(const NOTIFYICONIDENTIFIER*, RECT*)> Shell_NotifyIconGetRect;
  std::function<int(int)> GetSystemMetrics;
  std::function<void(UINT)> ExitProcess;

  // The real functions of the system.
  static TSysApi System();
};

// The table in force; starts as TSysApi::System().
TSysApi& SysApi();

// Replaces entries for one scope and puts the whole table back afterwards.
class TSysApiScope {
public:
  TSysApiScope() : m_saved(SysApi()) {}
  ~TSysApiScope() { SysApi() = m_saved; }
  TSysApiScope(const TSysApiScope&) = delete;
  TSysApiScope& operator=(const TSysApiScope&) = delete;

private:
  TSysApi m_saved;
};
