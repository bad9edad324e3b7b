#pragma once
// Forms: top-level windows built in code, shown modelessly or modally.
#include "Classes.h"
#include "Control.h"
#include "Graphics.h"
#include "WinControl.h"

#include <windows.h>

#include <memory>

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
// Which way a scroll bar runs.
enum TScrollBarKind { sbHorizontal, sbVertical };

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

class TModalWindows;

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
  // Shows the form modally: the application's other windows (also those shown meanwhile) are disabled
  // until ModalResult becomes nonzero (or the application gets WM_QUIT, which then stays noted for the
  // loops outside); then the form hides, or is released when OnClose chose caFree, and the result is
  // returned.
  int ShowModal();

  TModalResult GetModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult result) { FModalResult = result; }
  bool IsModal() const { return FModal; }

  void SetVisible(bool visible) override;
  // Also while the form is modal.
  bool HandlingMessage() const override;
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

  void SetFocusedControl(TWinControl* Control) override;
  void DefocusControl(TWinControl* Control, bool Removing) override;

private:
  void WMActivate(TMessage& Message);
  // The modal loop; false when a handler freed the form. `action` is what OnClose chose at the end.
  bool RunModalLoop(TModalWindows& others, TCloseAction& action);
  void EndModal(TModalWindows& others);
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
