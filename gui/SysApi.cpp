#include "SysApi.h"

namespace {

HRESULT NotifyIconRect(const NOTIFYICONIDENTIFIER* identifier, RECT* location)
{
  using TGetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
  static const TGetRect getRect = [] {
    const HMODULE shell32 = GetModuleHandleA("shell32.dll");
    return shell32 ? reinterpret_cast<TGetRect>(
                         reinterpret_cast<void (*)()>(GetProcAddress(shell32, "Shell_NotifyIconGetRect")))
                   : nullptr;
  }();
  return getRect ? getRect(identifier, location) : E_NOTIMPL;
}

} // namespace

TSysApi TSysApi::System()
{
  TSysApi api;
  api.MessageBoxA = ::MessageBoxA;
  api.TrackPopupMenu = ::TrackPopupMenu;
  api.OutputDebugStringA = ::OutputDebugStringA;
  api.ExitWindowsEx = ::ExitWindowsEx;
  api.OpenProcessToken = ::OpenProcessToken;
  api.LookupPrivilegeValueA = ::LookupPrivilegeValueA;
  api.AdjustTokenPrivileges = ::AdjustTokenPrivileges;
  api.GetVersionExA = ::GetVersionExA;
  api.Shell_NotifyIconA = ::Shell_NotifyIconA;
  api.Shell_NotifyIconGetRect = NotifyIconRect;
  api.GetSystemMetrics = ::GetSystemMetrics;
  api.ExitProcess = ::ExitProcess;
  return api;
}

TSysApi& SysApi()
{
  static TSysApi api = TSysApi::System();
  return api;
}
