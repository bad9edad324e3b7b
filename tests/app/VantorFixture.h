#pragma once
// The program's two windows made as start-up makes them, over a BIOS in a store of the test's own. The
// notification area, the reboot request and the screen size are answered by the test, and every
// layered-window update of either window is logged, so that fades can be followed step by step.
#include "BiosInterface.h"
#include "Ctrlform.h"
#include "KoAcpiControl.h"
#include "KoShapedWindow.h"
#include "Main.h"
#include "Scaling.h"
#include "TestSupport.h"
#include "VantorMessages.h"

#include "Application.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Five levels, 2 held by the BIOS; 0 and 4 take effect only after a restart. The TPX state, the level
// item, the companion's option count and the start-up guards' value can be given.
inline std::string VantorLayout(int tpx = 0, const std::string& levelItem = "", int companionCount = 8, int guards = 0)
{
  const std::string level =
      levelItem.empty() ? R"({"id": "0x0F080000", "value": 2, "default": 2,
                              "options": ["Standard", "Quiet", "Balanced", "Performance", "Maximum"],
                              "restart": [0, 4]})"
                        : levelItem;
  return R"({"info": [1, 0, 2], "groups": {
    "0x00": [{"id": "0x00060008", "value": )" +
         std::to_string(guards) + R"(, "count": 8}, {"id": "0x00060009", "value": )" + std::to_string(guards) +
         R"(, "count": 8}],
    "0x09": [{"id": "0x09000000", "value": 1, "default": 1, "count": )" +
         std::to_string(companionCount) + R"(}],
    "0x0B": [{"id": "0x0B060001", "value": )" +
         std::to_string(tpx) + R"(, "count": 2}],
    "0x0F": [)" + level + "]}}";
}

constexpr DWORD kLevelItem = 0x0F080000;
constexpr DWORD kCompanionItem = 0x09000000;
constexpr int kFullScreenWidth = 1001;
constexpr int kFullScreenHeight = 707;

// One layered-window update: which window, its constant alpha, and whether that alpha was in use.
struct TLayerUpdate {
  HWND Window;
  BYTE Alpha;
  bool UsesAlpha;
};

class VantorTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_EQ(KoSimUseStore(m_store.Path().c_str()), 1);
    KoSimClearAnswers();
    Load(VantorLayout());
    s_updates = &Updates;
    m_oldLookup = SetUser32Lookup(&WatchingLookup);
    SysApi().Shell_NotifyIconA = [this](DWORD message, PNOTIFYICONDATAA data) -> BOOL {
      if (message == NIM_MODIFY && (data->uFlags & NIF_INFO) && data->szInfo[0])
        Balloons.push_back(data->szInfo);
      return TRUE;
    };
    SysApi().ExitWindowsEx = [this](UINT flags, DWORD) -> BOOL {
      RebootFlags.push_back(flags);
      return TRUE;
    };
    SysApi().GetSystemMetrics = [](int index) {
      if (index == SM_CXFULLSCREEN)
        return kFullScreenWidth;
      if (index == SM_CYFULLSCREEN)
        return kFullScreenHeight;
      return GetSystemMetrics(index);
    };
    Application = m_application;
  }

  void TearDown() override
  {
    delete m_application; // the forms go with it
    Application = m_savedApplication;
    SetUser32Lookup(m_oldLookup);
    s_updates = nullptr;
    s_onPush = nullptr;
    KoSimClearAnswers();
    SetSkinFolder("");
    SetSkinScale(100);
    SetStartUpExtrasLater(false);
    DropQuit();
  }

  void Load(const std::string& json)
  {
    char error[512] = {};
    ASSERT_EQ(KoSimLoadLayout(json.c_str(), error, sizeof error), 1) << error;
  }

  // Both windows, main window first, as start-up makes them; nothing shown yet.
  void MakeForms()
  {
    Application->CreateForm(MainForm);
    Application->CreateForm(ControlForm);
  }

  // Both windows made and shown as at a normal start: the main form shown, the first activation
  // showing the dialog.
  void StartShown()
  {
    MakeForms();
    MainForm->SetVisible(true);
    SetForegroundWindow(MainForm->GetHandle());
    PumpUntil([] { return ControlForm->GetVisible(); }, 100);
    PumpPending();
    Updates.clear();
  }

  bool BothVisible() const
  {
    return MainForm->GetVisible() && ControlForm->GetVisible() && IsWindowVisible(MainForm->GetHandle()) &&
           IsWindowVisible(ControlForm->GetHandle());
  }
  bool BothHidden() const
  {
    return !MainForm->GetVisible() && !ControlForm->GetVisible() && !IsWindowVisible(MainForm->GetHandle()) &&
           !IsWindowVisible(ControlForm->GetHandle());
  }

  static uint32_t Value(DWORD id)
  {
    uint32_t value = 0xDEAD;
    EXPECT_EQ(KoSimGetValue(id, &value), 1);
    return value;
  }

  // Whether the application was asked to end (the main form closed); the request is taken off the queue.
  static bool QuitPosted()
  {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  }
  static void DropQuit() { QuitPosted(); }

  // The alphas pushed to `window` in order.
  std::vector<int> Alphas(HWND window) const
  {
    std::vector<int> alphas;
    for (const TLayerUpdate& update : Updates)
      if (update.Window == window)
        alphas.push_back(update.Alpha);
    return alphas;
  }

  // The same with repeats of one alpha counted once: a setter that pushes at once and the step after it
  // show the same picture.
  std::vector<int> Steps(HWND window) const
  {
    std::vector<int> steps;
    for (int alpha : Alphas(window))
      if (steps.empty() || steps.back() != alpha)
        steps.push_back(alpha);
    return steps;
  }
  // Position of the first update of `window` with `alpha`; the number of updates when there is none.
  size_t FirstUpdate(HWND window, int alpha) const
  {
    for (size_t i = 0; i < Updates.size(); ++i)
      if (Updates[i].Window == window && Updates[i].Alpha == alpha)
        return i;
    return Updates.size();
  }

  std::vector<TLayerUpdate> Updates;
  // Called at each UpdateLayeredWindow, before it, with the window; cleared after each test.
  inline static std::function<void(HWND)> s_onPush;
  std::vector<std::string> Balloons;
  std::vector<UINT> RebootFlags;

private:
  static BOOL WINAPI WatchSetLayeredWindowAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags)
  {
    if (s_updates)
      s_updates->push_back({window, alpha, (flags & LWA_ALPHA) != 0});
    return SetLayeredWindowAttributes(window, key, alpha, flags);
  }
  static BOOL WINAPI WatchUpdateLayeredWindow(HWND window, HDC screen, POINT* at, SIZE* size, HDC source,
                                              POINT* from, COLORREF key, BLENDFUNCTION* blend, DWORD flags)
  {
    if (s_updates && blend)
      s_updates->push_back({window, blend->SourceConstantAlpha, true});
    if (s_onPush)
      s_onPush(window);
    return UpdateLayeredWindow(window, screen, at, size, source, from, key, blend, flags);
  }
  static FARPROC WatchingLookup(const char* name)
  {
    if (std::string(name) == "SetLayeredWindowAttributes")
      return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&WatchSetLayeredWindowAttributes));
    if (std::string(name) == "UpdateLayeredWindow")
      return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&WatchUpdateLayeredWindow));
    return LookupUser32(name);
  }

  inline static std::vector<TLayerUpdate>* s_updates = nullptr;
  TTempFile m_store{".json"};
  TSysApiScope m_sysApi;
  TUser32Lookup m_oldLookup = nullptr;
  TApplication* m_savedApplication = Application.Get();
  TApplication* m_application = new TApplication();
};
