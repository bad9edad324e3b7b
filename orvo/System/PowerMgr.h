#pragma once
// Restarting the machine: the shutdown privilege is enabled in the process token around the request and
// disabled again afterwards.
#include <windows.h>

namespace orvo {

// ForceMode of RestartSystem and ExitFlags: 0 asks running programs to close, 1 forces them, any other
// value forces only those that do not answer.
enum : int { kForceNone = 0, kForceAll = 1, kForceIfHung = 2 };

// Asks the system to reboot with ExitFlags(EWX_REBOOT, forceMode) and `reason`; true when the request was
// accepted. Without the shutdown privilege nothing is requested and the result is false.
bool RestartSystem(int forceMode, DWORD reason);

// Whether this is a Windows NT-family system, where shutting down needs a privilege.
bool IsNtPlatform();
// `base` with the force option that `forceMode` selects.
UINT ExitFlags(UINT base, int forceMode);

// Enables or disables the privilege `name` (looked up on `systemName`, null for this machine) in the
// process token. Enabling fails when the token does not hold the privilege; disabling a privilege that the
// system does not know succeeds, as there is nothing to disable.
bool EnablePrivilege(const char* name, const char* systemName);
bool DisablePrivilege(const char* name, const char* systemName);

// The shutdown privilege; on other platforms there is none to change and both succeed.
bool EnableShutdownPrivilege();
bool DisableShutdownPrivilege();

} // namespace orvo
