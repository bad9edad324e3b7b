#pragma once
// The controller's command line: what to do, taken apart before anything is read or sent.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

enum class TCtlCommand { Help, Version, Show, Hide, Exit, Foreground, Apply, Status };

// Long enough for a fade on a slow machine, short enough that a script notices a stuck program.
constexpr DWORD kDefaultTimeoutMs = 30000;
constexpr DWORD kMaxTimeoutMs = 3600000;

struct TCtlRequest {
  TCtlCommand Command = TCtlCommand::Help;
  // apply: the level as written, saturated; checked against the BIOS before anything is sent.
  std::uint64_t Level = 0;
  // apply: the level as it was typed, for messages about it.
  std::string LevelText;
  // status --json, apply --json
  bool Json = false;
  // the commands that send a message
  DWORD TimeoutMs = kDefaultTimeoutMs;
};

// A command that sends one private message to the running copy.
struct TMessageCommand {
  const char* Name;
  TCtlCommand Command;
  UINT Message;
  const char* MessageName;
};

// The message commands, in the order the help lists them.
const std::vector<TMessageCommand>& MessageCommands();
const TMessageCommand* FindMessageCommand(TCtlCommand command);

// Fills `request` from the arguments after the program name. False, with a one-line reason in `error`,
// when they do not make one request.
bool ParseCommandLine(const std::vector<std::string>& args, TCtlRequest& request, std::string& error);

// The one-line synopsis printed after a bad-argument error.
const char* UsageLine();
