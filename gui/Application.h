#pragma once
// The application object: its hidden window, the forms, the message loop and the exception box.
#include "Classes.h"
#include "GlobalObject.h"
#include "Graphics.h"
#include "Messages.h"
#include "WindowBinder.h"
#include "WindowHooks.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

class TCustomForm;
class THintTips;

// Called for each message the loop takes from the queue, before it is dispatched; Handled skips dispatch.
using TMessageEvent = TClosure<void(MSG& Msg, bool& Handled)>;
// Replaces the standard error box for exceptions the application catches.
using TExceptionEvent = TClosure<void(TObject* Sender, const std::exception& E)>;

// The application object: a hidden top-level window (the owner of the forms, carrying the taskbar button
// while the main form is visible), the forms, the message loop and the exception box.
class TApplication : public TComponent {
public:
  explicit TApplication(TComponent* AOwner = nullptr);
  ~TApplication() override;

  // Creates the application window, so that forms made afterwards are owned by it.
  void Initialize();

  // The application window, created on demand.
  HWND GetHandle();
  bool HandleAllocated() const { return FBinding.Handle() != nullptr; }

  // Caption of the exception box and of the application window; by default the executable's name without
  // its extension.
  const std::string& GetTitle() const { return FTitle; }
  void SetTitle(const std::string& title);
  // The icon of the application window; by default the executable's first icon.
  TIcon* GetIcon() const { return FIcon.get(); }
  void SetIcon(TIcon* icon);
  std::string GetExeName() const { return ApplicationExeName(); }

  // Constructs a form owned by the application; the first one becomes the main form (and gets its window
  // at once).
  template <typename T>
  void CreateForm(T*& reference)
  {
    reference = new T(this);
    FormCreated(reference);
  }
  TCustomForm* GetMainForm() const { return FMainForm; }
  // Whether Run shows the main form.
  bool GetShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool show) { FShowMainForm = show; }

  // Shows the main form (unless ShowMainForm is false) and handles messages until Terminate or the main
  // form closes. An exception from a message handler is shown and the loop goes on.
  void Run();
  // Handles every queued message, then returns.
  void ProcessMessages();
  // Handles one message, waiting for one when none is queued.
  void HandleMessage();
  // Ends the loop: WM_QUIT is posted and Run returns once it gets there.
  void Terminate();
  bool GetTerminated() const { return FTerminated; }

  void Minimize();
  void Restore();

  // Called inside a catch block: hands the exception in flight to OnException or ShowException.
  void HandleException(TObject* Sender);
  // The standard error box: the message, the title as caption, the error icon (through the seam).
  void ShowException(const std::exception& E);
  // A message box owned by the active form (or the application window), through the seam.
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  // Hooks on the application window: each sees its messages first (newest first) and keeps one by
  // returning true. They may be removed in any order.
  void HookMainWindow(const TWindowHook& hook) { FWindowProc.Hook(hook); }
  void UnhookMainWindow(const TWindowHook& hook) { FWindowProc.Unhook(hook); }

  // The one tooltip that shows the hints of all controls, made on first use (with the application
  // window, which it stays above).
  THintTips* Hints();
  // Null while no control has needed it.
  THintTips* PeekHints() const { return FHints.get(); }

  TMessageEvent OnMessage;
  TExceptionEvent OnException;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

private:
  friend class TCustomForm;
  void WndProc(TMessage& Message);
  void FormCreated(TCustomForm* form);
  void MainFormVisibilityChanged(bool visible);
  void FormDestroyed(TCustomForm* form);
  bool ProcessMessage(MSG& msg);
  void Idle();
  void LoadDefaultIcon();
  void IconChanged(TObject* Sender);

  TWindowProcChain FWindowProc;
  TWindowBinding FBinding;
  std::string FTitle;
  std::unique_ptr<TIcon> FIcon;
  std::unique_ptr<THintTips> FHints;
  TCustomForm* FMainForm = nullptr;
  bool FShowMainForm = true;
  bool FTerminated = false;
  bool FRunning = false;
};

// The process's application object, made on first use.
extern TGlobalObject<TApplication> Application;
