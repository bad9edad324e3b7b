#pragma once
// The skinned control base. KoControl turns pointer, keys, focus and enable into one of four looks
// (raised, sunken, focused, disabled); KoCustomControl shows a picture per state for them, takes its size
// from its first picture and, when transparent, its shape and mouse-sensitive area from that picture's
// opaque pixels. The companion objects below reach a control's pictures (appearances) and hold its caption
// colours per look (font colour sets).
#include "KoAccessible.h"

#include "Component/TBmpLEDCtrl.h"
#include "Graphics/WinRegion.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "Classes.h"
#include "Colors.h"
#include "Control.h"
#include "Messages.h"
#include "WinControl.h"

#include <windows.h>

#include <memory>
#include <string>

class KoControl : public TWinControl, public KoAccessibleSource {
public:
  KoControl(TComponent* AOwner, bool clicksDisabled);
  ~KoControl() override;

  // Show the focused picture while the pointer is over the control.
  bool GetShowMouseOver() const { return FShowMouseOver; }
  void SetShowMouseOver(bool value);
  // Mouse presses and Space or Return do not press the control (clicks still come from the framework).
  bool GetClicksDisabled() const { return FClicksDisabled; }
  void SetClicksDisabled(bool value);
  // The focused picture shows while the control has the focus. A form may turn it off until its user
  // takes up the keyboard, so that the pointer's user sees no focus they did not ask for.
  bool GetFocusLook() const { return FFocusLook; }
  void SetFocusLook(bool value);

  void SetEnabled(bool enabled) override;

  // The pointer is inside the active area; the left button went down there and is held; Space or Return
  // went down on the control and is held.
  bool MouseInside() const { return FMouseInside; }
  bool MousePressed() const { return FMousePressed; }
  bool KeyPressed() const { return FKeyPressed; }

  virtual bool GetChecked() const { return false; }
  virtual void SetChecked(bool /*checked*/) {}
  virtual void ShowRaised() {}
  virtual void ShowDisabled() { ShowRaised(); }
  virtual void ShowFocused() { ShowRaised(); }
  virtual void ShowSunken() { ShowRaised(); }
  // Whether a client point lies in the active area.
  virtual bool HitTest(int x, int y);

  void WndProc(TMessage& Message) override;

  // What a screen reader calls the control; empty for its caption. A control whose role is 0 leaves its
  // accessible object to the system.
  const std::string& GetAccessibleName() const { return FAccessibleName; }
  void SetAccessibleName(const std::string& name);
  // The control's accessible object, with a reference for the caller.
  IDispatch* AccessibleObject() { return FAccessible.Object(); }
  // The window when it exists; asking does not make one.
  HWND AccWindow() const override { return HandleAllocated() ? const_cast<KoControl*>(this)->GetHandle() : nullptr; }
  std::wstring AccName(long child) const override;
  long AccRole(long /*child*/) const override { return 0; }
  long AccState(long child) const override;

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

protected:
  virtual void WMMouseLeave(TMessage& Message);

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  void HandleCreated() override;
  void TextChanged() override;
  void EnabledChanged() override;
  // Tells screen readers of a change of the control (EVENT_OBJECT_NAMECHANGE and the like).
  void NotifyAccessible(DWORD event) const { FAccessible.Notify(event); }

  bool IsPressed() const { return FKeyPressed || FMousePressed; }
  bool IsHot() const { return FShowMouseOver && FMouseInside; }
  void Press();
  void ShowReleased();
  void CancelPress();
  void CancelHover();
  void DoMouseEnter(bool leftButtonHeld);
  void DoMouseLeave();
  // The control has the focus, and shows it.
  bool FocusShown() const { return FFocusLook && Focused(); }

private:
  // One leave notification for the window, once the pointer has left it.
  void TrackMouseLeave();
  static bool IsPressKey(WORD key) { return key == VK_SPACE || key == VK_RETURN; }

  // The window whose leave the system was last asked to report, until the leave comes.
  HWND FLeaveTracked = nullptr;
  bool FShowMouseOver = true;
  bool FFocusLook = true;
  bool FMouseInside = false;
  bool FKeyPressed = false;
  bool FMousePressed = false;
  bool FClicksDisabled;
  std::string FAccessibleName;
  KoAccessibleHost FAccessible{this};
};

class KoCustomControl : public KoControl {
public:
  KoCustomControl(TComponent* AOwner, bool clicksDisabled, int stateCount);
  ~KoCustomControl() override;

  // Shows the picture of a state, or of the state that stands in for it while it is empty.
  virtual void ShowBitmap(int index);
  // The state whose picture stands in for an empty one.
  virtual int Substitute(int index);
  // The display leaves the transparent colour out, and the control takes the shape of picture 0's other
  // pixels.
  bool GetTransparent() const;
  virtual void SetTransparent(bool transparent);
  // A plain RGB value; system colours are resolved when set.
  TColor GetTransparentColor() const;
  virtual void SetTransparentColor(TColor color);

  void ShowRaised() override { ShowBitmap(0); }
  bool HitTest(int x, int y) override;
  void Repaint() override;
  void WndProc(TMessage& Message) override;

  // The state last asked of ShowBitmap, before substitution; the state on show after it.
  int GetRequestedState() const { return FRequestedState; }
  int GetShownState() const { return FPictures->GetState(); }
  int GetStateCount() const { return FPictures->StateCount(); }
  bool IsStateEmpty(int index) const;
  // The live picture of a state: drawing into it or loading it changes the control.
  TBitmap* GetStatePicture(int index) const { return FPictures->GetBitmap(index); }
  // Copies `bitmap` into a state (the caller keeps its bitmap). For state 0 the control's transparent
  // colour becomes the bitmap's own first.
  void SetStatePicture(TBitmap* bitmap, int index);
  // The surface of the picture display, for drawing over the picture on show.
  TCanvas* GetCanvas() const { return FPictures->GetCanvas(); }
  // Draws the picture on show again (covering whatever was drawn over it) and repaints the display.
  void RedrawPictures() { FPictures->Redraw(); }
  orvo::TBmpLEDCtrl* Pictures() const { return FPictures.get(); }

  // The active area, and the window's shape when transparent; built from picture 0.
  void UpdateRegion();
  void BuildRegion();
  HRGN ActiveArea() const { return FRegion.Handle(); }
  void PictureChanged(TObject* Sender);

protected:
  bool CanResize(int& NewWidth, int& NewHeight) override;
  void Resize() override;
  void HandleCreated() override;
  // The picture holder has just drawn the picture on show again because it was replaced: whatever the
  // control draws over it goes on again here.
  virtual void PictureRedrawn() {}

private:
  int IndexOfPicture(const TObject* bitmap) const;
  bool HasShape() const;
  void ApplyWindowRegion();
  // Builds the region again and gives the window its shape only when the region differs from before.
  void UpdateRegionIfChanged();

  std::unique_ptr<orvo::TBmpLEDCtrl> FPictures;
  int FRequestedState = 0;
  orvo::WinRegion FRegion;
  TNotifyEvent FPrevPictureChange;
};

// --- companion objects ---

class KoCtrlAppearance;

// Loads a group of state pictures from Windows bitmap files: names[i] (none when empty) into state
// base + i of the appearance's control. Every named file is read before the first picture is replaced, so
// a file that cannot be read changes nothing. `folder` gets a "\" unless it ends in "\" or ":"; an empty
// folder raises ERangeError.
bool LoadStatePictures(KoCtrlAppearance* appearance, const std::string& folder, const std::string* names, int count,
                       int base);

// Reaches the state pictures of a control it does not own.
class KoCtrlAppearance : public TPersistent {
public:
  explicit KoCtrlAppearance(KoCustomControl* control) : FControl(control) {}
  KoCtrlAppearance(const KoCtrlAppearance&) = delete;
  KoCtrlAppearance& operator=(const KoCtrlAppearance&) = delete;

  KoCustomControl* Control() const { return FControl; }

protected:
  friend bool LoadStatePictures(KoCtrlAppearance*, const std::string&, const std::string*, int, int);

  TBitmap* GetStatePicture(int index) const { return FControl->GetStatePicture(index); }
  void SetStatePicture(TBitmap* bitmap, int index) { FControl->SetStatePicture(bitmap, index); }

  KoCustomControl* FControl;
};

// Four pictures from state `baseIndex` on. Reading one gives the control's own bitmap; writing one copies.
class KoFourStateAppearance : public KoCtrlAppearance {
public:
  KoFourStateAppearance(KoCustomControl* control, int baseIndex) : KoCtrlAppearance(control), FBaseIndex(baseIndex) {}

  TBitmap* GetRaisedBmp() const { return GetStatePicture(FBaseIndex); }
  void SetRaisedBmp(TBitmap* bitmap) { SetStatePicture(bitmap, FBaseIndex); }
  TBitmap* GetSunkenBmp() const { return GetStatePicture(FBaseIndex + 1); }
  void SetSunkenBmp(TBitmap* bitmap) { SetStatePicture(bitmap, FBaseIndex + 1); }
  TBitmap* GetFocusedBmp() const { return GetStatePicture(FBaseIndex + 2); }
  void SetFocusedBmp(TBitmap* bitmap) { SetStatePicture(bitmap, FBaseIndex + 2); }
  TBitmap* GetDisabledBmp() const { return GetStatePicture(FBaseIndex + 3); }
  void SetDisabledBmp(TBitmap* bitmap) { SetStatePicture(bitmap, FBaseIndex + 3); }

  bool LoadBitmaps(const std::string& folder, const std::string& raised, const std::string& sunken,
                   const std::string& focused, const std::string& disabled);

protected:
  void AssignTo(TPersistent* destination) override;

private:
  int FBaseIndex;
};

// Caption colours per look; -1 stands for the look's usual colour.
class KoCtrlFontColor : public TPersistent {
public:
  KoCtrlFontColor() = default;
  ~KoCtrlFontColor() override { OnChange = nullptr; }
  KoCtrlFontColor(const KoCtrlFontColor&) = delete;
  KoCtrlFontColor& operator=(const KoCtrlFontColor&) = delete;

  TNotifyEvent OnChange;
  void Changed();

protected:
  // Stores a different value and tells OnChange; an equal one changes nothing.
  void SetColor(TColor& field, TColor value);
};

// Focused: -1 draws in the font's colour. Disabled: -1 draws in the system's grey-text colour.
class KoTwoStateFontColor : public KoCtrlFontColor {
public:
  TColor GetFocused() const { return FFocused; }
  void SetFocused(TColor color) { SetColor(FFocused, color); }
  TColor GetDisabled() const { return FDisabled; }
  void SetDisabled(TColor color) { SetColor(FDisabled, color); }

protected:
  void AssignTo(TPersistent* destination) override;

private:
  TColor FFocused = -1;
  TColor FDisabled = -1;
};

// Sunken and Focused: -1 draws in the font's colour. Disabled: -1 draws in the system's grey-text colour.
class KoThreeStateFontColor : public KoCtrlFontColor {
public:
  TColor GetSunken() const { return FSunken; }
  void SetSunken(TColor color) { SetColor(FSunken, color); }
  TColor GetFocused() const { return FFocused; }
  void SetFocused(TColor color) { SetColor(FFocused, color); }
  TColor GetDisabled() const { return FDisabled; }
  void SetDisabled(TColor color) { SetColor(FDisabled, color); }

protected:
  void AssignTo(TPersistent* destination) override;

private:
  TColor FSunken = -1;
  TColor FFocused = -1;
  TColor FDisabled = -1;
};
