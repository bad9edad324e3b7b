#include "KoTrayIcon.h"

#include "Forms.h"
#include "Icon.h"
#include "Menus.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT kCallback = WM_USER + 90;
constexpr POINT kPointer = {37, 41};

// A fresh application object in force for one scope.
struct TApplicationScope {
  TApplication* saved = Application.Get();
  TApplication* app = new TApplication();
  TApplicationScope() { Application = app; }
  TApplicationScope(const TApplicationScope&) = delete;
  ~TApplicationScope()
  {
    delete app;
    Application = saved;
  }
};

// Stands in for the shell and the menu, and logs them and the icon's events in one sequence.
struct TTrayWatch {
  TSysApiScope scope;
  std::vector<std::pair<DWORD, NOTIFYICONDATAA>> Calls;
  std::vector<BOOL> Answers; // answered in turn, then TRUE
  std::string Log;
  HWND FrontAtMenu = nullptr;
  POINT MenuAt = {};
  std::string FreeOn; // the entry whose handler deletes Tray
  TsTrayIcon* Tray = nullptr;

  TTrayWatch()
  {
    SysApi().Shell_NotifyIconA = [this](DWORD message, PNOTIFYICONDATAA data) -> BOOL {
      Calls.push_back({message, {}});
      std::memcpy(&Calls.back().second, data, std::min<size_t>(data->cbSize, sizeof(NOTIFYICONDATAA)));
      const BOOL answer = Answers.empty() ? TRUE : Answers.front();
      if (!Answers.empty())
        Answers.erase(Answers.begin());
      return answer;
    };
    SysApi().TrackPopupMenu = [this](HMENU, UINT, int x, int y, int, HWND, const RECT*) -> BOOL {
      FrontAtMenu = GetForegroundWindow();
      MenuAt = {x, y};
      Note("menu");
      return 0;
    };
  }

  // "add mit; modify mb[text]": the calls from `from` on, with their flags (message, icon, tip, balloon).
  std::string Summary(size_t from = 0) const
  {
    static const char* const names[] = {"add", "modify", "delete", "focus", "version"};
    std::string text;
    for (size_t i = from; i < Calls.size(); ++i) {
      const NOTIFYICONDATAA& data = Calls[i].second;
      const UINT flags = data.uFlags;
      text += std::string(text.empty() ? "" : "; ") + names[std::min<DWORD>(Calls[i].first, 4)] + (flags ? " " : "") +
              (flags & NIF_MESSAGE ? "m" : "") + (flags & NIF_ICON ? "i" : "") + (flags & NIF_TIP ? "t" : "");
      if (flags & NIF_INFO || data.szInfo[0])
        text += std::string(flags & NIF_INFO ? "b[" : "stale[") + data.szInfo + "]";
    }
    return text;
  }

  void Note(const std::string& entry)
  {
    Log += (Log.empty() ? "" : "; ") + entry;
    if (!FreeOn.empty() && entry.rfind(FreeOn, 0) == 0) {
      delete Tray;
      Tray = nullptr;
    }
  }
  // Mouse events come with a null sender and the pointer's position; anything else is marked wrong.
  void Mouse(std::string what, TObject* s, TShiftState shift, int x, int y)
  {
    Note(what + (shift.Contains(ssLeft) ? " l" : "") + (shift.Contains(ssRight) ? " r" : "") +
         (s || x != kPointer.x || y != kPointer.y ? " wrong" : ""));
  }
  void Click(TObject* s) { Note(s ? "click wrong" : "click"); }
  void KeySelect(TObject* s) { Note(s ? "keyselect wrong" : "keyselect"); }
  void DblClick(TObject* s) { Note(s ? "dblclick wrong" : "dblclick"); }
  void Restored(TObject* s) { Note(s == Tray ? "restore" : "restore wrong"); }
  void Minimized(TObject* s) { Note(s == Tray ? "minimize" : "minimize wrong"); }
  void Move(TObject* s, TShiftState shift, int x, int y) { Mouse("move", s, shift, x, y); }
  void Down(TObject* s, TMouseButton b, TShiftState sh, int x, int y) { Mouse(b ? "down R" : "down L", s, sh, x, y); }
  void Up(TObject* s, TMouseButton b, TShiftState sh, int x, int y) { Mouse(b ? "up R" : "up L", s, sh, x, y); }

  TsTrayIcon* Watch(TsTrayIcon* tray)
  {
    Tray = tray;
    tray->OnClick = TNotifyEvent(this, &TTrayWatch::Click);
    tray->OnKeySelect = TNotifyEvent(this, &TTrayWatch::KeySelect);
    tray->OnDblClick = TNotifyEvent(this, &TTrayWatch::DblClick);
    tray->OnRestore = TNotifyEvent(this, &TTrayWatch::Restored);
    tray->OnMinimize = TNotifyEvent(this, &TTrayWatch::Minimized);
    tray->OnMouseMove = TMouseMoveEvent(this, &TTrayWatch::Move);
    tray->OnMouseDown = TMouseEvent(this, &TTrayWatch::Down);
    tray->OnMouseUp = TMouseEvent(this, &TTrayWatch::Up);
    return tray;
  }
};

class TrayIcon : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(SetCursorPos(kPointer.x, kPointer.y));
    app.app->CreateForm(mainForm);
    menu = new TPopupMenu(app.app);
    watch.Watch(new TsTrayIcon(app.app, 1, kCallback))->PopupMenu = menu;
  }
  void TearDown() override { delete watch.Tray; }

  LRESULT Send(UINT msg, LPARAM code) { return SendMessageA(watch.Tray->Window(), msg, 1, code); }

  TApplicationScope app;
  TTrayWatch watch;
  TForm* mainForm = nullptr;
  TPopupMenu* menu = nullptr;
};

TEST_F(TrayIcon, ConstructionOnlySetsTheVersion)
{
  ASSERT_EQ(watch.Summary(), "version");
  const NOTIFYICONDATAA& sent = watch.Calls[0].second;
  // The Shell 5.0 fields end with dwInfoFlags (488 bytes in the 32-bit program).
  EXPECT_EQ(sent.cbSize, offsetof(NOTIFYICONDATAA, dwInfoFlags) + sizeof(DWORD));
  EXPECT_EQ(sent.hWnd, watch.Tray->Window());
  EXPECT_EQ(sent.uID, 1u);
  EXPECT_EQ(sent.uCallbackMessage, kCallback);
  EXPECT_EQ(sent.uVersion, 3u);
  // A copy of the application's icon, not the application's own handle.
  const HICON icon = watch.Tray->Notifier().Data().hIcon;
  EXPECT_TRUE(icon && icon == watch.Tray->GetIcon()->GetHandle() && icon != app.app->GetIcon()->GetHandle());
}

TEST_F(TrayIcon, SendsEachChangeAsTheShellExpectsIt)
{
  struct TCase {
    const char* name;
    std::vector<BOOL> answers;
    std::function<void(TsTrayIcon&)> steps;
    const char* calls;
    bool visible;
  } cases[] = {
      {"visible twice adds once", {}, [](TsTrayIcon& t) { t.SetVisible(true); t.SetVisible(true); }, "add mi; version mi",
       true},
      {"failed add is retried once", {FALSE}, [](TsTrayIcon& t) { t.SetVisible(true); }, "add mi; add mi; version mi",
       true},
      {"refused twice counts absent", {FALSE, FALSE}, [](TsTrayIcon& t) { t.SetVisible(true); t.ShowBalloon(); },
       "add mi; add mi", false},
      {"failed delete stays added", {TRUE, TRUE, FALSE},
       [](TsTrayIcon& t) { t.SetVisible(true); t.SetVisible(false); t.Refresh(); },
       "add mi; version mi; delete mi; modify mi", true},
      {"absent icon only stores", {},
       [](TsTrayIcon& t) { t.SetTip("tip"); t.SetBalloonText("b"); t.ShowBalloon(); t.Refresh(); t.SetVisible(true); },
       "add mit; version mit", true},
      {"balloon only when shown", {},
       [](TsTrayIcon& t) { t.SetVisible(true); t.SetBalloonText("hi"); t.SetTip("tip"); t.ShowBalloon(); t.HideBalloon(); },
       "add mi; version mi; modify mit; modify mitb[hi]; modify mit", true},
  };
  for (TCase& c : cases) {
    TsTrayIcon tray(nullptr, 2, kCallback);
    const size_t from = watch.Calls.size();
    watch.Answers = c.answers;
    c.steps(tray);
    EXPECT_EQ(watch.Summary(from), c.calls) << c.name;
    EXPECT_EQ(tray.GetVisible(), c.visible) << c.name;
  }
}

TEST_F(TrayIcon, CutsTipAndBalloonAtTheirFieldSizes)
{
  watch.Tray->SetVisible(true);
  for (size_t length : {0u, 127u, 128u, 255u, 256u}) {
    watch.Tray->SetTip(std::string(length, 'x'));
    watch.Tray->SetBalloonText(std::string(length, 'y'));
    watch.Tray->ShowBalloon();
    const NOTIFYICONDATAA& sent = watch.Calls.back().second;
    EXPECT_EQ(std::strlen(sent.szTip), std::min<size_t>(length, 127));
    EXPECT_EQ(std::strlen(sent.szInfo), std::min<size_t>(length, 255));
    EXPECT_EQ(sent.uTimeout, 3u);
  }
}

TEST_F(TrayIcon, ANewIconIsSentWithItsOwnHandle)
{
  watch.Tray->SetVisible(true);
  TIcon other;
  other.SetHandle(CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING))));
  watch.Tray->SetIcon(&other);
  ASSERT_EQ(watch.Summary(1), "add mi; version mi; modify mi");
  // The icon freed its previous handle before the change notification.
  EXPECT_EQ(watch.Calls.back().second.hIcon, watch.Tray->GetIcon()->GetHandle());
  EXPECT_NE(watch.Calls.back().second.hIcon, watch.Calls[1].second.hIcon);
}

TEST_F(TrayIcon, GoingDeletesTheIconAndItsWindow)
{
  const HWND window = watch.Tray->Window();
  watch.Tray->SetVisible(true);
  delete watch.Tray;
  watch.Tray = nullptr;
  EXPECT_EQ(watch.Summary(1), "add mi; version mi; delete mi");
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(TrayIcon, AnswersTheEndOfSessionAndTurnsCallbacksIntoEvents)
{
  struct TCase {
    UINT msg;
    LPARAM code;
    TTrayClickKind restoreOn, popupOn;
    LRESULT result;
    const char* log;
  } cases[] = {
      {WM_QUERYENDSESSION, 0, tckNone, tckNone, 1, ""},
      {WM_QUERYENDSESSION, WM_LBUTTONUP, tckAnyUp, tckNone, 1, ""},
      {WM_CLOSE, 0, tckNone, tckNone, 0, ""},
      {WM_ACTIVATEAPP, WM_LBUTTONUP, tckAnyUp, tckAnyUp, 0, ""}, // a thread id that looks like a code
      {kCallback, WM_MOUSEMOVE, tckNone, tckNone, 0, "move"},
      {kCallback, WM_LBUTTONDOWN, tckNone, tckNone, 0, "down L l"},
      {kCallback, WM_LBUTTONUP, tckLeftDown, tckRightUp, 0, "up L l; click"},
      {kCallback, WM_LBUTTONDBLCLK, tckLeftDblClick, tckNone, 0, "restore; dblclick"},
      {kCallback, WM_RBUTTONDOWN, tckNone, tckNone, 0, "down R r"},
      {kCallback, WM_RBUTTONUP, tckNone, tckRightUp, 0, "menu; up R r"},
      {kCallback, WM_RBUTTONDBLCLK, tckDoubleClick, tckLeftDown, 0, "restore"},
      {kCallback, WM_MBUTTONUP, tckAnyUp, tckAnyUp, 0, "restore; menu"},
      {kCallback, WM_CONTEXTMENU, tckNone, tckNone, 0, ""},
  };
  for (const TCase& c : cases) {
    watch.Log.clear();
    watch.Tray->SetRestoreOn(c.restoreOn);
    watch.Tray->PopupOn = c.popupOn;
    EXPECT_EQ(Send(c.msg, c.code), c.result) << c.msg << " " << c.code;
    EXPECT_EQ(watch.Log, c.log) << c.msg << " " << c.code;
  }
  // The system's default procedure would have destroyed it on WM_CLOSE.
  EXPECT_TRUE(IsWindow(watch.Tray->Window()));
}

TEST_F(TrayIcon, BringsTheHiddenMainFormToTheFrontBeforeTheMenu)
{
  ASSERT_FALSE(IsWindowVisible(mainForm->GetHandle()));
  SetForegroundWindow(app.app->GetHandle());
  watch.Tray->PopupOn = tckRightUp;
  Send(kCallback, WM_RBUTTONUP);
  EXPECT_EQ(watch.FrontAtMenu, mainForm->GetHandle());
  EXPECT_TRUE(watch.MenuAt.x == kPointer.x && watch.MenuAt.y == kPointer.y);
  EXPECT_EQ(menu->GetPopupComponent(), watch.Tray);
}

// With a version the shell adds its own notifications: after a click (which has done its work already),
// and for the keyboard, which has only these.
TEST_F(TrayIcon, TheKeyboardSelectsTheIconAndOpensItsMenuAtTheIcon)
{
  constexpr RECT kIcon = {100, 700, 116, 716};
  bool shellKnowsRect = true;
  SysApi().Shell_NotifyIconGetRect = [&](const NOTIFYICONIDENTIFIER* icon, RECT* rect) -> HRESULT {
    if (!shellKnowsRect || icon->hWnd != watch.Tray->Window() || icon->uID != 1)
      return E_FAIL;
    *rect = kIcon;
    return S_OK;
  };
  struct TCase {
    const char* name;
    std::vector<LPARAM> codes;
    TTrayClickKind popupOn;
    const char* log;
    POINT menuAt;
  } cases[] = {
      {"return on the icon", {NIN_KEYSELECT}, tckRightUp, "keyselect", {}},
      {"return after the pointer chose it", {WM_MOUSEMOVE, NIN_SELECT}, tckRightUp, "move; keyselect", {}},
      {"a left click's own select", {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}, tckRightUp, "down L l; up L l; click",
       {}},
      {"menu key", {WM_CONTEXTMENU}, tckRightUp, "menu", {108, 708}},
      {"menu key, no menu wanted", {WM_CONTEXTMENU}, tckNone, "", {}},
      {"a right click's own context menu", {WM_RBUTTONUP, WM_MOUSEMOVE, WM_CONTEXTMENU}, tckRightUp,
       "menu; up R r; move", kPointer},
      {"menu key after a right click", {WM_RBUTTONUP, WM_LBUTTONUP, WM_CONTEXTMENU}, tckRightUp,
       "menu; up R r; up L l; click; menu", {108, 708}},
  };
  watch.Tray->SetVisible(true);
  for (const TCase& c : cases) {
    watch.Log.clear();
    watch.MenuAt = {};
    watch.Tray->PopupOn = c.popupOn;
    const size_t calls = watch.Calls.size();
    for (LPARAM code : c.codes)
      Send(kCallback, code);
    EXPECT_EQ(watch.Log, c.log) << c.name;
    EXPECT_TRUE(watch.MenuAt.x == c.menuAt.x && watch.MenuAt.y == c.menuAt.y) << c.name;
    // A menu the keyboard opened and closed without showing the windows hands the focus back.
    const bool keyMenu = c.codes.back() == WM_CONTEXTMENU && c.menuAt.x == 108;
    EXPECT_EQ(watch.Summary(calls), keyMenu ? "focus mi" : "") << c.name;
  }
  // A shell that cannot say where the icon is: at the pointer.
  shellKnowsRect = false;
  Send(kCallback, WM_CONTEXTMENU);
  EXPECT_TRUE(watch.MenuAt.x == kPointer.x && watch.MenuAt.y == kPointer.y);
}

TEST_F(TrayIcon, MinimizesAndRestoresTheApplication)
{
  const HWND window = app.app->GetHandle();
  watch.Tray->Minimize();
  EXPECT_TRUE(IsIconic(window) && !IsWindowVisible(window));
  watch.Tray->Restore();
  EXPECT_TRUE(!IsIconic(window) && IsWindowVisible(window));
  EXPECT_EQ(watch.Log, "minimize; restore");
}

TEST_F(TrayIcon, AHandlerMayFreeTheIcon)
{
  struct TCase {
    const char* freeOn;
    TTrayClickKind restoreOn;
    LPARAM code;
    const char* log;
  } cases[] = {
      {"up", tckNone, WM_LBUTTONUP, "up L l"},
      {"restore", tckRightUp, WM_RBUTTONUP, "restore"},
      {"menu", tckNone, WM_RBUTTONUP, "menu"},
  };
  for (const TCase& c : cases) {
    if (!watch.Tray)
      watch.Watch(new TsTrayIcon(app.app, 1, kCallback))->PopupMenu = menu;
    watch.Tray->SetRestoreOn(c.restoreOn);
    watch.Tray->PopupOn = tckRightUp;
    const HWND window = watch.Tray->Window();
    watch.Log.clear();
    watch.FreeOn = c.freeOn;
    SendMessageA(window, kCallback, 1, c.code);
    watch.FreeOn.clear();
    EXPECT_EQ(watch.Tray, nullptr) << c.freeOn;
    EXPECT_EQ(watch.Log, c.log) << c.freeOn;
    EXPECT_FALSE(IsWindow(window));
  }
}

// Wine's own notification area, without the seam: its stand-alone tray window grows by one icon.
TEST(TrayIconShell, AppearsInTheSystemTray)
{
  TApplicationScope app;
  auto trayWidth = [] {
    const HWND tray = FindWindowA(nullptr, "Wine System Tray");
    RECT rect = {};
    if (tray && IsWindowVisible(tray))
      GetWindowRect(tray, &rect);
    return rect.right - rect.left;
  };
  const int before = trayWidth();
  TsTrayIcon tray(app.app, 7, kCallback);
  tray.SetVisible(true);
  ASSERT_TRUE(tray.GetVisible());
  EXPECT_TRUE(PumpUntil([&] { return trayWidth() > before; }));
  tray.SetVisible(false);
  EXPECT_FALSE(tray.GetVisible());
  EXPECT_TRUE(PumpUntil([&] { return trayWidth() == before; }));
}

} // namespace
