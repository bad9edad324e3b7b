// The built program as a user meets it: CpuVantor.exe started as a process of its own over a stand-in BIOS
// in a store of the test's own, its buttons pressed with the display's real pointer. The restart question's
// Yes is left to RebootTest.sh: the reboot request ends every windowed process of the Wine prefix.
#include "Handles.h"
#include "KoAcpiControl.h"
#include "TestSupport.h"
#include "VantorMessages.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

const char* const kLayout = R"({"info": [1, 0, 2], "groups": {
  "0x00": [{"id": "0x00060008", "value": 0, "count": 8}, {"id": "0x00060009", "value": 0, "count": 8}],
  "0x09": [{"id": "0x09000000", "value": 6, "default": 6, "count": 8}],
  "0x0B": [{"id": "0x0B060001", "value": %TPX%, "count": 2}],
  "0x0F": [{"id": "0x0F080000", "value": 2, "default": 2,
            "options": ["Standard", "Quiet", "Balanced", "Performance", "Maximum"], "restart": [0, 4]}]}})";
constexpr DWORD kLevelItem = 0x0F080000;

// Centres of the buttons on the dialog, which shares the main window's top-left corner.
constexpr POINT kPrev = {85, 192};
constexpr POINT kNext = {297, 192};
constexpr POINT kOk = {126, 276};
constexpr POINT kCancel = {230, 276};

struct TWindowOf {
  DWORD ProcessId;
  std::string ClassName;
  HWND Found = nullptr;
};

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM data)
{
  auto& wanted = *reinterpret_cast<TWindowOf*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (process == wanted.ProcessId && IsWindowVisible(window) && wanted.ClassName == name) {
    wanted.Found = window;
    return FALSE;
  }
  return TRUE;
}

std::string WindowText(HWND window)
{
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// One copy of the program, ended when the object goes (asked to exit, then made to).
class TVantorProcess {
public:
  TVantorProcess(const std::string& exe, const std::string& args)
  {
    std::string command = "\"" + exe + "\" " + args;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    bool started = false;
    // Under load Wine now and then fails a process start before the program runs; only the start is retried.
    for (int attempt = 0; attempt < 3 && !started; ++attempt)
      started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &info) != FALSE;
    if (!started) {
      ADD_FAILURE() << "cannot start " << command;
      return;
    }
    m_process.Reset(info.hProcess);
    TKernelHandle thread(info.hThread);
    m_id = info.dwProcessId;
  }
  ~TVantorProcess()
  {
    if (!m_process.Get() || Ended(0))
      return;
    if (HWND window = MainWindow())
      PostMessageA(window, UM_EXIT, UM_TAG, 0);
    if (!Ended(10000))
      TerminateProcess(m_process.Get(), 99);
    WaitForSingleObject(m_process.Get(), 5000);
  }
  TVantorProcess(const TVantorProcess&) = delete;
  TVantorProcess& operator=(const TVantorProcess&) = delete;

  bool Ended(DWORD waitMs) const
  {
    return m_process.Get() && WaitForSingleObject(m_process.Get(), waitMs) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const
  {
    DWORD code = 0xDEAD;
    GetExitCodeProcess(m_process.Get(), &code);
    return code;
  }
  DWORD Id() const { return m_id; }

  // The program's main window, once it exists.
  HWND MainWindow() const
  {
    HWND window = FindWindowA(kMainWindowClass, kMainWindowCaption);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return window && owner == m_id ? window : nullptr;
  }
  // The main window once the program waits for input: both windows made, the message loop running. A
  // request sent earlier would reach a copy that is still being made.
  HWND WaitForMainWindow() const
  {
    HWND window = nullptr;
    PumpUntil([&] { return (window = MainWindow()) != nullptr || Ended(0); }, 3000);
    PumpUntil([&] { return DialogWindow() != nullptr || Ended(0); }, 3000);
    WaitForInputIdle(m_process.Get(), 10000);
    return window;
  }
  HWND DialogWindow() const
  {
    HWND window = FindWindowA("TControlForm", "cpuvantorControlForm");
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return window && owner == m_id ? window : nullptr;
  }
  // A visible top-level window of this process with the class `className`.
  HWND VisibleWindow(const char* className) const
  {
    TWindowOf wanted{m_id, className};
    EnumWindows(&FindVisibleWindowOf, reinterpret_cast<LPARAM>(&wanted));
    return wanted.Found;
  }

private:
  TKernelHandle m_process;
  DWORD m_id = 0;
};

class VantorProgram : public ::testing::Test {
protected:
  void SetUp() override
  {
    UseLayout(0);
    SetEnvironmentVariableA("KOACPI_STORE", m_store.Path().c_str());
    // The pointer rests away from where the windows appear.
    RunXdotool({"mousemove", "5", "1000"});
  }
  void TearDown() override { SetEnvironmentVariableA("KOACPI_STORE", nullptr); }

  void UseLayout(int tpx)
  {
    std::string json = kLayout;
    json.replace(json.find("%TPX%"), 5, std::to_string(tpx));
    ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
    char error[256] = {};
    ASSERT_EQ(KoSimLoadLayout(json.c_str(), error, sizeof error), 1) << error;
  }

  // The level in the store, as the program left it.
  uint32_t StoredLevel()
  {
    uint32_t value = 0xDEAD;
    EXPECT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
    EXPECT_EQ(KoSimGetValue(kLevelItem, &value), 1);
    return value;
  }

  static std::string Exe() { return ExeDir() + "CpuVantor.exe"; }

  static bool Visible(HWND window) { return window && IsWindowVisible(window); }
  static bool WaitVisible(HWND window, bool visible)
  {
    return PumpUntil([&] { return Visible(window) == visible; }, 1000);
  }

  // Presses the dialog's button whose centre is `at`, with the real pointer.
  static void Press(HWND main, POINT at)
  {
    RECT rect{};
    GetWindowRect(main, &rect);
    // The pointer stays on the button: the button takes its release only where the pointer then is.
    ASSERT_TRUE(RunXdotool({"mousemove", std::to_string(rect.left + at.x), std::to_string(rect.top + at.y), "sleep",
                            "0.3", "click", "1", "sleep", "0.5"}));
    PumpPending();
  }

  TTempFile m_store{".json"};
};

TEST_F(VantorProgram, StartedWithRItStaysHiddenAndASecondCopyMakesItShowAndEndsWithZero)
{
  TVantorProcess first(Exe(), "-R");
  const HWND main = first.WaitForMainWindow();
  ASSERT_TRUE(main);
  // Hidden, and stays so (the first activation must not show it).
  EXPECT_FALSE(PumpUntil([&] { return Visible(main); }, 50));
  {
    TVantorProcess second(Exe(), "");
    ASSERT_TRUE(second.Ended(30000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_FALSE(second.MainWindow());
  }
  EXPECT_TRUE(WaitVisible(main, true));
  EXPECT_TRUE(WaitVisible(first.DialogWindow(), true));
  EXPECT_FALSE(first.Ended(0));
  PostMessageA(main, UM_EXIT, UM_TAG, 0);
  ASSERT_TRUE(first.Ended(10000));
  EXPECT_EQ(first.ExitCode(), 0u);
}

TEST_F(VantorProgram, InTpxModeAShowRequestGivesTheBalloonAndNoWindows)
{
  UseLayout(1);
  TVantorProcess program(Exe(), "-r");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  SendMessageA(main, UM_SHOW, UM_TAG, 0);
  // The notification area's balloon: a tooltip window of the shell's process (its text is the tool's, not
  // the window's; the seam tests check the text).
  HWND balloon = nullptr;
  PumpUntil(
      [&] {
        for (HWND w = FindWindowA("tooltips_class32", nullptr); w && !balloon;
             w = FindWindowExA(nullptr, w, "tooltips_class32", nullptr)) {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (IsWindowVisible(w) && owner != program.Id() && owner != GetCurrentProcessId())
            balloon = w;
        }
        return balloon != nullptr;
      },
      300);
  EXPECT_TRUE(balloon) << "no balloon";
  EXPECT_FALSE(Visible(main));
  EXPECT_FALSE(Visible(program.DialogWindow()));
}

TEST_F(VantorProgram, ButtonsPressedWithThePointerChangeTheStoredLevelAsTheyShould)
{
  TVantorProcess program(Exe(), "");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  ASSERT_TRUE(WaitVisible(main, true));
  const HWND dialog = program.DialogWindow();
  ASSERT_TRUE(WaitVisible(dialog, true));
  // The program's first activation reads the BIOS level again: a press before it would be undone.
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main || GetForegroundWindow() == dialog; }, 1000));
  PumpUntil([] { return false; }, 50);

  // Next, OK: level 3 needs no restart; it is written and the windows fade out.
  Press(main, kNext);
  EXPECT_EQ(StoredLevel(), 2u);
  Press(main, kOk);
  EXPECT_TRUE(WaitVisible(main, false));
  EXPECT_EQ(StoredLevel(), 3u);

  // Prev, Prev, Cancel: nothing is written.
  SendMessageA(main, UM_SHOW, UM_TAG, 0);
  ASSERT_TRUE(WaitVisible(dialog, true));
  Press(main, kPrev);
  Press(main, kPrev);
  Press(main, kCancel);
  EXPECT_TRUE(WaitVisible(main, false));
  EXPECT_EQ(StoredLevel(), 3u);

  // Next to level 4, OK: the restart question; No goes back and writes nothing.
  SendMessageA(main, UM_SHOW, UM_TAG, 0);
  ASSERT_TRUE(WaitVisible(dialog, true));
  Press(main, kNext);
  Press(main, kOk);
  const HWND ok = FindWindowExA(dialog, nullptr, "KoButtonTx", "Yes");
  EXPECT_TRUE(ok) << "no question";
  Press(main, kCancel);
  EXPECT_TRUE(FindWindowExA(dialog, nullptr, "KoButtonTx", "OK"));
  EXPECT_TRUE(Visible(main));
  EXPECT_EQ(StoredLevel(), 3u);

  // Prev, OK from the question's level 4: level 3 again, written once more.
  Press(main, kPrev);
  Press(main, kOk);
  EXPECT_TRUE(WaitVisible(main, false));
  EXPECT_EQ(StoredLevel(), 3u);
  PostMessageA(main, UM_EXIT, UM_TAG, 0);
  ASSERT_TRUE(program.Ended(10000));
  EXPECT_EQ(program.ExitCode(), 0u);
}

// A folder with the program, its libraries and every skin but one.
class TProgramCopy {
public:
  explicit TProgramCopy(const std::string& missingSkin)
  {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_path = std::string(temp) + "ko-vantor-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(m_path.c_str(), nullptr);
    CreateDirectoryA((m_path + "Resource").c_str(), nullptr);
    for (const char* file : {"CpuVantor.exe", "pngio.dll", "KOACPI.DLL"})
      Copy(ExeDir() + file, m_path + file);
    WIN32_FIND_DATAA found;
    const std::string skins = ExeDir() + "Resource\\";
    HANDLE search = FindFirstFileA((skins + "*.*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
      const std::string name = found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != missingSkin)
        Copy(skins + name, m_path + "Resource\\" + name);
    }
    if (search != INVALID_HANDLE_VALUE)
      FindClose(search);
  }
  ~TProgramCopy()
  {
    for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
      DeleteFileA(it->c_str());
    RemoveDirectoryA((m_path + "Resource").c_str());
    RemoveDirectoryA(m_path.c_str());
  }
  std::string Exe() const { return m_path + "CpuVantor.exe"; }
  const std::string& Path() const { return m_path; }

private:
  void Copy(const std::string& from, const std::string& to)
  {
    EXPECT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from;
    m_files.push_back(to);
  }
  std::string m_path;
  std::vector<std::string> m_files;
};

TEST_F(VantorProgram, AMissingSkinShowsTheErrorBoxAndEndsWithZero)
{
  TProgramCopy copy("cpu_bg004.png");
  TVantorProcess program(copy.Exe(), "");
  HWND box = nullptr;
  PumpUntil([&] { return (box = program.VisibleWindow("#32770")) != nullptr || program.Ended(0); }, 3000);
  ASSERT_TRUE(box) << "no error box";
  EXPECT_EQ(WindowText(box), "KORA Vantor");
  std::string text;
  for (HWND child = FindWindowExA(box, nullptr, "Static", nullptr); child;
       child = FindWindowExA(box, child, "Static", nullptr))
    text += WindowText(child);
  EXPECT_NE(text.find("Cannot open file " + copy.Path() + "Resource\\cpu_bg004.png"), std::string::npos) << text;
  EXPECT_FALSE(program.MainWindow());
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(program.Ended(10000));
  EXPECT_EQ(program.ExitCode(), 0u);
}

TEST_F(VantorProgram, TheNotificationIconShowsTheWindowsAndItsMenuEndsTheProgram)
{
  TVantorProcess program(Exe(), "-r");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  const HWND tray = FindWindowA(nullptr, "Wine System Tray");
  ASSERT_TRUE(tray) << "no notification area";
  // The program's icon is the only one: the first place of the area.
  POINT icon{10, 10};
  ClientToScreen(tray, &icon);
  const auto click = [](POINT at, const char* button) {
    return RunXdotool({"mousemove", std::to_string(at.x), std::to_string(at.y), "sleep", "0.3", "click", button,
                       "sleep", "0.3"});
  };
  ASSERT_TRUE(click(icon, "1"));
  EXPECT_TRUE(WaitVisible(main, true));
  EXPECT_TRUE(WaitVisible(program.DialogWindow(), true));

  // The right button opens the menu: Show, Hide, Exit.
  ASSERT_TRUE(click(icon, "3"));
  HWND menu = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (menu = program.VisibleWindow("#32768")) != nullptr; }, 300)) << "no menu";
  RECT rect{};
  GetWindowRect(menu, &rect);
  ASSERT_TRUE(click({rect.left + 20, rect.bottom - 10}, "1")); // Exit, the last item
  ASSERT_TRUE(program.Ended(10000));
  EXPECT_EQ(program.ExitCode(), 0u);
}

} // namespace
