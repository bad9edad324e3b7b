#pragma once
// Another process seen from the bench: started and ended, its windows found, its memory and object counts
// read from outside.
#include "Handles.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace appbench {

// A program started by the bench. Ended when the object goes: asked first through Stop, ended by force
// (this process only, by its handle) when it does not go.
class TStartedProcess {
public:
  explicit TStartedProcess(const std::string& exePath);
  ~TStartedProcess();
  TStartedProcess(const TStartedProcess&) = delete;
  TStartedProcess& operator=(const TStartedProcess&) = delete;

  bool Started() const { return m_process.Valid(); }
  HANDLE Handle() const { return m_process.Get(); }
  DWORD Id() const { return m_id; }
  bool Running() const;
  // Its top-level window of `className`; null when it has none.
  HWND Window(const char* className) const;
  // Polls until `done` holds, the process ends or `timeoutMs` passes; returns `done()`.
  bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) const;
  // Waits for the process to end, at most `timeoutMs`, handling this thread's messages meanwhile, as a
  // program of a user's session does while another ends. True when it ended.
  bool WaitForEnd(DWORD timeoutMs) const;
  // Sends `message` to `window` and waits for the process to end. False when it had to be ended by force.
  bool Stop(HWND window, UINT message, WPARAM wParam);

private:
  TKernelHandle m_process;
  TKernelHandle m_thread;
  DWORD m_id = 0;
};

// Sends a message and waits for its answer, at most 30 s. False when the window did not answer.
bool SendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Lets the process handle what the last sent messages queued (paints among them) before counts are read.
void Settle(HWND window);

// Child windows of `parent` of `className`, in the order the system lists them.
std::vector<HWND> ChildWindows(HWND parent, const char* className);

// Counts of another process; -1 where one cannot be read (see ProcessCounts.h).
struct TCounts {
  long long PrivateBytes = -1;
  int Gdi = -1;
  int User = -1;
  bool UserIsWindows = false; // the system does not count USER objects: its windows were counted instead
  long Handles = -1;
};
TCounts CountsOf(const TStartedProcess& process);
std::string Describe(const TCounts& counts);
// "no growth" or what grew, from `first` to `last`.
std::string DescribeGrowth(const TCounts& first, const TCounts& last);

// The screen's pixels under `window`, to tell whether its picture changed. Empty when unreadable.
std::vector<uint32_t> ScreenPixels(HWND window);

} // namespace appbench
