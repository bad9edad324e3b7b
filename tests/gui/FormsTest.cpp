#include "FormsFixture.h"

namespace {

class TMyForm : public TForm {
public:
  explicit TMyForm(TComponent* owner) : TForm(owner) {}
};

// An owned pop-up in the way the program's dialog is made: its window is owned by another form's.
class TOwnedPopup : public TForm {
public:
  TOwnedPopup(TComponent* owner, TCustomForm* ownerForm) : TForm(owner), m_ownerForm(ownerForm)
  {
    SetBorderStyle(bsNone);
  }

protected:
  void CreateParams(TCreateParams& Params) override
  {
    TForm::CreateParams(Params);
    Params.Style |= WS_POPUP;
    Params.ExStyle |= WS_EX_TOOLWINDOW;
    Params.WndParent = m_ownerForm->GetHandle();
  }

private:
  TCustomForm* m_ownerForm;
};

std::string WindowClassName(HWND window)
{
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

using Forms = TWindowTest;

TEST_F(Forms, TheWindowClassIsNamedAfterTheCppClass)
{
  auto* form = new TMyForm(App.Get());
  auto* second = new TMyForm(App.Get());
  auto* box = new TTestBox(form, form, "box", 0, 0);
  EXPECT_EQ(WindowClassName(form->GetHandle()), "TMyForm");
  EXPECT_EQ(WindowClassName(second->GetHandle()), "TMyForm") << "registered once, used again";
  EXPECT_EQ(WindowClassName(box->GetHandle()), "TTestBox");
  EXPECT_EQ(FindWindowA("TMyForm", nullptr) != nullptr, true);
  EXPECT_EQ(FindControl(form->GetHandle()), form);
}

// A box whose class adds nothing but its name; its base constructor puts it on its parent.
class TDerivedBox : public TTestBox {
public:
  using TTestBox::TTestBox;
};

// A control whose base constructor forces its window, so the window is made for the base class.
class TEagerBase : public TCustomControl {
public:
  TEagerBase(TComponent* owner, TWinControl* parent) : TCustomControl(owner)
  {
    SetBounds(0, 0, 20, 20);
    SetParent(parent);
    HandleNeeded();
  }
};
class TEagerDerived : public TEagerBase {
public:
  using TEagerBase::TEagerBase;
};

// Renames its window class, and makes its window in its own (most-derived) constructor: both fine.
class TRenamedBox : public TCustomControl {
public:
  TRenamedBox(TComponent* owner, TWinControl* parent) : TCustomControl(owner)
  {
    SetParent(parent);
    HandleNeeded();
  }

protected:
  void CreateParams(TCreateParams& Params) override
  {
    TCustomControl::CreateParams(Params);
    Params.WinClassName = "KoRenamedBox";
  }
};

TEST_F(Forms, AControlPutOnAParentWithAWindowGetsItsOwnWindowAfterConstruction)
{
  auto* form = new TMyForm(App.Get());
  form->SetBorderStyle(bsNone);
  form->Show();
  auto* box = new TDerivedBox(form, form, "box", 5, 5);
  EXPECT_FALSE(box->HandleAllocated()) << "not made while its constructors ran";
  EXPECT_TRUE(PumpUntil([&] { return box->HandleAllocated(); })) << "made once the constructors are done";
  EXPECT_EQ(WindowClassName(box->GetHandle()), "TDerivedBox");
  EXPECT_TRUE(IsWindowVisible(box->GetHandle()));
  EXPECT_EQ(GetParent(box->GetHandle()), form->GetHandle());

  // Shown later: the same.
  auto* hidden = new TDerivedBox(form, nullptr, "hidden", 50, 5);
  hidden->SetVisible(false);
  hidden->SetParent(form);
  hidden->SetVisible(true);
  EXPECT_TRUE(PumpUntil([&] { return hidden->HandleAllocated(); }));
  EXPECT_TRUE(IsWindowVisible(hidden->GetHandle()));
}

TEST_F(Forms, AWindowMadeWhileABaseConstructorRanIsReportedAtItsNextMessage)
{
  TThrowingAsserts asserts;
  auto* form = new TMyForm(App.Get());
  form->HandleNeeded();
  auto* eager = new TEagerDerived(form, form);
  ASSERT_TRUE(eager->HandleAllocated());
  EXPECT_EQ(WindowClassName(eager->GetHandle()), "TEagerBase");
  SendMessageA(eager->GetHandle(), WM_NULL, 0, 0);
  ASSERT_EQ(Recorder.Boxes.size(), 1u);
  EXPECT_EQ(Recorder.Boxes[0].text.rfind("Assertion failed: ", 0), 0u) << Recorder.Boxes[0].text;

  auto* renamed = new TRenamedBox(form, form);
  EXPECT_EQ(WindowClassName(renamed->GetHandle()), "KoRenamedBox");
  SendMessageA(renamed->GetHandle(), WM_NULL, 0, 0);
  EXPECT_EQ(Recorder.Boxes.size(), 1u) << "a renamed class made by the object's own constructor is fine";
}

TEST_F(Forms, CreationParametersReachTheWindow)
{
  auto* main = new TMyForm(App.Get());
  auto* popup = new TOwnedPopup(App.Get(), main);
  const HWND window = popup->GetHandle();
  EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_POPUP);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetWindow(window, GW_OWNER), main->GetHandle());
  EXPECT_EQ(GetWindow(main->GetHandle(), GW_OWNER), App->GetHandle()) << "forms are owned by the application";
  EXPECT_FALSE(IsWindowVisible(window)) << "forms are created hidden";
}

TEST_F(Forms, BorderStylesGiveTheirFramesAndChangeInPlace)
{
  struct TCase {
    TFormBorderStyle style;
    DWORD present;
    DWORD absent;
    DWORD exPresent;
  };
  const TCase cases[] = {
      {bsNone, WS_POPUP, WS_CAPTION | WS_THICKFRAME, 0},
      {bsSingle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_THICKFRAME, 0},
      {bsSizeable, WS_CAPTION | WS_THICKFRAME | WS_MAXIMIZEBOX, WS_POPUP, 0},
      {bsDialog, WS_CAPTION | WS_SYSMENU, WS_THICKFRAME | WS_MINIMIZEBOX, WS_EX_DLGMODALFRAME},
      {bsToolWindow, WS_CAPTION, WS_THICKFRAME, WS_EX_TOOLWINDOW},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.style);
    auto* form = new TMyForm(App.Get());
    form->SetBorderStyle(c.style);
    const HWND window = form->GetHandle();
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(style & c.present, c.present);
    EXPECT_EQ(style & c.absent, 0u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & c.exPresent, c.exPresent);
    delete form;
  }

  // At run time the same window gets the new frame; bits the program added itself stay.
  auto* form = new TMyForm(App.Get());
  const HWND window = form->GetHandle();
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  form->SetBorderStyle(bsNone);
  EXPECT_EQ(form->GetHandle(), window);
  EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, form->GetWidth()) << "no frame left";
  form->SetFormStyle(fsStayOnTop);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(Forms, ClientSizeIsTheWindowsClientAreaBeforeAndAfterTheWindowExists)
{
  auto* form = new TMyForm(App.Get());
  form->SetBorderStyle(bsSingle);
  form->SetClientWidth(200);
  form->SetClientHeight(150);
  EXPECT_EQ(form->GetClientWidth(), 200);
  EXPECT_GT(form->GetWidth(), 200) << "the frame comes on top";
  RECT client{};
  GetClientRect(form->GetHandle(), &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 150);

  form->SetClientWidth(345);
  form->SetClientHeight(348);
  GetClientRect(form->GetHandle(), &client);
  EXPECT_EQ(client.right, 345);
  EXPECT_EQ(client.bottom, 348);
  EXPECT_EQ(form->GetClientHeight(), 348);
}

TEST_F(Forms, AScaledFormScalesItsDesignToTheScreenWhenItsWindowIsMade)
{
  const int screen = ScreenPixelsPerInch();
  for (bool scaled : {true, false}) {
    SCOPED_TRACE(scaled);
    auto* form = new TMyForm(App.Get());
    form->SetBorderStyle(bsNone);
    form->Scaled = scaled;
    form->SetPixelsPerInch(screen / 2);
    form->SetClientWidth(100);
    form->SetClientHeight(80);
    auto* box = new TTestBox(form, form, "box", 10, 20);
    box->SetParentFont(false);
    box->GetFont()->SetHeight(-11);
    form->HandleNeeded();
    const int factor = scaled ? 2 : 1;
    EXPECT_EQ(box->GetBoundsRect(), Bounds(10 * factor, 20 * factor, 40 * factor, 30 * factor));
    EXPECT_EQ(box->GetFont()->GetHeight(), -11 * factor);
    EXPECT_EQ(form->GetClientWidth(), 100 * factor);
    EXPECT_EQ(form->GetPixelsPerInch(), scaled ? screen : screen / 2);
    form->RecreateWnd();
    EXPECT_EQ(form->GetClientWidth(), 100 * factor) << "only once";
  }
}

TEST_F(Forms, ScreenCentrePlacesTheFormWhenFirstShown)
{
  SysApi().GetSystemMetrics = [](int index) {
    return index == SM_CXSCREEN ? 1000 : index == SM_CYSCREEN ? 800 : ::GetSystemMetrics(index);
  };
  auto* form = new TMyForm(App.Get());
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 200, 100);
  form->SetPosition(poScreenCenter);
  form->Show();
  EXPECT_EQ(form->GetLeft(), 400);
  EXPECT_EQ(form->GetTop(), 350);
  RECT window{};
  GetWindowRect(form->GetHandle(), &window);
  EXPECT_EQ(window.left, 400);
  form->Hide();
  form->SetLeft(10);
  form->Show();
  EXPECT_EQ(form->GetLeft(), 10) << "placed once";
}

namespace {
struct TFormEvents {
  std::vector<std::string> Log;
  bool AllowClose = true;
  TCloseAction Action = caHide;
  bool* Destroyed = nullptr;
  void Show(TObject*) { Log.push_back("show"); }
  void Hide(TObject*) { Log.push_back("hide"); }
  void Activate(TObject*) { Log.push_back("activate"); }
  void CloseQuery(TObject*, bool& canClose)
  {
    Log.push_back("closequery");
    canClose = AllowClose;
  }
  void Close(TObject*, TCloseAction& action)
  {
    Log.push_back("close");
    action = Action;
  }
  void Watch(TCustomForm* form)
  {
    form->OnShow = TNotifyEvent(this, &TFormEvents::Show);
    form->OnHide = TNotifyEvent(this, &TFormEvents::Hide);
    form->OnActivate = TNotifyEvent(this, &TFormEvents::Activate);
    form->OnCloseQuery = TCloseQueryEvent(this, &TFormEvents::CloseQuery);
    form->OnClose = TCloseEvent(this, &TFormEvents::Close);
  }
};

class TTrackedForm : public TForm {
public:
  TTrackedForm(TComponent* owner, bool* destroyed) : TForm(owner), m_destroyed(destroyed) {}
  ~TTrackedForm() override { *m_destroyed = true; }

private:
  bool* m_destroyed;
};
} // namespace

TEST_F(Forms, VisibilityFollowsTheWindowAndRaisesShowHideAndActivate)
{
  auto* form = new TMyForm(App.Get());
  TFormEvents events;
  events.Watch(form);
  EXPECT_FALSE(form->GetVisible());
  form->Show();
  EXPECT_TRUE(IsWindowVisible(form->GetHandle()));
  EXPECT_TRUE(PumpUntil([&] { return form->GetActive(); }));
  EXPECT_EQ(events.Log, (std::vector<std::string>{"show", "activate"}));
  EXPECT_EQ(Screen->GetActiveForm(), form);

  // Hidden behind the library's back: the property follows the window.
  ShowWindow(form->GetHandle(), SW_HIDE);
  EXPECT_FALSE(form->GetVisible());
  EXPECT_EQ(events.Log.back(), "hide");
  form->SetVisible(false);
  EXPECT_EQ(std::count(events.Log.begin(), events.Log.end(), "hide"), 1);
}

TEST_F(Forms, ClosingAFormThatIsNotTheMainFormHidesOrFreesIt)
{
  bool destroyed = false;
  auto* form = new TTrackedForm(App.Get(), &destroyed);
  TFormEvents events;
  events.Watch(form);
  form->Show();

  events.AllowClose = false;
  SendMessageA(form->GetHandle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(form->GetVisible()) << "OnCloseQuery refused";
  events.AllowClose = true;
  events.Action = caNone;
  form->Close();
  EXPECT_TRUE(form->GetVisible());
  events.Action = caHide;
  form->Close();
  EXPECT_FALSE(form->GetVisible());
  EXPECT_FALSE(destroyed);

  form->Show();
  events.Action = caFree;
  form->Close();
  EXPECT_FALSE(destroyed) << "freed once its queued messages are handled";
  EXPECT_TRUE(PumpUntil([&] { return destroyed; }));
  EXPECT_EQ(App->ComponentCount(), 0);
}

TEST_F(Forms, ShowModalDisablesTheOtherWindowsUntilAModalResultIsSet)
{
  auto* main = new TMyForm(App.Get());
  main->Show();
  auto* dialog = new TMyForm(App.Get());
  dialog->SetBorderStyle(bsDialog);
  struct TAnswer {
    TCustomForm* Dialog;
    HWND Main;
    bool MainWasDisabled = false;
    bool Handle(TMessage& message)
    {
      if (message.Msg != WM_APP + 7)
        return false;
      MainWasDisabled = !IsWindowEnabled(Main);
      Dialog->SetModalResult(mrYes);
      return true;
    }
  } answer{dialog, main->GetHandle()};
  App->HookMainWindow(TWindowHook(&answer, &TAnswer::Handle));
  PostMessageA(App->GetHandle(), WM_APP + 7, 0, 0);
  EXPECT_EQ(dialog->ShowModal(), mrYes);
  EXPECT_TRUE(answer.MainWasDisabled);
  EXPECT_TRUE(IsWindowEnabled(main->GetHandle()));
  EXPECT_FALSE(dialog->GetVisible());
  EXPECT_FALSE(dialog->IsModal());
  EXPECT_THROW(main->ShowModal(), EInvalidOperation) << "a visible form cannot become modal";
}

TEST_F(Forms, AModalFormEndsSoundlyWhateverItsCloseAndHideHandlersDo)
{
  TThrowingAsserts asserts;
  // Leaves a mark where the result was when it goes, so that a result read afterwards shows.
  class TMarkingForm : public TTrackedForm {
  public:
    using TTrackedForm::TTrackedForm;
    ~TMarkingForm() override { SetModalResult(mrAbort); }
  };
  struct THandlers {
    TCustomForm* Form;
    void Answer(TObject*) { Form->SetModalResult(mrOk); }
    void FreeOnHide(TObject* sender) { delete sender; }
    void FreeOnClose(TObject*, TCloseAction& action) { action = caFree; }
  };
  struct TCase {
    const char* what;
    void (*arm)(TCustomForm*, THandlers*);
    bool goneOnReturn;
  };
  const TCase cases[] = {
      {"OnHide frees the form", [](TCustomForm* f, THandlers* h) { f->OnHide = TNotifyEvent(h, &THandlers::FreeOnHide); },
       true},
      {"OnClose picks caFree", [](TCustomForm* f, THandlers* h) { f->OnClose = TCloseEvent(h, &THandlers::FreeOnClose); },
       false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    bool destroyed = false;
    auto* form = new TMarkingForm(App.Get(), &destroyed);
    THandlers handlers{form};
    c.arm(form, &handlers);
    form->OnShow = TNotifyEvent(&handlers, &THandlers::Answer);
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(destroyed, c.goneOnReturn);
    EXPECT_TRUE(PumpUntil([&] { return destroyed; })) << "the form is freed";
    EXPECT_EQ(App->ComponentCount(), 0);
  }
}

TEST_F(Forms, AModalLoopRunsAfterTheApplicationGotWmQuitAndKeepsTheQuit)
{
  App->Terminate();
  App->ProcessMessages();
  ASSERT_TRUE(App->GetTerminated());
  auto* dialog = new TMyForm(App.Get());
  struct TAnswer {
    TCustomForm* Dialog;
    bool Handle(TMessage& message)
    {
      // The answer comes with the second message, so the loop has to go on after the first.
      if (message.Msg == WM_APP + 9) {
        PostMessageA(Application->GetHandle(), WM_APP + 10, 0, 0);
        return true;
      }
      if (message.Msg != WM_APP + 10)
        return false;
      Dialog->SetModalResult(mrYes);
      return true;
    }
  } answer{dialog};
  App->HookMainWindow(TWindowHook(&answer, &TAnswer::Handle));
  PostMessageA(App->GetHandle(), WM_APP + 9, 0, 0);
  EXPECT_EQ(dialog->ShowModal(), mrYes) << "the dialog ran (a question asked on the way out)";
  App->UnhookMainWindow(TWindowHook(&answer, &TAnswer::Handle));
  EXPECT_TRUE(App->GetTerminated()) << "the loop that got the quit still ends";
}

TEST_F(Forms, AWindowShownWhileAFormIsModalIsDisabledUntilTheLoopEnds)
{
  auto* dialog = new TMyForm(App.Get());
  auto* late = new TMyForm(App.Get());
  struct TScript {
    TCustomForm* Dialog;
    TCustomForm* Late;
    bool LateWasDisabled = false;
    bool Handle(TMessage& message)
    {
      if (message.Msg == WM_APP + 10) {
        Late->Show();
        PostMessageA(Application->GetHandle(), WM_APP + 11, 0, 0);
        return true;
      }
      if (message.Msg == WM_APP + 11) {
        LateWasDisabled = !IsWindowEnabled(Late->GetHandle());
        Dialog->SetModalResult(mrOk);
        return true;
      }
      return false;
    }
  } script{dialog, late};
  App->HookMainWindow(TWindowHook(&script, &TScript::Handle));
  PostMessageA(App->GetHandle(), WM_APP + 10, 0, 0);
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  App->UnhookMainWindow(TWindowHook(&script, &TScript::Handle));
  EXPECT_TRUE(script.LateWasDisabled);
  EXPECT_TRUE(IsWindowEnabled(late->GetHandle()));
}

TEST_F(Forms, AFormFreedInItsOwnHandlerIsNotTouchedAgain)
{
  TThrowingAsserts asserts;
  struct TFreer {
    std::vector<std::string> Log;
    void Free(TObject* sender, const char* what)
    {
      Log.push_back(what);
      delete sender;
    }
    void CloseQuery(TObject* sender, bool&) { Free(sender, "closequery"); }
    void Close(TObject* sender, TCloseAction&) { Free(sender, "close"); }
    void Activate(TObject* sender) { Free(sender, "activate"); }
    void Deactivate(TObject* sender) { Free(sender, "deactivate"); }
    void Show(TObject* sender) { Free(sender, "show"); }
  } freer;
  struct TCase {
    const char* event;
    void (*arm)(TCustomForm*, TFreer*);
    void (*trigger)(TCustomForm*);
  };
  const TCase cases[] = {
      {"closequery", [](TCustomForm* f, TFreer* r) { f->OnCloseQuery = TCloseQueryEvent(r, &TFreer::CloseQuery); },
       [](TCustomForm* f) { SendMessageA(f->GetHandle(), WM_CLOSE, 0, 0); }},
      {"close", [](TCustomForm* f, TFreer* r) { f->OnClose = TCloseEvent(r, &TFreer::Close); },
       [](TCustomForm* f) { SendMessageA(f->GetHandle(), WM_CLOSE, 0, 0); }},
      {"activate", [](TCustomForm* f, TFreer* r) { f->OnActivate = TNotifyEvent(r, &TFreer::Activate); },
       [](TCustomForm* f) { SendMessageA(f->GetHandle(), WM_ACTIVATE, WA_ACTIVE, 0); }},
      {"deactivate", [](TCustomForm* f, TFreer* r) { f->OnDeactivate = TNotifyEvent(r, &TFreer::Deactivate); },
       [](TCustomForm* f) { SendMessageA(f->GetHandle(), WM_ACTIVATE, WA_INACTIVE, 0); }},
      {"show", [](TCustomForm* f, TFreer* r) { f->OnShow = TNotifyEvent(r, &TFreer::Show); },
       [](TCustomForm* f) { f->Show(); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.event);
    freer.Log.clear();
    Recorder.Boxes.clear();
    auto* form = new TMyForm(App.Get());
    new TTestBox(form, form, "box", 0, 0);
    const HWND window = form->GetHandle();
    c.arm(form, &freer);
    EXPECT_NO_THROW(c.trigger(form));
    EXPECT_EQ(freer.Log, (std::vector<std::string>{c.event}));
    EXPECT_TRUE(Recorder.Boxes.empty()) << Recorder.Boxes.front().text;
    EXPECT_EQ(App->ComponentCount(), 0);
    EXPECT_FALSE(IsWindow(window));
  }
}

TEST_F(Forms, AModalFormFreedWhileItsLoopRunsEndsTheLoopAndGivesTheOtherWindowsBack)
{
  TThrowingAsserts asserts;
  auto* main = new TMyForm(App.Get());
  main->Show();
  auto* dialog = new TMyForm(App.Get());
  struct TKiller {
    TCustomForm* Dialog;
    bool Handle(TMessage& message)
    {
      if (message.Msg != WM_APP + 8)
        return false;
      delete Dialog;
      return true;
    }
  } killer{dialog};
  App->HookMainWindow(TWindowHook(&killer, &TKiller::Handle));
  PostMessageA(App->GetHandle(), WM_APP + 8, 0, 0);
  int result = -1;
  EXPECT_NO_THROW(result = dialog->ShowModal());
  App->UnhookMainWindow(TWindowHook(&killer, &TKiller::Handle));
  EXPECT_EQ(result, mrCancel);
  EXPECT_TRUE(IsWindowEnabled(main->GetHandle()));
  EXPECT_TRUE(Recorder.Boxes.empty()) << Recorder.Boxes.front().text;
  EXPECT_EQ(App->ComponentCount(), 1);
}

// A form whose handlers use its own members, as the program's forms do; it notes whether it is still whole
// when they run.
class TFormWithHandlers : public TForm {
public:
  TFormWithHandlers(TComponent* owner, std::vector<std::string>* log) : TForm(owner), m_log(log)
  {
    SetBorderStyle(bsNone);
    SetBounds(20, 20, 100, 60);
    Box = new TTestBox(this, this, "box", 0, 0);
    Box->OnExit = TNotifyEvent(this, &TFormWithHandlers::Note);
    OnDeactivate = TNotifyEvent(this, &TFormWithHandlers::Note);
    OnHide = TNotifyEvent(this, &TFormWithHandlers::Note);
  }
  ~TFormWithHandlers() override
  {
    m_whole = false;
    m_log->push_back("form gone");
  }
  void WndProc(TMessage& message) override
  {
    if (message.Msg == WM_DESTROY)
      m_log->push_back(m_whole ? "window destroyed on a whole form" : "window destroyed on a half-destroyed form");
    TForm::WndProc(message);
  }
  void Note(TObject* sender)
  {
    m_log->push_back(TEventLog::NameOf(sender) + (m_whole ? " event on a whole form" : " event on a half-destroyed form"));
  }
  TTestBox* Box;

private:
  std::vector<std::string>* m_log;
  bool m_whole = true;
};

TEST_F(Forms, NoHandlerRunsWhileAFormIsDestroyedWhicheverWayItGoes)
{
  struct TCase {
    const char* way;
    void (*free)(TFormWithHandlers*, TApplication*);
  };
  const TCase cases[] = {
      {"delete", [](TFormWithHandlers* form, TApplication*) { delete form; }},
      {"Release", [](TFormWithHandlers* form, TApplication*) {
         form->Release();
         PumpPending();
       }},
      {"the application's clean-up", [](TFormWithHandlers*, TApplication* owner) { delete owner; }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.way);
    std::vector<std::string> log;
    auto* owner = new TApplication();
    auto* form = new TFormWithHandlers(owner, &log);
    form->SetName("form");
    form->Show();
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == form->GetHandle(); }));
    form->Box->SetFocus();
    ASSERT_TRUE(form->Box->Focused());
    const HWND window = form->GetHandle();
    log.clear();
    c.free(form, owner);
    EXPECT_EQ(log, (std::vector<std::string>{"window destroyed on a whole form", "form gone"}));
    EXPECT_FALSE(IsWindow(window));
    if (std::string(c.way) != "the application's clean-up")
      delete owner;
  }
}

} // namespace
