#include "FormsFixture.h"
#include "Menus.h"
#include "MessageWindow.h"
#include "ReleaseQueue.h"

namespace {

// A box that notes when it goes and can release itself from its handlers.
class TReleasingBox : public TTestBox {
public:
  TReleasingBox(TComponent* owner, TWinControl* parent, bool* gone) : TTestBox(owner, parent, "r", 10, 10), m_gone(gone)
  {
  }
  ~TReleasingBox() override { *m_gone = true; }

  void ReleaseSelf(TObject*) { Release(); }

private:
  bool* m_gone;
};

class ReleaseQueue : public TWindowTest {
protected:
  void SetUp() override
  {
    Form = new TForm(App.Get());
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(40, 40, 120, 80);
    Box = new TReleasingBox(Form, Form, &Gone);
    Log.WatchMouse(Box);
  }

  TThrowingAsserts Asserts;
  TForm* Form = nullptr;
  TReleasingBox* Box = nullptr;
  bool Gone = false;
  TEventLog Log;
};

TEST_F(ReleaseQueue, AControlReleasedInItsHandlerGoesOnceTheMessageIsDone)
{
  struct TReleaser {
    TControl* Control;
    void Up(TObject*, TMouseButton, TShiftState, int, int) { Control->Release(); }
  } releaser{Box};
  Box->OnMouseUp = TMouseEvent(&releaser, &TReleaser::Up);
  ClickAt(Box->GetHandle(), 5, 5);
  EXPECT_FALSE(Gone) << "not while its messages are handled";
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down r L 5,5", "click r"})) << "the click still came";
  EXPECT_TRUE(PumpUntil([&] { return Gone; }));
  EXPECT_EQ(Form->ComponentCount(), 0);
  EXPECT_EQ(ReleasedComponentCount(), 0);
  EXPECT_TRUE(Recorder.Boxes.empty());
}

TEST_F(ReleaseQueue, AReleaseWaitsForANestedLoopInTheControlsOwnMessage)
{
  // Releases the box, then runs a message loop of its own as a handler showing a message box would.
  struct TWaiter {
    TControl* Box;
    const bool* Gone;
    bool StillHereAfterLoop = false;
    void Click(TObject*)
    {
      Box->Release();
      PumpUntil([] { return false; }, 5, 1);
      StillHereAfterLoop = !*Gone;
    }
  } waiter{Box, &Gone};
  Box->OnClick = TNotifyEvent(&waiter, &TWaiter::Click);
  ClickAt(Box->GetHandle(), 5, 5);
  EXPECT_TRUE(waiter.StillHereAfterLoop) << "the queue's message came in the handler's loop, but had to wait";
  EXPECT_TRUE(PumpUntil([&] { return Gone; })) << "and freed it once the click was handled";
}

TEST_F(ReleaseQueue, AFormWaitsWhileAHandlerThatReleasedItRunsANestedLoop)
{
  // The form is released from a handler that is not the form's own message, and the handler then runs a
  // message loop (as a message box would); the form and its controls must outlast the handler.
  struct TForeignWindow {
    TCustomForm* Form = nullptr;
    void Receive(TMessage& message)
    {
      if (message.Msg == WM_APP + 70)
        Form->Release();
    }
  };
  struct TCase {
    const char* what;
    // Releases the form while `box` (on the form, maybe in a panel) handles a click.
    void (*release)(TCustomForm* form, HWND foreign);
    bool inPanel;
  };
  const TCase cases[] = {
      {"the child's own click", [](TCustomForm* form, HWND) { form->Release(); }, false},
      {"a child inside a panel", [](TCustomForm* form, HWND) { form->Release(); }, true},
      {"a window the child's click sends to",
       [](TCustomForm*, HWND foreign) { SendMessageA(foreign, WM_APP + 70, 0, 0); }, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    bool formGone = false;
    bool boxGone = false;
    struct TTracked : TForm {
      TTracked(TComponent* owner, bool* gone) : TForm(owner), Gone(gone) {}
      ~TTracked() override { *Gone = true; }
      bool* Gone;
    };
    auto* form = new TTracked(App.Get(), &formGone);
    TWinControl* parent = form;
    if (c.inPanel) {
      auto* panel = new TTestBox(form, form, "p", 0, 0);
      panel->SetBounds(0, 0, 100, 60);
      parent = panel;
    }
    auto* box = new TReleasingBox(form, parent, &boxGone);
    TForeignWindow foreign{form};
    TMessageWindowHandle foreignWindow(AllocateHWnd(TWndMethod(&foreign, &TForeignWindow::Receive)));
    struct TWaiter {
      const TCase* Case;
      TCustomForm* Form;
      HWND Foreign;
      const bool* FormGone;
      const bool* BoxGone;
      bool StillHereAfterLoop = false;
      void Click(TObject*)
      {
        Case->release(Form, Foreign);
        PumpUntil([] { return false; }, 5, 1);
        StillHereAfterLoop = !*FormGone && !*BoxGone;
      }
    } waiter{&c, form, foreignWindow.Get(), &formGone, &boxGone};
    box->OnClick = TNotifyEvent(&waiter, &TWaiter::Click);
    ClickAt(box->GetHandle(), 5, 5);
    EXPECT_TRUE(waiter.StillHereAfterLoop) << "freed under the handler";
    EXPECT_TRUE(PumpUntil([&] { return formGone && boxGone; })) << "freed once the click was handled";
  }
}

TEST_F(ReleaseQueue, ReleasedComponentsGoInsideAModalLoop)
{
  auto* dialog = new TForm(App.Get());
  bool dialogBoxGone = false;
  auto* dialogBox = new TReleasingBox(dialog, dialog, &dialogBoxGone);
  dialogBox->OnClick = TNotifyEvent(dialogBox, &TReleasingBox::ReleaseSelf);
  struct TScript {
    TCustomForm* Dialog;
    TReleasingBox* DialogBox;
    bool* DialogBoxGone;
    bool GoneWhileModal = false;
    bool Handle(TMessage& message)
    {
      if (message.Msg == WM_APP + 60) {
        ClickAt(DialogBox->GetHandle(), 5, 5);
        PostMessageA(Application->GetHandle(), WM_APP + 61, 0, 0);
        return true;
      }
      if (message.Msg == WM_APP + 61) {
        if (!*DialogBoxGone) {
          // Not yet: the queue's message is behind this one.
          PostMessageA(Application->GetHandle(), WM_APP + 61, 0, 0);
          return true;
        }
        GoneWhileModal = Dialog->IsModal();
        Dialog->SetModalResult(mrOk);
        return true;
      }
      return false;
    }
  } script{dialog, dialogBox, &dialogBoxGone};
  App->HookMainWindow(TWindowHook(&script, &TScript::Handle));
  PostMessageA(App->GetHandle(), WM_APP + 60, 0, 0);
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  App->UnhookMainWindow(TWindowHook(&script, &TScript::Handle));
  EXPECT_TRUE(dialogBoxGone);
  EXPECT_TRUE(script.GoneWhileModal);

  // A form released while it is modal waits for its loop to end.
  bool dialogGone = false;
  struct TTracked : TForm {
    TTracked(TComponent* owner, bool* gone) : TForm(owner), Gone(gone) {}
    ~TTracked() override { *Gone = true; }
    bool* Gone;
  };
  auto* second = new TTracked(App.Get(), &dialogGone);
  struct TSelfRelease {
    TCustomForm* Form;
    bool GoneInLoop = false;
    bool* Gone;
    bool Handle(TMessage& message)
    {
      if (message.Msg == WM_APP + 62) {
        Form->Release();
        PumpUntil([] { return false; }, 5, 1);
        GoneInLoop = *Gone;
        Form->SetModalResult(mrCancel);
        return true;
      }
      return false;
    }
  } selfRelease{second, false, &dialogGone};
  App->HookMainWindow(TWindowHook(&selfRelease, &TSelfRelease::Handle));
  PostMessageA(App->GetHandle(), WM_APP + 62, 0, 0);
  EXPECT_EQ(second->ShowModal(), mrCancel);
  App->UnhookMainWindow(TWindowHook(&selfRelease, &TSelfRelease::Handle));
  EXPECT_FALSE(selfRelease.GoneInLoop);
  EXPECT_TRUE(PumpUntil([&] { return dialogGone; }));
}

TEST_F(ReleaseQueue, ComponentsFreedMeanwhileOrReleasedTwiceAreFreedOnce)
{
  struct TCase {
    const char* what;
    void (*act)(TReleasingBox*);
  };
  const TCase cases[] = {
      {"released twice", [](TReleasingBox* box) {
         box->Release();
         box->Release();
       }},
      {"released, then freed by the program", [](TReleasingBox* box) {
         box->Release();
         delete box;
       }},
      {"released, then its owner goes", [](TReleasingBox* box) {
         box->Release();
         delete box->Owner();
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    bool gone = false;
    auto* owner = new TForm(App.Get());
    auto* box = new TReleasingBox(owner, owner, &gone);
    c.act(box);
    EXPECT_TRUE(PumpUntil([&] { return gone && ReleasedComponentCount() == 0; }));
  }
  EXPECT_EQ(App->ComponentCount(), 3) << "the form of each test and of the first two cases";
}

TEST_F(ReleaseQueue, AnyComponentCanBeReleased)
{
  auto* menu = new TPopupMenu(Form);
  menu->Items()->Add(new TMenuItem(Form));
  const int before = Form->ComponentCount();
  menu->Release();
  EXPECT_EQ(Form->ComponentCount(), before);
  FreeReleasedComponents();
  EXPECT_EQ(Form->ComponentCount(), before - 2) << "the menu and its item";
}

} // namespace
