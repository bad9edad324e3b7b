#pragma once
// A slider of two pictures: the bar, a brick (normal, focused and disabled pictures, never pressed), and an
// indicator that the user drags along one axis. The position is a pixel offset from 0 to Length, measured
// from Origin, the indicator's centre at position 0. A drag reports its start, each step and its end; each
// step's position and each placement of the indicator may be adjusted by the application.
#include "KoBrick.h"

#include "ExtCtrls.h"
#include "Form.h"

#include <memory>

class KoBar;

// A step's new position (`disp`, which the handler may change) and whether it is at or beyond the old one.
using TKoBarScrollEvent = TClosure<void(TObject* Sender, int& disp, bool direction)>;
// Where the indicator is about to go along the axis (its left or top edge); the handler may change it.
using TKoBarIndicateEvent = TClosure<void(TObject* Sender, int& disp)>;

// The indicator's centre at position 0, in the bar's client coordinates. Writing it moves the indicator.
class KoBarOrigin : public TPersistent {
public:
  explicit KoBarOrigin(KoBar* bar) : FBar(bar) {}
  KoBarOrigin(const KoBarOrigin&) = delete;
  KoBarOrigin& operator=(const KoBarOrigin&) = delete;

  int GetX() const { return FX; }
  void SetX(int x);
  int GetY() const { return FY; }
  void SetY(int y);

protected:
  void AssignTo(TPersistent* destination) override;

private:
  KoBar* FBar;
  int FX = 0;
  int FY = 0;
};

class KoBar : public KoBrick {
public:
  explicit KoBar(TComponent* AOwner);
  ~KoBar() override;

  // Puts the indicator where Origin, ScrollPos and OnIndicate say.
  void LocateIndicator();

  // The largest position a drag produces. Positions set by a program are not checked against it; the next
  // drag step brings them back into range.
  int GetLength() const { return FLength; }
  void SetLength(int length);
  int GetScrollPos() const { return FScrollPos; }
  // Raises no OnScroll (only OnIndicate, as every placement does).
  void SetScrollPos(int scrollPos);
  TScrollBarKind GetKind() const { return FKind; }
  void SetKind(TScrollBarKind kind);
  KoBarOrigin* GetOrigin() const { return FOrigin.get(); }
  // Copies `value`'s point.
  void SetOrigin(KoBarOrigin* value);
  // The indicator's own picture: drawing into it or loading it changes the indicator. Setting one copies
  // it and centres the indicator on its place again.
  TBitmap* GetIndicator() const;
  void SetIndicator(TBitmap* bitmap);
  // The control that shows the indicator.
  TImage* IndicatorImage() const { return FIndicatorImage; }
  bool IsDraging() const { return FDragging; }

  void Repaint() override;
  void WndProc(TMessage& Message) override;

  TNotifyEvent OnStartScroll;
  TNotifyEvent OnEndScroll;
  TKoBarScrollEvent OnScroll;
  TKoBarIndicateEvent OnIndicate;

  // Puts the class on the palette page "KoComponents".
  static void Register();

protected:
  // Raise the events of the same name.
  virtual void StartScroll();
  virtual void Scroll(int& disp, bool direction);
  virtual void EndScroll();
  virtual void Indicate(int& disp);

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

  // The indicator's mouse input, passed on to the bar in the bar's client coordinates.
  void OnImgMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void OnImgMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void OnImgMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);

private:
  // Ends a drag whose button release went elsewhere with the capture.
  void EndLostDrag();

  TImage* FIndicatorImage = nullptr;
  int FLength = 20;
  int FScrollPos = 0;
  bool FDragging = false;
  bool FDragLost = false;
  int FLastX = 0;
  int FLastY = 0;
  TScrollBarKind FKind = sbHorizontal;
  std::unique_ptr<KoBarOrigin> FOrigin;
};
