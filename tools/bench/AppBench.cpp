// The app area: what the program costs in time and resources. Here the level dialog's Next click with the
// program's own forms, made in this process over a copy of the skins and a stand-in BIOS store of the
// bench's own: from the press on the button to the pushed picture, and to the end of the click's handler,
// beside the bare work a frame change needs (one LoadPngFile of the next frame, premultiply, one push). The
// click arrives as the button's own press and release messages, the path a real click takes once the
// system has found the button under the pointer. Then the real program and the shipped executable.
#include "Bench.h"

#include "AppBenchSupport.h"
#include "BenchSupport.h"
#include "Ctrlform.h"
#include "KoAcpiControl.h"
#include "KoButton.h"
#include "KoButtonTx.h"
#include "KoShapedWindow.h"
#include "KoTrayIcon.h"
#include "Main.h"
#include "PngReader.h"
#include "ProcessCounts.h"
#include "ProcessProbe.h"

#include "Application.h"
#include "Bitmap.h"
#include "ExtCtrls.h"
#include "Handles.h"
#include "Picture.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Every UpdateLayeredWindow and SetLayeredWindowAttributes of the forms made while the timing lookup is in
// place goes through here: the first push after a click starts is the moment the new picture reaches the
// screen, and the calls of a fade are counted.
UpdateLayeredWindowProc g_updateLayeredWindow = nullptr;
SetLayeredWindowAttributesProc g_setLayeredWindowAttributes = nullptr;
TUser32Lookup g_previousLookup = nullptr;
bool g_pushArmed = false;
double g_pushedAt = 0;
int g_pushes = 0;
int g_attributeCalls = 0;

BOOL WINAPI TimedUpdateLayeredWindow(HWND window, HDC screen, POINT* at, SIZE* size, HDC source, POINT* from,
                                     COLORREF key, BLENDFUNCTION* blend, DWORD flags)
{
  const BOOL done = g_updateLayeredWindow(window, screen, at, size, source, from, key, blend, flags);
  ++g_pushes;
  if (g_pushArmed) {
    g_pushedAt = appbench::NowMs();
    g_pushArmed = false;
  }
  return done;
}

BOOL WINAPI CountedSetLayeredWindowAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags)
{
  ++g_attributeCalls;
  return g_setLayeredWindowAttributes(window, key, alpha, flags);
}

template <typename F>
F As(FARPROC function)
{
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(function));
}

template <typename F>
FARPROC AsFarProc(F function)
{
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

FARPROC TimingLookup(const char* name)
{
  const FARPROC found = g_previousLookup(name);
  if (found && std::strcmp(name, "UpdateLayeredWindow") == 0) {
    g_updateLayeredWindow = As<UpdateLayeredWindowProc>(found);
    return AsFarProc(&TimedUpdateLayeredWindow);
  }
  if (found && std::strcmp(name, "SetLayeredWindowAttributes") == 0) {
    g_setLayeredWindowAttributes = As<SetLayeredWindowAttributesProc>(found);
    return AsFarProc(&CountedSetLayeredWindowAttributes);
  }
  return found;
}

uint32_t CallLogBytes()
{
  uint32_t size = 0;
  KoSimGetCallLog(nullptr, &size); // fails without a buffer, and says how much it would need
  return size;
}

// 100 fades out and in with the program's forms in this process, after a first one, twice: the private bytes
// and GDI objects of this process beside the growth of the stand-in BIOS's call log (it keeps the newest
// 65 536 calls and sees the BIOS reads of every show), then the same with the log emptied after each fade.
void NoteFadeAppetite(bench::TContext& context)
{
  constexpr int kCycles = 100;
  const auto cycle = [] {
    MainForm->HideForms();
    MainForm->ShowForms();
    bench::Pump();
  };
  cycle();
  for (const bool clearLog : {false, true}) {
    KoSimClearCallLog();
    const long long privateBefore = koprobe::PrivateBytesOf(GetCurrentProcess());
    const int gdiBefore = koprobe::GdiObjectsOf(GetCurrentProcess());
    long long logGrowth = 0;
    for (int i = 0; i < kCycles; ++i) {
      cycle();
      if (clearLog) {
        logGrowth += CallLogBytes();
        KoSimClearCallLog();
      }
    }
    if (!clearLog)
      logGrowth = CallLogBytes();
    const long long privateAfter = koprobe::PrivateBytesOf(GetCurrentProcess());
    const int gdiAfter = koprobe::GdiObjectsOf(GetCurrentProcess());
    const bool counted = privateBefore >= 0 && privateAfter >= 0 && gdiBefore >= 0 && gdiAfter >= 0;
    context.Note(std::string("in this process, ") + std::to_string(kCycles) + " more fades" +
                 (clearLog ? ", the BIOS call log emptied after each" : "") + ": " +
                 (counted ? "private " + std::to_string((privateAfter - privateBefore) / 1024) + " KiB, GDI " +
                                std::to_string(gdiBefore) + " -> " + std::to_string(gdiAfter)
                          : std::string("NOT COUNTED")) +
                 "; call log text " + (clearLog ? "made and dropped " : "kept ") + std::to_string(logGrowth / 1024) +
                 " KiB");
  }
}

// Both forms as start-up makes them, shown at once; taken down again in the right order.
class TProgramForms {
public:
  TProgramForms()
  {
    Application->Initialize();
    g_previousLookup = SetUser32Lookup(&TimingLookup);
    try {
      MainForm = new TMainForm(Application.Get());
      ControlForm = new TControlForm(Application.Get());
    } catch (...) {
      Restore();
      throw;
    }
    SetUser32Lookup(g_previousLookup);
    MainForm->ShowForms();
    bench::Pump();
  }
  ~TProgramForms() { Restore(); }
  TProgramForms(const TProgramForms&) = delete;
  TProgramForms& operator=(const TProgramForms&) = delete;

private:
  static void Restore()
  {
    SetUser32Lookup(g_previousLookup);
    // The dialog's window is owned by the main window's; the icon belongs to the application object.
    delete ControlForm;
    if (MainForm)
      delete MainForm->TrayIcon;
    delete MainForm;
    bench::Pump();
  }
};

appbench::TFadeCalls MeasureNextClick(bench::TContext& context)
{
  appbench::TFadeCalls fadeCalls;
  appbench::TBenchFolder folder;
  if (!folder.Valid() || !appbench::UseBiosStore(folder.StorePath())) {
    std::fprintf(stderr, "bench: no temporary skin folder or store\n");
    return fadeCalls;
  }
  SetSkinFolder(folder.SkinFolder());
  try {
    TProgramForms forms;
    const HWND next = ControlForm->NextButton->GetHandle();
    const LPARAM centre = MAKELPARAM(ControlForm->NextButton->GetWidth() / 2, ControlForm->NextButton->GetHeight() / 2);
    const int frameBefore = MainForm->GetFrameIndex();
    const DWORD levelBefore = ControlForm->GetSelectedLevel();
    int clicks = 0;
    std::vector<double> toPush;
    const auto click = [&] {
      const double start = appbench::NowMs();
      g_pushArmed = true;
      SendMessageA(next, WM_LBUTTONDOWN, MK_LBUTTON, centre);
      SendMessageA(next, WM_LBUTTONUP, 0, centre);
      if (!g_pushArmed)
        toPush.push_back(g_pushedAt - start);
      g_pushArmed = false;
      ++clicks;
    };
    appbench::TFrameChange frameChange(MainForm->GetHandle(), folder.SkinFolder());
    context.Compare("Next click, press to handler's end", click, "LoadPngFile+premultiply+push of a frame",
                    [&] { frameChange(); }, 101);
    bench::Pump();
    context.Note("Next click, press to the pushed picture: median " + appbench::Ms(appbench::Median(toPush), 3) +
                 " over " +
                 std::to_string(toPush.size()) + " clicks (the handler then composes the other looks)");

    // The counts prove that the messages reached the click handler: frame and selection moved every time.
    const size_t levels = ControlForm->LevelNames.size();
    const bool moved = levels > 0 && MainForm->GetFrameIndex() == (frameBefore + clicks) % 4 &&
                       ControlForm->GetSelectedLevel() == (levelBefore + clicks) % levels;
    context.Note(std::to_string(clicks) + " clicks moved the frame and the selection as often: " +
                 (moved ? "yes" : "NO (the measurement above is not a click)"));

    // One fade out and in, counted through the same hooks: the bare bound of the running program's fade.
    const int pushesBefore = g_pushes;
    const int attributeCallsBefore = g_attributeCalls;
    MainForm->HideForms();
    MainForm->ShowForms();
    bench::Pump();
    fadeCalls.Pushes = g_pushes - pushesBefore;
    fadeCalls.DialogSteps = g_attributeCalls - attributeCallsBefore;
    context.Note("one fade out and in: " + std::to_string(fadeCalls.Pushes) + " pushes of the main picture, " +
                 std::to_string(fadeCalls.DialogSteps) + " alpha steps of the dialog");
    NoteFadeAppetite(context);

    // Of a click's work, the button looks: each is decoded from its file again, then blended.
    TBitmap composed;
    TBitmap decoded;
    decoded.SetPixelFormat(pf32bit);
    LoadPngFile(folder.SkinFolder() + "right_n.png", decoded);
    PremultiplyAlpha(decoded);
    TBitmap& background = *MainForm->Background->GetPicture()->GetBitmap();
    const int left = ControlForm->NextButton->GetLeft();
    const int top = ControlForm->NextButton->GetTop();
    context.Compare("ComposeSkin of one button look", [&] { ComposeSkin("right_n.png", &composed, left, top); },
                    "BlendSkin of the look, decoded before", [&] { BlendSkin(decoded, background, left, top); }, 101);

    // The click's two halves before the push: the next frame, then the raised looks over it and the push.
    appbench::TFrameChange unpushed(nullptr, folder.SkinFolder());
    context.Compare("SetBackground(false): the next frame", [&] { MainForm->SetBackground(false); },
                    "LoadPngFile+premultiply of a frame", [&] { unpushed.LoadOnly(); }, 101);
    TBitmap spare[4];
    appbench::TFrameChange push(MainForm->GetHandle(), folder.SkinFolder());
    const auto composeAndPush = [&] {
      for (TBitmap& bitmap : spare)
        ComposeSkin("right_n.png", &bitmap, left, top);
      push.PushOnly(background);
    };
    const auto reload = [] { ControlForm->ReloadSkins(true); };
    context.Compare("ReloadSkins(true): 4 raised looks and the push", reload,
                    "4 ComposeSkin to spare bitmaps, 1 frame push", composeAndPush, 101);
    // The buttons show their new looks: a reload cannot leave out putting each look on its button's
    // window. The same row beside that floor: the baseline above plus one blit of each look to its button.
    KoButton* const reloaded[] = {ControlForm->PrevButton, ControlForm->NextButton, ControlForm->OkButton,
                                  ControlForm->CancelButton};
    context.Compare("ReloadSkins(true): 4 raised looks and the push", reload,
                    "floor: the 4 composes and push, 4 looks blitted to their buttons",
                    [&] {
                      composeAndPush();
                      for (size_t i = 0; i < 4; ++i) {
                        const TWindowDC dc(reloaded[i]->GetHandle());
                        BitBlt(dc.Get(), 0, 0, spare[i].GetWidth(), spare[i].GetHeight(),
                               spare[i].GetCanvas()->GetHandle(), 0, 0, SRCCOPY);
                        GdiFlush();
                      }
                    },
                    101);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench: the program's forms failed: %s\n", error.what());
  }
  SetSkinFolder("");
  return fadeCalls;
}

void RunApp(bench::TContext& context)
{
  const appbench::TFadeCalls fadeCalls = MeasureNextClick(context);
  appbench::MeasureRunningProgram(context, fadeCalls);
  appbench::NoteShippedExecutable(context);
}

const bench::TRegistration registration("app", &RunApp);

} // namespace
