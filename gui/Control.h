#pragma once
// Controls: the base of everything placed on a form, and graphic controls (no window of their own,
// painted and fed mouse input by their windowed parent).
#include "Classes.h"
#include "GlobalObject.h"
#include "Graphics.h"
#include "Messages.h"
#include "SizeConstraints.h"
#include "SysUtils.h"
#include "WindowBinder.h"
#include "WindowHooks.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;

// The shift state of a mouse message's key flags (MK_xxx), plus Alt from the keyboard state.
TShiftState KeysToShiftState(WPARAM keys);
// The shift state of the keyboard right now (Shift, Ctrl, Alt as GetKeyState reports them).
TShiftState KeyboardShiftState();

using TMouseEvent = TClosure<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TClosure<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
// Key is a virtual-key code; a handler that sets it to 0 swallows the key.
using TKeyEvent = TClosure<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
// Key is the character; a handler that sets it to 0 swallows it.
using TKeyPressEvent = TClosure<void(TObject* Sender, char& Key)>;
// A handler may change the new size or refuse it (Resize = false).
using TCanResizeEvent = TClosure<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;
// Raised before a context menu opens: MousePos is the click in client coordinates, (-1, -1) when the
// keyboard asked for the menu. A handler that sets Handled keeps the menu closed.
using TContextPopupEvent = TClosure<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// The edge of the parent's client area a control takes (alClient: what the others leave).
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
// The sides of the parent a control keeps its distance to when the parent's client area changes size;
// anchored to both opposite sides it stretches, to neither it keeps its relative place in the middle.
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;

enum TControlStyleFlag {
  csCaptureMouse, // the control captures the mouse while a button is down
  csClickEvents,  // a left-button release inside after a press on the control is a click
  csOpaque,       // the control paints its whole area; the parent need not paint behind it
  csDoubleClicks, // a quick second left click is a double click (otherwise a plain second click)
};
using TControlStyle = TSet<TControlStyleFlag>;

class TWinControl;
class TControl;
class TPopupMenu;

// A canvas over a control: while the control paints, the paint DC; otherwise a DC of the window it lives
// in, clipped to the control and with its origin at the control's top-left corner. Such a DC is given
// back when the application next goes idle, when the control paints, moves or changes size, or when the
// control goes.
class TControlCanvas : public TCanvas {
public:
  explicit TControlCanvas(TControl* control);
  ~TControlCanvas() override;

  TControl* GetControl() const { return FControl; }
  // Gives back a DC acquired by CreateHandle; a paint DC is only detached.
  void FreeHandle();
  // Paints on `dc` (a paint DC the caller owns) until FreeHandle or the next BeginPaintOn.
  void BeginPaintOn(HDC dc);
  // Lends `dc` to the canvas for one call of `paint` and takes it back, also when painting throws.
  template <typename F>
  void PaintOn(HDC dc, F&& paint)
  {
    struct TGiveBack {
      TControlCanvas* m_canvas;
      ~TGiveBack() { m_canvas->FreeHandle(); }
    };
    BeginPaintOn(dc);
    TGiveBack giveBack{this};
    paint();
  }

protected:
  void CreateHandle() override;

private:
  TControl* FControl;
  TWindowDC FWindowDC;
};

// Gives back the DCs that control canvases took outside painting (called when the application is idle).
void FreeDeviceContexts();


// Base of all controls. A graphic control (no window) is painted by its windowed parent and receives the
// mouse messages that the parent routes to it.
class TControl : public TComponent {
public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* GetParent() const { return FParent; }
  // Moves the control into `parent`'s child list (null takes it out).
  virtual void SetParent(TWinControl* parent);

  // Position relative to the parent's client area (screen coordinates for a top-level window).
  int GetLeft() const { return FLeft; }
  int GetTop() const { return FTop; }
  int GetWidth() const { return FWidth; }
  int GetHeight() const { return FHeight; }
  void SetLeft(int left) { SetBounds(left, FTop, FWidth, FHeight); }
  void SetTop(int top) { SetBounds(FLeft, top, FWidth, FHeight); }
  void SetWidth(int width) { SetBounds(FLeft, FTop, width, FHeight); }
  void SetHeight(int height) { SetBounds(FLeft, FTop, FWidth, height); }
  // Moves and sizes in one step. A size change asks CanResize first and calls Resize afterwards.
  virtual void SetBounds(int left, int top, int width, int height);
  TRect GetBoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  // Moves the control and has its showing parent paint the old and new places at once, where SetBounds
  // leaves them to the parent's next paint (a round trip to the window system for each); as SetBounds
  // when the parent is not showing.
  void MoveNow(int left, int top);
  void SetBoundsRect(const TRect& rect)
  {
    SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  }

  // The client area in client coordinates (a graphic control's whole area).
  virtual TRect GetClientRect() const;
  int GetClientWidth() const;
  int GetClientHeight() const;
  // Sizes the control so that its client area gets the given size.
  void SetClientWidth(int width) { SetClientSize(width, GetClientHeight()); }
  void SetClientHeight(int height) { SetClientSize(GetClientWidth(), height); }
  virtual void SetClientSize(int width, int height);
  TPoint ClientToScreen(TPoint point) const;
  TPoint ScreenToClient(TPoint point) const;
  // The top-left corner of the client area in screen coordinates.
  TPoint ClientOrigin() const;

  bool GetVisible() const { return FVisible; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, with every parent visible.
  bool IsVisibleWithParents() const;

  // A disabled control receives no mouse and keyboard input; a disabled graphic control lets mouse
  // input through to its parent.
  bool GetEnabled() const { return FEnabled; }
  virtual void SetEnabled(bool enabled);

  TFont* GetFont() const { return FFont.get(); }
  // Copies `font`; the control no longer follows its parent's font.
  void SetFont(TFont* font);
  bool GetParentFont() const { return FParentFont; }
  void SetParentFont(bool parentFont);
  TColor GetColor() const { return FColor; }
  virtual void SetColor(TColor color);
  bool GetParentColor() const { return FParentColor; }
  void SetParentColor(bool parentColor);

  // Whether the font, colour and ShowHint are the control's own rather than its parent's, so that text
  // keeps them.
  bool IsFontStored() const { return !FParentFont; }
  bool IsColorStored() const { return !FParentColor; }
  bool IsShowHintStored() const { return !FParentShowHint; }

  // The caption (a windowed control's window text).
  const std::string& GetText() const { return FText; }
  virtual void SetText(const std::string& text);
  const std::string& GetCaption() const { return GetText(); }
  void SetCaption(const std::string& caption) { SetText(caption); }

  TControlStyle GetControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle style) { FControlStyle = style; }

  // The menu a right click, Shift+F10 or the menu key opens over the control (not owned; dropped when the
  // menu goes). The menu's PopupComponent becomes this control.
  TPopupMenu* GetPopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* menu);

  // The tooltip text. It shows while ShowHint is set, which by default (ParentShowHint) follows the
  // parent's ShowHint; setting ShowHint makes it the control's own.
  const std::string& GetHint() const { return FHint; }
  void SetHint(const std::string& hint);
  bool GetShowHint() const { return FShowHint; }
  void SetShowHint(bool showHint);
  bool GetParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool parentShowHint);

  // Layout inside the parent's client area: an aligned control takes an edge (or the rest) whenever that
  // area changes; an unaligned one follows its Anchors. Aligned controls of one parent take their edges
  // in z-order, bottom first.
  TAlign GetAlign() const { return FAlign; }
  void SetAlign(TAlign align);
  TAnchors GetAnchors() const { return FAnchors; }
  void SetAnchors(TAnchors anchors);
  // Applied to every size change, after CanResize.
  TSizeConstraints* GetConstraints() const { return FConstraints.get(); }
  // Copies `constraints`.
  void SetConstraints(TSizeConstraints* constraints) { FConstraints->Assign(constraints); }

  // The context help id (a windowed control's window carries it).
  int GetHelpContext() const { return FHelpContext; }
  virtual void SetHelpContext(int helpContext);

  // Whether this control has the mouse captured (a graphic control through its parent's window).
  bool GetMouseCapture() const;
  void SetMouseCapture(bool capture);

  // Sends a message through WindowProc; returns its result.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  // The window procedure: the hooks helpers installed (WindowProc.Hook / Unhook), then WndProc.
  TWindowProcChain WindowProc;
  // The control's own message handling: dispatches to the virtual handlers, the rest to DefaultHandler.
  virtual void WndProc(TMessage& Message);
  // What a message gets when no handler takes it: nothing for a graphic control, the system's default
  // window procedure for a windowed one.
  virtual void DefaultHandler(TMessage& Message);

  // Marks the control for painting (erasing the background unless csOpaque).
  virtual void Invalidate();
  // Paints what is marked, now.
  virtual void Update();
  // Invalidate, then Update.
  virtual void Repaint();

  // While the window that carries this control's messages (its own, or its parent's for a graphic
  // control) is handling one.
  bool HandlingMessage() const override;
  // Its parent, bounds and visibility, the values it takes from its parent, and its place in the
  // parent's z-order and tab order.
  std::function<void()> SaveState() override;
  void Refresh() { Repaint(); }
  // Moves the control to the top (last painted) or bottom of its parent's z-order.
  void BringToFront() { SetZOrder(true); }
  void SendToBack() { SetZOrder(false); }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnResize;
  TCanResizeEvent OnCanResize;
  TContextPopupEvent OnContextPopup;

protected:
  friend class TWinControl;

  // Raise the events of the same name. A click (left button pressed on the control and released inside
  // its client area) follows MouseUp; the capture has ended by then.
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

  // Raises OnContextPopup.
  virtual void DoContextPopup(TPoint MousePos, bool& Handled);
  // A context menu is asked for at `screenPos` (from the keyboard when `fromKeyboard`): OnContextPopup,
  // then PopupMenu unless a handler took it. True when it was taken or the control was freed meanwhile;
  // false when the request is for someone else (the parent).
  bool ContextPopup(TPoint screenPos, bool fromKeyboard);

  // Drops the popup menu when it goes.
  void Notification(TComponent* component, TOperation operation) override;
  // Takes the parent's font, colour and ShowHint where it follows them.
  void Loaded() override;
  // The resize and the visibility that loading held back.
  void LoadingDone() override;
  // While the control is loading, Visible is only noted (true: the caller does nothing more), so that no
  // window shows and no handler runs before everything is read; LoadingDone applies it.
  bool DeferVisible(bool visible);

  // May change the new size or refuse it; raises OnCanResize.
  virtual bool CanResize(int& NewWidth, int& NewHeight);
  // After the size changed; raises OnResize.
  virtual void Resize();

  // Told after the property changed (the control repaints itself).
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  virtual void EnabledChanged();
  virtual void VisibleChanged();
  // The parent's font or colour changed; a control that follows it takes the new one (once loaded).
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  virtual void ParentShowHintChanged();
  // ShowHint or Hint changed.
  virtual void ShowHintChanged();
  // The client area changed size (a windowed control lays out its children).
  virtual void ClientAreaChanged() {}

  // Multiplies bounds (and the font unless it follows the parent) by M / D.
  virtual void ChangeScale(int M, int D);
  virtual void SetZOrder(bool topMost);

  // False while the control is loading (its handlers would see it half read), and once this control or a
  // parent is being destroyed: from then on no event is raised (a parent's handlers usually belong to the
  // form that is going).
  bool CanRaiseEvents() const;

  // The mouse message handling shared by graphic and windowed controls.
  void HandleMouseMessage(TMessage& Message);
  // A button going down raises DblClick (a double click) and MouseDown; going up, MouseUp and Click.
  // Each stops when a handler has freed the control.
  void ButtonDown(TMouseButton button, bool doubleClick, TShiftState shift, int x, int y);
  void ButtonUp(TMouseButton button, WPARAM keys, TShiftState shift, int x, int y);
  // Sets the bounds fields without side effects (used when the window tells us where it is).
  void SetBoundsFields(int left, int top, int width, int height);
  // Invalidates this control's area on its parent (graphic controls).
  void InvalidateControl(bool erase);
  // Checks a size change with CanResize and the constraints; false when refused.
  bool CheckNewSize(int& width, int& height);
  // After the bounds were set by anything but the parent's layout: anchored layout starts from here, and
  // the other aligned controls make room.
  void BoundsSetFromOutside();
  // Remembers the bounds and the parent's client size that anchored layout starts from.
  void RecordAnchorBase();
  // Registers, moves or removes this control's tooltip, as Hint, ShowHint and the window it shows over
  // now say.
  void UpdateHintTool();

  TWinControl* FParent = nullptr;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;
  std::string FText;
  TColor FColor = clBtnFace;
  bool FParentColor = true;
  bool FParentFont = true;
  TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks};

  TAlign FAlign = alNone;
  TAnchors FAnchors{akLeft, akTop};
  int FHelpContext = 0;

private:
  // Where anchored layout starts from: the bounds and the parent's client size at that time.
  struct TAnchorBase {
    TRect Bounds{};
    TSize ParentSize{};
    bool Known = false;
  };

  void FontChangeHandler(TObject* Sender);
  void ConstraintsChanged(TObject* Sender);
  // The bounds anchored layout gives the control in a parent client area of `parentSize`.
  TRect AnchoredBounds(TSize parentSize) const;

  TPopupMenu* FPopupMenu = nullptr;
  std::string FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TAnchorBase FAnchorBase;
  // Set while the parent's layout moves the control.
  bool FLayingOut = false;
  std::unique_ptr<TSizeConstraints> FConstraints;
  std::unique_ptr<TFont> FFont;
  // Set while a left press on this control may still become a click.
  bool FClickPending = false;
  // Set while the font is being taken from the parent (not an own font).
  bool FTakingParentFont = false;
  // What loading held back: a visibility change (from FVisibleShown, what the screen shows) and a resize.
  bool FVisibleDeferred = false;
  bool FVisibleShown = true;
  bool FResizeDeferred = false;
  // Set during MoveNow's SetBounds: the parent paints the places itself.
  bool FMovingNow = false;
};

// A control without a window: it paints on its parent's DC through its Canvas.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;

  // While painting, the paint DC with the origin at the control's top-left corner.
  TCanvas* GetCanvas() const { return FCanvas.get(); }

  void WndProc(TMessage& Message) override;

protected:
  // Draws the control on Canvas, in client coordinates.
  virtual void Paint();

private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

// The mouse pointer.
class TMouse {
public:
  // The pointer position in screen coordinates, read now.
  TPoint GetCursorPos() const;
  void SetCursorPos(TPoint point) const;
  // The window that has the mouse captured, or null.
  HWND GetCapture() const { return ::GetCapture(); }
};

// The mouse pointer object, made on first use.
extern TGlobalObject<TMouse> Mouse;
