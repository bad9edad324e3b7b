// The real program, CpuVantor.exe beside the bench, started as a process of its own with a stand-in BIOS
// store of the bench's own: start-up to its first pushed frame, a whole fade out and in, Next clicks, and
// the process's private bytes and object counts after start, after 1 000 Next clicks and after 100 hide
// and show cycles. Baselines: a trivial windowed program's start (benchprobe.exe), bare ShowWindow calls
// and the bare layered-window updates a fade consists of, and the bare work of a frame change.
#include "Bench.h"

#include "AppBenchSupport.h"
#include "Main.h"
#include "PngReader.h"
#include "ProcessProbe.h"
#include "VantorMessages.h"

#include "Bitmap.h"
#include "Handles.h"
#include "SysUtils.h"

#include <windows.h>

#include <cstdio>
#include <climits>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using appbench::TStartedProcess;

constexpr int kClicks = 1000;
constexpr int kCycles = 100;
constexpr int kStartRuns = 9;
constexpr int kFadeRuns = 9;
// The program's picture size, for the bare windows of the baselines.
constexpr int kPictureWidth = 345;
constexpr int kPictureHeight = 348;
// Away from the program's windows, which lie in the middle of the display: overlapping windows would
// repaint each other.
constexpr int kBareLeft = 930;
constexpr int kBareTop = 10;

std::string ExeFolder()
{
  return ExtractFilePath(ApplicationExeName());
}

// Start to the first visible frame, then the whole life to the process's end, once per run; the start-up
// part is noted separately, since the table times whole runs. Then the same against the start-up's floor,
// benchframe.exe: what the first frame needs beyond a trivial window, without the rest of the program.
void MeasureStartUp(bench::TContext& context)
{
  const std::string program = ExeFolder() + "CpuVantor.exe";
  const std::string probe = ExeFolder() + "benchprobe.exe";
  const std::string floor = ExeFolder() + "benchframe.exe";
  int failures = 0;
  struct TRuns {
    std::vector<double> Starts;
    std::vector<double> Ends;
  };
  const auto run = [&](const std::string& exe, const char* windowClass, UINT closeMessage, WPARAM closeParam,
                       TRuns& runs) {
    const double start = appbench::NowMs();
    TStartedProcess process(exe);
    const bool shown = process.WaitUntil(
        [&] {
          const HWND window = process.Window(windowClass);
          return window && IsWindowVisible(window);
        },
        20000);
    if (!shown) {
      ++failures;
      return;
    }
    const double shownAt = appbench::NowMs();
    runs.Starts.push_back(shownAt - start);
    failures += process.Stop(process.Window(windowClass), closeMessage, closeParam) ? 0 : 1;
    runs.Ends.push_back(appbench::NowMs() - shownAt);
  };
  const auto runProgram = [&](TRuns& runs) { run(program, kMainWindowClass, UM_EXIT, UM_TAG, runs); };
  const auto runProbe = [&](const std::string& exe, TRuns& runs) { run(exe, "BenchProbe", WM_CLOSE, 0, runs); };
  TRuns programRuns;
  TRuns probeRuns;
  context.Compare(
      "CpuVantor.exe start, frame, UM_EXIT, end", [&] { runProgram(programRuns); },
      "benchprobe.exe start, window, WM_CLOSE, end", [&] { runProbe(probe, probeRuns); }, kStartRuns);
  const double programStart = appbench::Median(programRuns.Starts);
  const double probeStart = appbench::Median(probeRuns.Starts);
  context.Note("start-up to the first frame on screen: CpuVantor.exe " + appbench::Ms(programStart, 1) +
               ", benchprobe.exe to its window " + appbench::Ms(probeStart, 1) + " (medians of " +
               std::to_string(programRuns.Starts.size()) + " and " + std::to_string(probeRuns.Starts.size()) +
               " runs)");
  if (probeStart > 0)
    context.Note("start-up to the first frame, ratio to benchprobe.exe's: " + std::to_string(programStart / probeStart));
  context.Note("UM_EXIT (WM_CLOSE) sent to the process's end: CpuVantor.exe " +
               appbench::Ms(appbench::Median(programRuns.Ends), 1) + ", benchprobe.exe " +
               appbench::Ms(appbench::Median(probeRuns.Ends), 1));

  TRuns againRuns;
  TRuns floorRuns;
  context.Compare(
      "CpuVantor.exe start, frame, UM_EXIT, end", [&] { runProgram(againRuns); },
      "benchframe.exe (the first frame's floor), WM_CLOSE, end", [&] { runProbe(floor, floorRuns); },
      kStartRuns);
  const double againStart = appbench::Median(againRuns.Starts);
  const double floorStart = appbench::Median(floorRuns.Starts);
  if (floorStart > 0 && probeStart > 0)
    context.Note("start-up floor (frame decoded through pngio.dll and pushed, keyed window with the level's "
                 "name, four looks and two captions): " +
                 appbench::Ms(floorStart, 1) + " = " + std::to_string(floorStart / probeStart) +
                 " x benchprobe.exe's start above; CpuVantor.exe in the same runs " + appbench::Ms(againStart, 1) +
                 " = " + std::to_string(againStart / floorStart) + " x its floor");
  if (failures)
    context.Note("start-up: " + std::to_string(failures) + " runs FAILED");
}

// The counter must see another process's objects come and go before its counts are believed.
void CheckRemoteCounter(bench::TContext& context)
{
  TStartedProcess probe(ExeFolder() + "benchprobe.exe");
  HWND window = nullptr;
  if (!probe.WaitUntil([&] { return (window = probe.Window("BenchProbe")) != nullptr; }, 20000)) {
    context.Note("remote GDI counter check: benchprobe.exe did not start");
    return;
  }
  appbench::Settle(window);
  // The trivial program's appetite: the bound for the program's own after start.
  const appbench::TCounts probeCounts = appbench::CountsOf(probe);
  context.Note("benchprobe.exe after start: " + appbench::Describe(probeCounts));
  const int base = probeCounts.Gdi;
  SendMessageA(window, WM_APP, 0, 0);
  const int made = appbench::CountsOf(probe).Gdi;
  SendMessageA(window, WM_APP + 1, 0, 0);
  const int freed = appbench::CountsOf(probe).Gdi;
  context.Note("remote GDI counter check (10 brushes in benchprobe.exe): " + std::to_string(base) + " -> " +
               std::to_string(made) + " -> " + std::to_string(freed) +
               (made == base + 10 && freed == base ? " (sees them)" : " (BLIND)"));
  probe.Stop(window, WM_CLOSE, 0);
}

void NoteCounts(bench::TContext& context, const std::string& when, const appbench::TCounts& counts)
{
  context.Note("program " + when + ": " + appbench::Describe(counts));
}

void NoteGrowth(bench::TContext& context, const std::string& what, const appbench::TCounts& first,
                const appbench::TCounts& last)
{
  context.Note(what + ": " + appbench::DescribeGrowth(first, last));
}

// Two windows the size of the program's, with nothing behind them: a per-pixel-alpha one showing a frame and
// a colour-keyed one with a constant alpha. Topmost ones lie below the others, the keyed one above.
class TBareWindows {
public:
  TBareWindows(const std::string& skinFolder, const appbench::TFadeCalls& fade, bool topmost = false)
      : m_fade(fade), m_top(topmost ? kBareTop + kPictureHeight + 10 : kBareTop), m_picture(MakeWindow(topmost)),
        m_keyed(MakeWindow(topmost)), m_screen(nullptr),
        m_memory(TMemoryDC::CreateCompatible(m_screen.Get()))
  {
    m_frame.SetPixelFormat(pf32bit);
    LoadPngFile(skinFolder + appbench::kFramePictures[0], m_frame);
    PremultiplyAlpha(m_frame);
    m_frame.Dormant();
    m_selected.emplace(m_memory.Get(), m_frame.GetHandle());
    Push(m_picture.Get(), 255);
    SetLayeredWindowAttributes(m_keyed.Get(), RGB(255, 0, 255), 255, LWA_COLORKEY | LWA_ALPHA);
    ShowWindow(m_picture.Get(), SW_SHOWNOACTIVATE);
    ShowWindow(m_keyed.Get(), SW_SHOWNOACTIVATE);
  }

  bool Valid() const { return m_picture && m_keyed && !m_frame.Empty(); }
  HWND Picture() const { return m_picture.Get(); }

  // Both windows hidden and shown again: what showing and hiding costs without a fade.
  void ShowWindowPair()
  {
    ShowWindow(m_keyed.Get(), SW_HIDE);
    ShowWindow(m_picture.Get(), SW_HIDE);
    ShowWindow(m_picture.Get(), SW_SHOWNOACTIVATE);
    ShowWindow(m_keyed.Get(), SW_SHOWNOACTIVATE);
  }

  // The layered-window updates of one fade out and in, and nothing around them.
  void FadeSteps()
  {
    ShowWindow(m_keyed.Get(), SW_HIDE);
    ShowWindow(m_picture.Get(), SW_HIDE);
    for (int step = 0; step < m_fade.DialogSteps; ++step)
      SetLayeredWindowAttributes(m_keyed.Get(), RGB(255, 0, 255), static_cast<BYTE>(255 - step),
                                 LWA_COLORKEY | LWA_ALPHA);
    for (int step = 0; step < m_fade.Pushes; ++step)
      Push(m_picture.Get(), static_cast<BYTE>(step % 256));
    ShowWindow(m_picture.Get(), SW_SHOWNOACTIVATE);
    ShowWindow(m_keyed.Get(), SW_SHOWNOACTIVATE);
  }

  // The same kind of updates in the order of the program's fade out and in, on shown windows, each window
  // hidden and shown where the fade hides and shows it, and never activated: the program's windows stay
  // on screen through most of the steps, which costs more than updates of hidden ones. Returns the
  // pushes and alpha steps made.
  appbench::TFadeCalls FadeStepsShown()
  {
    appbench::TFadeCalls made;
    const auto keyedAlpha = [&](int alpha) {
      SetLayeredWindowAttributes(m_keyed.Get(), RGB(255, 0, 255), static_cast<BYTE>(alpha), LWA_COLORKEY | LWA_ALPHA);
      ++made.DialogSteps;
    };
    const auto push = [&](int alpha) {
      Push(m_picture.Get(), static_cast<BYTE>(alpha));
      ++made.Pushes;
    };
    // Out: the keyed window over the first 29 steps, gone at the 30th; the picture over all 254.
    keyedAlpha(255);
    for (int n = 254; n >= 1; --n) {
      if (n > 225)
        keyedAlpha(n);
      if (n == 225)
        ShowWindow(m_keyed.Get(), SW_HIDE);
      push(n);
    }
    ShowWindow(m_picture.Get(), SW_HIDE);
    // In: the picture first, then the keyed window in steps of two, the picture pushed once more as its first
    // step refreshes the looks.
    push(0);
    keyedAlpha(0);
    ShowWindow(m_picture.Get(), SW_SHOWNOACTIVATE);
    for (int alpha = 1; alpha <= 255; ++alpha)
      push(alpha);
    ShowWindow(m_keyed.Get(), SW_SHOWNOACTIVATE);
    for (int alpha = 1; alpha <= 255; alpha += 2) {
      keyedAlpha(alpha);
      if (alpha == 1)
        push(255);
    }
    return made;
  }

private:
  HWND MakeWindow(bool topmost) const
  {
    return CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | (topmost ? WS_EX_TOPMOST : 0),
                           "STATIC", "", WS_POPUP, kBareLeft, m_top, kPictureWidth, kPictureHeight, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }

  void Push(HWND window, BYTE alpha)
  {
    POINT at{kBareLeft, m_top};
    SIZE size{kPictureWidth, kPictureHeight};
    POINT from{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    UpdateLayeredWindow(window, m_screen.Get(), &at, &size, m_memory.Get(), &from, 0, &blend, ULW_ALPHA);
  }

  appbench::TFadeCalls m_fade;
  int m_top;
  TWindowHandle m_picture;
  TWindowHandle m_keyed;
  TWindowDC m_screen;
  TMemoryDC m_memory;
  TBitmap m_frame;
  std::optional<TSelectObject> m_selected;
};

// The running program's dialog and its Next button: of its two arrow buttons, the one further right.
HWND FindNextButton(HWND dialog)
{
  HWND next = nullptr;
  LONG nextLeft = LONG_MIN;
  for (HWND button : appbench::ChildWindows(dialog, "KoButton")) {
    RECT bounds{};
    GetWindowRect(button, &bounds);
    if (bounds.left > nextLeft) {
      next = button;
      nextLeft = bounds.left;
    }
  }
  return next;
}

// The counts through 1 000 Next clicks and 100 hide and show cycles, each batch after one cycle of its
// kind, so that what a first use sets up once is not taken for growth.
void MeasureCounts(bench::TContext& context, const TStartedProcess& program, HWND main,
                   const std::function<void()>& click, const std::function<void()>& fade)
{
  appbench::Settle(main);
  NoteCounts(context, "after start", appbench::CountsOf(program));

  const std::vector<uint32_t> before = appbench::ScreenPixels(main);
  click();
  appbench::Settle(main);
  const std::vector<uint32_t> after = appbench::ScreenPixels(main);
  context.Note(std::string("one Next click sent to the running program changes its picture on screen: ") +
               (before.empty() ? "not readable" : before != after ? "yes" : "NO"));
  const appbench::TCounts firstClick = appbench::CountsOf(program);
  NoteCounts(context, "after 1 Next click", firstClick);
  for (int i = 1; i < kClicks; ++i)
    click();
  appbench::Settle(main);
  const appbench::TCounts clicks = appbench::CountsOf(program);
  NoteCounts(context, "after " + std::to_string(kClicks) + " Next clicks", clicks);
  NoteGrowth(context, std::string("clicks 2 to ") + std::to_string(kClicks), firstClick, clicks);

  fade();
  appbench::Settle(main);
  const appbench::TCounts firstCycle = appbench::CountsOf(program);
  NoteCounts(context, "after 1 hide/show cycle", firstCycle);
  for (int i = 1; i < kCycles; ++i)
    fade();
  appbench::Settle(main);
  const appbench::TCounts cycles = appbench::CountsOf(program);
  NoteCounts(context, "after " + std::to_string(kCycles) + " hide/show cycles", cycles);
  NoteGrowth(context, std::string("cycles 2 to ") + std::to_string(kCycles), firstCycle, cycles);
}

void MeasureProgram(bench::TContext& context, const std::string& skinFolder, const appbench::TFadeCalls& fadeCalls)
{
  TStartedProcess program(ExeFolder() + "CpuVantor.exe");
  HWND main = nullptr;
  HWND dialog = nullptr;
  const bool up = program.WaitUntil(
      [&] {
        main = program.Window(kMainWindowClass);
        dialog = program.Window("TControlForm");
        return main && dialog && IsWindowVisible(main) && IsWindowVisible(dialog);
      },
      20000);
  const HWND next = up ? FindNextButton(dialog) : nullptr;
  if (!next) {
    context.Note("the running program: " + std::string(up ? "no Next button found" : "did not show both windows"));
    return;
  }
  // A click as the button gets it from the system once the pointer has been found over it: its own press and
  // release messages, sent and so handled to the end (push included) before SendMessage returns. The
  // display's pointer is left alone: nothing else on the display can get in the way.
  RECT bounds{};
  GetClientRect(next, &bounds);
  const LPARAM centre = MAKELPARAM(bounds.right / 2, bounds.bottom / 2);
  int unanswered = 0;
  const auto click = [&] {
    unanswered += appbench::SendAndWait(next, WM_LBUTTONDOWN, MK_LBUTTON, centre) ? 0 : 1;
    unanswered += appbench::SendAndWait(next, WM_LBUTTONUP, 0, centre) ? 0 : 1;
  };
  // Sent, as another program sends them: each returns once its fade has ended.
  int unsettled = 0;
  const auto fade = [&] {
    unanswered += appbench::SendAndWait(main, UM_HIDE, UM_TAG, 0) ? 0 : 1;
    unanswered += appbench::SendAndWait(main, UM_SHOW, UM_TAG, 0) ? 0 : 1;
    unsettled += IsWindowVisible(main) && IsWindowVisible(dialog) ? 0 : 1;
  };
  MeasureCounts(context, program, main, click, fade);

  TBareWindows bare(skinFolder, fadeCalls);
  if (!bare.Valid()) {
    context.Note("no bare windows for the baselines");
    return;
  }
  appbench::TFrameChange frameChange(bare.Picture(), skinFolder);
  context.Compare("Next click sent to the running program", click, "LoadPngFile+premultiply+push of a frame",
                  [&] { frameChange(); }, 51);
  context.Compare("UM_HIDE + UM_SHOW: fade out and in", fade, "bare ShowWindow pair, 2 windows",
                  [&] { bare.ShowWindowPair(); }, kFadeRuns);
  if (fadeCalls.Pushes > 0)
    context.Compare("UM_HIDE + UM_SHOW: fade out and in", fade,
                  std::to_string(fadeCalls.Pushes) + " UpdateLayeredWindow+" + std::to_string(fadeCalls.DialogSteps) +
                      " SLWA",
                  [&] { bare.FadeSteps(); }, kFadeRuns);
  TBareWindows shown(skinFolder, fadeCalls, true);
  if (shown.Valid()) {
    appbench::TFadeCalls made;
    context.Compare("UM_HIDE + UM_SHOW: fade out and in", fade,
                    "the fade's updates in its order on shown topmost windows (its floor)",
                    [&] { made = shown.FadeStepsShown(); }, kFadeRuns);
    context.Note("the fade's floor line: " + std::to_string(made.Pushes) + " UpdateLayeredWindow + " +
                 std::to_string(made.DialogSteps) + " SLWA per run, the program's fade " +
                 std::to_string(fadeCalls.Pushes) + " + " + std::to_string(fadeCalls.DialogSteps));
  }
  if (unanswered || unsettled)
    context.Note(std::to_string(unanswered) + " messages unanswered, " + std::to_string(unsettled) +
                 " fades that did not end with both windows shown");
  if (!program.Stop(main, UM_EXIT, UM_TAG))
    context.Note("the program did not end on UM_EXIT and was ended by force");
}

} // namespace

void appbench::MeasureRunningProgram(bench::TContext& context, const TFadeCalls& fade)
{
  appbench::TBenchFolder folder;
  if (!folder.Valid() || !appbench::UseBiosStore(folder.StorePath())) {
    std::fprintf(stderr, "bench: no temporary skin folder or store\n");
    return;
  }
  if (GetFileAttributesA((ExeFolder() + "CpuVantor.exe").c_str()) == INVALID_FILE_ATTRIBUTES) {
    context.Note("CpuVantor.exe is not beside the bench: build the bench preset's CpuVantor target");
    return;
  }
  CheckRemoteCounter(context);
  MeasureStartUp(context);
  MeasureProgram(context, folder.SkinFolder(), fade);
}
