#include "System/PowerMgr.h"

#include "Handles.h"
#include "SysApi.h"

namespace orvo {

namespace {

constexpr const char* kShutdownPrivilege = "SeShutdownPrivilege";

// Sets the privilege's attributes in the process token. `missingIsSuccess`: an unknown privilege needs
// no change.
bool SetPrivilege(const char* name, const char* systemName, DWORD attributes, bool missingIsSuccess)
{
  HANDLE token = nullptr;
  if (!SysApi().OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  // One token handle per call otherwise stays open for the life of the process.
  const TKernelHandle tokenOwner(token);
  LUID luid{};
  if (!SysApi().LookupPrivilegeValueA(systemName, name, &luid))
    return missingIsSuccess;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid = luid;
  privileges.Privileges[0].Attributes = attributes;
  const BOOL adjusted = SysApi().AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  // Success with a privilege the token does not hold still reports ERROR_NOT_ALL_ASSIGNED.
  return adjusted && GetLastError() == ERROR_SUCCESS;
}

} // namespace

bool IsNtPlatform()
{
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  // A failed call leaves the platform id 0, which is not NT.
  SysApi().GetVersionExA(&info);
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

UINT ExitFlags(UINT base, int forceMode)
{
  switch (forceMode) {
  case kForceNone:
    return base;
  case kForceAll:
    return base | EWX_FORCE;
  default:
    return base | EWX_FORCEIFHUNG;
  }
}

bool EnablePrivilege(const char* name, const char* systemName)
{
  return SetPrivilege(name, systemName, SE_PRIVILEGE_ENABLED, false);
}

bool DisablePrivilege(const char* name, const char* systemName)
{
  return SetPrivilege(name, systemName, 0, true);
}

bool EnableShutdownPrivilege()
{
  return IsNtPlatform() ? EnablePrivilege(kShutdownPrivilege, nullptr) : true;
}

bool DisableShutdownPrivilege()
{
  return IsNtPlatform() ? DisablePrivilege(kShutdownPrivilege, nullptr) : true;
}

bool RestartSystem(int forceMode, DWORD reason)
{
  if (!EnableShutdownPrivilege()) {
    // Puts back whatever part of the change did happen; the request is not made.
    DisableShutdownPrivilege();
    return false;
  }
  const BOOL result = SysApi().ExitWindowsEx(ExitFlags(EWX_REBOOT, forceMode), reason);
  DisableShutdownPrivilege();  // the request stands either way; nothing to do about a failure here
  return result != 0;
}

} // namespace orvo
