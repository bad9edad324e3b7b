#include "CtlCommandLine.h"

#include "VantorMessages.h"

#include <algorithm>

namespace {

bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

// Plain decimal digits only: no sign, no spaces, no hexadecimal. Values past 2^32 saturate there, which
// no limit of ours ever reaches, so "too large" reads as "out of range" rather than as "not a number".
bool ParseWholeNumber(const std::string& text, std::uint64_t& value)
{
  if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit))
    return false;
  constexpr std::uint64_t kSaturated = 0x100000000ull;
  value = 0;
  for (char c : text)
    value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(c - '0'), kSaturated);
  return true;
}

bool IsHelp(const std::string& arg)
{
  return arg == "--help" || arg == "-h" || arg == "/?";
}

// An argument that looks like an option; "-1" does not, so a negative level is reported as a bad level.
bool LooksLikeOption(const std::string& arg)
{
  return arg.size() > 1 && arg[0] == '-' && !IsDigit(arg[1]);
}

bool Fail(std::string& error, std::string reason)
{
  error = std::move(reason);
  return false;
}

bool ParseTimeout(const std::string& text, DWORD& timeoutMs, std::string& error)
{
  std::uint64_t value = 0;
  if (!ParseWholeNumber(text, value) || value < 1 || value > kMaxTimeoutMs)
    return Fail(error, "--timeout takes milliseconds from 1 to " + std::to_string(kMaxTimeoutMs) +
                           ", not \"" + text + "\"");
  timeoutMs = static_cast<DWORD>(value);
  return true;
}

struct TOptions {
  bool Version = false;
  bool Json = false;
  bool Timeout = false;
  std::vector<std::string> Words;
};

bool SplitOptions(const std::vector<std::string>& args, TOptions& options, TCtlRequest& request,
                  std::string& error)
{
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--version") {
      options.Version = true;
    } else if (arg == "--json") {
      if (options.Json)
        return Fail(error, "--json is given twice");
      options.Json = true;
    } else if (arg == "--timeout" || arg.rfind("--timeout=", 0) == 0) {
      if (options.Timeout)
        return Fail(error, "--timeout is given twice");
      options.Timeout = true;
      std::string value;
      if (arg.size() > 9)
        value = arg.substr(10);
      else if (i + 1 < args.size())
        value = args[++i];
      else
        return Fail(error, "--timeout needs a number of milliseconds");
      if (!ParseTimeout(value, request.TimeoutMs, error))
        return false;
    } else if (LooksLikeOption(arg)) {
      return Fail(error, "unknown option \"" + arg + "\"");
    } else {
      options.Words.push_back(arg);
    }
  }
  return true;
}

} // namespace

const std::vector<TMessageCommand>& MessageCommands()
{
  static const std::vector<TMessageCommand> commands = {
      {"show", TCtlCommand::Show, UM_SHOW, "UM_SHOW"},
      {"hide", TCtlCommand::Hide, UM_HIDE, "UM_HIDE"},
      {"exit", TCtlCommand::Exit, UM_EXIT, "UM_EXIT"},
      {"foreground", TCtlCommand::Foreground, UM_FOREGROUND, "UM_FOREGROUND"},
      {"apply", TCtlCommand::Apply, UM_APPLY_LEVEL, "UM_APPLY_LEVEL"},
  };
  return commands;
}

const TMessageCommand* FindMessageCommand(TCtlCommand command)
{
  for (const TMessageCommand& entry : MessageCommands())
    if (entry.Command == command)
      return &entry;
  return nullptr;
}

const char* UsageLine()
{
  return "usage: vantorctl [--timeout MS] show|hide|exit|foreground\n"
         "       vantorctl [--timeout MS] apply LEVEL [--json]\n"
         "       vantorctl status [--json]\n"
         "       vantorctl --help | --version";
}

bool ParseCommandLine(const std::vector<std::string>& args, TCtlRequest& request, std::string& error)
{
  request = TCtlRequest{};
  // Asking for help never fails, whatever else is on the line.
  if (std::any_of(args.begin(), args.end(), IsHelp)) {
    request.Command = TCtlCommand::Help;
    return true;
  }

  TOptions options;
  if (!SplitOptions(args, options, request, error))
    return false;
  if (options.Version) {
    if (args.size() != 1)
      return Fail(error, "--version takes nothing else");
    request.Command = TCtlCommand::Version;
    return true;
  }
  if (options.Words.empty())
    return Fail(error, "no command given");

  const std::string& word = options.Words[0];
  std::size_t expected = 1;
  if (word == "status") {
    request.Command = TCtlCommand::Status;
  } else {
    const auto& commands = MessageCommands();
    const auto found = std::find_if(commands.begin(), commands.end(),
                                    [&](const TMessageCommand& entry) { return word == entry.Name; });
    if (found == commands.end())
      return Fail(error, "unknown command \"" + word + "\"");
    request.Command = found->Command;
  }

  if (request.Command == TCtlCommand::Apply) {
    if (options.Words.size() < 2)
      return Fail(error, "apply needs a level: a whole number from 0 (vantorctl status lists them)");
    if (!ParseWholeNumber(options.Words[1], request.Level))
      return Fail(error, "level \"" + options.Words[1] + "\" is not a whole number from 0");
    request.LevelText = options.Words[1];
    expected = 2;
  }
  if (options.Words.size() > expected)
    return Fail(error, "unexpected argument \"" + options.Words[expected] + "\"");

  const bool sends = request.Command != TCtlCommand::Status;
  if (options.Json && sends && request.Command != TCtlCommand::Apply)
    return Fail(error, "--json belongs to status and apply only");
  if (options.Timeout && !sends)
    return Fail(error, "--timeout belongs to the commands that send a message, not to status");
  request.Json = options.Json;
  return true;
}
