// vantorctl: drives the running copy of the program through its private window messages, and reads the
// CPU levels through the program's own BIOS layer.
#include "BiosInterface.h"
#include "CtlCommandLine.h"
#include "CtlJson.h"
#include "SysApi.h"
#include "VantorMessages.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#ifndef KO_VERSION
#define KO_VERSION "unknown"
#endif

namespace {

// Exit codes, as --help documents them.
constexpr int kExitDone = 0;
constexpr int kExitNotRunning = 1;
constexpr int kExitUsage = 2;
constexpr int kExitBios = 3;
constexpr int kExitNoAnswer = 4;
constexpr int kExitRefused = 5;
constexpr int kExitRestartRefused = 6;

const char* const kHelp =
    R"(vantorctl drives the running CPU Vantor through its private window messages
and reads the CPU levels from the BIOS.

usage: vantorctl [--timeout MS] show|hide|exit|foreground
       vantorctl [--timeout MS] apply LEVEL [--json]
       vantorctl status [--json]
       vantorctl --help | --version

Commands sent to the running copy. It is found the way a second copy of the
program finds it: the top-level window of class "TMainForm" with the caption
"CPU Vantor+". Each command sends that window one message, with lParam 0:

  show          show both windows (in TPX mode only the notice)
                UM_SHOW (1026), wParam 85
  hide          hide both windows
                UM_HIDE (1025), wParam 85
  exit          end the running copy
                UM_EXIT (1024), wParam 85
  foreground    bring the main window to the front
                UM_FOREGROUND (1030), wParam 85
  apply LEVEL   write LEVEL to the BIOS, then RESTART THE COMPUTER
                UM_APPLY_LEVEL (1065), wParam LEVEL
                The copy answers 1 when it wrote the level and the system
                took the restart request, 2 when it wrote the level but
                the system refused the restart, 0 when it wrote nothing
                (the BIOS refused the level, or the copy is closing).
  apply LEVEL --json
                the same, and the outcome as one JSON object in plain ASCII:
                {"level": N, "written": true|false,
                 "restarting": true|false, "reason": "text"|null}

  wParam 85 is the tag ('U') the program requires in its low byte;
  UM_APPLY_LEVEL carries the level instead.

  WARNING: apply restarts the computer at once. The running copy writes the
  level and asks the system to reboot without a question: unsaved work in
  every program is lost. LEVEL is an index into the list "vantorctl status"
  prints; it is checked against the levels the BIOS offers before anything
  is sent.

  The message goes out with SendMessageTimeout: vantorctl waits until the
  running copy has handled it (show and hide include their fades), for at
  most --timeout MS milliseconds (default 30000, 1 to 3600000), and gives up
  at once when the copy has stopped responding. After a timeout the copy may
  still carry the request out.

Read-only; needs no running copy and sends nothing:

  status        the levels the BIOS offers, the current level (marked *),
                whether TPX mode is on (then show brings only the notice)
                and whether a copy is running
  status --json the same as one JSON object in plain ASCII:
                {"levels": ["name", ...], "current": N,
                 "current_name": "name", "tpx_mode": true|false,
                 "running": true|false}
                "current" and "tpx_mode" are null when the BIOS does not
                answer them; "current_name" is null when the current level
                is not one of the levels

Exit codes:
  0  done: the running copy handled the message; status read everything
  1  no copy of CPU Vantor is running; nothing was sent
  2  bad arguments: an unknown command or option, a missing, extra or
     non-numeric argument, or a level the BIOS does not offer; a usage line
     goes to stderr and nothing is sent
  3  the BIOS could not be read: KOACPI.DLL is not beside vantorctl.exe
     (status and apply need it), apply found no levels to check against
     (nothing was sent), or status could not read the levels or the current
     level (it prints what it read)
  4  the running copy did not answer in time (hung or busy), or the message
     could not be delivered
  5  apply: the running copy could not write the level (the BIOS refused
     it, or the copy is closing); nothing was written, nothing restarts
  6  apply: the level was written, but the system refused the restart; the
     level takes effect at the next restart
)";

int UsageError(const std::string& reason)
{
  std::fprintf(stderr, "vantorctl: %s\n%s\n", reason.c_str(), UsageLine());
  return kExitUsage;
}

// The BIOS library is bound on first use; this loads it first so that a missing one is reported in one
// line instead of ending the process at the first call. The module stays loaded for the binding.
bool BiosLibraryLoaded()
{
  if (LoadLibraryA("KOACPI.DLL"))
    return true;
  std::fprintf(stderr, "vantorctl: KOACPI.DLL cannot be loaded (error %lu); it belongs in the folder of "
                       "vantorctl.exe; nothing read\n",
               static_cast<unsigned long>(GetLastError()));
  return false;
}

HWND FindRunningCopy()
{
  return FindWindowA(kMainWindowClass, kMainWindowCaption);
}

// What status reports; every field is read afresh from the BIOS.
struct TStatus {
  std::vector<std::string> Levels;
  bool LevelsRead = false;
  DWORD Current = 0;
  // Kept apart from the value: the BIOS may hold any number, 0xFFFFFFFF too.
  bool CurrentRead = false;
  bool TpxRead = false;
  bool TpxMode = false;
  bool Running = false;

  bool CurrentListed() const { return CurrentRead && Current < Levels.size(); }
};

TStatus ReadStatus()
{
  TStatus status;
  AcpiInit(); // the library needs it first; its result tells nothing
  status.LevelsRead = LoadLevelNames(status.Levels, status.Current, status.CurrentRead);
  status.TpxRead = ReadTpxMode(status.TpxMode);
  status.Running = FindRunningCopy() != nullptr;
  return status;
}

void PrintStatusJson(const TStatus& status)
{
  std::string out = "{\"levels\": [";
  for (std::size_t i = 0; i < status.Levels.size(); ++i)
    out += (i ? ", " : "") + JsonString(status.Levels[i]);
  out += "], \"current\": ";
  out += status.CurrentRead ? std::to_string(status.Current) : "null";
  out += ", \"current_name\": ";
  out += status.CurrentListed() ? JsonString(status.Levels[status.Current]) : "null";
  out += ", \"tpx_mode\": ";
  out += status.TpxRead ? (status.TpxMode ? "true" : "false") : "null";
  out += ", \"running\": ";
  out += status.Running ? "true" : "false";
  std::printf("%s}\n", out.c_str());
}

void PrintStatusText(const TStatus& status)
{
  for (std::size_t i = 0; i < status.Levels.size(); ++i)
    std::printf("%c %2u  %s\n", status.CurrentRead && i == status.Current ? '*' : ' ', static_cast<unsigned>(i),
                status.Levels[i].c_str());
  if (status.CurrentListed())
    std::printf("current level: %u (%s)\n", static_cast<unsigned>(status.Current),
                status.Levels[status.Current].c_str());
  else if (status.CurrentRead)
    std::printf("current level: %u (not one of the levels)\n", static_cast<unsigned>(status.Current));
  else
    std::printf("current level: unknown\n");
  std::printf("TPX mode: %s\n", status.TpxRead ? (status.TpxMode ? "on" : "off") : "unknown");
  std::printf("running copy: %s\n", status.Running ? "yes" : "no");
}

int RunStatus(bool json)
{
  if (!BiosLibraryLoaded())
    return kExitBios;
  const TStatus status = ReadStatus();
  if (json)
    PrintStatusJson(status);
  else
    PrintStatusText(status);

  if (!status.LevelsRead) {
    std::fprintf(stderr, "vantorctl: the BIOS offers no CPU levels (no level item, or one without "
                         "options)\n");
    return kExitBios;
  }
  if (!status.CurrentRead) {
    std::fprintf(stderr, "vantorctl: the BIOS did not answer the current level\n");
    return kExitBios;
  }
  return kExitDone;
}

// The running copy ignores levels it does not list, so an out-of-range level is refused here, where the
// script can still be told, rather than sent to be dropped without a word.
int CheckLevel(std::uint64_t level, const std::string& typed)
{
  if (!BiosLibraryLoaded())
    return kExitBios;
  AcpiInit(); // the library needs it first; its result tells nothing
  std::vector<std::string> names;
  DWORD current = 0;
  if (!LoadLevelNames(names, current) || names.empty()) {
    std::fprintf(stderr, "vantorctl: the BIOS offers no CPU levels to check the level against; "
                         "nothing sent\n");
    return kExitBios;
  }
  if (level >= names.size())
    return UsageError("level \"" + typed + "\" is out of range: the BIOS offers levels 0 to " +
                      std::to_string(names.size() - 1));
  return kExitDone;
}

// What the running copy's answer to UM_APPLY_LEVEL means, on one line.
int ReportApply(const TCtlRequest& request, LRESULT answer)
{
  const std::string level = std::to_string(request.Level);
  const bool written = answer == UM_APPLY_RESTARTING || answer == UM_APPLY_PENDING;
  const bool restarting = answer == UM_APPLY_RESTARTING;
  std::string reason;
  if (answer == UM_APPLY_PENDING)
    reason = "level " + level + " was written, but the system refused the restart; it takes effect at the next "
                                "restart";
  else if (!written)
    reason = "the running copy could not apply level " + level +
             " (the BIOS refused it, or the copy is closing); nothing was written";
  if (request.Json)
    std::printf("{\"level\": %s, \"written\": %s, \"restarting\": %s, \"reason\": %s}\n", level.c_str(),
                written ? "true" : "false", restarting ? "true" : "false",
                reason.empty() ? "null" : JsonString(reason).c_str());
  else if (restarting)
    std::printf("vantorctl: apply: handled by the running copy: level %s written, the computer restarts\n",
                level.c_str());
  else
    std::fprintf(stderr, "vantorctl: apply: %s\n", reason.c_str());
  return restarting ? kExitDone : written ? kExitRestartRefused : kExitRefused;
}

int SendToRunningCopy(const TCtlRequest& request)
{
  const TMessageCommand& command = *FindMessageCommand(request.Command);
  if (request.Command == TCtlCommand::Apply) {
    const int checked = CheckLevel(request.Level, request.LevelText);
    if (checked != kExitDone)
      return checked;
  }

  const HWND window = FindRunningCopy();
  if (!window) {
    std::fprintf(stderr,
                 "vantorctl: CPU Vantor is not running (no window of class \"%s\" with caption \"%s\"); "
                 "nothing sent\n",
                 kMainWindowClass, kMainWindowCaption);
    return kExitNotRunning;
  }

  // A show takes the keyboard to the dialog, as far as the foreground is ours to pass on.
  if (request.Command == TCtlCommand::Foreground || request.Command == TCtlCommand::Show) {
    // The system lets a process take the foreground only when the foreground owner allows it. Whether we
    // may pass that on depends on our own standing; without it the window only flashes, so the result
    // changes nothing here.
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    AllowSetForegroundWindow(process);
  }

  const WPARAM wParam = request.Command == TCtlCommand::Apply ? static_cast<WPARAM>(request.Level) : UM_TAG;
  DWORD_PTR result = 0;
  SetLastError(ERROR_SUCCESS);
  if (SendMessageTimeoutA(window, command.Message, wParam, 0, SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT,
                          request.TimeoutMs, &result)) {
    if (request.Command == TCtlCommand::Apply)
      return ReportApply(request, static_cast<LRESULT>(result));
    std::printf("vantorctl: %s: handled by the running copy\n", command.Name);
    return kExitDone;
  }
  const DWORD error = GetLastError();

  // exit and apply end the running copy; when it is gone the request has done what it was for.
  const bool ends = request.Command == TCtlCommand::Exit || request.Command == TCtlCommand::Apply;
  if (!IsWindow(window) && ends) {
    std::printf("vantorctl: %s: the running copy ended\n", command.Name);
    return kExitDone;
  }
  if (error == ERROR_TIMEOUT)
    std::fprintf(stderr,
                 "vantorctl: %s: the running copy did not answer within %lu ms (hung or busy); it may "
                 "still carry the request out\n",
                 command.Name, static_cast<unsigned long>(request.TimeoutMs));
  else
    std::fprintf(stderr, "vantorctl: %s: the message could not be delivered (error %lu)\n", command.Name,
                 static_cast<unsigned long>(error));
  return kExitNoAnswer;
}

} // namespace

int main(int argc, char** argv)
{
  // Scripts run this unattended: a box the BIOS layer would show (an unsupported conversion, a failed
  // assertion) must not wait for a click that never comes.
  SysApi().MessageBoxA = [](HWND, LPCSTR text, LPCSTR caption, UINT) {
    std::fprintf(stderr, "vantorctl: %s: %s\n", caption ? caption : "", text ? text : "");
    return IDOK;
  };

  const std::vector<std::string> args(argv + 1, argv + argc);
  TCtlRequest request;
  std::string error;
  if (!ParseCommandLine(args, request, error))
    return UsageError(error);

  switch (request.Command) {
  case TCtlCommand::Help:
    std::fputs(kHelp, stdout);
    return kExitDone;
  case TCtlCommand::Version:
    std::printf("vantorctl %s\n", KO_VERSION);
    return kExitDone;
  case TCtlCommand::Status:
    return RunStatus(request.Json);
  default:
    return SendToRunningCopy(request);
  }
}
