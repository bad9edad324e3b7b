#include "FormsFixture.h"

#include "WindowBinder.h"

namespace {

constexpr UINT WM_TEST_STEP = WM_APP + 20;
constexpr UINT WM_TEST_HOOKED = WM_APP + 21;

// A main form with one box whose click handler may throw, and a private message that counts and can
// close the form.
class TMainTestForm : public TForm {
public:
  explicit TMainTestForm(TComponent* owner) : TForm(owner)
  {
    SetBorderStyle(bsNone);
    SetBounds(100, 100, 120, 80);
    Box = new TTestBox(this, this, "box", 10, 10);
    Box->OnClick = TNotifyEvent(this, &TMainTestForm::BoxClick);
  }
  void WndProc(TMessage& message) override
  {
    if (message.Msg == WM_TEST_STEP || message.Msg == WM_TEST_HOOKED) {
      Seen.push_back(message.Msg);
      if (message.WParam == 1)
        Close();
      return;
    }
    TForm::WndProc(message);
  }
  void BoxClick(TObject*)
  {
    ++Clicks;
    if (ThrowOnClick)
      throw EFOpenError("C:\\missing\\cpu_bg004_1.png");
  }

  TTestBox* Box;
  std::vector<UINT> Seen;
  int Clicks = 0;
  bool ThrowOnClick = false;
};

using ApplicationObject = TWindowTest;

TEST_F(ApplicationObject, TheFirstCreatedFormIsTheMainFormAndHasItsWindowAtOnce)
{
  TMainTestForm* first = nullptr;
  TMainTestForm* second = nullptr;
  App->CreateForm(first);
  App->CreateForm(second);
  EXPECT_EQ(App->GetMainForm(), first);
  EXPECT_TRUE(first->HandleAllocated());
  EXPECT_FALSE(second->HandleAllocated());
  EXPECT_EQ(first->Owner(), App.Get());
  delete first;
  EXPECT_EQ(App->GetMainForm(), nullptr);
}

TEST_F(ApplicationObject, HasAHiddenTopLevelWindowWithTheTitle)
{
  App->Initialize();
  const HWND window = App->GetHandle();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
  EXPECT_EQ(App->GetTitle(), "GuiTests") << "the executable's name until set";
  App->SetTitle("KORA Vantor");
  char text[64] = {};
  GetWindowTextA(window, text, sizeof(text));
  EXPECT_STREQ(text, "KORA Vantor");
  EXPECT_FALSE(App->GetIcon()->Empty());
  // The program hides the taskbar button this way.
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

TEST_F(ApplicationObject, RunShowsTheMainFormAndEndsWhenItCloses)
{
  TMainTestForm* form = nullptr;
  App->CreateForm(form);
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 0, 0);
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 1, 0); // closes the main form
  App->Run();
  EXPECT_TRUE(App->GetTerminated());
  EXPECT_EQ(form->Seen.size(), 2u);
  EXPECT_TRUE(form->GetVisible());
  EXPECT_TRUE(IsWindowVisible(App->GetHandle())) << "the application window carries the taskbar button";
}

TEST_F(ApplicationObject, WithShowMainFormOffRunLeavesTheMainFormHidden)
{
  TMainTestForm* form = nullptr;
  App->CreateForm(form);
  App->SetShowMainForm(false);
  bool wasVisible = true;
  struct TProbe {
    TCustomForm* Form;
    bool* WasVisible;
    void Look(MSG& msg, bool&)
    {
      if (msg.message == WM_TEST_STEP)
        *WasVisible = IsWindowVisible(Form->GetHandle()) != FALSE;
    }
  } probe{form, &wasVisible};
  App->OnMessage = TMessageEvent(&probe, &TProbe::Look);
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 1, 0);
  App->Run();
  EXPECT_FALSE(wasVisible);
  EXPECT_FALSE(form->GetVisible());
}

TEST_F(ApplicationObject, TheQueuedMessageHookSeesEachMessageAndCanStopItsDispatch)
{
  TMainTestForm* form = nullptr;
  App->CreateForm(form);
  struct THook {
    std::vector<UINT> Seen;
    void Filter(MSG& msg, bool& handled)
    {
      if (msg.message >= WM_APP)
        Seen.push_back(msg.message);
      if (msg.message == WM_TEST_HOOKED)
        handled = true;
    }
  } hook;
  App->OnMessage = TMessageEvent(&hook, &THook::Filter);
  PostMessageA(form->GetHandle(), WM_TEST_HOOKED, 0, 0);
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 0, 0);
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 1, 0);
  App->Run();
  EXPECT_EQ(hook.Seen, (std::vector<UINT>{WM_TEST_HOOKED, WM_TEST_STEP, WM_TEST_STEP}));
  EXPECT_EQ(form->Seen, (std::vector<UINT>{WM_TEST_STEP, WM_TEST_STEP})) << "the handled one was not dispatched";

  // A message sent (not posted) does not pass the queue, so the hook never sees it.
  hook.Seen.clear();
  SendMessageA(form->GetHandle(), WM_TEST_HOOKED, 0, 0);
  EXPECT_TRUE(hook.Seen.empty());
  EXPECT_EQ(form->Seen.back(), WM_TEST_HOOKED);
}

TEST_F(ApplicationObject, AnExceptionInAClickHandlerIsShownAndTheLoopGoesOn)
{
  TMainTestForm* form = nullptr;
  App->CreateForm(form);
  App->SetTitle("KORA Vantor");
  form->ThrowOnClick = true;
  const HWND box = form->Box->GetHandle();
  PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  PostMessageA(box, WM_LBUTTONUP, 0, At(5, 5));
  PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  PostMessageA(box, WM_LBUTTONUP, 0, At(5, 5));
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 1, 0);
  App->Run();
  EXPECT_EQ(form->Clicks, 2);
  ASSERT_EQ(Recorder.Boxes.size(), 2u);
  EXPECT_EQ(Recorder.Boxes[0].text, "Cannot open file C:\\missing\\cpu_bg004_1.png");
  EXPECT_EQ(Recorder.Boxes[0].caption, "KORA Vantor");
  EXPECT_EQ(Recorder.Boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(GetCapture(), nullptr) << "the capture ended before the click handler ran";
  EXPECT_EQ(form->Seen.size(), 1u);
}

TEST_F(ApplicationObject, ExceptionsFromTheMessageHookAndFromHiddenWindowsGoToTheSameBox)
{
  struct TThrower {
    void Throw(MSG& msg, bool&)
    {
      if (msg.message == WM_TEST_STEP)
        throw Exception("hook failed");
    }
    void Handler(TObject* sender, const std::exception& error)
    {
      Seen.push_back(error.what());
      Senders.push_back(sender);
    }
    std::vector<std::string> Seen;
    std::vector<TObject*> Senders;
  } thrower;
  TMainTestForm* form = nullptr;
  App->CreateForm(form);
  App->OnMessage = TMessageEvent(&thrower, &TThrower::Throw);
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 0, 0);
  PostMessageA(form->GetHandle(), WM_CLOSE, 0, 0);
  App->Run();
  ASSERT_EQ(Recorder.Boxes.size(), 1u);
  EXPECT_EQ(Recorder.Boxes[0].text, "hook failed");

  // OnException replaces the box; the library's other windows hand their exceptions over too.
  App->OnException = TExceptionEvent(&thrower, &TThrower::Handler);
  try {
    throw EInvalidOperation("from a hidden window");
  } catch (...) {
    HandleException(nullptr);
  }
  EXPECT_EQ(thrower.Seen, (std::vector<std::string>{"from a hidden window"}));
  EXPECT_EQ(Recorder.Boxes.size(), 1u);
}

TEST_F(ApplicationObject, ProcessMessagesHandlesWhatIsQueuedAndTerminateEndsTheLoop)
{
  TMainTestForm* form = nullptr;
  App->CreateForm(form);
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 0, 0);
  PostMessageA(form->GetHandle(), WM_TEST_STEP, 0, 0);
  App->ProcessMessages();
  EXPECT_EQ(form->Seen.size(), 2u);
  EXPECT_FALSE(App->GetTerminated());
  App->Terminate();
  App->Run();
  EXPECT_TRUE(App->GetTerminated());
}

TEST_F(ApplicationObject, MinimizeAndRestoreActOnTheApplicationWindow)
{
  struct TCounts {
    int Minimized = 0;
    int Restored = 0;
    void Min(TObject*) { ++Minimized; }
    void Res(TObject*) { ++Restored; }
  } counts;
  App->OnMinimize = TNotifyEvent(&counts, &TCounts::Min);
  App->OnRestore = TNotifyEvent(&counts, &TCounts::Res);
  App->Restore();
  EXPECT_EQ(counts.Restored, 0) << "not minimised";
  App->Minimize();
  EXPECT_TRUE(IsIconic(App->GetHandle()));
  App->Minimize();
  EXPECT_EQ(counts.Minimized, 1);
  App->Restore();
  EXPECT_FALSE(IsIconic(App->GetHandle()));
  EXPECT_EQ(counts.Restored, 1);
}

TEST_F(ApplicationObject, AWindowHookSeesTheApplicationWindowsMessagesUntilUnhooked)
{
  struct THook {
    int Calls = 0;
    bool Handle(TMessage& message)
    {
      if (message.Msg != WM_TEST_HOOKED)
        return false;
      ++Calls;
      message.Result = 42;
      return true;
    }
  } hook;
  const TWindowHook closure(&hook, &THook::Handle);
  App->HookMainWindow(closure);
  EXPECT_EQ(SendMessageA(App->GetHandle(), WM_TEST_HOOKED, 0, 0), 42);
  App->UnhookMainWindow(closure);
  EXPECT_EQ(SendMessageA(App->GetHandle(), WM_TEST_HOOKED, 0, 0), 0);
  EXPECT_EQ(hook.Calls, 1);

  // Two hooks, the older taken out first: the newer one still sees the messages.
  struct TLooker {
    int Calls = 0;
    bool Look(TMessage& message)
    {
      Calls += message.Msg == WM_TEST_HOOKED ? 1 : 0;
      return false;
    }
  } older, newer;
  App->HookMainWindow(TWindowHook(&older, &TLooker::Look));
  App->HookMainWindow(TWindowHook(&newer, &TLooker::Look));
  App->UnhookMainWindow(TWindowHook(&older, &TLooker::Look));
  SendMessageA(App->GetHandle(), WM_TEST_HOOKED, 0, 0);
  EXPECT_EQ(older.Calls, 0);
  EXPECT_EQ(newer.Calls, 1);
  App->UnhookMainWindow(TWindowHook(&newer, &TLooker::Look));
}

TEST_F(ApplicationObject, ClosingTheApplicationWindowClosesTheMainForm)
{
  TMainTestForm* form = nullptr;
  App->CreateForm(form);
  PostMessageA(App->GetHandle(), WM_CLOSE, 0, 0);
  App->Run();
  EXPECT_TRUE(App->GetTerminated());
}

} // namespace
