#pragma once
// Exact counts of what a process holds, read from inside it or from another process of the same word size.
// Wine implements none of GetGuiResources, GetProcessHandleCount or PrivateUsage, so each count falls back
// to what the system keeps for it. Every counter answers -1 when it cannot count: a leak check must fail
// then, never compare -1 with -1.
#include <windows.h>

#include <string>
#include <vector>

namespace koprobe {

// GDI objects in use: GetGuiResources, else the process's GDI handle table named in its PEB.
int GdiObjectsOf(HANDLE process);
// Kernel handles: GetProcessHandleCount, else this process's entries in the system-wide handle list.
long KernelHandlesOf(HANDLE process);
// Committed private memory in bytes: PrivateUsage, else the committed private regions one by one.
long long PrivateBytesOf(HANDLE process);
// Windows of the process or of one thread, top-level and child: the USER objects a test can see.
int WindowsOfProcess(DWORD processId);
int WindowsOfThread(DWORD threadId);
// USER objects: GetGuiResources, else the process's windows (`IsWindows` says which was counted).
struct TUserCount {
  int Count = -1;
  bool IsWindows = false;
};
TUserCount UserObjectsOf(HANDLE process, DWORD processId);

// A Unix program started from a Windows process under Wine (CreateProcess gives no handle to wait on for
// one), run to its end when `wait`: false when it could not start or, waited for, ended with a non-zero
// status; always false outside Wine.
bool RunUnixProgram(std::vector<std::string> argv, bool wait = true);
// xdotool: input through the X server, as a user's. Not waited for when the caller must pump messages
// while it runs (a drag in a modal move loop).
bool RunXdotool(std::vector<std::string> arguments, bool wait = true);
// Whether the X server's keyboard focus is on `window`'s X window. Typed keys reach a Wine program only
// then, and its driver moves the X focus when the window's thread next runs it: after a show that is
// later than the system's foreground window says, so a key typed in between goes nowhere.
bool HasXInputFocus(HWND window);

} // namespace koprobe
