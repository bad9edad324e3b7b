// vantorctl run as a real process against a stand-in for the running copy's main window, and against a
// stand-in BIOS in a store of the test's own.
#include "Handles.h"
#include "KoAcpiControl.h"
#include "TestSupport.h"
#include "VantorMessages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Levels, companion, TPX and guard items as the program finds them; %LEVEL% and %TPX% are filled in.
const char* const kLayout = R"({"info": [1, 0, 2], "groups": {
  "0x00": [{"id": "0x00060008", "value": 0, "count": 8}, {"id": "0x00060009", "value": 0, "count": 8}],
  "0x09": [{"id": "0x09000000", "value": 6, "count": 8}],
  "0x0B": [{"id": "0x0B060001", "value": %TPX%, "count": 2}],
  "0x0F": [%LEVEL%]}})";
const char* const kFourLevels =
    R"({"id": "0x0F080000", "value": 2, "options": ["Quiet", "Standard", "Turbo", "Extreme"]})";

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
  text.replace(text.find(what), what.size(), with);
  return text;
}

std::string ReadWholeFile(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A console program's text output ends its lines in CRLF.
std::string ReadOutput(const std::string& path)
{
  std::string text = ReadWholeFile(path);
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
    text.erase(at, 1);
  return text;
}

bool Contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

struct TReceived {
  UINT Message;
  WPARAM WParam;
  LPARAM LParam;
  bool operator==(const TReceived&) const = default;
};

void PrintTo(const TReceived& r, std::ostream* os)
{
  *os << "{" << r.Message << ", " << r.WParam << ", " << r.LParam << "}";
}

// A hidden top-level window standing in for the running copy: it records every private message.
class TStandInWindow {
public:
  TStandInWindow(const char* className, const char* caption) : m_className(className)
  {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    m_window = CreateWindowExA(0, className, caption, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), this);
  }
  ~TStandInWindow()
  {
    DestroyWindow(m_window);
    UnregisterClassA(m_className.c_str(), GetModuleHandleA(nullptr));
  }
  TStandInWindow(const TStandInWindow&) = delete;
  TStandInWindow& operator=(const TStandInWindow&) = delete;

  HWND Handle() const { return m_window; }

  std::vector<TReceived> Received;
  // While set, a private message is answered only once this handle is signalled (a busy program).
  HANDLE AnswerAfter = nullptr;
  // The answer to UM_APPLY_LEVEL; every other message is answered 0.
  LRESULT ApplyAnswer = UM_APPLY_RESTARTING;

private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
  {
    if (message == WM_NCCREATE)
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<TStandInWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message >= WM_USER && message < WM_APP) {
      self->Received.push_back({message, wParam, lParam});
      if (self->AnswerAfter)
        WaitForSingleObject(self->AnswerAfter, 30000);
      return message == UM_APPLY_LEVEL ? self->ApplyAnswer : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  std::string m_className;
  HWND m_window = nullptr;
};

struct TCtlRun {
  DWORD ExitCode = 0xDEAD;
  std::string Out;
  std::string Err;
};

TKernelHandle InheritableFile(const std::string& path, DWORD access, DWORD disposition)
{
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return TKernelHandle(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Runs vantorctl with `args`, pumping this thread's messages meanwhile so that the stand-in can answer.
// Its output goes to files: a pipe nobody reads while the child runs could fill up and stall it. `folder`
// (with a trailing backslash) holds the vantorctl.exe to run and is its working folder.
TCtlRun RunCtl(const std::string& args, TStandInWindow* busy = nullptr, const std::string& folder = ExeDir())
{
  TTempFile outPath(".out"), errPath(".err");
  TCtlRun run;
  {
    TKernelHandle in = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
    TKernelHandle out = InheritableFile(outPath.Path(), GENERIC_WRITE, CREATE_ALWAYS);
    TKernelHandle err = InheritableFile(errPath.Path(), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.Get();
    startup.hStdOutput = out.Get();
    startup.hStdError = err.Get();
    std::string command = "\"" + folder + "vantorctl.exe\" " + args;
    PROCESS_INFORMATION info{};
    // Under load Wine now and then fails a process start with an internal error before the program runs;
    // the start is tried again, never a run that took place.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt)
      started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                               folder.c_str(), &startup, &info) != FALSE;
    if (!started) {
      ADD_FAILURE() << "cannot start " << command << " (error " << GetLastError() << ")";
      return run;
    }
    TKernelHandle process(info.hProcess), thread(info.hThread);
    if (busy)
      busy->AnswerAfter = process.Get();
    const HANDLE waitFor = process.Get();
    bool ended = false;
    for (int round = 0; round < 600 && !ended; ++round) {
      ended = MsgWaitForMultipleObjects(1, &waitFor, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0;
      PumpPending();
    }
    if (busy)
      busy->AnswerAfter = nullptr;
    if (!ended) {
      TerminateProcess(process.Get(), 99);
      WaitForSingleObject(process.Get(), 5000);
      ADD_FAILURE() << command << " did not end";
    }
    GetExitCodeProcess(process.Get(), &run.ExitCode);
  }
  run.Out = ReadOutput(outPath.Path());
  run.Err = ReadOutput(errPath.Path());
  return run;
}

// Every test has its own BIOS store, named to the child through KOACPI_STORE.
class VantorCtl : public ::testing::Test {
protected:
  void SetUp() override
  {
    // A window of the real kind from elsewhere would take our messages; tests that make one share a lock.
    ASSERT_EQ(FindWindowA(kMainWindowClass, kMainWindowCaption), nullptr)
        << "another window of class TMainForm with caption \"CPU Vantor+\" exists";
    SetEnvironmentVariableA("KOACPI_STORE", m_store.Path().c_str());
    ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
    Load(kFourLevels);
  }
  void TearDown() override { SetEnvironmentVariableA("KOACPI_STORE", nullptr); }

  // `tpx`: the rest of the TPX item after "value": its value and any further fields.
  void Load(const std::string& levelItems, const std::string& tpx = "0")
  {
    const std::string json = Replace(Replace(kLayout, "%LEVEL%", levelItems), "%TPX%", tpx);
    char error[512] = {};
    ASSERT_EQ(KoSimLoadLayout(json.c_str(), error, sizeof error), 1) << error;
  }

  std::string Store() const { return ReadWholeFile(m_store.Path()); }

  TTempFile m_store{".json"};
};

// --- messages ----------------------------------------------------------------------------------------------

TEST_F(VantorCtl, EachCommandSendsItsMessageOnceAndSucceeds)
{
  struct TCase {
    const char* Args;
    TReceived Expected;
  };
  const TCase cases[] = {
      {"show", {UM_SHOW, 85, 0}},
      {"hide", {UM_HIDE, 85, 0}},
      {"exit", {UM_EXIT, 85, 0}},
      {"foreground", {UM_FOREGROUND, 85, 0}},
      {"apply 0", {UM_APPLY_LEVEL, 0, 0}},
      {"apply 3", {UM_APPLY_LEVEL, 3, 0}},
      {"apply 002", {UM_APPLY_LEVEL, 2, 0}},
      {"--timeout 5000 hide", {UM_HIDE, 85, 0}},
      {"show --timeout=60000", {UM_SHOW, 85, 0}},
  };
  TStandInWindow target(kMainWindowClass, kMainWindowCaption);
  const std::string before = Store();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args);
    target.Received.clear();
    const TCtlRun run = RunCtl(c.Args);
    EXPECT_EQ(run.ExitCode, 0u) << run.Err;
    EXPECT_EQ(target.Received, std::vector<TReceived>{c.Expected});
    EXPECT_TRUE(Contains(run.Out, "handled by the running copy")) << run.Out;
    EXPECT_EQ(run.Err, "");
  }
  // Checking a level reads the BIOS; writing it is the running copy's business.
  EXPECT_EQ(Store(), before);
}

TEST_F(VantorCtl, WithoutTheRunningCopyNothingIsSentAndTheExitCodeIsOne)
{
  // Half a match is no match: the copy is found by class and caption together.
  TStandInWindow wrongCaption(kMainWindowClass, "CPU Vantor");
  TStandInWindow wrongClass("TMainFormX", kMainWindowCaption);
  for (const char* args : {"show", "hide", "exit", "foreground", "apply 1"}) {
    SCOPED_TRACE(args);
    const TCtlRun run = RunCtl(args);
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(Contains(run.Err, "CPU Vantor is not running")) << run.Err;
    EXPECT_EQ(run.Out, "");
  }
  EXPECT_TRUE(wrongCaption.Received.empty());
  EXPECT_TRUE(wrongClass.Received.empty());
}

TEST_F(VantorCtl, BadArgumentsGetAUsageLineExitCodeTwoAndSendNothing)
{
  struct TCase {
    const char* Args;
    const char* Reason;
  };
  const TCase cases[] = {
      {"", "no command given"},
      {"reboot", "unknown command \"reboot\""},
      {"Show", "unknown command \"Show\""},
      {"show now", "unexpected argument \"now\""},
      {"apply", "apply needs a level"},
      {"apply 4", "level \"4\" is out of range: the BIOS offers levels 0 to 3"},
      {"apply 4294967296", "level \"4294967296\" is out of range"},
      {"apply 99999999999999999999999", "level \"99999999999999999999999\" is out of range"},
      {"apply -1", "level \"-1\" is not a whole number"},
      {"apply 1.5", "not a whole number"},
      {"apply 0x1", "not a whole number"},
      {"apply \"\"", "not a whole number"},
      {"apply two", "not a whole number"},
      {"apply 1 2", "unexpected argument \"2\""},
      {"--force show", "unknown option \"--force\""},
      {"show --json", "--json belongs to status and apply only"},
      {"status --timeout 10", "--timeout belongs to the commands that send"},
      {"--timeout 0 show", "--timeout takes milliseconds from 1 to 3600000, not \"0\""},
      {"--timeout 3600001 show", "--timeout takes milliseconds"},
      {"--timeout=ten show", "not \"ten\""},
      {"show --timeout", "--timeout needs a number"},
      {"--timeout 5 --timeout 5 show", "--timeout is given twice"},
      {"status --json --json", "--json is given twice"},
      {"--version status", "--version takes nothing else"},
      {"status now", "unexpected argument \"now\""},
  };
  TStandInWindow target(kMainWindowClass, kMainWindowCaption);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args);
    const TCtlRun run = RunCtl(c.Args);
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_TRUE(Contains(run.Err, c.Reason)) << run.Err;
    EXPECT_TRUE(Contains(run.Err, "\nusage: vantorctl")) << run.Err;
    EXPECT_EQ(run.Out, "");
  }
  EXPECT_TRUE(target.Received.empty());
}

TEST_F(VantorCtl, ApplyWithoutLevelsInTheBiosSendsNothingAndExitsThree)
{
  TStandInWindow target(kMainWindowClass, kMainWindowCaption);
  for (const char* levelItems : {"", R"({"id": "0x0F080000", "descriptor": [252182528, 0, 0, 0, 0]})"}) {
    SCOPED_TRACE(levelItems);
    Load(levelItems);
    const TCtlRun run = RunCtl("apply 0");
    EXPECT_EQ(run.ExitCode, 3u);
    EXPECT_TRUE(Contains(run.Err, "no CPU levels")) << run.Err;
  }
  EXPECT_TRUE(target.Received.empty());
}

// The running copy answers whether it wrote the level and restarts; a script learns it from the exit code
// and one line, in text or JSON.
TEST_F(VantorCtl, ApplyReportsWhatTheRunningCopyAnswered)
{
  struct TCase {
    LRESULT Answer;
    bool Json;
    DWORD ExitCode;
    const char* Line;
  };
  const TCase cases[] = {
      {UM_APPLY_RESTARTING, false, 0, "level 3 written, the computer restarts"},
      {UM_APPLY_REFUSED, false, 5, "could not apply level 3"},
      {UM_APPLY_PENDING, false, 6, "level 3 was written, but the system refused the restart"},
      {UM_APPLY_RESTARTING, true, 0, nullptr},
      {UM_APPLY_REFUSED, true, 5, "could not apply level 3"},
      {UM_APPLY_PENDING, true, 6, "takes effect at the next restart"},
  };
  TStandInWindow target(kMainWindowClass, kMainWindowCaption);
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Answer) + (c.Json ? " json" : ""));
    target.ApplyAnswer = c.Answer;
    target.Received.clear();
    const TCtlRun run = RunCtl(c.Json ? "apply 3 --json" : "apply 3");
    EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Out << run.Err;
    EXPECT_EQ(target.Received, (std::vector<TReceived>{{UM_APPLY_LEVEL, 3, 0}}));
    if (c.Json) {
      EXPECT_EQ(run.Err, "");
      const nlohmann::json outcome = nlohmann::json::parse(run.Out);
      EXPECT_EQ(outcome["level"], 3);
      EXPECT_EQ(outcome["written"], c.Answer != UM_APPLY_REFUSED);
      EXPECT_EQ(outcome["restarting"], c.Answer == UM_APPLY_RESTARTING);
      if (c.Line) {
        EXPECT_TRUE(Contains(outcome["reason"].get<std::string>(), c.Line)) << run.Out;
      } else {
        EXPECT_TRUE(outcome["reason"].is_null()) << run.Out;
      }
      continue;
    }
    // One line, where a script looks for it: stdout when done, stderr when not.
    const std::string& text = c.ExitCode == 0 ? run.Out : run.Err;
    EXPECT_EQ(c.ExitCode == 0 ? run.Err : run.Out, "");
    EXPECT_TRUE(Contains(text, c.Line)) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  }
}

TEST_F(VantorCtl, ABusyCopyTimesOutWithExitCodeFour)
{
  TStandInWindow target(kMainWindowClass, kMainWindowCaption);
  // The stand-in answers only when the controller has ended, so the wait can only end by the timeout.
  const TCtlRun run = RunCtl("--timeout 200 hide", &target);
  EXPECT_EQ(run.ExitCode, 4u);
  EXPECT_TRUE(Contains(run.Err, "did not answer within 200 ms")) << run.Err;
  EXPECT_EQ(target.Received, (std::vector<TReceived>{{UM_HIDE, 85, 0}}));
}

// --- help ----------------------------------------------------------------------------------------------

TEST_F(VantorCtl, HelpDocumentsEveryCommandItsMessageAndTheExitCodes)
{
  TStandInWindow target(kMainWindowClass, kMainWindowCaption);
  const TCtlRun run = RunCtl("--help");
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_EQ(run.Err, "");
  const struct {
    const char* Command;
    UINT Message;
  } documented[] = {{"show", UM_SHOW},       {"hide", UM_HIDE},
                    {"exit", UM_EXIT},       {"foreground", UM_FOREGROUND},
                    {"apply LEVEL", UM_APPLY_LEVEL}};
  for (const auto& d : documented) {
    SCOPED_TRACE(d.Command);
    EXPECT_TRUE(Contains(run.Out, "\n  " + std::string(d.Command) + " ")) << "command";
    EXPECT_TRUE(Contains(run.Out, "(" + std::to_string(d.Message) + "), wParam ")) << "message number";
  }
  for (const char* part : {"wParam 85", "WARNING: apply restarts the computer", "status --json",
                           "--timeout MS", "SendMessageTimeout", "\"TMainForm\"", "\"CPU Vantor+\""})
    EXPECT_TRUE(Contains(run.Out, part)) << part;
  for (int code = 0; code <= 6; ++code)
    EXPECT_TRUE(Contains(run.Out, "\n  " + std::to_string(code) + "  ")) << "exit code " << code;

  // Help wins wherever it is asked for, and sends nothing.
  for (const char* args : {"-h", "apply 99 --help", "bogus /?"}) {
    const TCtlRun again = RunCtl(args);
    EXPECT_EQ(again.ExitCode, 0u) << args;
    EXPECT_EQ(again.Out, run.Out) << args;
  }
  EXPECT_TRUE(target.Received.empty());

  const TCtlRun version = RunCtl("--version");
  EXPECT_EQ(version.ExitCode, 0u);
  EXPECT_EQ(version.Out, "vantorctl " KO_VERSION "\n");
}

TEST_F(VantorCtl, CopiedAwayFromTheBiosLibraryOnlyTheBiosCommandsFailAndSayWhy)
{
  TTempFile place(".dir");
  const std::string folder = place.Path() + "\\";
  ASSERT_TRUE(CreateDirectoryA(place.Path().c_str(), nullptr));
  ASSERT_TRUE(CopyFileA((ExeDir() + "vantorctl.exe").c_str(), (folder + "vantorctl.exe").c_str(), TRUE));
  const TCtlRun help = RunCtl("--help", nullptr, folder);
  const TCtlRun hide = RunCtl("hide", nullptr, folder);
  const TCtlRun status = RunCtl("status", nullptr, folder);
  const TCtlRun apply = RunCtl("apply 1", nullptr, folder);
  DeleteFileA((folder + "vantorctl.exe").c_str());
  RemoveDirectoryA(place.Path().c_str());

  EXPECT_EQ(help.ExitCode, 0u);
  EXPECT_TRUE(Contains(help.Out, "usage: vantorctl")) << help.Out;
  EXPECT_EQ(hide.ExitCode, 1u) << "no running copy, found without the library: " << hide.Err;
  for (const TCtlRun* run : {&status, &apply}) {
    EXPECT_EQ(run->ExitCode, 3u);
    EXPECT_TRUE(Contains(run->Err, "vantorctl: KOACPI.DLL cannot be loaded")) << run->Err;
    EXPECT_EQ(std::count(run->Err.begin(), run->Err.end(), '\n'), 1) << run->Err;
  }
}

TEST_F(VantorCtl, ADamagedStoreIsRepairedSayingWhichFileAndWhereItWasKept)
{
  const std::string damaged = "{\"info\": [1, 0,";
  {
    std::ofstream file(m_store.Path(), std::ios::binary | std::ios::trunc);
    file << damaged;
  }
  const std::string backup = m_store.Path() + ".bad";
  const TCtlRun run = RunCtl("status");
  const std::string kept = ReadWholeFile(backup);
  DeleteFileA(backup.c_str());
  EXPECT_TRUE(Contains(run.Err, "store " + m_store.Path() + " is damaged")) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "kept as " + backup)) << run.Err;
  EXPECT_EQ(kept, damaged);
}

// --- status --------------------------------------------------------------------------------------------

TEST_F(VantorCtl, StatusPrintsTheLevelsAndTheCurrentOneAndWritesNothing)
{
  const std::string before = Store();
  const TCtlRun run = RunCtl("status");
  EXPECT_EQ(run.ExitCode, 0u) << run.Err;
  EXPECT_EQ(run.Out, "   0  Quiet\n"
                     "   1  Standard\n"
                     "*  2  Turbo\n"
                     "   3  Extreme\n"
                     "current level: 2 (Turbo)\n"
                     "TPX mode: off\n"
                     "running copy: no\n");
  EXPECT_EQ(Store(), before);
}

TEST_F(VantorCtl, StatusJsonParsesBackToWhatTheBiosHolds)
{
  Load(R"({"id": "0x0F080000", "value": 1, "options": ["Low", "High"]})", "1");
  TStandInWindow target(kMainWindowClass, kMainWindowCaption);
  const TCtlRun run = RunCtl("status --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Err;
  const nlohmann::json status = nlohmann::json::parse(run.Out);
  EXPECT_EQ(status, nlohmann::json::parse(R"({"levels": ["Low", "High"], "current": 1, "current_name": "High",
                                              "tpx_mode": true, "running": true})"));
  EXPECT_TRUE(target.Received.empty());
}

// `text` (UTF-8) as it comes back after a trip through the ANSI code page.
std::string ThroughAnsi(const std::string& text)
{
  const auto convert = [](UINT from, UINT to, const std::string& in) {
    std::wstring wide(in.size(), L'\0');
    wide.resize(MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), wide.data(),
                                    static_cast<int>(wide.size())));
    std::string out(wide.size() * 3, '\0');
    out.resize(WideCharToMultiByte(to, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
  };
  return convert(CP_ACP, CP_UTF8, convert(CP_UTF8, CP_ACP, text));
}

TEST_F(VantorCtl, StatusJsonEscapesNamesAndStaysAscii)
{
  // The layout keeps names as UTF-8; the program reads them as ANSI text and the JSON carries them escaped.
  const std::vector<std::string> names = {"say \"hi\"",  "back\\slash",       "two\nlines\ttab",
                                          "bell\x01",    "caf\xc3\xa9", "/slash/"};
  ASSERT_EQ(ThroughAnsi("caf\xc3\xa9"), "caf\xc3\xa9") << "the ANSI code page here has no e acute";
  nlohmann::json layout = {{"id", "0x0F080000"}, {"value", 0}, {"options", names}};
  Load(layout.dump());
  const TCtlRun run = RunCtl("status --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Err;
  for (unsigned char c : run.Out)
    ASSERT_LT(c, 0x80) << run.Out;

  const nlohmann::json status = nlohmann::json::parse(run.Out);
  ASSERT_EQ(status["levels"].size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(status["levels"][i].get<std::string>(), names[i]) << i;
  EXPECT_EQ(status["current_name"], status["levels"][0]);
}

TEST_F(VantorCtl, StatusReportsWhatTheBiosDoesNotAnswer)
{
  struct TCase {
    const char* LevelItem;
    const char* Current;
    const char* Levels;
    DWORD ExitCode;
    const char* Err;
  };
  const TCase cases[] = {
      {R"({"id": "0x0F080000", "value": 1, "options": ["A", "B"], "readable": false})", "null",
       R"(["A", "B"])", 3, "did not answer the current level"},
      {R"({"id": "0x0F080000", "value": 7, "max": 9, "options": ["A", "B"]})", "7", R"(["A", "B"])", 0, ""},
      // The highest value is a level like any other, not the sign of an unanswered read.
      {R"({"id": "0x0F080000", "value": 4294967295, "max": 4294967295, "options": ["A", "B"]})", "4294967295",
       R"(["A", "B"])", 0, ""},
      {"", "null", "[]", 3, "offers no CPU levels"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.LevelItem);
    Load(c.LevelItem);
    const TCtlRun run = RunCtl("status --json");
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_TRUE(Contains(run.Err, c.Err)) << run.Err;
    const nlohmann::json expected = {{"levels", nlohmann::json::parse(c.Levels)},
                                     {"current", nlohmann::json::parse(c.Current)},
                                     {"current_name", nullptr},
                                     {"tpx_mode", false},
                                     {"running", false}};
    EXPECT_EQ(nlohmann::json::parse(run.Out), expected) << run.Out;
  }

  Load(kFourLevels, R"(1, "readable": false)");
  const TCtlRun json = RunCtl("status --json");
  EXPECT_EQ(json.ExitCode, 0u);
  EXPECT_EQ(nlohmann::json::parse(json.Out)["tpx_mode"], nullptr) << json.Out;
  const TCtlRun text = RunCtl("status");
  EXPECT_TRUE(Contains(text.Out, "\nTPX mode: unknown\n")) << text.Out;
}

} // namespace
