#pragma once
// Windowed controls: a real window, created on demand, that paints itself and its graphic children and
// takes the focus and the keyboard.
#include "Control.h"
#include "Graphics.h"
#include "Messages.h"
#include "WindowBinder.h"

#include <windows.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

// The parameters a windowed control's window is created from. CreateParams fills them; a subclass changes
// what it needs (for example an owned pop-up: Style |= WS_POPUP, WndParent = owner window).
struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  // The parent of a child window, the owner of a top-level one.
  HWND WndParent = nullptr;
  void* Param = nullptr;
  // Class style, cursor, icon and background of the window class; registered once per class name.
  WNDCLASSA WindowClass{};
  // The C++ class name unless a subclass changes it.
  std::string WinClassName;
};

// A control with a window of its own, created on demand: when its handle is first asked for, or, for a
// child put on (or shown in) a parent that has a window, once the parent's posted request arrives, after
// the constructors. The window class is named after the C++ class and registered on first use; a window
// forced while a base-class constructor still runs would be named after that base, which the control
// reports (an assertion) at the window's next message. Children belong to their owners: a parent that goes
// only takes their windows and its list with it.
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // The window, created (with those of the windowed children) when first asked for.
  HWND GetHandle();
  bool HandleAllocated() const { return FBinding.Handle() != nullptr; }
  void HandleNeeded() { GetHandle(); }
  // Destroys the window; the object stays and creates a new one when asked.
  void DestroyHandle();
  // Destroys the window and creates it again from fresh creation parameters.
  void RecreateWnd();

  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetText(const std::string& text) override;
  TRect GetClientRect() const override;
  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  // Paints `area` of the client at once, as the window's own paint of that area would (erased first when
  // `erase`), on a DC of the window rather than through the system's paint messages; the update region is
  // left as it is. Nothing happens while the window is not showing.
  void PaintNow(const RECT& area, bool erase);

  // Visible, with all parents visible and the window created.
  bool Showing() const;

  bool GetTabStop() const { return FTabStop; }
  void SetTabStop(bool tabStop) { FTabStop = tabStop; }
  // Position among the parent's windowed children in tab order; -1 without a parent.
  int GetTabOrder() const;
  void SetTabOrder(int order);

  // The window can take the focus: it and all parents visible and enabled.
  bool CanFocus() const;
  bool Focused() const;
  // Raises EInvalidOperation when CanFocus is false.
  virtual void SetFocus();
  // Moves the focus to the next (or previous) control after `current` in this control's tab order list.
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                               bool checkParent) const;
  // The windowed descendants in tab order, depth first.
  void GetTabOrderList(std::vector<TWinControl*>& list) const;

  // Paints through a memory DC (no flicker from erasing and painting in turn).
  bool GetDoubleBuffered() const { return FDoubleBuffered; }
  void SetDoubleBuffered(bool doubleBuffered) { FDoubleBuffered = doubleBuffered; }

  // Graphic children first (in z-order), then windowed ones.
  int ControlCount() const { return static_cast<int>(FControls.size() + FWinControls.size()); }
  TControl* Controls(int index) const;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // The topmost graphic child at a client point: visible, and enabled unless `allowDisabled`.
  TControl* ControlAtPos(TPoint point, bool allowDisabled) const;
  bool ContainsControl(const TControl* control) const;

  // Multiplies bounds and fonts of this control and its children by M / D.
  void ScaleBy(int M, int D);

  // Lays out the aligned and anchored children in the client area as it is now; runs by itself whenever
  // that area changes size or an aligned child comes, goes or changes.
  void Realign();
  // Holds the layout back until EnableAlign has been called as often; the last call lays out.
  void DisableAlign();
  void EnableAlign();

  // Also sets the window's context help id.
  void SetHelpContext(int helpContext) override;

  void WndProc(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  bool HandlingMessage() const override { return FBinding.Dispatching(); }

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

protected:
  friend class TControl;

  // Destroys the window (and the children's) while the whole object still handles its last messages.
  void BeforeDestruction() override;

  // Fills the creation parameters; subclasses call the inherited one first and change what they need.
  virtual void CreateParams(TCreateParams& Params);
  // Creates the window from CreateParams.
  virtual void CreateWnd();
  // CreateWnd, then the windows of the windowed children.
  virtual void CreateHandle();
  // Called once the window exists (before the children's windows are made).
  virtual void HandleCreated() {}

  // Told, by way of the parents, that `Control` inside takes the focus; a form keeps it as its active
  // control. Passes it on to the parent.
  virtual void SetFocusedControl(TWinControl* Control);
  // Told, by way of the parents, that `Control` inside can no longer keep the focus (it is hidden,
  // disabled or, with `Removing`, taken out or destroyed); a form forgets it as its active control if
  // it or a control inside it was. Passes it on to the parent.
  virtual void DefocusControl(TWinControl* Control, bool Removing);
  // While DestroyHandle is destroying the window.
  bool DestroyingHandle() const { return FDestroyingHandle; }
  // Scales the children only (ChangeScale also scales this control).
  void ScaleChildren(int M, int D);

  // Raise the events of the same name.
  virtual void KeyDown(WORD& Key, TShiftState Shift);
  virtual void KeyUp(WORD& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void DoEnter();
  virtual void DoExit();

  // Paints the window's own content on `dc` (nothing here; TCustomControl paints its Canvas).
  virtual void PaintWindow(HDC dc);
  // Paints the graphic children in z-order, from `first` (all when null), each at its own origin.
  void PaintControls(HDC dc, TControl* first);
  // The whole painting of the window on `dc`: own content, then graphic children.
  void PaintHandler(HDC dc);
  // Fills the client area with Color, leaving out opaque graphic children.
  void EraseBackground(HDC dc);

  void ChangeScale(int M, int D) override;
  void SetZOrder(bool topMost) override;
  void FontChanged() override;
  void ColorChanged() override;
  void ShowHintChanged() override;
  void ClientAreaChanged() override;
  // Anchored layout of every child starts again from the bounds it has now (after scaling).
  void RebaseChildren();

  // The system's window procedure the window falls back to.
  WNDPROC FDefWndProc = DefWindowProcA;

private:
  // Where the window's messages arrive: they go through WindowProc.
  void MainWndProc(TMessage& Message);
  void WindowDetached();
  // Asks for the windows of the windowed children that have none, by a message to this window: by then
  // the children's constructors have finished.
  void RequestChildWindows();
  void CreateChildWindows();
  // Asserts that the object is still of the type it had when its window was made.
  void CheckCreatedType();
  // Moves the focus out of this control (to its form) when it or a child has it.
  void RemoveFocus();
  bool RouteMouseToGraphicChild(TMessage& Message);
  void WMPaint(TMessage& Message);
  // Paints `area` through a memory bitmap and copies it to `dc` in one step.
  void PaintBuffered(HDC dc, const RECT& area);
  void WMEraseBkgnd(TMessage& Message);
  void WMWindowPosChanging(TMessage& Message);
  void WMWindowPosChanged(TMessage& Message);
  void WMKeyDown(TMessage& Message, bool down);
  void WMSetFocus(TMessage& Message);
  void WMKillFocus(TMessage& Message);
  void WMCaptureChanged(TMessage& Message);
  void WMSetText(TMessage& Message);
  void WMChar(TMessage& Message);
  // The release of the right button: MouseUp first, then the system's WM_CONTEXTMENU.
  void WMRButtonUp(TMessage& Message);
  void WMContextMenu(TMessage& Message);
  void WMGetMinMaxInfo(TMessage& Message);
  void UpdateBoundsFromWindow();
  // Moves a child for the layout; false when a handler freed it or took it elsewhere meanwhile.
  bool PlaceChild(TControl* child, const TRect& bounds);
  // Puts an aligned child at its edge of `rest` and takes the room it uses out of `rest`.
  bool AlignChild(TControl* child, TRect& rest);
  // Hands a mouse message of this window to the application's tooltip, which watches for hovering.
  void RelayToHints(const TMessage& Message) const;
  // Puts the children back into a saved z-order and tab order (see TControl::SaveState).
  void RestoreChildOrder(const std::vector<TControl*>& controls, const std::vector<TWinControl*>& winControls,
                         const std::vector<TWinControl*>& tabList);

  TWindowBinding FBinding;
  bool FTabStop = false;
  bool FDoubleBuffered = false;
  bool FDestroyingHandle = false;
  bool FChildWindowsRequested = false;
  int FAlignLevel = 0;
  // The object's type when its window was made (see CheckCreatedType).
  const std::type_info* FCreatedAs = nullptr;
  std::vector<TControl*> FControls;       // graphic children, bottom to top
  std::vector<TWinControl*> FWinControls; // windowed children, creation order
  std::vector<TWinControl*> FTabList;     // windowed children, tab order
  TControl* FCaptureControl = nullptr;    // graphic child that has the mouse through this window
  friend void SetCaptureControl(TControl* control);
  friend TControl* GetCaptureControl();
};

// A windowed control that paints itself on a Canvas.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;

  TCanvas* GetCanvas() const { return FCanvas.get(); }

protected:
  // Draws the control on Canvas.
  virtual void Paint();
  void PaintWindow(HDC dc) override;

private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

// The windowed control that owns `window`, or null.
TWinControl* FindControl(HWND window);
// The control that has the mouse captured (a graphic control through its parent), or null.
TControl* GetCaptureControl();
// Captures the mouse for `control` (null ends a capture held by a control).
void SetCaptureControl(TControl* control);

