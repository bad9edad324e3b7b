// The built program as a user meets it: CpuVantor.exe started as a process of its own over a stand-in BIOS
// in a store of the test's own, its buttons pressed with the display's real pointer. The restart question's
// Yes is left to RebootTest.sh: the reboot request ends every windowed process of the Wine prefix.
#include "AccessibleProbe.h"
#include "Handles.h"
#include "KoAcpiControl.h"
#include "TestSupport.h"
#include "VantorMessages.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

const char* const kLayout = R"({"info": [1, 0, 2], "groups": {
  "0x00": [{"id": "0x00060008", "value": 0, "count": 8}, {"id": "0x00060009", "value": 0, "count": 8}],
  "0x09": [{"id": "0x09000000", "value": 6, "default": 6, "count": 8}],
  "0x0B": [{"id": "0x0B060001", "value": %TPX%, "count": 2}],
  "0x0F": [{"id": "0x0F080000", "value": 2, "default": 2,
            "options": ["Standard", "Quiet", "Balanced", "Performance", "Maximum"], "restart": [0, 4]%LEVEL%}]}})";
constexpr DWORD kLevelItem = 0x0F080000;

// Centres of the buttons on the dialog, which shares the main window's top-left corner.
constexpr POINT kPrev = {85, 192};
constexpr POINT kNext = {297, 192};
constexpr POINT kOk = {126, 276};
constexpr POINT kCancel = {230, 276};
// Where the level's name and the text buttons lie on the dialog.
constexpr RECT kLevelLabel = {90, 100, 315, 124};
constexpr RECT kOkButton = {101, 261, 151, 291};
constexpr RECT kCancelButton = {205, 261, 255, 291};
// The colour of the level's name and of the text buttons' captions.
constexpr COLORREF kLevelBlue = RGB(70, 133, 226);

// What the display shows in a part of the screen, as a user sees it.
class TScreenShot {
public:
  explicit TScreenShot(const RECT& area) : m_area(area)
  {
    const int width = area.right - area.left, height = area.bottom - area.top;
    TWindowDC screen(nullptr);
    TMemoryDC memory = TMemoryDC::CreateCompatible(screen.Get());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    TBitmapHandle bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !memory) {
      ADD_FAILURE() << "the screen could not be copied";
      m_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), CLR_INVALID);
      return;
    }
    {
      TSelectObject selected(memory.Get(), bitmap.Get());
      BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY | CAPTUREBLT);
    }
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i)
      m_pixels.push_back(RGB((pixels[i] >> 16) & 0xFF, (pixels[i] >> 8) & 0xFF, pixels[i] & 0xFF));
  }
  // Pixels of `color` in a part of the window whose top-left corner is `origin`.
  int Count(COLORREF color, POINT origin, const RECT& part) const
  {
    int n = 0;
    for (int y = part.top; y < part.bottom; ++y)
      for (int x = part.left; x < part.right; ++x)
        n += At(origin.x + x, origin.y + y) == color ? 1 : 0;
    return n;
  }
  COLORREF At(int x, int y) const
  {
    const int width = m_area.right - m_area.left;
    x -= m_area.left;
    y -= m_area.top;
    if (x < 0 || y < 0 || x >= width || y >= m_area.bottom - m_area.top)
      return CLR_INVALID;
    return m_pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
  bool operator==(const TScreenShot& other) const { return m_pixels == other.m_pixels; }

private:
  RECT m_area;
  std::vector<COLORREF> m_pixels;
};

// The window's rectangle on the screen and its top-left corner.
RECT WindowRect(HWND window)
{
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}
POINT Corner(HWND window)
{
  const RECT rect = WindowRect(window);
  return {rect.left, rect.top};
}
// How many pixels of a part of the dialog show the level's blue, once the display has settled.
int BluePixels(HWND main, const RECT& part)
{
  PumpUntil([] { return false; }, 20);
  return TScreenShot(WindowRect(main)).Count(kLevelBlue, Corner(main), part);
}

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

// What vantorctl did: its exit code and its output.
struct TCtlRun {
  DWORD ExitCode = 0xDEAD;
  std::string Out;
  std::string Err;
};

std::string ReadText(const std::string& path)
{
  std::string text;
  TKernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 0, nullptr));
  char buffer[4096];
  DWORD read = 0;
  while (file.Get() && ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
    text.erase(at, 1);
  return text;
}

TCtlRun RunVantorctl(const std::string& args)
{
  TTempFile outPath(".out"), errPath(".err");
  TCtlRun run;
  {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    TKernelHandle out(CreateFileA(outPath.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                  nullptr));
    TKernelHandle err(CreateFileA(errPath.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                  nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = err.Get();
    std::string command = "\"" + ExeDir() + "vantorctl.exe\" " + args;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info)) {
      ADD_FAILURE() << "cannot start " << command;
      return run;
    }
    TKernelHandle process(info.hProcess), thread(info.hThread);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), static_cast<DWORD>(WAIT_OBJECT_0)) << command;
    GetExitCodeProcess(process.Get(), &run.ExitCode);
  }
  run.Out = ReadText(outPath.Path());
  run.Err = ReadText(errPath.Path());
  return run;
}

std::wstring Wide(const std::string& ansi)
{
  std::wstring wide(ansi.size(), L'\0');
  wide.resize(static_cast<size_t>(
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), static_cast<int>(wide.size()))));
  return wide;
}
std::string Ansi(const std::wstring& wide)
{
  std::string ansi(wide.size() * 2, '\0');
  ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(),
                                                      static_cast<int>(ansi.size()), nullptr, nullptr)));
  return ansi;
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
  TVantorProcess(const std::string& exe, const std::string& args) : TVantorProcess(Wide(exe), args) {}
  TVantorProcess(const std::wstring& exe, const std::string& args)
  {
    std::wstring command = L"\"" + exe + L"\" " + Wide(args);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    bool started = false;
    // Under load Wine now and then fails a process start before the program runs; only the start is retried.
    for (int attempt = 0; attempt < 3 && !started; ++attempt)
      started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &info) != FALSE;
    if (!started) {
      ADD_FAILURE() << "cannot start " << Ansi(command);
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

  // `level`: more fields of the level item.
  void UseLayout(int tpx, const std::string& level = "")
  {
    std::string json = kLayout;
    json.replace(json.find("%TPX%"), 5, std::to_string(tpx));
    json.replace(json.find("%LEVEL%"), 7, level);
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

  // The program's message box, once it is on the screen: its caption and text.
  static HWND WaitForBox(const TVantorProcess& program)
  {
    HWND box = nullptr;
    PumpUntil([&] { return (box = program.VisibleWindow("#32770")) != nullptr || program.Ended(0); }, 1000);
    return box;
  }
  static std::string BoxText(HWND box)
  {
    std::string text;
    for (HWND child = FindWindowExA(box, nullptr, "Static", nullptr); child;
         child = FindWindowExA(box, child, "Static", nullptr))
      text += WindowText(child);
    return text;
  }
  // The main window once it is on the screen; null (and the failure said) when an error box came instead.
  static HWND WaitForStart(const TVantorProcess& program)
  {
    HWND main = nullptr;
    PumpUntil([&] { return (main = program.MainWindow()) != nullptr || program.VisibleWindow("#32770") || program.Ended(0); },
              3000);
    if (const HWND box = program.VisibleWindow("#32770")) {
      ADD_FAILURE() << "error box: " << BoxText(box);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return nullptr;
    }
    return main && WaitVisible(main, true) ? main : nullptr;
  }
  // The program's first activation reads the BIOS level again: a press before it would be undone.
  static void WaitUntilActive(const TVantorProcess& program, HWND main)
  {
    const HWND dialog = program.DialogWindow();
    ASSERT_TRUE(WaitVisible(dialog, true));
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main || GetForegroundWindow() == dialog; }, 1000));
    PumpUntil([] { return false; }, 50);
  }
  // The stand-in BIOS cannot save a write while a folder stands where it writes its store first: every
  // write is refused, as firmware may refuse one.
  class TRefusingStore {
  public:
    explicit TRefusingStore(const std::string& store) : m_folder(store + ".tmp")
    {
      EXPECT_TRUE(CreateDirectoryA(m_folder.c_str(), nullptr));
    }
    ~TRefusingStore() { RemoveDirectoryA(m_folder.c_str()); }
    TRefusingStore(const TRefusingStore&) = delete;
    TRefusingStore& operator=(const TRefusingStore&) = delete;

  private:
    std::string m_folder;
  };

  // The dialog as a user meets it: the level's name on screen and Next answering the real pointer.
  void ExpectTheDialogWorks(HWND main, uint32_t levelAfterNextAndOk)
  {
    EXPECT_GT(BluePixels(main, kLevelLabel), 40) << "no level name on the screen";
    EXPECT_GT(BluePixels(main, kOkButton), 10) << "no caption on OK";
    Press(main, kNext);
    Press(main, kOk);
    EXPECT_TRUE(WaitVisible(main, false)) << "Next or OK did not answer";
    EXPECT_EQ(StoredLevel(), levelAfterNextAndOk);
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

// A screen reader in a process of its own reads the dialog through the accessibility interfaces and works
// it by the buttons' default actions, each step as a click would; a new level name and the question are
// announced.
TEST_F(VantorProgram, AScreenReaderReadsTheDialogAndPressesItsButtons)
{
  TVantorProcess program(Exe(), "");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  WaitUntilActive(program, main);
  const HWND dialog = program.DialogWindow();
  const TComScope com;
  const TAccessibleProbe reader(dialog);
  ASSERT_TRUE(reader) << std::hex << reader.Result();
  EXPECT_EQ(reader.Name(), "CPU Vantor");
  EXPECT_EQ(reader.Role(), ROLE_SYSTEM_DIALOG);
  EXPECT_EQ(reader.State() & STATE_SYSTEM_INVISIBLE, 0);
  TWinEventRecorder events(EVENT_SYSTEM_ALERT, EVENT_OBJECT_NAMECHANGE, program.Id());
  // Which button has the focus is the keyboard's business; the rest is the dialog's.
  const auto children = [&] {
    std::vector<TAccessibleElement> elements = reader.Children();
    for (TAccessibleElement& element : elements)
      element.State &= ~(STATE_SYSTEM_FOCUSED | STATE_SYSTEM_HOTTRACKED);
    return elements;
  };
  const auto press = [&](const char* name) {
    return [&reader, name] { return SUCCEEDED(reader.ChildNamed(name).DoDefaultAction()); };
  };
  const char* const question = "The setting needs a system restart,\nDo you want to apply it?";
  constexpr long kText = ROLE_SYSTEM_STATICTEXT, kAlert = ROLE_SYSTEM_ALERT, kButton = ROLE_SYSTEM_PUSHBUTTON;
  constexpr long kRead = STATE_SYSTEM_READONLY, kGone = STATE_SYSTEM_INVISIBLE, kUsable = STATE_SYSTEM_FOCUSABLE;
  // The hidden question keeps its text once it has been asked.
  const auto normal = [&](const char* level, const char* hiddenQuestion) {
    return std::vector<TAccessibleElement>{{level, kText, kRead},          {hiddenQuestion, kAlert, kRead | kGone},
                                           {"OK", kButton, kUsable},       {"Cancel", kButton, kUsable},
                                           {"Previous level", kButton, kUsable}, {"Next level", kButton, kUsable}};
  };
  const std::vector<TAccessibleElement> asking{{"Maximum", kText, kRead},    {question, kAlert, kRead},
                                               {"Yes", kButton, kUsable},    {"No", kButton, kUsable},
                                               {"Previous level", kButton, kGone}, {"Next level", kButton, kGone}};
  const struct {
    const char* what;
    std::function<bool()> act;
    bool acted;
    std::vector<TAccessibleElement> shown;
  } steps[] = {
      {"as shown", [] { return true; }, true, normal("Balanced", "MsgLabel")},
      {"Next", press("Next level"), true, normal("Performance", "MsgLabel")},
      {"Next again", press("Next level"), true, normal("Maximum", "MsgLabel")},
      {"OK on a level that needs a restart", press("OK"), true, asking},
      {"a hidden Next cannot be pressed", press("Next level"), false, asking},
      {"No", press("No"), true, normal("Maximum", question)},
      {"Previous", press("Previous level"), true, normal("Performance", question)},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(step.act(), step.acted) << step.what;
    PumpUntil([&] { return children() == step.shown; }, 200);
    EXPECT_EQ(children(), step.shown) << step.what;
  }
  EXPECT_EQ(StoredLevel(), 2u);
  // Each new level name once, the question once, as seen from another process.
  std::vector<std::string> announced;
  for (const auto& e : events.All())
    if (e.Window == dialog && e.Object == OBJID_CLIENT && (e.Event == EVENT_OBJECT_NAMECHANGE || e.Event == EVENT_SYSTEM_ALERT))
      announced.push_back((e.Event == EVENT_SYSTEM_ALERT ? "alert " : "name ") + std::to_string(e.Child));
  EXPECT_EQ(announced, (std::vector<std::string>{"name 1", "name 1", "alert 2", "name 1"}));

  // OK writes the level as a click does, and the windows go.
  EXPECT_TRUE(press("OK")());
  EXPECT_TRUE(WaitVisible(main, false));
  EXPECT_EQ(StoredLevel(), 3u);
  EXPECT_EQ(reader.State() & STATE_SYSTEM_INVISIBLE, STATE_SYSTEM_INVISIBLE);
}

// The installer's logon entry starts the program with "-r"; the first show after it must look and work
// like one after a normal start, whichever way it is asked for.
TEST_F(VantorProgram, AfterAHiddenStartTheFirstShowLooksAndWorksAsAfterANormalStart)
{
  for (const char* route : {"UM_SHOW", "notification icon"}) {
    SCOPED_TRACE(route);
    UseLayout(0);
    TVantorProcess program(Exe(), "-r");
    const HWND main = program.WaitForMainWindow();
    ASSERT_TRUE(main);
    if (std::string(route) == "UM_SHOW") {
      SendMessageA(main, UM_SHOW, UM_TAG, 0);
    } else {
      const HWND tray = FindWindowA(nullptr, "Wine System Tray");
      ASSERT_TRUE(tray) << "no notification area";
      POINT icon{10, 10};
      ClientToScreen(tray, &icon);
      ASSERT_TRUE(RunXdotool({"mousemove", std::to_string(icon.x), std::to_string(icon.y), "sleep", "0.3", "click",
                              "1", "sleep", "0.3"}));
    }
    ASSERT_TRUE(WaitVisible(main, true));
    ASSERT_TRUE(WaitVisible(program.DialogWindow(), true));
    ExpectTheDialogWorks(main, 3);
  }
}

// The dialog recomposes its buttons over the new picture while the pointer rests on the one pressed; the
// caption of the button under the pointer ("Yes", then "Cancel") must be on the screen at once.
TEST_F(VantorProgram, TheCaptionUnderThePointerStaysWhenTheButtonsAreRecomposed)
{
  TVantorProcess program(Exe(), "");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  ASSERT_TRUE(WaitVisible(program.DialogWindow(), true));
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main || GetForegroundWindow() == program.DialogWindow(); }, 1000));
  PumpUntil([] { return false; }, 50);
  Press(main, kNext);
  Press(main, kNext); // level 4 needs a restart
  Press(main, kOk);
  ASSERT_TRUE(FindWindowExA(program.DialogWindow(), nullptr, "KoButtonTx", "Yes")) << "no question";
  EXPECT_GT(BluePixels(main, kOkButton), 10) << "\"Yes\" is not drawn under the pointer";
  Press(main, kCancel); // No
  ASSERT_TRUE(FindWindowExA(program.DialogWindow(), nullptr, "KoButtonTx", "Cancel"));
  EXPECT_GT(BluePixels(main, kCancelButton), 10) << "\"Cancel\" is not drawn under the pointer";
  EXPECT_EQ(StoredLevel(), 2u);
}

// A folder with the program, its libraries and every skin but one, named "ko-vantor-<name part>-<process>".
class TProgramCopy {
public:
  explicit TProgramCopy(const std::string& missingSkin, const std::wstring& namePart = L"copy")
  {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + L"ko-vantor-" + namePart + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(m_path.c_str(), nullptr);
    CreateDirectoryW((m_path + L"Resource").c_str(), nullptr);
    const std::wstring bin = Wide(ExeDir());
    for (const wchar_t* file : {L"CpuVantor.exe", L"pngio.dll", L"KOACPI.DLL"})
      Copy(bin + file, m_path + file);
    WIN32_FIND_DATAW found;
    const std::wstring skins = bin + L"Resource\\";
    HANDLE search = FindFirstFileW((skins + L"*.*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
      const std::wstring name = found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != Wide(missingSkin))
        Copy(skins + name, m_path + L"Resource\\" + name);
    }
    if (search != INVALID_HANDLE_VALUE)
      FindClose(search);
  }
  ~TProgramCopy()
  {
    for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
      DeleteFileW(it->c_str());
    RemoveDirectoryW((m_path + L"Resource").c_str());
    RemoveDirectoryW(m_path.c_str());
  }
  std::wstring Exe() const { return m_path + L"CpuVantor.exe"; }
  // The folder as the ANSI code page spells it.
  std::string Path() const { return Ansi(m_path); }
  const std::wstring& Folder() const { return m_path; }
  // Puts a copy of a file of the build folder into the copy's folder under `name`.
  void Plant(const std::string& buildFile, const std::wstring& name) { Copy(Wide(ExeDir() + buildFile), m_path + name); }

private:
  void Copy(const std::wstring& from, const std::wstring& to)
  {
    EXPECT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE)) << Ansi(from);
    m_files.push_back(to);
  }
  std::wstring m_path;
  std::vector<std::wstring> m_files;
};

// The notification icon's menu and UM_FOREGROUND activate the main window; hidden windows stay hidden and
// the next show fades them in whole.
TEST_F(VantorProgram, HiddenWindowsStayHiddenWhenActivatedAndComeBackWholeAtTheNextShow)
{
  TVantorProcess program(Exe(), "");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  WaitUntilActive(program, main);
  const HWND dialog = program.DialogWindow();
  SendMessageA(main, UM_HIDE, UM_TAG, 0);
  ASSERT_TRUE(WaitVisible(main, false));

  const HWND tray = FindWindowA(nullptr, "Wine System Tray");
  ASSERT_TRUE(tray) << "no notification area";
  POINT icon{10, 10};
  ClientToScreen(tray, &icon);
  ASSERT_TRUE(RunXdotool({"mousemove", std::to_string(icon.x), std::to_string(icon.y), "sleep", "0.3", "click", "3",
                          "sleep", "0.3"}));
  HWND menu = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (menu = program.VisibleWindow("#32768")) != nullptr; }, 300)) << "no menu";
  ASSERT_TRUE(RunXdotool({"key", "Escape"}));
  PumpUntil([&] { return !IsWindowVisible(menu); }, 300);
  PumpUntil([] { return false; }, 30);
  EXPECT_FALSE(Visible(main)) << "the menu showed the main window";
  EXPECT_FALSE(Visible(dialog)) << "the menu showed the dialog";

  SendMessageA(main, UM_FOREGROUND, UM_TAG, 0);
  PumpUntil([] { return false; }, 30);
  EXPECT_FALSE(Visible(main)) << "UM_FOREGROUND showed the main window";
  EXPECT_FALSE(Visible(dialog)) << "UM_FOREGROUND showed the dialog";

  SendMessageA(main, UM_SHOW, UM_TAG, 0);
  ASSERT_TRUE(WaitVisible(main, true));
  ASSERT_TRUE(WaitVisible(dialog, true));
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(dialog, &key, &alpha, &flags));
  EXPECT_TRUE(!(flags & LWA_ALPHA) || alpha == 255) << "the dialog is left at alpha " << int(alpha);
  EXPECT_GT(BluePixels(main, kLevelLabel), 40);
}

// OK on a level the BIOS refuses: the windows stay, the level the BIOS holds shows again, and the user is
// told in one box.
TEST_F(VantorProgram, OkOnALevelTheBiosRefusesKeepsTheWindowsAndTellsTheUser)
{
  UseLayout(0, R"(, "writable": false)");
  TVantorProcess program(Exe(), "");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  WaitUntilActive(program, main);
  PumpUntil([] { return false; }, 20);
  const TScreenShot before(WindowRect(main));
  Press(main, kNext);
  Press(main, kOk);
  const HWND box = WaitForBox(program);
  ASSERT_TRUE(box) << "nothing told";
  EXPECT_EQ(WindowText(box), "CPU Vantor");
  EXPECT_NE(BoxText(box).find("could not be applied"), std::string::npos) << BoxText(box);
  EXPECT_TRUE(Visible(main));
  EXPECT_TRUE(Visible(program.DialogWindow()));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 300));
  EXPECT_TRUE(Visible(main));
  PumpUntil([] { return false; }, 20);
  // The level's name is the one the BIOS holds, as at the start.
  std::vector<COLORREF> was, is;
  const TScreenShot after(WindowRect(main));
  for (int y = kLevelLabel.top; y < kLevelLabel.bottom; ++y)
    for (int x = kLevelLabel.left; x < kLevelLabel.right; ++x) {
      was.push_back(before.At(Corner(main).x + x, Corner(main).y + y));
      is.push_back(after.At(Corner(main).x + x, Corner(main).y + y));
    }
  EXPECT_TRUE(was == is) << "the label does not show the level the BIOS holds";
  EXPECT_EQ(StoredLevel(), 2u);
  EXPECT_FALSE(program.Ended(0));
}

// Yes on a level the BIOS refuses: no restart, the dialog back in normal mode, the user told.
TEST_F(VantorProgram, YesOnALevelTheBiosRefusesRestartsNothing)
{
  TVantorProcess program(Exe(), "");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  WaitUntilActive(program, main);
  Press(main, kNext);
  Press(main, kNext); // level 4 needs a restart
  Press(main, kOk);
  const HWND dialog = program.DialogWindow();
  ASSERT_TRUE(FindWindowExA(dialog, nullptr, "KoButtonTx", "Yes")) << "no question";
  {
    TRefusingStore refusing(m_store.Path());
    Press(main, kOk); // Yes
    const HWND box = WaitForBox(program);
    ASSERT_TRUE(box) << "nothing told";
    EXPECT_EQ(WindowText(box), "CPU Vantor");
    EXPECT_NE(BoxText(box).find("could not be applied"), std::string::npos) << BoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 300));
  }
  EXPECT_FALSE(program.Ended(0)) << "the program closed";
  EXPECT_TRUE(FindWindowExA(dialog, nullptr, "KoButtonTx", "OK")) << "not back in normal mode";
  EXPECT_TRUE(Visible(main));
  EXPECT_EQ(StoredLevel(), 2u);
}

// UM_APPLY_LEVEL that the BIOS refuses is answered 0 and restarts nothing; vantorctl says so.
TEST_F(VantorProgram, ARefusedApplyIsAnsweredAndReportedAndRestartsNothing)
{
  TVantorProcess program(Exe(), "-r");
  const HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  TRefusingStore refusing(m_store.Path());
  DWORD_PTR answer = 0xDEAD;
  ASSERT_TRUE(SendMessageTimeoutA(main, UM_APPLY_LEVEL, 3, 0, SMTO_ABORTIFHUNG, 10000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(UM_APPLY_REFUSED));

  const TCtlRun text = RunVantorctl("apply 3");
  EXPECT_EQ(text.ExitCode, 5u) << text.Out << text.Err;
  EXPECT_NE(text.Err.find("could not apply level 3"), std::string::npos) << text.Err;
  const TCtlRun json = RunVantorctl("apply 3 --json");
  EXPECT_EQ(json.ExitCode, 5u) << json.Out << json.Err;
  EXPECT_NE(json.Out.find("\"written\": false"), std::string::npos) << json.Out;

  EXPECT_FALSE(program.Ended(0)) << "the program closed";
  EXPECT_EQ(StoredLevel(), 2u);
}

// A library named like one that pngio.dll imports, put beside the program, is never loaded in its place.
TEST_F(VantorProgram, ALibraryPlantedBesideTheProgramIsNotTakenForASystemOne)
{
  TProgramCopy copy("");
  copy.Plant("PlantedCodecs.dll", L"WindowsCodecs.dll");
  // Wine prefers its own build of a system library; told to prefer a native one (for this program, in this
  // test's prefix) it searches for it as Windows does.
  const char* const appKey = "Software\\Wine\\AppDefaults\\CpuVantor.exe\\DllOverrides";
  HKEY overrides = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, appKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides, nullptr),
            ERROR_SUCCESS);
  const char order[] = "native,builtin";
  RegSetValueExA(overrides, "windowscodecs", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
  RegCloseKey(overrides);
  TVantorProcess program(copy.Exe(), "");
  const HWND main = WaitForStart(program);
  ASSERT_TRUE(main) << "the program did not start";
  EXPECT_GT(BluePixels(main, kLevelLabel), 40);
  EXPECT_EQ(GetFileAttributesW((copy.Folder() + L"planted-codecs-loaded").c_str()), INVALID_FILE_ATTRIBUTES)
      << "the planted library was loaded";
  DeleteFileW((copy.Folder() + L"planted-codecs-loaded").c_str());
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\CpuVantor.exe");
}

// A portable copy unpacked into a folder whose name the ANSI code page cannot spell finds its skins, icon and
// codec, and works.
TEST_F(VantorProgram, AFolderNameOutsideTheAnsiCodePageWorks)
{
  TProgramCopy copy("", L"\u03A9-\u6D4B\u8BD5");
  ASSERT_NE(copy.Path().find('?'), std::string::npos) << "the name is spelt in the ANSI code page";
  TVantorProcess program(copy.Exe(), "");
  const HWND main = WaitForStart(program);
  ASSERT_TRUE(main) << "the program did not start";
  WaitUntilActive(program, main);
  ExpectTheDialogWorks(main, 3);
}

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

// The display's real keys alone: the dialog has the focus whenever it shows, at start and for a second copy.
TEST_F(VantorProgram, TheKeyboardAloneStepsAppliesAndAnswersTheQuestion)
{
  TVantorProcess program(Exe(), "");
  const HWND main = WaitForStart(program);
  ASSERT_TRUE(main);
  WaitUntilActive(program, main);
  const HWND dialog = program.DialogWindow();
  const auto keys = [](std::initializer_list<std::string> names) {
    std::vector<std::string> args{"key", "--delay", "150"};
    args.insert(args.end(), names);
    return RunXdotool(args);
  };
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog && HasXInputFocus(dialog); }, 300));
  // Right, Return: level 3 needs no restart; written, and the windows go.
  ASSERT_TRUE(keys({"Right", "Return"}));
  EXPECT_TRUE(WaitVisible(main, false));
  EXPECT_EQ(StoredLevel(), 3u);

  {
    TVantorProcess second(Exe(), "");
    ASSERT_TRUE(second.Ended(30000));
  }
  ASSERT_TRUE(WaitVisible(dialog, true));
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog && HasXInputFocus(dialog); }, 300));
  // Right to level 4, Return: the question; Escape answers No, Escape again cancels.
  ASSERT_TRUE(keys({"Right", "Return"}));
  EXPECT_TRUE(PumpUntil([&] { return FindWindowExA(dialog, nullptr, "KoButtonTx", "Yes") != nullptr; }, 1000));
  ASSERT_TRUE(keys({"Escape"}));
  EXPECT_TRUE(PumpUntil([&] { return FindWindowExA(dialog, nullptr, "KoButtonTx", "OK") != nullptr; }, 1000));
  ASSERT_TRUE(keys({"Escape"}));
  EXPECT_TRUE(WaitVisible(main, false));
  EXPECT_EQ(StoredLevel(), 3u);
  PostMessageA(main, UM_EXIT, UM_TAG, 0);
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
