#include "SysApi.h"

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
  api.GetSystemMetrics = ::GetSystemMetrics;
  api.ExitProcess = ::ExitProcess;
  return api;
}

TSysApi& SysApi()
{
  static TSysApi api = TSysApi::System();
  return api;
}
