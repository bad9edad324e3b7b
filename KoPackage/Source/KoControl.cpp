#include "KoControl.h"

#include "Published.h"
#include "SysUtils.h"

#include <vector>

// --- KoControl ---

KoControl::KoControl(TComponent* AOwner, bool clicksDisabled) : TWinControl(AOwner), FClicksDisabled(clicksDisabled)
{
  TControlStyle style = GetControlStyle();
  style.Include(csOpaque);
  SetControlStyle(style);
}

KoControl::~KoControl() = default;

void KoControl::SetShowMouseOver(bool value)
{
  if (value == FShowMouseOver)
    return;
  if (!value)
    CancelHover();
  FShowMouseOver = value;
}

void KoControl::SetClicksDisabled(bool value)
{
  if (value == FClicksDisabled)
    return;
  if (!value)
    CancelPress();
  FClicksDisabled = value;
}

void KoControl::SetEnabled(bool enabled)
{
  if (enabled != GetEnabled()) {
    if (enabled) {
      ShowRaised();
    } else {
      CancelPress();
      CancelHover();
      ShowDisabled();
    }
  }
  TWinControl::SetEnabled(enabled);
}

bool KoControl::HitTest(int x, int y)
{
  return x >= 0 && x < GetWidth() && y >= 0 && y < GetHeight();
}

void KoControl::WndProc(TMessage& Message)
{
  if (Message.Msg == WM_MOUSELEAVE) {
    FLeaveTracked = nullptr;  // the system tracks no more, whatever an override of WMMouseLeave does
    WMMouseLeave(Message);
    return;
  }
  if (Message.Msg == WM_GETOBJECT && AccRole(CHILDID_SELF) != 0 &&
      FAccessible.Answer(Message.WParam, Message.LParam, Message.Result))
    return;
  TWinControl::WndProc(Message);
}

void KoControl::SetAccessibleName(const std::string& name)
{
  if (name == FAccessibleName)
    return;
  FAccessibleName = name;
  NotifyAccessible(EVENT_OBJECT_NAMECHANGE);
}

std::wstring KoControl::AccName(long /*child*/) const
{
  return KoAccessibleText(FAccessibleName.empty() ? GetText() : FAccessibleName);
}

long KoControl::AccState(long /*child*/) const
{
  long state = KoWindowState(AccWindow());
  if (!GetEnabled())
    state = (state | STATE_SYSTEM_UNAVAILABLE) & ~STATE_SYSTEM_FOCUSABLE;
  if (IsPressed())
    state |= STATE_SYSTEM_PRESSED;
  if (IsHot())
    state |= STATE_SYSTEM_HOTTRACKED;
  return state;
}

void KoControl::TextChanged()
{
  TWinControl::TextChanged();
  if (FAccessibleName.empty())
    NotifyAccessible(EVENT_OBJECT_NAMECHANGE);
}

void KoControl::EnabledChanged()
{
  TWinControl::EnabledChanged();
  NotifyAccessible(EVENT_OBJECT_STATECHANGE);
}

void KoControl::SetFocusLook(bool value)
{
  if (value == FFocusLook)
    return;
  FFocusLook = value;
  // Only the focused control's look changes; a pressed or hot one keeps its look.
  if (!Focused() || IsPressed() || IsHot() || !GetEnabled())
    return;
  if (value)
    ShowFocused();
  else
    ShowRaised();
}

void KoControl::WMMouseLeave(TMessage& Message)
{
  Message.Result = 0;
  if (FMouseInside)
    DoMouseLeave();
}

void KoControl::TrackMouseLeave()
{
  if (!HandleAllocated())
    return;
  // Asking again on every move costs several round trips to the window server (the pointer's window, a
  // timer killed and set); while the system still tracks this window's leave, it will report it anyway.
  // It stops tracking only by sending the leave, which clears the note; a query, cheaper, covers a leave
  // that came from elsewhere while the system still tracks.
  const HWND window = GetHandle();
  if (FLeaveTracked == window)
    return;
  TRACKMOUSEEVENT current{};
  current.cbSize = sizeof(current);
  current.dwFlags = TME_QUERY;
  if (TrackMouseEvent(&current) && (current.dwFlags & TME_LEAVE) && current.hwndTrack == window) {
    FLeaveTracked = window;
    return;
  }
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = GetHandle();
  track.dwHoverTime = HOVER_DEFAULT;
  // Refused, it leaves the hot look until the next move over the control; there is nothing else to do.
  if (TrackMouseEvent(&track))
    FLeaveTracked = window;
}

void KoControl::HandleCreated()
{
  TWinControl::HandleCreated();
  if (!FMouseInside)
    return;
  // A new window knows nothing of the tracking the old one had. If the pointer has gone meanwhile, the
  // leave is reported the way the system reports it, as a posted message (not every system posts one
  // itself when asked to track a window the pointer is not over).
  POINT pointer{};
  const HWND window = GetHandle();
  const HWND under = GetCursorPos(&pointer) ? WindowFromPoint(pointer) : nullptr;
  if (under && (under == window || IsChild(window, under)))
    TrackMouseLeave();
  else
    PostMessageA(window, WM_MOUSELEAVE, 0, 0);
}

void KoControl::Press()
{
  if (!Focused() && GetTabStop() && CanFocus()) {
    // Taking the focus raises OnExit and OnEnter, whose handlers may free the control.
    const TLifeToken life(this);
    SetFocus();
    if (!life.Alive())
      return;
  }
  ShowSunken();
}

void KoControl::ShowReleased()
{
  if (IsHot() || FocusShown())
    ShowFocused();
  else
    ShowRaised();
}

void KoControl::CancelPress()
{
  if (IsPressed())
    ShowReleased();
  FMousePressed = false;
  FKeyPressed = false;
}

void KoControl::CancelHover()
{
  if (!FMouseInside)
    return;
  FMouseInside = false;
  if (!FMousePressed && !FocusShown() && FShowMouseOver)
    ShowRaised();
}

void KoControl::DoMouseEnter(bool leftButtonHeld)
{
  if (leftButtonHeld) {
    const TLifeToken life(this);
    Press();
    if (!life.Alive())
      return;
    FMousePressed = true;
  } else if (FShowMouseOver && !FocusShown()) {
    ShowFocused();
  }
  FMouseInside = true;
  if (CanRaiseEvents())
    OnMouseEnter(this);
}

void KoControl::DoMouseLeave()
{
  FMouseInside = false;
  if (FMousePressed) {
    FMousePressed = false;
    if (!FKeyPressed)
      ShowReleased();
    return;
  }
  if (!FocusShown() && FShowMouseOver)
    ShowRaised();
  if (CanRaiseEvents())
    OnMouseLeave(this);
}

void KoControl::MouseMove(TShiftState Shift, int X, int Y)
{
  if (FShowMouseOver || !FClicksDisabled) {
    TrackMouseLeave();
    const TLifeToken life(this);
    if (HitTest(X, Y)) {
      if (!FMouseInside)
        DoMouseEnter(Shift.Contains(ssLeft));
    } else if (FMouseInside) {
      DoMouseLeave();
    }
    if (!life.Alive())
      return;
  }
  TWinControl::MouseMove(Shift, X, Y);
}

void KoControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft && HitTest(X, Y) && !FClicksDisabled) {
    FMousePressed = true;
    if (!FKeyPressed) {
      const TLifeToken life(this);
      Press();
      if (!life.Alive())
        return;
    }
  }
  TWinControl::MouseDown(Button, Shift, X, Y);
}

void KoControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft && !FClicksDisabled) {
    if (!FKeyPressed && FMousePressed)
      ShowReleased();
    FMousePressed = false;
  }
  TWinControl::MouseUp(Button, Shift, X, Y);
}

void KoControl::KeyDown(WORD& Key, TShiftState Shift)
{
  if (!FClicksDisabled && IsPressKey(Key)) {
    FKeyPressed = true;
    if (!FMousePressed) {
      const TLifeToken life(this);
      Press();
      if (!life.Alive())
        return;
    }
  }
  TWinControl::KeyDown(Key, Shift);
}

void KoControl::KeyUp(WORD& Key, TShiftState Shift)
{
  if (!FClicksDisabled && IsPressKey(Key)) {
    if (!FMousePressed && FKeyPressed)
      ShowReleased();
    FKeyPressed = false;
  }
  TWinControl::KeyUp(Key, Shift);
}

void KoControl::DoEnter()
{
  if (!IsPressed() && !IsHot() && FocusShown())
    ShowFocused();
  TWinControl::DoEnter();
}

void KoControl::DoExit()
{
  // Disabling a focused control takes its focus away after it has shown its disabled look, which stays.
  if (GetEnabled()) {
    if (IsPressed()) {
      if (!FMousePressed) {
        ShowReleased();
        FKeyPressed = false;
      }
    } else if (!IsHot()) {
      ShowRaised();
    }
  }
  TWinControl::DoExit();
}

// --- KoCustomControl ---

KoCustomControl::KoCustomControl(TComponent* AOwner, bool clicksDisabled, int stateCount)
    : KoControl(AOwner, clicksDisabled), FPictures(std::make_unique<orvo::TBmpLEDCtrl>(this, this, stateCount))
{
  FPictures->GetBitmap(0)->FreeImage();
  FPrevPictureChange = FPictures->GetBitmap(0)->OnChange;
  const TNotifyEvent changed(this, &KoCustomControl::PictureChanged);
  for (int i = 0; i < stateCount; ++i)
    FPictures->GetBitmap(i)->OnChange = changed;
}

KoCustomControl::~KoCustomControl()
{
  const TNotifyEvent changed(this, &KoCustomControl::PictureChanged);
  for (int i = 0; i < GetStateCount(); ++i) {
    TBitmap* picture = FPictures->GetBitmap(i);
    if (picture->OnChange == changed)
      picture->OnChange = FPrevPictureChange;
  }
  FPictures.reset();
}

void KoCustomControl::ShowBitmap(int index)
{
  FRequestedState = index;
  // A subclass's substitutes may themselves be empty; after as many steps as there are states it can only
  // be going round in a circle, and picture 0 ends it.
  for (int steps = 0; index != 0 && IsStateEmpty(index); ++steps)
    index = steps < GetStateCount() ? Substitute(index) : 0;
  FPictures->SetState(index);
}

int KoCustomControl::Substitute(int /*index*/)
{
  return 0;
}

bool KoCustomControl::IsStateEmpty(int index) const
{
  const TBitmap* picture = GetStatePicture(index);
  return picture->GetWidth() == 0 || picture->GetHeight() == 0;
}

void KoCustomControl::SetStatePicture(TBitmap* bitmap, int index)
{
  // No bitmap empties the state.
  if (!bitmap) {
    GetStatePicture(index)->FreeImage();
    return;
  }
  if (index == 0)
    FPictures->SetTransparentColor(bitmap->GetTransparentColor());
  FPictures->SetBitmap(bitmap, index);
}

bool KoCustomControl::GetTransparent() const
{
  return FPictures->GetTransparent();
}

void KoCustomControl::SetTransparent(bool transparent)
{
  if (transparent == GetTransparent())
    return;
  FPictures->SetTransparent(transparent);
  UpdateRegion();
}

TColor KoCustomControl::GetTransparentColor() const
{
  return FPictures->GetTransparentColor();
}

void KoCustomControl::SetTransparentColor(TColor color)
{
  FPictures->SetTransparentColor(orvo::ColorToRgbPart(ColorToRGB(color)));
  UpdateRegion();
}

bool KoCustomControl::HitTest(int x, int y)
{
  return PtInRegion(FRegion.Handle(), x, y) != FALSE;
}

void KoCustomControl::Repaint()
{
  RedrawPictures();
  KoControl::Repaint();
}

void KoCustomControl::WndProc(TMessage& Message)
{
  // The picture covers the whole control; erasing first would only flicker.
  if (Message.Msg == WM_ERASEBKGND && !IsDesigning()) {
    Message.Result = 1;
    return;
  }
  KoControl::WndProc(Message);
}

int KoCustomControl::IndexOfPicture(const TObject* bitmap) const
{
  const int count = GetStateCount();
  for (int i = 0; i < count; ++i) {
    if (GetStatePicture(i) == bitmap)
      return i;
  }
  return count;
}

void KoCustomControl::PictureChanged(TObject* Sender)
{
  const int index = IndexOfPicture(Sender);
  if (index != 0) {
    // A state that was showing a stand-in shows its own picture now, or a stand-in again.
    if (index == FRequestedState)
      ShowBitmap(index);
    // The holder's own handler draws the bare picture when it is the one on show.
    FPrevPictureChange(Sender);
    if (index == GetShownState())
      PictureRedrawn();
    return;
  }
  TBitmap* picture = GetStatePicture(0);
  const int width = picture->GetWidth();
  const int height = picture->GetHeight();
  if (!IsStateEmpty(0) && width == FPictures->GetWidth() && height == FPictures->GetHeight() &&
      width == GetWidth() && height == GetHeight()) {
    // A new look at the size the control has (a skin reloaded over the next frame): the picture covers the
    // whole control, so drawing it where it shows is the whole repaint, and the shape changes only with the
    // key pixels.
    {
      const auto composer = FPictures->Compose();
      if (GetShownState() == 0) {
        FPrevPictureChange(Sender);
        PictureRedrawn();
      }
    }
    UpdateRegionIfChanged();
    return;
  }
  FPictures->Resize(width, height);
  Repaint();
  FPrevPictureChange(Sender);
  if (GetShownState() == 0)
    PictureRedrawn();
  if (!IsStateEmpty(0))
    SetBounds(GetLeft(), GetTop(), width, height);
  UpdateRegion();
}

bool KoCustomControl::CanResize(int& NewWidth, int& NewHeight)
{
  if (IsStateEmpty(0))
    return KoControl::CanResize(NewWidth, NewHeight);
  NewWidth = FPictures->GetWidth();
  NewHeight = FPictures->GetHeight();
  return true;
}

void KoCustomControl::Resize()
{
  UpdateRegion();
  KoControl::Resize();
}

void KoCustomControl::HandleCreated()
{
  KoControl::HandleCreated();
  if (!IsDesigning())
    ApplyWindowRegion();
}

bool KoCustomControl::HasShape() const
{
  return GetTransparent() && !IsStateEmpty(0);
}

void KoCustomControl::BuildRegion()
{
  if (!GetTransparent()) {
    FRegion.SetRect(0, 0, GetWidth(), GetHeight());
  } else if (IsStateEmpty(0)) {
    FRegion.SetRect(0, 0, 0, 0);
  } else {
    TBitmap* picture = GetStatePicture(0);
    if (orvo::WinRegion::ScansInPlace(*picture)) {
      FRegion.FromBitmap(*picture, GetTransparentColor());
    } else {
      // The scan converts the picture it reads; the state picture itself stays as it is.
      TBitmap copy;
      copy.Assign(picture);
      FRegion.FromBitmap(copy, GetTransparentColor());
    }
  }
}

void KoCustomControl::UpdateRegion()
{
  BuildRegion();
  if (!IsDesigning())
    ApplyWindowRegion();
}

void KoCustomControl::UpdateRegionIfChanged()
{
  const TRegionHandle before = FRegion.Duplicate();
  BuildRegion();
  if (!IsDesigning() && !EqualRgn(before.Get(), FRegion.Handle()))
    ApplyWindowRegion();
}

void KoCustomControl::ApplyWindowRegion()
{
  if (!HandleAllocated())
    return;
  // Setting a shape redraws the whole window and, under some systems, talks to the display server; a
  // picture with the same key pixels (a look reloaded, the next frame of a fade) keeps the shape it has.
  const HWND window = GetHandle();
  const TRegionHandle current(CreateRectRgn(0, 0, 0, 0));
  // Without a region to read into, the window's shape is unknown and is set as if it differed.
  const bool known = current.Get() != nullptr;
  const bool shaped = known && GetWindowRgn(window, current.Get()) != ERROR;
  if (HasShape()) {
    if (shaped && EqualRgn(current.Get(), FRegion.Handle()))
      return;
    // A shape the system refuses leaves the window as it was; the active area follows the picture anyway.
    orvo::WinRegion::ApplyToWindow(window, FRegion, true);
  } else if (shaped || !known) {
    SetWindowRgn(window, nullptr, TRUE);
  }
}

// --- companion objects ---

bool LoadStatePictures(KoCtrlAppearance* appearance, const std::string& folder, const std::string* names, int count,
                       int base)
{
  std::vector<std::unique_ptr<TBitmap>> bitmaps;
  for (int i = 0; i < count; ++i)
    bitmaps.push_back(std::make_unique<TBitmap>());
  std::string path = folder;
  const char last = LastChar(path);
  if (last != '\\' && last != ':')
    path += '\\';
  for (int i = 0; i < count; ++i) {
    if (!names[i].empty())
      bitmaps[static_cast<size_t>(i)]->LoadFromFile(path + names[i]);
  }
  for (int i = 0; i < count; ++i) {
    if (!names[i].empty())
      appearance->SetStatePicture(bitmaps[static_cast<size_t>(i)].get(), base + i);
  }
  return true;
}

bool KoFourStateAppearance::LoadBitmaps(const std::string& folder, const std::string& raised,
                                        const std::string& sunken, const std::string& focused,
                                        const std::string& disabled)
{
  const std::string names[] = {raised, sunken, focused, disabled};
  return LoadStatePictures(this, folder, names, 4, FBaseIndex);
}

void KoFourStateAppearance::AssignTo(TPersistent* destination)
{
  auto* target = dynamic_cast<KoFourStateAppearance*>(destination);
  if (!target) {
    KoCtrlAppearance::AssignTo(destination);
    return;
  }
  target->SetRaisedBmp(GetRaisedBmp());
  target->SetSunkenBmp(GetSunkenBmp());
  target->SetFocusedBmp(GetFocusedBmp());
  target->SetDisabledBmp(GetDisabledBmp());
}

void KoCtrlFontColor::Changed()
{
  OnChange(this);
}

void KoCtrlFontColor::SetColor(TColor& field, TColor value)
{
  if (field == value)
    return;
  field = value;
  Changed();
}

void KoTwoStateFontColor::AssignTo(TPersistent* destination)
{
  auto* target = dynamic_cast<KoTwoStateFontColor*>(destination);
  if (!target) {
    KoCtrlFontColor::AssignTo(destination);
    return;
  }
  target->FFocused = FFocused;
  target->FDisabled = FDisabled;
  target->Changed();
}

void KoThreeStateFontColor::AssignTo(TPersistent* destination)
{
  auto* target = dynamic_cast<KoThreeStateFontColor*>(destination);
  if (!target) {
    KoCtrlFontColor::AssignTo(destination);
    return;
  }
  target->FSunken = FSunken;
  target->FFocused = FFocused;
  target->FDisabled = FDisabled;
  target->Changed();
}

// --- published properties ---

namespace {

// Position and size are the framework's; published here so that a control's text keeps where it sits.
const auto kControlTable = PublishClass<KoControl>()
                               .Property("Left", &KoControl::GetLeft, &KoControl::SetLeft, 0)
                               .Property("Top", &KoControl::GetTop, &KoControl::SetTop, 0)
                               .Property("Width", &KoControl::GetWidth, &KoControl::SetWidth, 0)
                               .Property("Height", &KoControl::GetHeight, &KoControl::SetHeight, 0)
                               .Event("OnMouseEnter", &KoControl::OnMouseEnter)
                               .Event("OnMouseLeave", &KoControl::OnMouseLeave);

const auto kCustomControlTable =
    PublishClass<KoCustomControl>()
        .Color("TransparentColor", &KoCustomControl::GetTransparentColor, &KoCustomControl::SetTransparentColor, 0)
        .Property("Transparent", &KoCustomControl::GetTransparent, &KoCustomControl::SetTransparent, false);

// Pictures are kept in text as their bitmap data; a program usually loads them from its skin files instead.
const auto kFourStateTable =
    PublishClass<KoFourStateAppearance>()
        .Picture("RaisedBmp", &KoFourStateAppearance::GetRaisedBmp, &KoFourStateAppearance::SetRaisedBmp)
        .Picture("SunkenBmp", &KoFourStateAppearance::GetSunkenBmp, &KoFourStateAppearance::SetSunkenBmp)
        .Picture("FocusedBmp", &KoFourStateAppearance::GetFocusedBmp, &KoFourStateAppearance::SetFocusedBmp)
        .Picture("DisabledBmp", &KoFourStateAppearance::GetDisabledBmp, &KoFourStateAppearance::SetDisabledBmp);

const auto kTwoStateTable =
    PublishClass<KoTwoStateFontColor>()
        .Color("Focused", &KoTwoStateFontColor::GetFocused, &KoTwoStateFontColor::SetFocused, -1)
        .Color("Disabled", &KoTwoStateFontColor::GetDisabled, &KoTwoStateFontColor::SetDisabled, -1);

const auto kThreeStateTable =
    PublishClass<KoThreeStateFontColor>()
        .Color("Sunken", &KoThreeStateFontColor::GetSunken, &KoThreeStateFontColor::SetSunken, -1)
        .Color("Focused", &KoThreeStateFontColor::GetFocused, &KoThreeStateFontColor::SetFocused, -1)
        .Color("Disabled", &KoThreeStateFontColor::GetDisabled, &KoThreeStateFontColor::SetDisabled, -1);

} // namespace
