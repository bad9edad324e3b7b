#pragma once
// Borderless forms shaped by their picture: colour-keyed or per-pixel-alpha layered windows that the user
// moves by dragging the picture, and that never erase their background.
#include "Classes.h"
#include "Colors.h"
#include "Control.h"
#include "Handles.h"
#include "Messages.h"

#include <windows.h>

#include <memory>
#include <optional>

class TForm;
class TImage;

using SetLayeredWindowAttributesProc = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
using UpdateLayeredWindowProc = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*,
                                              DWORD);

// How the window makers find their user32 functions by name (GetModuleHandleA, then GetProcAddress, by
// default). Tests put their own lookup in to watch the calls or to withhold a function; the makers look up
// once, when they are made.
using TUser32Lookup = FARPROC (*)(const char* name);
TUser32Lookup SetUser32Lookup(TUser32Lookup lookup);
FARPROC LookupUser32(const char* name);

// The settings both window makers share, and the switch between an ordinary and a layered window.
class CsWindowLayering {
public:
  CsWindowLayering() = default;
  virtual ~CsWindowLayering() = default;
  CsWindowLayering(const CsWindowLayering&) = delete;
  CsWindowLayering& operator=(const CsWindowLayering&) = delete;

  // Makes the window an ordinary, non-layered one again.
  void Restore(HWND hwnd) { Disable(hwnd, true); }

  COLORREF m_colorKey = 0xFFFFFFFF;
  bool m_useColorKey = false;
  bool m_clickThrough = false;
  bool m_useAlpha = false;
  BYTE m_alpha = 255;

protected:
  // Sets WS_EX_LAYERED and WS_EX_TRANSPARENT as asked; the style is written only when one of them changes.
  // True when it was written.
  static bool SetLayeredStyle(HWND hwnd, bool layered, bool clickThrough);
  // Clears the layered style and redraws the window, frame and children, when that changed anything.
  void Disable(HWND hwnd, bool restoring);
};

// Colour key and whole-window alpha through SetLayeredWindowAttributes; the window paints itself.
class CsLayeredWindowMaker : public CsWindowLayering {
public:
  CsLayeredWindowMaker();

  bool IsAvailable() const { return m_setLayeredWindowAttributes != nullptr; }
  // Pushes the settings to the window; neither colour key nor alpha makes it an ordinary window.
  void Apply(HWND hwnd);

private:
  SetLayeredWindowAttributesProc m_setLayeredWindowAttributes;
};

// The window's face is a bitmap handed to UpdateLayeredWindow: shaped and blended by the bitmap's own
// (premultiplied) alpha, or colour-keyed.
class CsPerPixelLayeredWindowMaker : public CsWindowLayering {
public:
  CsPerPixelLayeredWindowMaker();

  bool IsAvailable() const { return m_updateLayeredWindow != nullptr; }
  // Pushes `hbitmap` and the settings to the window. The bitmap must not be selected into any DC.
  void Apply(HWND hwnd, HBITMAP hbitmap);
  // One UpdateLayeredWindow of the bitmap at the window's current position, with the bitmap's size.
  void PushBitmap(HWND hwnd, HBITMAP hbitmap, BLENDFUNCTION blend, DWORD flags);

  bool m_usePerPixelAlpha = false;

private:
  bool IsPerPixel(HBITMAP hbitmap) const;

  UpdateLayeredWindowProc m_updateLayeredWindow;
  TMemoryDC m_memoryDC; // made at the first push
};

// Lets the user move a form by dragging one of its controls with the left button.
class TDragDelegate {
public:
  TDragDelegate() = default;
  virtual ~TDragDelegate() = default;
  TDragDelegate(const TDragDelegate&) = delete;
  TDragDelegate& operator=(const TDragDelegate&) = delete;

  void Attach(TForm* form, TControl* control);
  void Detach();
  bool IsAttached() const { return m_control != nullptr; }

protected:
  virtual void OnAttach(TControl* control) = 0;
  virtual void OnDetach(TControl* control) = 0;
  // Whether the control served is still there (it may go before the delegate).
  bool ControlLives() const { return m_controlLife && m_controlLife->Alive(); }

  TControl* m_control = nullptr;
  TForm* m_form = nullptr;

private:
  std::optional<TLifeToken> m_controlLife;
};

// Moves the form through the system's own move loop, as if its caption were dragged. The control's
// earlier mouse-press handler is called after each press and is put back on detaching and on destruction.
class TNormalDrag : public TDragDelegate {
public:
  ~TNormalDrag() override;

protected:
  void OnAttach(TControl* control) override;
  void OnDetach(TControl* control) override;

private:
  void MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  TMouseEvent m_oldMouseDown;
};

// Keeps a control from erasing its background: WM_ERASEBKGND is answered before it reaches the control.
// Hooked into the control's window procedure chain, so other hooks come and go in any order around it;
// unhooked when it goes, unless the control went first.
struct DoNotEraseBkgnd {
  DoNotEraseBkgnd() = default;
  ~DoNotEraseBkgnd();
  DoNotEraseBkgnd(const DoNotEraseBkgnd&) = delete;
  DoNotEraseBkgnd& operator=(const DoNotEraseBkgnd&) = delete;

  void Hook(TControl* control);
  void Unhook();

  TControl* m_control = nullptr;
  TWndMethod m_oldWindowProc;

private:
  void WindowProc(TMessage& Message);
  TWndMethod GuardProc() { return TWndMethod(this, &DoNotEraseBkgnd::WindowProc); }

  std::optional<TLifeToken> m_controlLife;
};

// Makes the form of an image borderless and as large as the image, lets the image drag the form and keeps
// the form from erasing its background; the derived classes make the window layered.
class TsShapedFormMaker {
public:
  TsShapedFormMaker() = default;
  virtual ~TsShapedFormMaker();
  TsShapedFormMaker(const TsShapedFormMaker&) = delete;
  TsShapedFormMaker& operator=(const TsShapedFormMaker&) = delete;

  // Shapes the form the image lies on (through any parents) by the image. False, with nothing changed,
  // for a null image or one without a form. Fails the assertion "!IsAttached()" when attached already.
  bool Attach(TImage* image);
  bool IsAttached() const { return m_form && m_image; }
  // Prepares the form and pushes the settings again; nothing before Attach.
  void Reapply();
  // Turns moving the form by dragging the image on or off (once attached).
  void SetDraggable(bool on);

  virtual void Apply(TForm* form, TImage* image) = 0;
  virtual void Restore(TForm* form) = 0;
  // Borderless, image at its picture's size, client area the image's size. A form with Scaled set shows
  // "Scaled is not set false" and fails the assertion "m_form->Scaled == false".
  virtual void PrepareForm();
  virtual void SetColorKey(TColor color) = 0;
  virtual TColor GetColorKey() const = 0;

protected:
  // A custom drag delegate; none here, so Attach makes a TNormalDrag.
  virtual std::unique_ptr<TDragDelegate> CreateDragDelegate();

  TForm* m_form = nullptr;
  TImage* m_image = nullptr;
  std::unique_ptr<TDragDelegate> m_dragDelegate;
  std::unique_ptr<DoNotEraseBkgnd> m_eraseGuard;

private:
  void StartDragging();
};

// A form that paints itself, with its picture's key colour cut out and an optional whole-window alpha.
// Without SetLayeredWindowAttributes on the system there is no window maker and the window stays ordinary.
class TsLayeredFormMaker : public TsShapedFormMaker {
public:
  TsLayeredFormMaker();
  ~TsLayeredFormMaker() override;

  void SetUseColorKey(bool on);
  // Applies at once when attached.
  void SetUseAlpha(bool on);
  void SetAlpha(BYTE value);

  void Apply(TForm* form, TImage* image) override;
  void Restore(TForm* form) override;
  void SetColorKey(TColor color) override;
  // The key in use; clNone without a window maker.
  TColor GetColorKey() const override;

  // Null when the system lacks the function.
  const CsLayeredWindowMaker* WindowMaker() const { return m_windowMaker.get(); }

private:
  std::unique_ptr<CsLayeredWindowMaker> m_windowMaker;
};

// A form whose face is its image's bitmap, blended by the bitmap's own alpha (or colour-keyed), with an
// optional whole-window alpha. Without UpdateLayeredWindow on the system the window stays ordinary.
class TsPerPixelLayeredFormMaker : public TsShapedFormMaker {
public:
  TsPerPixelLayeredFormMaker();
  ~TsPerPixelLayeredFormMaker() override;

  void SetUseColorKey(bool on);
  // Applies at once when attached.
  void SetUseAlpha(bool on);
  void SetAlpha(BYTE value);
  // Applies at once when attached.
  void SetUsePerPixelAlpha(bool on);

  void Apply(TForm* form, TImage* image) override;
  void Restore(TForm* form) override;
  void SetColorKey(TColor color) override;
  TColor GetColorKey() const override;

  const CsPerPixelLayeredWindowMaker* WindowMaker() const { return m_windowMaker.get(); }

private:
  std::unique_ptr<CsPerPixelLayeredWindowMaker> m_windowMaker;
};
