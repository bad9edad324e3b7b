#include "Control.h"

#include "Assertion.h"
#include "WinControl.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Never destroyed: controls of the application's forms go at exit, after the statics made later than
// the application object.
std::vector<TControlCanvas*>& CanvasesHoldingDCs()
{
  static std::vector<TControlCanvas*>& canvases = *new std::vector<TControlCanvas*>;
  return canvases;
}

} // namespace

namespace {

void DestroyMouse()
{
  Mouse.DestroyMade();
}

TMouse* MakeMouse()
{
  auto* mouse = new TMouse();
  std::atexit(&DestroyMouse);
  return mouse;
}

} // namespace

TGlobalObject<TMouse> Mouse(&MakeMouse);

TShiftState KeysToShiftState(WPARAM keys)
{
  TShiftState shift;
  if (keys & MK_SHIFT)
    shift.Include(ssShift);
  if (keys & MK_CONTROL)
    shift.Include(ssCtrl);
  if (keys & MK_LBUTTON)
    shift.Include(ssLeft);
  if (keys & MK_RBUTTON)
    shift.Include(ssRight);
  if (keys & MK_MBUTTON)
    shift.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0)
    shift.Include(ssAlt);
  return shift;
}

TShiftState KeyboardShiftState()
{
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) < 0)
    shift.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0)
    shift.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0)
    shift.Include(ssAlt);
  return shift;
}

// --- TControlCanvas ---

TControlCanvas::TControlCanvas(TControl* control) : FControl(control) {}

TControlCanvas::~TControlCanvas()
{
  FreeHandle();
}

void TControlCanvas::FreeHandle()
{
  if (HandleAllocated())
    SetHandle(nullptr);
  if (FWindowDC) {
    FWindowDC.Reset();
    auto& list = CanvasesHoldingDCs();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

void TControlCanvas::BeginPaintOn(HDC dc)
{
  FreeHandle();
  SetHandle(dc);
}

void TControlCanvas::CreateHandle()
{
  HWND window = nullptr;
  POINT origin{0, 0};
  if (auto* winControl = dynamic_cast<TWinControl*>(FControl)) {
    window = winControl->GetHandle();
  } else if (TWinControl* parent = FControl->GetParent()) {
    window = parent->GetHandle();
    origin = POINT{FControl->GetLeft(), FControl->GetTop()};
  } else {
    throw EInvalidOperation("Control '" + FControl->Name() + "' has no parent window");
  }
  HDC dc = GetDCEx(window, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  if (!dc)
    throw EOutOfResources();
  FWindowDC = TWindowDC(window, dc);
  SetWindowOrgEx(dc, -origin.x, -origin.y, nullptr);
  IntersectClipRect(dc, 0, 0, FControl->GetWidth(), FControl->GetHeight());
  CanvasesHoldingDCs().push_back(this);
  SetHandle(dc);
}

namespace {

// A DC taken for `control` outside painting has the origin and clipping of where the control was: the
// next use takes a fresh one.
void FreeDeviceContextsOf(const TControl* control)
{
  auto& list = CanvasesHoldingDCs();
  for (size_t i = list.size(); i-- > 0;) {
    if (list[i]->GetControl() == control)
      list[i]->FreeHandle();
  }
}

} // namespace

void FreeDeviceContexts()
{
  // FreeHandle takes each canvas out of the list.
  auto& list = CanvasesHoldingDCs();
  while (!list.empty())
    list.back()->FreeHandle();
}

// --- TControl ---

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), WindowProc(TWndMethod(this, &TControl::WndProc)),
      FConstraints(std::make_unique<TSizeConstraints>()), FFont(std::make_unique<TFont>())
{
  FFont->OnChange = TNotifyEvent(this, &TControl::FontChangeHandler);
  FConstraints->OnChange = TNotifyEvent(this, &TControl::ConstraintsChanged);
}

TControl::~TControl()
{
  Destroying();
  if (GetCaptureControl() == this)
    SetCaptureControl(nullptr);
  if (FParent)
    FParent->RemoveControl(this);
  UpdateHintTool();
}

void TControl::SetParent(TWinControl* parent)
{
  if (parent == FParent)
    return;
  if (FParent)
    FParent->RemoveControl(this);
  if (parent)
    parent->InsertControl(this);
}

bool TControl::CheckNewSize(int& width, int& height)
{
  width = std::max(width, 0);
  height = std::max(height, 0);
  FConstraints->Constrain(width, height);
  if (width == FWidth && height == FHeight)
    return true;
  int newWidth = width;
  int newHeight = height;
  if (!CanResize(newWidth, newHeight))
    return false;
  width = std::max(newWidth, 0);
  height = std::max(newHeight, 0);
  FConstraints->Constrain(width, height);
  return true;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
  if (!CheckNewSize(width, height)) {
    width = FWidth;
    height = FHeight;
  }
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
    return;
  const bool sized = width != FWidth || height != FHeight;
  InvalidateControl(true);
  SetBoundsFields(left, top, width, height);
  InvalidateControl(!FControlStyle.Contains(csOpaque));
  UpdateHintTool();
  // OnResize may free the control.
  const TLifeToken life(this);
  if (sized) {
    ClientAreaChanged();
    Resize();
  }
  if (life.Alive())
    BoundsSetFromOutside();
}

void TControl::MoveNow(int left, int top)
{
  if (!FParent || !FVisible || !FParent->Showing()) {
    SetBounds(left, top, FWidth, FHeight);
    return;
  }
  const RECT before = GetBoundsRect();
  const TLifeToken life(this);
  FMovingNow = true;
  try {
    SetBounds(left, top, FWidth, FHeight);
  } catch (...) {
    if (life.Alive()) {
      FMovingNow = false;
      InvalidateControl(true);  // the places not painted are painted the usual way
    }
    throw;
  }
  if (!life.Alive())
    return;
  FMovingNow = false;
  const RECT after = GetBoundsRect();
  RECT both{};
  UnionRect(&both, &before, &after);
  FParent->PaintNow(both, true);
}

void TControl::SetBoundsFields(int left, int top, int width, int height)
{
  if (left != FLeft || top != FTop || width != FWidth || height != FHeight)
    FreeDeviceContextsOf(this);
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
}

TRect TControl::GetClientRect() const
{
  return Rect(0, 0, FWidth, FHeight);
}

int TControl::GetClientWidth() const
{
  const TRect client = GetClientRect();
  return client.right - client.left;
}

int TControl::GetClientHeight() const
{
  const TRect client = GetClientRect();
  return client.bottom - client.top;
}

void TControl::SetClientSize(int width, int height)
{
  const TRect client = GetClientRect();
  SetBounds(FLeft, FTop, FWidth - (client.right - client.left) + width,
            FHeight - (client.bottom - client.top) + height);
}

TPoint TControl::ClientOrigin() const
{
  if (auto* winControl = dynamic_cast<const TWinControl*>(this); winControl && winControl->HandleAllocated()) {
    POINT origin{0, 0};
    ::ClientToScreen(const_cast<TWinControl*>(winControl)->GetHandle(), &origin);
    return origin;
  }
  if (FParent) {
    const TPoint parentOrigin = FParent->ClientOrigin();
    return Point(parentOrigin.x + FLeft, parentOrigin.y + FTop);
  }
  return Point(FLeft, FTop);
}

TPoint TControl::ClientToScreen(TPoint point) const
{
  const TPoint origin = ClientOrigin();
  return Point(point.x + origin.x, point.y + origin.y);
}

TPoint TControl::ScreenToClient(TPoint point) const
{
  const TPoint origin = ClientOrigin();
  return Point(point.x - origin.x, point.y - origin.y);
}

void TControl::SetVisible(bool visible)
{
  if (DeferVisible(visible) || visible == FVisible)
    return;
  FVisible = visible;
  if (!visible && GetCaptureControl() == this)
    SetCaptureControl(nullptr);
  UpdateHintTool();
  VisibleChanged();
  // An aligned control that comes or goes moves the others.
  if (FParent && FAlign != alNone)
    FParent->Realign();
}

bool TControl::IsVisibleWithParents() const
{
  for (const TControl* control = this; control; control = control->FParent) {
    if (!control->FVisible)
      return false;
  }
  return true;
}

void TControl::SetEnabled(bool enabled)
{
  if (enabled == FEnabled)
    return;
  FEnabled = enabled;
  if (!enabled) {
    FClickPending = false;
    if (GetCaptureControl() == this)
      SetCaptureControl(nullptr);
  }
  EnabledChanged();
}

void TControl::SetFont(TFont* font)
{
  FParentFont = false;
  FFont->Assign(font);
}

void TControl::SetParentFont(bool parentFont)
{
  if (parentFont == FParentFont)
    return;
  FParentFont = parentFont;
  if (parentFont)
    ParentFontChanged();
}

void TControl::FontChangeHandler(TObject* /*Sender*/)
{
  if (!FTakingParentFont)
    FParentFont = false;
  FontChanged();
}

void TControl::SetColor(TColor color)
{
  FParentColor = false;
  if (color == FColor)
    return;
  FColor = color;
  ColorChanged();
}

void TControl::SetParentColor(bool parentColor)
{
  if (parentColor == FParentColor)
    return;
  FParentColor = parentColor;
  if (parentColor)
    ParentColorChanged();
}

void TControl::SetText(const std::string& text)
{
  if (text == FText)
    return;
  FText = text;
  TextChanged();
}

bool TControl::GetMouseCapture() const
{
  return GetCaptureControl() == this;
}

void TControl::SetMouseCapture(bool capture)
{
  if (capture == GetMouseCapture())
    return;
  SetCaptureControl(capture ? this : nullptr);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam)
{
  TMessage message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  WindowProc(message);
  return message.Result;
}

void TControl::WndProc(TMessage& Message)
{
  if (IsMouseMessage(Message.Msg)) {
    DefaultHandler(Message);
    if (FEnabled)
      HandleMouseMessage(Message);
    return;
  }
  DefaultHandler(Message);
}

void TControl::DefaultHandler(TMessage& /*Message*/) {}

bool TControl::CanRaiseEvents() const
{
  if (IsLoading())
    return false;
  for (const TControl* control = this; control; control = control->FParent) {
    if (control->IsDestroying())
      return false;
  }
  return true;
}

bool TControl::HandlingMessage() const
{
  return FParent && FParent->FBinding.Dispatching();
}

void TControl::HandleMouseMessage(TMessage& Message)
{
  const int x = GET_X_LPARAM(Message.LParam);
  const int y = GET_Y_LPARAM(Message.LParam);
  const TShiftState shift = KeysToShiftState(Message.WParam);
  // Without csDoubleClicks a quick second press is a plain press.
  const bool doubleClicks = FControlStyle.Contains(csDoubleClicks);
  switch (Message.Msg) {
  case WM_MOUSEMOVE:
    MouseMove(shift, x, y);
    break;
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    ButtonDown(mbLeft, Message.Msg == WM_LBUTTONDBLCLK && doubleClicks, shift, x, y);
    break;
  case WM_RBUTTONDOWN:
  case WM_RBUTTONDBLCLK:
    ButtonDown(mbRight, Message.Msg == WM_RBUTTONDBLCLK && doubleClicks, shift, x, y);
    break;
  case WM_MBUTTONDOWN:
  case WM_MBUTTONDBLCLK:
    ButtonDown(mbMiddle, Message.Msg == WM_MBUTTONDBLCLK && doubleClicks, shift, x, y);
    break;
  case WM_LBUTTONUP:
    ButtonUp(mbLeft, Message.WParam, shift, x, y);
    break;
  case WM_RBUTTONUP:
    ButtonUp(mbRight, Message.WParam, shift, x, y);
    break;
  case WM_MBUTTONUP:
    ButtonUp(mbMiddle, Message.WParam, shift, x, y);
    break;
  default:
    break;
  }
}

void TControl::ButtonDown(TMouseButton button, bool doubleClick, TShiftState shift, int x, int y)
{
  if (FControlStyle.Contains(csCaptureMouse))
    SetMouseCapture(true);
  if (button == mbLeft) {
    FClickPending = !doubleClick && FControlStyle.Contains(csClickEvents);
    if (doubleClick) {
      const TLifeToken life(this);
      DblClick();
      if (!life.Alive())
        return;
      KO_ASSERT(ComponentLives(life));
    }
  }
  if (doubleClick)
    shift.Include(ssDouble);
  MouseDown(button, shift, x, y);
}

void TControl::ButtonUp(TMouseButton button, WPARAM keys, TShiftState shift, int x, int y)
{
  bool click = false;
  if (button == mbLeft && FClickPending) {
    FClickPending = false;
    const TRect client = GetClientRect();
    const POINT point{x, y};
    click = PtInRect(&client, point) != FALSE;
  }
  // Capture lasts while any button is held.
  if (!(keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetMouseCapture())
    SetMouseCapture(false);
  const TLifeToken life(this);
  MouseUp(button, shift, x, y);
  if (!click || !life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  Click();
}

void TControl::InvalidateControl(bool erase)
{
  if (!FParent || !FParent->HandleAllocated() || FMovingNow)
    return;
  const RECT bounds = GetBoundsRect();
  InvalidateRect(FParent->FBinding.Handle(), &bounds, erase ? TRUE : FALSE);
}

void TControl::Invalidate()
{
  if (FVisible)
    InvalidateControl(!FControlStyle.Contains(csOpaque));
}

void TControl::Update()
{
  if (FParent)
    FParent->Update();
}

void TControl::Repaint()
{
  Invalidate();
  Update();
}

void TControl::SetZOrder(bool topMost)
{
  if (!FParent)
    return;
  auto& list = FParent->FControls;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end())
    return;
  list.erase(it);
  if (topMost)
    list.push_back(this);
  else
    list.insert(list.begin(), this);
  InvalidateControl(!FControlStyle.Contains(csOpaque));
  // Aligned controls take their edges in z-order.
  if (FAlign != alNone)
    FParent->Realign();
}

void TControl::Click()
{
  if (CanRaiseEvents())
    OnClick(this);
}

void TControl::DblClick()
{
  if (CanRaiseEvents())
    OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (CanRaiseEvents())
    OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y)
{
  if (CanRaiseEvents())
    OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (CanRaiseEvents())
    OnMouseUp(this, Button, Shift, X, Y);
}

bool TControl::CanResize(int& NewWidth, int& NewHeight)
{
  bool resize = true;
  if (CanRaiseEvents())
    OnCanResize(this, NewWidth, NewHeight, resize);
  return resize;
}

void TControl::Resize()
{
  if (IsLoading()) {
    FResizeDeferred = true;
    return;
  }
  if (CanRaiseEvents())
    OnResize(this);
}

void TControl::FontChanged()
{
  Invalidate();
}

void TControl::ColorChanged()
{
  Invalidate();
}

void TControl::TextChanged()
{
  Invalidate();
}

void TControl::EnabledChanged()
{
  Invalidate();
}

void TControl::VisibleChanged()
{
  // Shown or hidden: the parent paints the area again either way.
  InvalidateControl(true);
}

void TControl::Loaded()
{
  TComponent::Loaded();
  if (FParentFont)
    ParentFontChanged();
  if (FParentColor)
    ParentColorChanged();
  if (FParentShowHint)
    ParentShowHintChanged();
}

bool TControl::DeferVisible(bool visible)
{
  if (!IsLoading())
    return false;
  if (!FVisibleDeferred) {
    FVisibleDeferred = true;
    FVisibleShown = FVisible;
  }
  FVisible = visible;
  return true;
}

void TControl::LoadingDone()
{
  TComponent::LoadingDone();
  const bool resize = FResizeDeferred;
  const bool visibleDeferred = FVisibleDeferred;
  const bool wanted = FVisible;
  FResizeDeferred = false;
  FVisibleDeferred = false;
  if (visibleDeferred)
    FVisible = FVisibleShown;
  // Each may raise an event whose handler frees the control.
  const TLifeToken life(this);
  if (resize)
    Resize();
  if (visibleDeferred && wanted != FVisibleShown && life.Alive())
    SetVisible(wanted);
}

std::function<void()> TControl::SaveState()
{
  struct TState {
    TControl* Control;
    TWinControl* Parent;
    TRect Bounds;
    TAnchorBase AnchorBase;
    bool Visible, VisibleDeferred, VisibleShown, ResizeDeferred;
    bool ParentColor, ParentFont, ParentShowHint;
    // The parent's children, so that a control that went and came back gets its old place.
    std::vector<TControl*> Controls;
    std::vector<TWinControl*> WinControls, TabList;

    void operator()() const
    {
      TControl& c = *Control;
      if (c.FParent != Parent)
        c.SetParent(Parent);
      // Through SetBounds, so that a window follows; the constraints are back already.
      c.SetBounds(Bounds.left, Bounds.top, Bounds.right - Bounds.left, Bounds.bottom - Bounds.top);
      c.FAnchorBase = AnchorBase;
      c.FVisible = Visible;
      c.FVisibleDeferred = VisibleDeferred;
      c.FVisibleShown = VisibleShown;
      c.FResizeDeferred = ResizeDeferred;
      c.FParentColor = ParentColor;
      c.FParentFont = ParentFont;
      c.FParentShowHint = ParentShowHint;
      if (Parent)
        Parent->RestoreChildOrder(Controls, WinControls, TabList);
    }
  };
  TState state{this, FParent, GetBoundsRect(), FAnchorBase, FVisible, FVisibleDeferred, FVisibleShown,
               FResizeDeferred, FParentColor, FParentFont, FParentShowHint, {}, {}, {}};
  if (FParent) {
    state.Controls = FParent->FControls;
    state.WinControls = FParent->FWinControls;
    state.TabList = FParent->FTabList;
  }
  return state;
}

void TControl::ParentFontChanged()
{
  if (!FParentFont || !FParent || IsLoading())
    return;
  FTakingParentFont = true;
  try {
    FFont->Assign(FParent->GetFont());
  } catch (...) {
    FTakingParentFont = false;
    throw;
  }
  FTakingParentFont = false;
}

void TControl::ParentColorChanged()
{
  if (!FParentColor || !FParent || FColor == FParent->FColor || IsLoading())
    return;
  FColor = FParent->FColor;
  ColorChanged();
}

void TControl::ChangeScale(int M, int D)
{
  if (M == D || D == 0)
    return;
  SetBounds(MulDiv(FLeft, M, D), MulDiv(FTop, M, D), MulDiv(FWidth, M, D), MulDiv(FHeight, M, D));
  if (!FParentFont)
    FFont->SetHeight(MulDiv(FFont->GetHeight(), M, D));
}

// --- TGraphicControl ---

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this))
{
}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& Message)
{
  if (Message.Msg == WM_PAINT && Message.WParam) {
    FCanvas->PaintOn(reinterpret_cast<HDC>(Message.WParam), [this] { Paint(); });
    Message.Result = 0;
    return;
  }
  TControl::WndProc(Message);
}

void TGraphicControl::Paint() {}

// --- TMouse ---

TPoint TMouse::GetCursorPos() const
{
  POINT point{0, 0};
  if (!::GetCursorPos(&point))
    return Point(0, 0);
  return point;
}

void TMouse::SetCursorPos(TPoint point) const
{
  ::SetCursorPos(point.x, point.y);
}

