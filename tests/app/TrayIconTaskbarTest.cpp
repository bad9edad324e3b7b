// The icon after the taskbar is created again (Explorer restarted, or started after the program).
#include "KoTrayIcon.h"

#include "Forms.h"
#include "Icon.h"
#include "Main.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT kCallback = WM_USER + 90;

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

struct TShellCall {
  DWORD message;
  NOTIFYICONDATAA data;
};

// Stands in for the shell: records each call and answers from a script, then TRUE.
struct TShellWatch {
  TSysApiScope scope;
  std::vector<TShellCall> Calls;
  std::vector<BOOL> Answers;

  TShellWatch()
  {
    SysApi().Shell_NotifyIconA = [this](DWORD message, PNOTIFYICONDATAA data) -> BOOL {
      Calls.push_back({message, {}});
      std::memcpy(&Calls.back().data, data, data->cbSize);
      const BOOL answer = Answers.empty() ? TRUE : Answers.front();
      if (!Answers.empty())
        Answers.erase(Answers.begin());
      return answer;
    };
  }

  // "add mit; version": the calls from `from` on, with the message, icon and tip flags.
  std::string Summary(size_t from) const
  {
    static const char* const names[] = {"add", "modify", "delete", "focus", "version"};
    std::string text;
    for (size_t i = from; i < Calls.size(); ++i) {
      const UINT flags = Calls[i].message == NIM_SETVERSION ? 0 : Calls[i].data.uFlags;
      text += std::string(text.empty() ? "" : "; ") + names[std::min<DWORD>(Calls[i].message, 4)] +
              (flags ? " " : "") + (flags & NIF_MESSAGE ? "m" : "") + (flags & NIF_ICON ? "i" : "") +
              (flags & NIF_TIP ? "t" : "");
    }
    return text;
  }
};

UINT TaskbarCreated()
{
  return RegisterWindowMessageA(kTaskbarCreatedMessageName);
}

std::vector<std::pair<UINT, DWORD>> FilterCalls;

BOOL WINAPI RecordFilter(UINT message, DWORD action)
{
  FilterCalls.push_back({message, action});
  return TRUE;
}

TEST(TrayIconTaskbar, LetsTheTaskbarMessageThroughTheFilter)
{
  TApplicationScope app;
  TShellWatch shell;
  const TChangeWindowMessageFilter saved = ChangeWindowMessageFilterPtr;
  FilterCalls.clear();
  ChangeWindowMessageFilterPtr = RecordFilter;
  {
    TsTrayIcon tray(app.app, 1, kCallback);
  }
  ChangeWindowMessageFilterPtr = saved;
  ASSERT_NE(TaskbarCreated(), 0u);
  ASSERT_EQ(FilterCalls.size(), 1u);
  EXPECT_EQ(FilterCalls[0].first, TaskbarCreated());
  EXPECT_EQ(FilterCalls[0].second, 1u); // MSGFLT_ADD
}

TEST(TrayIconTaskbar, AddsAnIconMeantToBeShownAgain)
{
  struct TCase {
    const char* name;
    bool show, hide;
    std::vector<BOOL> answers; // for the calls up to the taskbar message, then for those after it
    size_t answersBefore;
    const char* calls; // after the taskbar message
    bool visible;
  } cases[] = {
      // A new shell knows nothing of the version either: it is asked again once the icon is in.
      {"shown icon comes back with its data", true, false, {}, 0, "add mit; version", true},
      {"never shown stays away", false, false, {}, 0, "", false},
      {"hidden stays away", true, true, {}, 0, "", false},
      // Started before the taskbar: both adds refused, so the icon waited for the taskbar.
      {"refused at start is added now", true, false, {FALSE, FALSE}, 2, "add mit; version", true},
      {"a busy new shell gets a second add", true, false, {FALSE}, 0, "add mit; add mit; version", true},
      // The message did not come from a new shell: ours still holds the icon and refuses the add.
      {"an old shell that still has it takes a modify", true, false, {FALSE, FALSE}, 0,
       "add mit; add mit; modify mit", true},
      {"no shell at all counts it absent", true, false, {FALSE, FALSE, FALSE}, 0, "add mit; add mit; modify mit",
       false},
  };
  TApplicationScope app;
  TShellWatch shell;
  TIcon other;
  other.SetHandle(CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING))));
  for (const TCase& c : cases) {
    TsTrayIcon tray(app.app, 3, kCallback);
    shell.Answers.assign(c.answers.begin(), c.answers.begin() + static_cast<ptrdiff_t>(c.answersBefore));
    tray.SetTip("before");
    if (c.show)
      tray.SetVisible(true);
    if (c.hide)
      tray.SetVisible(false);
    // Changed since the add: the new shell must get what holds now.
    tray.SetTip("current tip");
    tray.SetIcon(&other);
    shell.Answers.assign(c.answers.begin() + static_cast<ptrdiff_t>(c.answersBefore), c.answers.end());
    const size_t from = shell.Calls.size();
    SendMessageA(tray.Window(), TaskbarCreated(), 0, 0);
    EXPECT_EQ(shell.Summary(from), c.calls) << c.name;
    EXPECT_EQ(tray.GetVisible(), c.visible) << c.name;
    for (size_t i = from; i < shell.Calls.size(); ++i) {
      const NOTIFYICONDATAA& sent = shell.Calls[i].data;
      EXPECT_STREQ(sent.szTip, "current tip") << c.name;
      EXPECT_EQ(sent.hIcon, tray.GetIcon()->GetHandle()) << c.name;
      EXPECT_EQ(sent.hWnd, tray.Window()) << c.name;
      EXPECT_EQ(sent.uCallbackMessage, kCallback) << c.name;
    }
    shell.Answers.clear();
  }
}

// The real broadcast, as the taskbar sends it to every top-level window; the icon still answers clicks.
TEST(TrayIconTaskbar, HearsTheBroadcastAndKeepsWorking)
{
  TApplicationScope app;
  TShellWatch shell;
  TsTrayIcon tray(app.app, 4, kCallback);
  int clicks = 0;
  struct TCounter {
    int& count;
    void Click(TObject*) { ++count; }
  } counter{clicks};
  tray.OnClick = TNotifyEvent(&counter, &TCounter::Click);
  tray.SetTip("tip");
  tray.SetVisible(true);
  const size_t from = shell.Calls.size();
  ASSERT_TRUE(PostMessageA(HWND_BROADCAST, TaskbarCreated(), 0, 0));
  EXPECT_TRUE(PumpUntil([&] { return shell.Calls.size() >= from + 2; }));
  EXPECT_EQ(shell.Summary(from), "add mit; version");
  SendMessageA(tray.Window(), kCallback, 4, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 1);
  // A later broadcast is heard again.
  ASSERT_TRUE(PostMessageA(HWND_BROADCAST, TaskbarCreated(), 0, 0));
  EXPECT_TRUE(PumpUntil([&] { return shell.Calls.size() >= from + 4; }));
  EXPECT_TRUE(tray.GetVisible());
}

} // namespace
