#include "KoBar.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"

#include <windows.h>

// --- KoBarOrigin ---

void KoBarOrigin::SetX(int x)
{
  FX = x;
  FBar->LocateIndicator();
}

void KoBarOrigin::SetY(int y)
{
  FY = y;
  FBar->LocateIndicator();
}

void KoBarOrigin::AssignTo(TPersistent* destination)
{
  auto* target = dynamic_cast<KoBarOrigin*>(destination);
  if (!target) {
    TPersistent::AssignTo(destination);
    return;
  }
  target->FX = FX;
  target->FY = FY;
  target->FBar->LocateIndicator();
}

// --- KoBar ---

KoBar::KoBar(TComponent* AOwner) : KoBrick(AOwner)
{
  FIndicatorImage = new TImage(this);
  FIndicatorImage->SetParent(this);
  FIndicatorImage->SetAutoSize(true);
  FIndicatorImage->BringToFront();
  FIndicatorImage->OnMouseDown = TMouseEvent(this, &KoBar::OnImgMouseDown);
  FIndicatorImage->OnMouseUp = TMouseEvent(this, &KoBar::OnImgMouseUp);
  FIndicatorImage->OnMouseMove = TMouseMoveEvent(this, &KoBar::OnImgMouseMove);
  FOrigin = std::make_unique<KoBarOrigin>(this);
}

// The indicator image goes with the bar's other components.
KoBar::~KoBar()
{
  FOrigin.reset();
}

void KoBar::LocateIndicator()
{
  const TBitmap* indicator = GetIndicator();
  int x = FOrigin->GetX() - indicator->GetWidth() / 2;
  int y = FOrigin->GetY() - indicator->GetHeight() / 2;
  const TLifeToken life(this);
  if (FKind == sbVertical) {
    y += FScrollPos;
    Indicate(y);
  } else {
    x += FScrollPos;
    Indicate(x);
  }
  if (!life.Alive())
    return;
  // A drag moves the indicator a pixel at a time: its old and new places are painted now, at a small part
  // of what the system's paint of them costs.
  FIndicatorImage->MoveNow(x, y);
}

void KoBar::SetLength(int length)
{
  FLength = length;
  LocateIndicator();
}

void KoBar::SetScrollPos(int scrollPos)
{
  FScrollPos = scrollPos;
  LocateIndicator();
}

void KoBar::SetKind(TScrollBarKind kind)
{
  FKind = kind;
  LocateIndicator();
}

void KoBar::SetOrigin(KoBarOrigin* value)
{
  FOrigin->Assign(value);
}

TBitmap* KoBar::GetIndicator() const
{
  return FIndicatorImage->GetPicture()->GetBitmap();
}

void KoBar::SetIndicator(TBitmap* bitmap)
{
  // No bitmap empties the indicator.
  if (bitmap)
    GetIndicator()->Assign(bitmap);
  else
    GetIndicator()->FreeImage();
  LocateIndicator();
}

void KoBar::Repaint()
{
  FIndicatorImage->Repaint();
  KoBrick::Repaint();
}

void KoBar::StartScroll()
{
  if (CanRaiseEvents())
    OnStartScroll(this);
}

void KoBar::Scroll(int& disp, bool direction)
{
  if (CanRaiseEvents())
    OnScroll(this, disp, direction);
}

void KoBar::EndScroll()
{
  if (CanRaiseEvents())
    OnEndScroll(this);
}

void KoBar::Indicate(int& disp)
{
  if (CanRaiseEvents())
    OnIndicate(this, disp);
}

void KoBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  const TLifeToken life(this);
  if (FDragLost) {
    EndLostDrag();
    if (!life.Alive())
      return;
  }
  if (Button == mbLeft && HitTest(X, Y)) {
    FLastX = X;
    FLastY = Y;
    FDragging = true;
    StartScroll();
    if (!life.Alive())
      return;
  }
  KoBrick::MouseDown(Button, Shift, X, Y);
}

void KoBar::MouseMove(TShiftState Shift, int X, int Y)
{
  const TLifeToken life(this);
  if (FDragLost) {
    EndLostDrag();
    if (!life.Alive())
      return;
  } else if (FDragging) {
    // Relative: each step adds the pointer's travel since the last one, also when the position is held at
    // an end, so moving back reverses it at once.
    int pos = FScrollPos + (FKind == sbVertical ? Y - FLastY : X - FLastX);
    if (pos > FLength)
      pos = FLength;
    if (pos < 0)
      pos = 0;
    const bool direction = pos >= FScrollPos;
    Scroll(pos, direction);
    if (!life.Alive())
      return;
    FScrollPos = pos;
    LocateIndicator();
    if (!life.Alive())
      return;
    FLastX = X;
    FLastY = Y;
  }
  KoBrick::MouseMove(Shift, X, Y);
}

void KoBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (FDragging) {
    FDragging = false;
    FDragLost = false;
    const TLifeToken life(this);
    EndScroll();
    if (!life.Alive())
      return;
  }
  KoBrick::MouseUp(Button, Shift, X, Y);
}

void KoBar::EndLostDrag()
{
  FDragging = false;
  FDragLost = false;
  EndScroll();
}

void KoBar::OnImgMouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState Shift, int X, int Y)
{
  MouseDown(Button, Shift, X + FIndicatorImage->GetLeft(), Y + FIndicatorImage->GetTop());
}

void KoBar::OnImgMouseUp(TObject* /*Sender*/, TMouseButton Button, TShiftState Shift, int X, int Y)
{
  MouseUp(Button, Shift, X + FIndicatorImage->GetLeft(), Y + FIndicatorImage->GetTop());
}

void KoBar::OnImgMouseMove(TObject* /*Sender*/, TShiftState Shift, int X, int Y)
{
  MouseMove(Shift, X + FIndicatorImage->GetLeft(), Y + FIndicatorImage->GetTop());
}

void KoBar::WndProc(TMessage& Message)
{
  // Taken away (by another window, a modal loop, disabling), the capture takes the button's release with
  // it, and the next move over the bar would go on dragging with no button held: the drag ends at the
  // bar's next mouse message instead. The bar's own release also ends the capture, just before its
  // MouseUp, which ends the drag as usual.
  if (Message.Msg == WM_CAPTURECHANGED && FDragging && reinterpret_cast<HWND>(Message.LParam) != GetHandle())
    FDragLost = true;
  KoBrick::WndProc(Message);
}

void KoBar::Register()
{
  RegisterOnPalette("KoComponents", {TCreatableClass::Of<KoBar>()});
}

namespace {

// Length's streaming default is the constructor's value, so that every length, 0 included, reads back
// as it was written.
const auto kBarTable = PublishClass<KoBar>()
                           .Picture("Indicator", &KoBar::GetIndicator, &KoBar::SetIndicator)
                           .Property("Length", &KoBar::GetLength, &KoBar::SetLength, 20)
                           .Object("Origin", &KoBar::GetOrigin, &KoBar::SetOrigin)
                           .Property("ScrollPos", &KoBar::GetScrollPos, &KoBar::SetScrollPos, 0)
                           .Property("Kind", &KoBar::GetKind, &KoBar::SetKind, sbHorizontal)
                           .Event("OnStartScroll", &KoBar::OnStartScroll)
                           .Event("OnEndScroll", &KoBar::OnEndScroll)
                           .Event("OnScroll", &KoBar::OnScroll)
                           .Event("OnIndicate", &KoBar::OnIndicate);

const auto kOriginTable = PublishClass<KoBarOrigin>()
                              .Property("X", &KoBarOrigin::GetX, &KoBarOrigin::SetX, 0)
                              .Property("Y", &KoBarOrigin::GetY, &KoBarOrigin::SetY, 0);

} // namespace
