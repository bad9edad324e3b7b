// The main unit: premultiplying a picture, start-up's checks, and the main window's messages, fades and
// pictures.
#include "Main.h"

#include "KoButton.h"
#include "KoButtonTx.h"
#include "KoTrayIcon.h"
#include "PngReader.h"
#include "VantorFixture.h"
#include "VantorMessages.h"

#include "Bitmap.h"
#include "ExtCtrls.h"
#include "GraphicsFixture.h"
#include "Handles.h"
#include "Icon.h"
#include "Menus.h"
#include "Picture.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(PremultiplyAlpha, EveryColourAndAlphaPairIsScaledAndTruncated)
{
  // Every colour value meets every alpha (column: colour, blue; green and red get others), through each
  // vector code the processor runs. The sizes also leave pixels over a multiple of eight and of four, which
  // take the narrower paths.
  auto colours = [](int c) { return std::array<int, 3>{c, 255 - c, (c * 7) & 0xFF}; };
  for (const TPremultiplyCode code : {TPremultiplyCode::Sse2, TPremultiplyCode::Avx2}) {
    const char* codeName = code == TPremultiplyCode::Sse2 ? "SSE2" : "AVX2";
    if (!ProcessorRuns(code)) {
      std::printf("[ NOTE     ] this processor has no %s: that code is not checked here\n", codeName);
      continue;
    }
    for (const auto& [width, height] :
         std::vector<std::pair<int, int>>{{256, 256}, {257, 255}, {3, 1}, {6, 3}, {13, 1}}) {
      TBitmap bitmap;
      bitmap.SetPixelFormat(pf32bit);
      bitmap.SetSize(width, height);
      auto colourAt = [&](int x, int y) { return (x + y * width) & 0xFF; };
      auto alphaAt = [&](int x, int y) { return ((x + y * width) >> 8) & 0xFF; };
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          auto* p = static_cast<uint8_t*>(bitmap.ScanLine(y)) + 4 * x;
          for (int i = 0; i < 3; ++i)
            p[i] = static_cast<uint8_t>(colours(colourAt(x, y))[i]);
          p[3] = static_cast<uint8_t>(alphaAt(x, y));
        }
      PremultiplyAlphaWith(bitmap, code);
      int wrong = 0;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const auto* p = static_cast<const uint8_t*>(bitmap.ScanLine(y)) + 4 * x;
          const int a = alphaAt(x, y);
          for (int i = 0; i < 3; ++i)
            wrong += p[i] != colours(colourAt(x, y))[i] * a / 255;
          wrong += p[3] != a;
        }
      EXPECT_EQ(wrong, 0) << codeName << ", " << width << " x " << height;
    }
  }
}

TEST(PremultiplyAlpha, OneOtherPixelInAnOpaqueOrClearRunIsScaledAndItsNeighboursKept)
{
  // Rows of 24 pixels, all opaque or all clear but one, at every place of every vector step: a shortcut
  // taken on part of the step's alphas would leave that pixel unscaled or clear its neighbours.
  for (const TPremultiplyCode code : {TPremultiplyCode::Sse2, TPremultiplyCode::Avx2}) {
    if (!ProcessorRuns(code))
      continue;
    for (const int run : {255, 0})
      for (const int other : {1, 128, 254, 255 - run}) {
        constexpr int kWidth = 24;
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf32bit);
        bitmap.SetSize(kWidth, kWidth);
        auto alphaAt = [&](int x, int y) { return x == y ? other : run; };
        auto colourAt = [](int x, int y, int i) { return (37 * x + 11 * y + 85 * i + 1) & 0xFF; };
        for (int y = 0; y < kWidth; ++y)
          for (int x = 0; x < kWidth; ++x) {
            auto* p = static_cast<uint8_t*>(bitmap.ScanLine(y)) + 4 * x;
            for (int i = 0; i < 3; ++i)
              p[i] = static_cast<uint8_t>(colourAt(x, y, i));
            p[3] = static_cast<uint8_t>(alphaAt(x, y));
          }
        PremultiplyAlphaWith(bitmap, code);
        int wrong = 0;
        for (int y = 0; y < kWidth; ++y)
          for (int x = 0; x < kWidth; ++x) {
            const auto* p = static_cast<const uint8_t*>(bitmap.ScanLine(y)) + 4 * x;
            for (int i = 0; i < 3; ++i)
              wrong += p[i] != colourAt(x, y, i) * alphaAt(x, y) / 255;
            wrong += p[3] != alphaAt(x, y);
          }
        EXPECT_EQ(wrong, 0) << (code == TPremultiplyCode::Sse2 ? "SSE2" : "AVX2") << ", runs of " << run
                            << " with one " << other;
      }
  }
}

TEST(PremultiplyAlpha, ABitmapOfAnotherFormatIsLeftAlone)
{
  TBitmap bitmap;
  MakePattern(bitmap, 9, 5);
  const std::vector<uint8_t> before = bitmap.SaveToBytes();
  PremultiplyAlpha(bitmap);
  EXPECT_EQ(bitmap.SaveToBytes(), before);
}


// --- start-up ------------------------------------------------------------------------------------------------

TEST(StartHiddenSwitch, OnlyAMinusAndTheLetterInEitherCase)
{
  const struct {
    std::vector<std::string> Params;
    bool Hidden;
  } cases[] = {
      {{"CpuVantor.exe", "-r"}, true},
      {{"CpuVantor.exe", "-R"}, true},
      {{"CpuVantor.exe", "x", "-r"}, true},
      {{"CpuVantor.exe", "/r"}, false},
      {{"CpuVantor.exe", "--r"}, false},
      {{"CpuVantor.exe", "-rr"}, false},
      {{"CpuVantor.exe", "r"}, false},
      {{"CpuVantor.exe", "-"}, false},
      {{"-r"}, false}, // the program's own name is not a parameter
      {{}, false},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& p : c.Params)
      shown += "[" + p + "]";
    EXPECT_EQ(HasStartHiddenSwitch(c.Params), c.Hidden) << shown;
  }
}

TEST(SystemVariant, TheExactFileNameOnly)
{
  EXPECT_TRUE(IsSystemVariant("C:\\Program Files\\KORA\\SystemVantor.exe"));
  EXPECT_TRUE(IsSystemVariant("SystemVantor.exe"));
  EXPECT_FALSE(IsSystemVariant("C:\\KORA\\systemvantor.exe"));
  EXPECT_FALSE(IsSystemVariant("C:\\SystemVantor.exe\\CpuVantor.exe"));
  EXPECT_FALSE(IsSystemVariant("C:\\KORA\\SystemVantor.exe.bak"));
  EXPECT_FALSE(IsSystemVariant("C:\\KORA\\CpuVantor.exe"));
}

// Each case has a mutex name of its own, so that no case sees another's.
std::string CaseMutexName(int index)
{
  return "KoVantorTest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(index);
}

bool MutexExists(const std::string& name)
{
  TKernelHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
  return mutex.Get() != nullptr;
}

TEST_F(VantorTest, StartupOutcomes)
{
  MakeForms(); // hidden, as a running copy started with "-r"
  const std::string standard = VantorLayout();
  const struct {
    std::string Layout;
    bool RunningCopy;
    TStartOutcome Outcome;
    bool MutexMade;
  } cases[] = {
      {standard, false, TStartOutcome::Run, true},
      // Blocked before the mutex: a running copy is not even asked to show itself.
      {VantorLayout(0, "", 8, 4), true, TStartOutcome::Blocked, false},
      {VantorLayout(0, "", 8, 3), false, TStartOutcome::Run, true},
      {standard, true, TStartOutcome::SecondCopy, true},
      {VantorLayout(0, R"({"id": "0x0F080001", "options": ["a", "b"]})"), false, TStartOutcome::LacksLevelSetting,
       true},
      {VantorLayout(0, "", 6), false, TStartOutcome::LacksLevelSetting, true},
      {VantorLayout(0, "", 7), false, TStartOutcome::Run, true},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(index);
    Load(c.Layout);
    const std::string name = CaseMutexName(index++);
    TKernelHandle running;
    if (c.RunningCopy)
      running.Reset(CreateMutexA(nullptr, TRUE, name.c_str()));
    MainForm->SetVisible(false);
    ControlForm->SetVisible(false);
    TKernelHandle mutex;
    EXPECT_EQ(CheckStartup(name.c_str(), mutex), c.Outcome);
    EXPECT_EQ(mutex.Get() != nullptr, c.MutexMade);
    EXPECT_EQ(MutexExists(name), c.MutexMade || c.RunningCopy);
    running.Reset(nullptr);
    // Only a second copy signals the running one, which then shows its windows.
    EXPECT_EQ(BothVisible(), c.Outcome == TStartOutcome::SecondCopy);
  }
}

// A copy started with other rights holds a mutex this one may not open: that is a running copy too.
TEST_F(VantorTest, AMutexThatCannotBeOpenedMeansASecondCopy)
{
  MakeForms();
  const std::string name = CaseMutexName(100);
  // Present but empty: nobody, the owner included, may open it.
  ACL acl;
  ASSERT_TRUE(InitializeAcl(&acl, sizeof acl, ACL_REVISION));
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  TKernelHandle running(CreateMutexA(&attributes, TRUE, name.c_str()));
  ASSERT_TRUE(running.Get());
  SetLastError(0);
  TKernelHandle probe(CreateMutexA(nullptr, TRUE, name.c_str()));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "the system lets the mutex be opened";

  TKernelHandle mutex;
  EXPECT_EQ(CheckStartup(name.c_str(), mutex), TStartOutcome::SecondCopy);
  EXPECT_FALSE(mutex.Get());
  EXPECT_TRUE(BothVisible()) << "the running copy was not asked to show itself";
}

// A window of the running copy's class and caption whose thread does not answer.
class THungCopy {
public:
  THungCopy()
  {
    m_release.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    TKernelHandle made(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_made = made.Get();
    m_thread.Reset(CreateThread(nullptr, 0, &Run, this, 0, nullptr));
    WaitForSingleObject(m_made, 10000);
  }
  ~THungCopy()
  {
    SetEvent(m_release.Get());
    WaitForSingleObject(m_thread.Get(), 10000);
  }
  THungCopy(const THungCopy&) = delete;
  THungCopy& operator=(const THungCopy&) = delete;
  HWND Window() const { return m_window; }

private:
  static DWORD WINAPI Run(void* data)
  {
    auto* self = static_cast<THungCopy*>(data);
    // A class of its own under the copy's class name: keyed by another module than the program's forms.
    const HINSTANCE module = GetModuleHandleA("kernel32.dll");
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kMainWindowClass;
    RegisterClassA(&windowClass);
    self->m_window = CreateWindowExA(0, kMainWindowClass, kMainWindowCaption, WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, module, nullptr);
    SetEvent(self->m_made);
    // Hung: no message is taken until the test is over.
    WaitForSingleObject(self->m_release.Get(), INFINITE);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&msg);
    DestroyWindow(self->m_window);
    UnregisterClassA(kMainWindowClass, module);
    return 0;
  }

  TKernelHandle m_release;
  TKernelHandle m_thread;
  HANDLE m_made = nullptr;
  HWND m_window = nullptr;
};

struct TStartupCheck {
  std::string Name;
  TStartOutcome Outcome = TStartOutcome::Run;
};

DWORD WINAPI CheckStartupThread(void* data)
{
  auto* check = static_cast<TStartupCheck*>(data);
  TKernelHandle mutex;
  check->Outcome = CheckStartup(check->Name.c_str(), mutex, 300);
  return 0;
}

TEST_F(VantorTest, ASecondCopyDoesNotWaitForAHungFirstCopy)
{
  TStartupCheck check{CaseMutexName(101)};
  TKernelHandle running(CreateMutexA(nullptr, TRUE, check.Name.c_str()));
  THungCopy hung;
  ASSERT_TRUE(hung.Window());
  ASSERT_EQ(FindWindowA(kMainWindowClass, kMainWindowCaption), hung.Window());
  TKernelHandle second(CreateThread(nullptr, 0, &CheckStartupThread, &check, 0, nullptr));
  // Bounded by the request's own timeout; far more than it.
  EXPECT_EQ(WaitForSingleObject(second.Get(), 5000), static_cast<DWORD>(WAIT_OBJECT_0)) << "still waiting";
  EXPECT_EQ(check.Outcome, TStartOutcome::SecondCopy);
  // A copy that ends the hang lets a waiting second copy go (the hung one's destructor does).
}

TEST_F(VantorTest, AnythingThrownAtStartupIsShownInTheErrorBoxAndEndsWithZero)
{
  TSysRecorder recorder;
  Application->SetTitle("KORA Vantor");
  const struct {
    void (*Body)();
    const char* Text;
  } cases[] = {
      {[] { throw std::bad_alloc(); }, "Out of memory"},
      {[] { throw EFOpenError("C:\\x.png"); }, "Cannot open file C:\\x.png"},
      {[] { throw std::runtime_error("broken"); }, "broken"},
      {[] { throw 7; }, "Unknown exception"},
  };
  for (const auto& c : cases) {
    recorder.Boxes.clear();
    EXPECT_EQ(RunGuarded(c.Body), 0) << c.Text;
    ASSERT_EQ(recorder.Boxes.size(), 1u) << c.Text;
    EXPECT_EQ(recorder.Boxes[0].text, c.Text);
    EXPECT_EQ(recorder.Boxes[0].caption, "KORA Vantor");
    EXPECT_TRUE(recorder.Boxes[0].type & MB_ICONERROR) << c.Text;
  }
}

// From the entry point on, a library asked for by name comes from the program's folder or the system's,
// never from the current folder.
TEST(DllSearch, TheCurrentFolderIsNotSearched)
{
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "ko-dllsearch-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string planted = folder + "\\koplanted.dll";
  ASSERT_TRUE(CopyFileA((ExeDir() + "pngio.dll").c_str(), planted.c_str(), FALSE));
  char saved[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, saved);
  SetCurrentDirectoryA(folder.c_str());
  RestrictDllSearch();
  const HMODULE found = LoadLibraryA("koplanted.dll");
  EXPECT_FALSE(found) << "loaded from the current folder";
  EXPECT_TRUE(LoadLibraryA("user32.dll")) << "the system folder is still searched";
  if (found)
    FreeLibrary(found);
  SetCurrentDirectoryA(saved);
  DeleteFileA(planted.c_str());
  RemoveDirectoryA(folder.c_str());
}

// --- private messages ----------------------------------------------------------------------------------------

TEST_F(VantorTest, PrivateMessagesNeedTheTagInTheLowByteOfWParam)
{
  StartShown();
  const HWND window = MainForm->GetHandle();
  const struct {
    UINT Message;
    WPARAM WParam;
    bool VisibleAfter;
  } steps[] = {
      {UM_HIDE, 0x56, true},       {UM_HIDE, 0x155, false},     {UM_SHOW, 0x56, false},
      {UM_SHOW, 0x155, true},      {UM_HIDE, UM_TAG, false},    {UM_SHOW_INSTANCE, 0x54, false},
      {UM_SHOW_INSTANCE, UM_TAG, true}, {UM_FOREGROUND, UM_TAG, true}, {UM_HIDE, 0x8055, false},
  };
  for (const auto& step : steps) {
    SendMessageA(window, step.Message, step.WParam, 12345);
    EXPECT_EQ(BothVisible(), step.VisibleAfter) << step.Message << " " << std::hex << step.WParam;
    if (!step.VisibleAfter) {
      EXPECT_TRUE(BothHidden()) << step.Message << " " << std::hex << step.WParam;
    }
  }
  SendMessageA(window, UM_EXIT, 0x56, 0);
  EXPECT_FALSE(QuitPosted());
  SendMessageA(window, UM_EXIT, 0x355, 0);
  EXPECT_TRUE(QuitPosted());
  EXPECT_TRUE(RebootFlags.empty());
}

TEST_F(VantorTest, ApplyLevelMessageIsBoundedByTheLevelNames)
{
  StartShown();
  const HWND window = MainForm->GetHandle();
  WPARAM outside[] = {5, 6, static_cast<WPARAM>(-1)};
  for (WPARAM level : outside) {
    EXPECT_EQ(SendMessageA(window, UM_APPLY_LEVEL, level, 0), 0);
    EXPECT_EQ(Value(kLevelItem), 2u);
    EXPECT_TRUE(RebootFlags.empty());
    EXPECT_FALSE(QuitPosted());
  }
  // No tag: the whole wParam is the level.
  SendMessageA(window, UM_APPLY_LEVEL, 4, 0);
  EXPECT_EQ(Value(kLevelItem), 4u);
  EXPECT_EQ(RebootFlags, std::vector<UINT>{EWX_REBOOT});
  EXPECT_TRUE(QuitPosted());
}

TEST_F(VantorTest, ApplyLevelMessageAnswersWhetherTheLevelWasWrittenAndRestartsOnlyThen)
{
  StartShown();
  const HWND window = MainForm->GetHandle();
  // Refused by the BIOS: nothing else is written, nothing restarts, nothing closes.
  KoSimSetAnswer(2, kLevelItem, 0, 1);
  EXPECT_EQ(SendMessageA(window, UM_APPLY_LEVEL, 3, 0), UM_APPLY_REFUSED);
  EXPECT_EQ(Value(kLevelItem), 2u);
  EXPECT_EQ(Value(kCompanionItem), 1u);
  EXPECT_TRUE(RebootFlags.empty());
  EXPECT_FALSE(QuitPosted());
  EXPECT_TRUE(BothVisible());
  // Accepted: written, restart requested, closing.
  EXPECT_EQ(SendMessageA(window, UM_APPLY_LEVEL, 3, 0), UM_APPLY_RESTARTING);
  EXPECT_EQ(Value(kLevelItem), 3u);
  EXPECT_EQ(RebootFlags, std::vector<UINT>{EWX_REBOOT});
  EXPECT_TRUE(MainForm->IsClosing());
  // Once closing, nothing more is written or restarted.
  EXPECT_EQ(SendMessageA(window, UM_APPLY_LEVEL, 1, 0), UM_APPLY_REFUSED);
  EXPECT_EQ(Value(kLevelItem), 3u);
  EXPECT_EQ(RebootFlags.size(), 1u);
  EXPECT_TRUE(QuitPosted());
}

TEST_F(VantorTest, TwoPostedAppliesWriteOnceAndRestartOnce)
{
  StartShown();
  KoSimClearCallLog();
  PostMessageA(MainForm->GetHandle(), UM_APPLY_LEVEL, 3, 0);
  PostMessageA(MainForm->GetHandle(), UM_APPLY_LEVEL, 1, 0);
  PumpPending();
  uint32_t size = 0;
  KoSimGetCallLog(nullptr, &size);
  std::string log(size, '\0');
  KoSimGetCallLog(log.data(), &size);
  size_t levelWrites = 0;
  for (size_t at = log.find("AcpiSetItem(0x0f080000"); at != std::string::npos;
       at = log.find("AcpiSetItem(0x0f080000", at + 1))
    ++levelWrites;
  EXPECT_EQ(levelWrites, 1u) << log;
  EXPECT_EQ(Value(kLevelItem), 3u);
  EXPECT_EQ(RebootFlags, std::vector<UINT>{EWX_REBOOT});
}

TEST_F(VantorTest, TpxModeShowsOnlyTheBalloon)
{
  Load(VantorLayout(1));
  MakeForms();
  SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
  EXPECT_TRUE(BothHidden());
  EXPECT_EQ(Balloons, std::vector<std::string>{"CPU Vantor can't run under TPX mode"});
  // Already visible: still only the balloon.
  Load(VantorLayout(0));
  SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
  ASSERT_TRUE(BothVisible());
  Load(VantorLayout(1));
  Updates.clear();
  SendMessageA(MainForm->GetHandle(), UM_SHOW_INSTANCE, UM_TAG, 0);
  EXPECT_EQ(Balloons.size(), 2u);
  EXPECT_TRUE(BothVisible());
  EXPECT_TRUE(Updates.empty());
}

TEST_F(VantorTest, SuspendHidesAndOtherPowerNewsDoNothing)
{
  StartShown();
  EXPECT_EQ(SendMessageA(MainForm->GetHandle(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0), 0);
  EXPECT_TRUE(BothVisible());
  EXPECT_EQ(SendMessageA(MainForm->GetHandle(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0), 0);
  EXPECT_TRUE(BothHidden());
}

TEST_F(VantorTest, DisplayChangeRecentresBothWindows)
{
  StartShown();
  const int width = MainForm->Background->GetPicture()->GetWidth();
  const int height = MainForm->Background->GetPicture()->GetHeight();
  // Creation centres the window too.
  EXPECT_EQ(MainForm->GetLeft(), kFullScreenWidth / 2 - width / 2);
  EXPECT_EQ(MainForm->GetTop(), kFullScreenHeight / 2 - height / 2);
  SetWindowPos(MainForm->GetHandle(), nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(ControlForm->GetHandle(), nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(MainForm->GetHandle(), WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600));
  RECT main{}, dialog{};
  GetWindowRect(MainForm->GetHandle(), &main);
  GetWindowRect(ControlForm->GetHandle(), &dialog);
  EXPECT_EQ(main.left, kFullScreenWidth / 2 - width / 2);
  EXPECT_EQ(main.top, kFullScreenHeight / 2 - height / 2);
  EXPECT_EQ(dialog.left, main.left);
  EXPECT_EQ(dialog.top, main.top);
}

TEST_F(VantorTest, TaggedBroadcastsToTheApplicationWindowAreTakenAndDropped)
{
  MakeForms();
  const UINT broadcast = RegisterWindowMessageA("WM_KORA_BROADCAST_MESSAGE");
  ASSERT_NE(broadcast, 0u);
  EXPECT_EQ(MainForm->GetBroadcastMessageId(), broadcast);
  const struct {
    HWND Window;
    UINT Message;
    WPARAM WParam;
    bool Taken;
  } cases[] = {
      {Application->GetHandle(), broadcast, 0x0355, true},  {Application->GetHandle(), broadcast, 0x55, true},
      {Application->GetHandle(), broadcast, 0x0356, false}, {MainForm->GetHandle(), broadcast, 0x55, false},
      {Application->GetHandle(), WM_USER, 0x55, false},
  };
  for (const auto& c : cases) {
    MSG msg{c.Window, c.Message, c.WParam, 0, 0, {}};
    bool handled = false;
    Application->OnMessage(msg, handled);
    EXPECT_EQ(handled, c.Taken) << std::hex << c.Message << " " << c.WParam;
  }
}

// --- fades ---------------------------------------------------------------------------------------------------

std::vector<int> Range(int from, int to, int step = 1)
{
  std::vector<int> values;
  for (int v = from; step > 0 ? v <= to : v >= to; v += step)
    values.push_back(v);
  return values;
}

TEST_F(VantorTest, FadeOutTakesTheDialogIn29StepsAndTheMainWindowIn254)
{
  StartShown();
  SendMessageA(MainForm->GetHandle(), UM_HIDE, UM_TAG, 0);
  ASSERT_TRUE(BothHidden());
  const HWND main = MainForm->GetHandle(), dialog = ControlForm->GetHandle();
  std::vector<int> expected{255};
  for (int v : Range(254, 226, -1))
    expected.push_back(v);
  EXPECT_EQ(Steps(dialog), expected);
  expected = {255};
  for (int v : Range(254, 1, -1))
    expected.push_back(v);
  EXPECT_EQ(Steps(main), expected);
  // In step: each of the dialog's steps comes just before the main window's step of the same alpha, and
  // the dialog is gone before the main window's 225th.
  for (int alpha : {254, 240, 226})
    EXPECT_LT(FirstUpdate(dialog, alpha), FirstUpdate(main, alpha)) << alpha;
  EXPECT_LT(FirstUpdate(main, 227), FirstUpdate(dialog, 226));
  EXPECT_FALSE(IsWindowVisible(dialog));
}

TEST_F(VantorTest, TheFirstShowIsPlainAndLaterShowsFadeInTheMainWindowFirst)
{
  MakeForms(); // started hidden
  SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
  EXPECT_TRUE(BothVisible());
  EXPECT_FALSE(MainForm->GetPlainShowPending());
  for (const TLayerUpdate& update : Updates)
    EXPECT_EQ(update.Alpha, 255) << "a fade at the first show";
  SendMessageA(MainForm->GetHandle(), UM_HIDE, UM_TAG, 0);
  Updates.clear();
  SendMessageA(MainForm->GetHandle(), UM_SHOW, UM_TAG, 0);
  EXPECT_TRUE(BothVisible());
  const HWND main = MainForm->GetHandle(), dialog = ControlForm->GetHandle();
  // The main window from transparent in 255 steps, then the dialog from transparent in 128.
  EXPECT_EQ(Steps(main), Range(0, 255));
  std::vector<int> expected{0};
  for (int v : Range(1, 255, 2))
    expected.push_back(v);
  EXPECT_EQ(Steps(dialog), expected);
  EXPECT_LT(FirstUpdate(main, 255), FirstUpdate(dialog, 1));
  // At the dialog's first step its buttons are recomposed over the main picture, which is pushed again.
  EXPECT_GT(Alphas(main).size(), Steps(main).size());
}

// The notification icon's menu and UM_FOREGROUND activate the main window; a hidden one stays hidden, and
// the next show fades in from transparent as after any hide.
TEST_F(VantorTest, ActivatingTheHiddenMainWindowShowsNothing)
{
  StartShown();
  const HWND main = MainForm->GetHandle(), dialog = ControlForm->GetHandle();
  SendMessageA(main, UM_HIDE, UM_TAG, 0);
  ASSERT_TRUE(BothHidden());
  SetForegroundWindow(main);
  PumpPending();
  EXPECT_TRUE(BothHidden()) << "activated";
  SendMessageA(main, UM_FOREGROUND, UM_TAG, 0);
  PumpPending();
  EXPECT_TRUE(BothHidden()) << "UM_FOREGROUND";
  Updates.clear();
  SendMessageA(main, UM_SHOW, UM_TAG, 0);
  EXPECT_TRUE(BothVisible());
  EXPECT_EQ(Steps(main), Range(0, 255));
  ASSERT_FALSE(Steps(dialog).empty());
  EXPECT_EQ(Steps(dialog).front(), 0);
  EXPECT_EQ(Steps(dialog).back(), 255);
}

TEST_F(VantorTest, HidingWhileOnlyOneWindowShowsHidesBothAtOnce)
{
  StartShown();
  ShowWindow(ControlForm->GetHandle(), SW_HIDE);
  ControlForm->SetVisible(false);
  Updates.clear();
  SendMessageA(MainForm->GetHandle(), UM_HIDE, UM_TAG, 0);
  EXPECT_TRUE(BothHidden());
  EXPECT_TRUE(Updates.empty());
}

// --- pictures ------------------------------------------------------------------------------------------------

// The window's picture is the file's, premultiplied.
bool ShowsPicture(const char* fileName)
{
  TBitmap expected;
  expected.SetPixelFormat(pf32bit);
  LoadPngFile(SkinPath(fileName), expected);
  PremultiplyAlpha(expected);
  return MainForm->Background->GetPicture()->GetBitmap()->SaveToBytes() == expected.SaveToBytes();
}

TEST_F(VantorTest, FramesCycleThroughFourPicturesAndTheQuestionLeavesTheCounter)
{
  MakeForms();
  EXPECT_TRUE(ShowsPicture("cpu_bg004.png"));
  const struct {
    bool Question;
    int Frame;
    const char* Picture;
  } steps[] = {
      {false, 1, "cpu_bg004_1.png"}, {false, 2, "cpu_bg004_2.png"}, {true, 2, "cpu_bg005.png"},
      {false, 3, "cpu_bg004_3.png"}, {false, 0, "cpu_bg004.png"},   {false, 1, "cpu_bg004_1.png"},
  };
  for (const auto& step : steps) {
    MainForm->SetBackground(step.Question);
    EXPECT_EQ(MainForm->GetFrameIndex(), step.Frame) << step.Picture;
    EXPECT_TRUE(ShowsPicture(step.Picture)) << step.Picture;
  }
  // The pictures differ: the comparison above can fail.
  EXPECT_FALSE(ShowsPicture("cpu_bg004.png"));
}

// A skin folder with every picture but one.
class SkinFolder {
public:
  explicit SkinFolder(const std::string& missing)
  {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_path = std::string(temp) + "ko-skins-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(m_path.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    const std::string source = ExeDir() + "Resource\\";
    HANDLE search = FindFirstFileA((source + "*.*").c_str(), &found);
    while (search != INVALID_HANDLE_VALUE) {
      const std::string name = found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != missing) {
        CopyFileA((source + name).c_str(), (m_path + name).c_str(), FALSE);
        m_files.push_back(m_path + name);
      }
      if (!FindNextFileA(search, &found)) {
        FindClose(search);
        break;
      }
    }
  }
  // Puts a file that is no picture in place of `name`.
  void Spoil(const std::string& name)
  {
    const std::string path = m_path + name;
    TKernelHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), "not a picture", 13, &written, nullptr);
    m_files.push_back(path);
  }
  ~SkinFolder()
  {
    for (const std::string& file : m_files)
      DeleteFileA(file.c_str());
    RemoveDirectoryA(m_path.c_str());
  }
  const std::string& Path() const { return m_path; }

private:
  std::string m_path;
  std::vector<std::string> m_files;
};

TEST_F(VantorTest, AMissingPictureAtCreationIsAFileOpenErrorNamingIt)
{
  // Also when the icon and the later looks are made after the first frame: their files are missed at once.
  for (const bool later : {false, true}) {
    for (const char* missing : {"cpu_bg004.png", "vantor16.ico", "right_o.png"}) {
      SetStartUpExtrasLater(later);
      SkinFolder folder(missing);
      SetSkinFolder(folder.Path());
      try {
        MakeForms();
        ADD_FAILURE() << missing << " was not missed" << (later ? " (later)" : "");
      } catch (const EFOpenError& error) {
        EXPECT_NE(std::string(error.what()).find(std::string("Cannot open file ") + folder.Path() + missing),
                  std::string::npos)
            << error.what();
      }
      delete ControlForm;
      delete MainForm;
    }
  }
}

// Premultiplying the old picture again would darken it with every failed load.
TEST_F(VantorTest, AFrameThatDoesNotDecodeKeepsThePictureUntouched)
{
  SkinFolder folder("");
  folder.Spoil("cpu_bg004_1.png");
  SetSkinFolder(folder.Path());
  MakeForms();
  MainForm->SetBackground(false);
  EXPECT_EQ(MainForm->GetFrameIndex(), 1);
  EXPECT_TRUE(ShowsPicture("cpu_bg004.png"));
  MainForm->SetBackground(false);
  EXPECT_TRUE(ShowsPicture("cpu_bg004_2.png"));
}

TEST_F(VantorTest, AMissingFrameLaterKeepsThePictureAndMovesTheCounter)
{
  SkinFolder folder("cpu_bg004_1.png");
  SetSkinFolder(folder.Path());
  MakeForms();
  EXPECT_THROW(MainForm->SetBackground(false), EFOpenError);
  EXPECT_EQ(MainForm->GetFrameIndex(), 1);
  EXPECT_TRUE(ShowsPicture("cpu_bg004.png"));
}

// --- the message filter --------------------------------------------------------------------------------------

struct TFilterCall {
  UINT Message;
  DWORD Action;
};
std::vector<TFilterCall> g_filterCalls;
BOOL g_filterAnswer = TRUE;

BOOL WINAPI RecordingFilter(UINT message, DWORD action)
{
  g_filterCalls.push_back({message, action});
  return g_filterAnswer;
}

// Puts a recording filter function in for one scope, or none.
struct TFilterScope {
  TChangeWindowMessageFilter Saved = ChangeWindowMessageFilterPtr;
  explicit TFilterScope(TChangeWindowMessageFilter filter)
  {
    ChangeWindowMessageFilterPtr = filter;
    g_filterCalls.clear();
    g_filterAnswer = TRUE;
  }
  ~TFilterScope() { ChangeWindowMessageFilterPtr = Saved; }
  TFilterScope(const TFilterScope&) = delete;
  TFilterScope& operator=(const TFilterScope&) = delete;
};

TEST(AllowMessage, CallsTheFilterWhereThereIsOneAndAnswersTrueWhereThereIsNot)
{
  // Found in user32 when the unit was initialised (Wine has it).
  EXPECT_EQ(reinterpret_cast<void*>(ChangeWindowMessageFilterPtr),
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilter")));
  {
    TFilterScope none(nullptr);
    EXPECT_EQ(AllowMessage(0xC123, 1), TRUE);
  }
  TFilterScope filter(&RecordingFilter);
  g_filterAnswer = FALSE;
  EXPECT_EQ(AllowMessage(0xC123, 2), FALSE);
  ASSERT_EQ(g_filterCalls.size(), 1u);
  EXPECT_EQ(g_filterCalls[0].Message, 0xC123u);
  EXPECT_EQ(g_filterCalls[0].Action, 2u);
}

TEST_F(VantorTest, TheBroadcastIsLetThroughTheFilterAndARefusalChangesNothing)
{
  TFilterScope filter(&RecordingFilter);
  g_filterAnswer = FALSE;
  MakeForms();
  // The broadcast and, from the notification icon, the taskbar's re-creation: each let through once.
  std::vector<UINT> messages;
  for (const auto& call : g_filterCalls) {
    EXPECT_EQ(call.Action, 1u); // MSGFLT_ADD
    messages.push_back(call.Message);
  }
  std::sort(messages.begin(), messages.end());
  std::vector<UINT> expected{MainForm->GetBroadcastMessageId(), RegisterWindowMessageA("TaskbarCreated")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(messages, expected);
}

// --- the notification icon -----------------------------------------------------------------------------------

TEST_F(VantorTest, TheIconShowsOnALeftClickAndItsMenuShowsHidesAndExits)
{
  MakeForms();
  TsTrayIcon* icon = MainForm->TrayIcon;
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->PopupMenu, MainForm->TrayPopupMenu);
  EXPECT_EQ(icon->PopupOn, tckRightUp);
  ASSERT_EQ(MainForm->TrayPopupMenu->Items()->Count(), 3);
  EXPECT_EQ(MainForm->TrayPopupMenu->Items()->Items(0), MainForm->TrayShow);
  EXPECT_EQ(MainForm->TrayPopupMenu->Items()->Items(2), MainForm->TrayExit);
  EXPECT_EQ(MainForm->TrayShow->GetCaption(), "Show");
  EXPECT_EQ(MainForm->TrayHide->GetCaption(), "Hide");
  EXPECT_EQ(MainForm->TrayExit->GetCaption(), "Exit");

  icon->OnClick(icon);
  EXPECT_TRUE(BothVisible());
  MainForm->TrayHide->OnClick(MainForm->TrayHide);
  EXPECT_TRUE(BothHidden());
  MainForm->TrayShow->OnClick(MainForm->TrayShow);
  EXPECT_TRUE(BothVisible());
  EXPECT_FALSE(QuitPosted());
  MainForm->TrayExit->OnClick(MainForm->TrayExit);
  EXPECT_TRUE(QuitPosted());
}

// Start-up leaves the icon and the buttons' other looks for after the first frame; whichever comes first of
// the timer, queued input and a show or hide request makes them, each once.
TEST_F(VantorTest, WhatTheFirstFrameLeavesIsMadeByTheTimerOrAtFirstNeed)
{
  const struct {
    const char* Name;
    std::function<void()> Need;
  } cases[] = {
      {"the timer after the first frame", [] { PumpUntil([] { return !MainForm->StartUpPending(); }); }},
      {"queued input", [] {
         MSG move{};
         move.hwnd = ControlForm->NextButton->GetHandle();
         move.message = WM_MOUSEMOVE;
         bool handled = false;
         Application->OnMessage(move, handled);
       }},
      {"a show request", [] { MainForm->ShowForms(); }},
      {"a hide request", [] { MainForm->HideForms(); }},
  };
  for (const auto& c : cases) {
    SetStartUpExtrasLater(true);
    MakeForms();
    KoFourStateAppearance* looks = ControlForm->NextButton->GetAppearance();
    EXPECT_TRUE(MainForm->StartUpPending()) << c.Name;
    EXPECT_FALSE(MainForm->TrayIcon) << c.Name;
    EXPECT_FALSE(looks->GetRaisedBmp()->Empty()) << c.Name;
    EXPECT_TRUE(looks->GetSunkenBmp()->Empty()) << c.Name;
    c.Need();
    EXPECT_FALSE(MainForm->StartUpPending()) << c.Name;
    ASSERT_TRUE(MainForm->TrayIcon) << c.Name;
    EXPECT_TRUE(MainForm->TrayIcon->GetVisible()) << c.Name;
    TBitmap& background = *MainForm->Background->GetPicture()->GetBitmap();
    const struct {
      KoButton* Button;
      TBitmap* Picture;
      const char* Name;
    } later[] = {{ControlForm->NextButton, looks->GetSunkenBmp(), "right_d.png"},
                 {ControlForm->NextButton, looks->GetFocusedBmp(), "right_o.png"},
                 {ControlForm->NextButton, looks->GetDisabledBmp(), "right_un.png"},
                 {ControlForm->OkButton, ControlForm->OkButton->GetAppearance()->GetSunkenBmp(), "yes_d.png"}};
    for (const auto& look : later) {
      TBitmap expected;
      ComposeSkinFile(SkinPath(look.Name), &expected, background, look.Button->GetLeft(), look.Button->GetTop());
      EXPECT_EQ(look.Picture->SaveToBytes(), expected.SaveToBytes()) << c.Name << ": " << look.Name;
    }
    delete ControlForm;
    delete MainForm->TrayIcon;
    delete MainForm;
  }
}

// The shell's answer to the icon's adding lets another program's show request in; in TPX mode its notice
// must not be lost on the icon that is not there yet.
TEST_F(VantorTest, ATpxShowRequestWhileTheIconIsAddedShowsTheNoticeOnceItIsThere)
{
  Load(VantorLayout(1));
  SetStartUpExtrasLater(true);
  MakeForms();
  const auto record = SysApi().Shell_NotifyIconA;
  bool requested = false;
  SysApi().Shell_NotifyIconA = [&](DWORD message, PNOTIFYICONDATAA data) -> BOOL {
    if (message == NIM_ADD && !std::exchange(requested, true)) {
      MainForm->ShowForms();
      EXPECT_TRUE(Balloons.empty()) << "a notice before the icon is there";
    }
    return record(message, data);
  };
  PumpUntil([] { return !MainForm->StartUpPending(); });
  SysApi().Shell_NotifyIconA = record;
  EXPECT_TRUE(requested);
  EXPECT_EQ(Balloons, std::vector<std::string>{"CPU Vantor can't run under TPX mode"});
  EXPECT_FALSE(BothVisible());
}

// What an icon looks like at 16 pixels, drawn over white.
std::vector<COLORREF> IconPixels(HICON icon)
{
  TMemoryDC dc(CreateCompatibleDC(nullptr));
  TBitmapHandle bitmap(CreateBitmap(16, 16, 1, 32, nullptr));
  const HGDIOBJ old = SelectObject(dc.Get(), bitmap.Get());
  PatBlt(dc.Get(), 0, 0, 16, 16, WHITENESS);
  DrawIconEx(dc.Get(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
  std::vector<COLORREF> pixels;
  for (int at = 0; at < 256; ++at)
    pixels.push_back(GetPixel(dc.Get(), at % 16, at / 16));
  SelectObject(dc.Get(), old);
  return pixels;
}

std::vector<COLORREF> IconFilePixels(const char* name)
{
  TIcon icon;
  TFileStream file(SkinPath(name), fmOpenRead);
  icon.LoadFromStream(&file);
  return IconPixels(icon.GetHandle());
}

// The taskbar's theme (1 light, 0 dark, -1 no value, as the test's prefix starts).
void SetTaskbarTheme(int light)
{
  constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  const DWORD value = static_cast<DWORD>(light);
  if (light < 0)
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, "SystemUsesLightTheme");
  else
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "SystemUsesLightTheme", REG_DWORD, &value, sizeof value), 0);
}

TEST_F(VantorTest, TheIconFollowsTheTaskbarsThemeAndItsChanges)
{
  const std::vector<COLORREF> light = IconFilePixels("vantor16.ico");
  const std::vector<COLORREF> dark = IconFilePixels("vantor16_dark.ico");
  ASSERT_NE(light, dark);
  const auto shown = [] { return IconPixels(MainForm->TrayIcon->Notifier().Data().hIcon); };
  SetTaskbarTheme(0);
  MakeForms();
  EXPECT_EQ(shown(), dark) << "dark at start";
  // The theme's value, then the setting named by the change message.
  const struct {
    int Light;
    const char* Area;
    bool Dark;
  } cases[] = {{1, "Environment", true}, {1, "ImmersiveColorSet", false}, {0, nullptr, false},
               {0, "ImmersiveColorSet", true}, {-1, "ImmersiveColorSet", false}};
  for (const auto& c : cases) {
    SetTaskbarTheme(c.Light);
    SendMessageA(MainForm->GetHandle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(c.Area));
    EXPECT_EQ(shown(), c.Dark ? dark : light) << c.Light << " " << (c.Area ? c.Area : "none");
  }
  SetTaskbarTheme(-1);
}

} // namespace
