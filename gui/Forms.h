#pragma once
// Forms, the application object (its hidden window, message loop and exception box) and the screen.
#include "Classes.h"
#include "Controls.h"
#include "Graphics.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize };
using TBorderIcons = TSet<TBorderIcon>;
enum TFormStyle { fsNormal, fsStayOnTop };
enum TPosition {
  poDesigned,        // Left and Top as set
  poDefault,         // the system chooses position and size
  poDefaultPosOnly,  // the system chooses the position
  poDefaultSizeOnly, // the system chooses the size
  poScreenCenter,    // centred on the screen when first shown
  poDesktopCenter,   // the same
  poMainFormCenter,  // centred over the main form (the screen for the main form itself)
  poOwnerFormCenter, // centred over the owning form (else as poMainFormCenter)
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;

using TCloseEvent = TClosure<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TClosure<void(TObject* Sender, bool& CanClose)>;

// A top-level window built in code: a subclass creates its components with their design settings in its
// constructor. Its window is owned by the application's window unless CreateParams says otherwise.
class TCustomForm : public TWinControl {
public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
  // Changes the window's frame in place (no new window); the window keeps its outer bounds.
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons GetBorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons icons);
  TFormStyle GetFormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle style);
  TPosition GetPosition() const { return FPosition; }
  void SetPosition(TPosition position) { FPosition = position; }

  // With Scaled set and PixelsPerInch other than the screen's, the form scales its children's bounds and
  // fonts and its client size to the screen once, when its window is first created; PixelsPerInch then
  // becomes the screen's. So everything the constructor sets counts in design pixels.
  bool Scaled = true;
  int GetPixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int pixelsPerInch) { FPixelsPerInch = pixelsPerInch; }

  // While the form paints (OnPaint), the paint DC.
  TCanvas* GetCanvas() const { return FCanvas.get(); }

  // The windowed control that has (or last had) the focus inside the form.
  TWinControl* GetActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* control);
  bool GetActive() const { return FActive; }

  // Shows the form and brings it to the front.
  void Show();
  // Asks OnCloseQuery and OnClose. The main form ends the application; other forms hide (or whatever
  // OnClose chose). A modal form only sets ModalResult to mrCancel.
  void Close();
  bool CloseQuery();
  // Shows the form modally: the application's other windows are disabled until ModalResult becomes
  // nonzero (or the application terminates); then the form hides and the result is returned.
  int ShowModal();
  // Frees the form once the messages already queued for it are handled.
  void Release();

  TModalResult GetModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult result) { FModalResult = result; }
  bool IsModal() const { return FModal; }

  void SetVisible(bool visible) override;
  // Without a window, the client area that the border style leaves.
  TRect GetClientRect() const override;
  void WndProc(TMessage& Message) override;

  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandle() override;
  void PaintWindow(HDC dc) override;
  void ChangeScale(int M, int D) override;

  // Raise the events of the same name.
  virtual void Activate();
  virtual void Deactivate();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);
  virtual void Paint();

private:
  friend class TWinControl;
  void ApplyPosition();
  void FocusActiveControl();
  void UpdateFrameStyles(TFormBorderStyle oldStyle, TBorderIcons oldIcons);
  static void StylesFor(TFormBorderStyle style, TBorderIcons icons, DWORD& styleBits, DWORD& exStyleBits);

  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
  TFormStyle FFormStyle = fsNormal;
  TPosition FPosition = poDesigned;
  int FPixelsPerInch;
  bool FScaledOnce = false;
  bool FPositioned = false;
  bool FActive = false;
  bool FModal = false;
  TModalResult FModalResult = mrNone;
  TWinControl* FActiveControl = nullptr;
  std::unique_ptr<TControlCanvas> FCanvas;
};

class TForm : public TCustomForm {
public:
  explicit TForm(TComponent* AOwner);
};

// The form that `control` lies on, or null.
TCustomForm* GetParentForm(const TControl* control);

// Called for each message the loop takes from the queue, before it is dispatched; Handled skips dispatch.
using TMessageEvent = TClosure<void(MSG& Msg, bool& Handled)>;
// Replaces the standard error box for exceptions the application catches.
using TExceptionEvent = TClosure<void(TObject* Sender, const std::exception& E)>;
// A hook on the application window; true means handled (the window's own handling is skipped).
using TWindowHook = TClosure<bool(TMessage& Message)>;

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
  bool HandleAllocated() const { return FHandle != nullptr; }

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

  void HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(TWindowHook hook);

  TMessageEvent OnMessage;
  TExceptionEvent OnException;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

private:
  friend class TCustomForm;
  static LRESULT CALLBACK StaticWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  void WndProc(TMessage& Message);
  void FormCreated(TCustomForm* form);
  void MainFormVisibilityChanged(bool visible);
  void FormDestroyed(TCustomForm* form);
  bool ProcessMessage(MSG& msg);
  void Idle();
  void LoadDefaultIcon();
  void IconChanged(TObject* Sender);

  HWND FHandle = nullptr;
  std::string FTitle;
  std::unique_ptr<TIcon> FIcon;
  TCustomForm* FMainForm = nullptr;
  bool FShowMainForm = true;
  bool FTerminated = false;
  bool FRunning = false;
  std::vector<TWindowHook> FWindowHooks;
};

// The process's application object.
extern TApplication* Application;

// The screen and the forms on it.
class TScreen : public TComponent {
public:
  explicit TScreen(TComponent* AOwner = nullptr);

  int GetWidth() const;
  int GetHeight() const;
  int GetPixelsPerInch() const;
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TCustomForm* Forms(int index) const;
  // The form that is (or was last) the active window, or null.
  TCustomForm* GetActiveForm() const { return FActiveForm; }

private:
  friend class TCustomForm;
  std::vector<TCustomForm*> FForms;
  TCustomForm* FActiveForm = nullptr;
};

extern TScreen* Screen;
