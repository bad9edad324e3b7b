#include "WinControl.h"

#include "Forms.h"
#include "Assertion.h"
#include "Handles.h"
#include "WindowBinder.h"

#include <windowsx.h>

#include <algorithm>
#include <typeinfo>

// --- TWinControl ---

TWinControl::TWinControl(TComponent* AOwner)
    : TControl(AOwner), FBinding(this, TWndMethod(this, &TWinControl::MainWndProc))
{
  FBinding.OnDetached = TClosure<void()>(this, &TWinControl::WindowDetached);
}

void TWinControl::BeforeDestruction()
{
  TControl::BeforeDestruction();
  DestroyHandle();
}

TWinControl::~TWinControl()
{
  // Made without new, the control has not been through BeforeDestruction: no event from here on.
  Destroying();
  // The subclass parts are gone: hooks installed by them must not see the last messages.
  WindowProc.UnhookAll();
  if (FParent)
    FParent->RemoveControl(this);
  // Children belong to their owners, which free them; here they only lose their parent.
  for (TWinControl* child : FWinControls) {
    child->DestroyHandle();
    child->FParent = nullptr;
  }
  for (TControl* child : FControls)
    child->FParent = nullptr;
  FWinControls.clear();
  FTabList.clear();
  FControls.clear();
  FCaptureControl = nullptr;
  DestroyHandle();
}

HWND TWinControl::GetHandle()
{
  if (!FBinding.Handle()) {
    if (FParent)
      FParent->HandleNeeded();
    if (!FBinding.Handle())
      CreateHandle();
  }
  return FBinding.Handle();
}

void TWinControl::CreateParams(TCreateParams& Params)
{
  Params.Caption = FText;
  if (FParent) {
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (FVisible)
      Params.Style |= WS_VISIBLE;
    Params.WndParent = FParent->GetHandle();
  } else {
    Params.Style = WS_POPUP | WS_CLIPCHILDREN;
  }
  if (!FEnabled)
    Params.Style |= WS_DISABLED;
  Params.X = FLeft;
  Params.Y = FTop;
  Params.Width = FWidth;
  Params.Height = FHeight;
  // Double clicks always reach the window; csDoubleClicks decides what they mean.
  Params.WindowClass.style = CS_DBLCLKS;
  Params.WindowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  Params.WinClassName = ClassName();
}

void TWinControl::CreateWnd()
{
  TCreateParams params;
  CreateParams(params);
  if (FParent && !params.WndParent)
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  TWindowBinding::RegisterWindowClass(params.WinClassName, params.WindowClass);
  const HWND window = FBinding.Create(params.ExStyle, params.WinClassName, params.Caption, params.Style, params.X,
                                      params.Y, params.Width, params.Height, params.WndParent, params.Param);
  if (!window)
    throw EOutOfResources("Error creating window of class " + params.WinClassName);
  FCreatedAs = &typeid(*this);
  // The system may have placed or sized the window itself (CW_USEDEFAULT, minimum sizes).
  UpdateBoundsFromWindow();
  // What the window carries rather than the object is given to every new window, recreated ones too.
  if (FHelpContext != 0)
    SetWindowContextHelpId(window, static_cast<DWORD>(FHelpContext));
  UpdateHintTool();
  for (TControl* child : std::vector<TControl*>(FControls))
    child->UpdateHintTool();
  // The real client area may differ from the one worked out before the window existed.
  Realign();
}

void TWinControl::CreateHandle()
{
  if (FBinding.Handle())
    return;
  CreateWnd();
  HandleCreated();
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls)) {
    if (!child->FBinding.Handle())
      child->CreateHandle();
  }
}

void TWinControl::DestroyHandle()
{
  if (!FBinding.Handle())
    return;
  FDestroyingHandle = true;
  FBinding.Destroy();
  FDestroyingHandle = false;
}

void TWinControl::RecreateWnd()
{
  const bool had = FBinding.Handle() != nullptr;
  DestroyHandle();
  if (had)
    CreateHandle();
}

void TWinControl::WindowDetached()
{
  FCaptureControl = nullptr;
  FChildWindowsRequested = false;
  // Tooltips over a window that is gone would never show again; a new window registers them anew.
  UpdateHintTool();
  for (TControl* child : std::vector<TControl*>(FControls))
    child->UpdateHintTool();
}

void TWinControl::RequestChildWindows()
{
  if (FChildWindowsRequested || !FBinding.Handle())
    return;
  FChildWindowsRequested = PostMessageA(FBinding.Handle(), CM_CREATECHILDREN, 0, 0) != FALSE;
}

void TWinControl::CreateChildWindows()
{
  FChildWindowsRequested = false;
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls)) {
    if (!child->FBinding.Handle() && child->FParent == this)
      child->CreateHandle();
  }
}

void TWinControl::CheckCreatedType()
{
  if (!FCreatedAs || IsDestroying() || *FCreatedAs == typeid(*this))
    return;
  // Reported once: the window keeps the name it was given.
  const std::type_info& createdAs = *FCreatedAs;
  FCreatedAs = &typeid(*this);
  KO_ASSERT(createdAs == typeid(*this));
}

void TWinControl::MainWndProc(TMessage& Message)
{
  // A window made while a base class's constructor ran is named after that base.
  CheckCreatedType();
  if (IsMouseMessage(Message.Msg))
    RelayToHints(Message);
  WindowProc(Message);
}

void TWinControl::DefaultHandler(TMessage& Message)
{
  if (!FBinding.Handle()) {
    Message.Result = 0;
    return;
  }
  Message.Result = CallWindowProcA(FDefWndProc, FBinding.Handle(), Message.Msg, Message.WParam, Message.LParam);
}

void TWinControl::WndProc(TMessage& Message)
{
  const UINT msg = Message.Msg;
  if (IsMouseMessage(msg) || IsKeyMessage(msg)) {
    // Input that reaches a disabled window (sent by a program) is dropped like the system's own.
    if (!FEnabled || (FBinding.Handle() && !IsWindowEnabled(FBinding.Handle()))) {
      Message.Result = 0;
      return;
    }
  }
  if (IsMouseMessage(msg)) {
    if (msg == WM_RBUTTONUP) {
      WMRButtonUp(Message);
      return;
    }
    if (RouteMouseToGraphicChild(Message))
      return;
    TControl::WndProc(Message);
    return;
  }
  switch (msg) {
  case WM_PAINT:
    WMPaint(Message);
    return;
  case WM_ERASEBKGND:
    WMEraseBkgnd(Message);
    return;
  case WM_WINDOWPOSCHANGING:
    WMWindowPosChanging(Message);
    return;
  case WM_WINDOWPOSCHANGED:
    WMWindowPosChanged(Message);
    return;
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN:
    WMKeyDown(Message, true);
    return;
  case WM_KEYUP:
  case WM_SYSKEYUP:
    WMKeyDown(Message, false);
    return;
  case WM_CHAR:
    WMChar(Message);
    return;
  case WM_SETFOCUS:
    WMSetFocus(Message);
    return;
  case WM_KILLFOCUS:
    WMKillFocus(Message);
    return;
  case WM_CAPTURECHANGED:
    WMCaptureChanged(Message);
    return;
  case CM_CREATECHILDREN:
    CreateChildWindows();
    return;
  case WM_SETTEXT:
    WMSetText(Message);
    return;
  case WM_CONTEXTMENU:
    WMContextMenu(Message);
    return;
  case WM_GETMINMAXINFO:
    WMGetMinMaxInfo(Message);
    return;
  default:
    TControl::WndProc(Message);
    return;
  }
}

void TWinControl::WMCaptureChanged(TMessage& Message)
{
  // Capture taken away (by another window or a modal loop): no click comes of the press.
  if (reinterpret_cast<HWND>(Message.LParam) != FBinding.Handle()) {
    FClickPending = false;
    if (FCaptureControl) {
      FCaptureControl->FClickPending = false;
      FCaptureControl = nullptr;
    }
  }
  DefaultHandler(Message);
}

void TWinControl::WMSetText(TMessage& Message)
{
  DefaultHandler(Message);
  if (!Message.Result || !Message.LParam)
    return;
  const std::string text = reinterpret_cast<const char*>(Message.LParam);
  if (text != FText) {
    FText = text;
    TextChanged();
  }
}

bool TWinControl::RouteMouseToGraphicChild(TMessage& Message)
{
  if (FControls.empty() && !FCaptureControl)
    return false;
  const POINT point{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
  // While this window has the capture, its mouse input goes to the child holding it, or else to itself.
  // The system is asked only when a child could get the message (under some systems each question is a
  // round trip to the window server).
  TControl* target = FCaptureControl ? nullptr : ControlAtPos(point, false);
  if (!FCaptureControl && !target)
    return false;
  if (FBinding.Handle() && ::GetCapture() == FBinding.Handle())
    target = FCaptureControl && FCaptureControl->FParent == this ? FCaptureControl : nullptr;
  else if (!target)
    target = ControlAtPos(point, false);
  if (!target)
    return false;
  const int x = point.x - target->FLeft;
  const int y = point.y - target->FTop;
  const LPARAM translated =
      MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
  Message.Result = target->Perform(Message.Msg, Message.WParam, translated);
  return true;
}

void TWinControl::WMPaint(TMessage& Message)
{
  if (Message.WParam) {
    PaintHandler(reinterpret_cast<HDC>(Message.WParam));
    Message.Result = 0;
    return;
  }
  const TPaintDC paint(FBinding.Handle());
  if (FDoubleBuffered)
    PaintBuffered(paint.Get(), paint.Area());
  else
    PaintHandler(paint.Get());
  Message.Result = 0;
}

void TWinControl::PaintBuffered(HDC dc, const RECT& area)
{
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0)
    return;
  TMemoryDC memory = TMemoryDC::CreateCompatible(dc);
  TBitmapHandle bitmap(CreateCompatibleBitmap(dc, width, height));
  if (!memory || !bitmap)
    throw EOutOfResources();
  TSelectObject selected(memory.Get(), bitmap.Get());
  SetWindowOrgEx(memory.Get(), area.left, area.top, nullptr);
  // A defined start even when a hook suppresses the erase below.
  {
    TBrushHandle brush(CreateSolidBrush(ColorToColorRef(FColor)));
    FillRect(memory.Get(), &area, brush.Get());
  }
  // Through WindowProc, so that hooks see the erase and the paint.
  Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.Get()), reinterpret_cast<LPARAM>(memory.Get()));
  Perform(WM_PAINT, reinterpret_cast<WPARAM>(memory.Get()), 0);
  BitBlt(dc, area.left, area.top, width, height, memory.Get(), area.left, area.top, SRCCOPY);
}

void TWinControl::WMEraseBkgnd(TMessage& Message)
{
  const HDC dc = reinterpret_cast<HDC>(Message.WParam);
  // A double-buffered window erases in its memory pass (wParam == lParam), not on the screen.
  if (FDoubleBuffered && reinterpret_cast<HDC>(Message.LParam) != dc) {
    Message.Result = 1;
    return;
  }
  EraseBackground(dc);
  Message.Result = 1;
}

void TWinControl::EraseBackground(HDC dc)
{
  TSaveDC saved(dc);
  for (TControl* child : FControls) {
    if (child->FVisible && child->FControlStyle.Contains(csOpaque))
      ExcludeClipRect(dc, child->FLeft, child->FTop, child->FLeft + child->FWidth, child->FTop + child->FHeight);
  }
  const RECT client = GetClientRect();
  TBrushHandle brush(CreateSolidBrush(ColorToColorRef(FColor)));
  FillRect(dc, &client, brush.Get());
}

void TWinControl::PaintHandler(HDC dc)
{
  {
    TSaveDC saved(dc);
    for (TControl* child : FControls) {
      if (child->FVisible && child->FControlStyle.Contains(csOpaque))
        ExcludeClipRect(dc, child->FLeft, child->FTop, child->FLeft + child->FWidth, child->FTop + child->FHeight);
    }
    PaintWindow(dc);
  }
  PaintControls(dc, nullptr);
}

void TWinControl::PaintWindow(HDC /*dc*/) {}

void TWinControl::PaintControls(HDC dc, TControl* first)
{
  RECT clip{};
  if (GetClipBox(dc, &clip) == NULLREGION)
    return;
  bool started = first == nullptr;
  // A copy: painting must not be upset by a control that rearranges its siblings.
  for (TControl* child : std::vector<TControl*>(FControls)) {
    if (!started) {
      if (child != first)
        continue;
      started = true;
    }
    if (!child->FVisible && !child->IsDesigning())
      continue;
    const RECT bounds = child->GetBoundsRect();
    RECT overlap{};
    if (!IntersectRect(&overlap, &bounds, &clip))
      continue;
    TSaveDC saved(dc);
    OffsetWindowOrgEx(dc, -child->FLeft, -child->FTop, nullptr);
    IntersectClipRect(dc, 0, 0, child->FWidth, child->FHeight);
    child->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  }
}

void TWinControl::WMWindowPosChanging(TMessage& Message)
{
  auto* position = reinterpret_cast<WINDOWPOS*>(Message.LParam);
  if (position && !(position->flags & SWP_NOSIZE) && !IsIconic(FBinding.Handle()) &&
      (position->cx != FWidth || position->cy != FHeight)) {
    int width = position->cx;
    int height = position->cy;
    if (CheckNewSize(width, height)) {
      position->cx = width;
      position->cy = height;
    } else {
      position->flags |= SWP_NOSIZE;
    }
  }
  DefaultHandler(Message);
}

void TWinControl::WMWindowPosChanged(TMessage& Message)
{
  const int oldWidth = FWidth;
  const int oldHeight = FHeight;
  UpdateBoundsFromWindow();
  DefaultHandler(Message);
  if ((FWidth != oldWidth || FHeight != oldHeight) && !FDestroyingHandle) {
    ClientAreaChanged();
    Resize();
  }
}

void TWinControl::UpdateBoundsFromWindow()
{
  if (!FBinding.Handle() || IsIconic(FBinding.Handle()))
    return;
  RECT window{};
  GetWindowRect(FBinding.Handle(), &window);
  if (GetWindowLongA(FBinding.Handle(), GWL_STYLE) & WS_CHILD) {
    if (HWND parent = GetAncestor(FBinding.Handle(), GA_PARENT))
      MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
  }
  SetBoundsFields(window.left, window.top, window.right - window.left, window.bottom - window.top);
}

void TWinControl::SetParent(TWinControl* parent)
{
  if (parent == FParent)
    return;
  for (TWinControl* ancestor = parent; ancestor; ancestor = ancestor->FParent) {
    if (ancestor == this)
      throw EInvalidOperation("A control cannot be its own parent");
  }
  // A top-level window cannot become a child window: it is made anew under the parent.
  if (!FParent)
    DestroyHandle();
  TControl::SetParent(parent);
}

void TWinControl::InsertControl(TControl* control)
{
  if (!control || control->FParent == this)
    return;
  if (control->FParent)
    control->FParent->RemoveControl(control);
  control->FParent = this;
  auto* winControl = dynamic_cast<TWinControl*>(control);
  if (winControl) {
    FWinControls.push_back(winControl);
    FTabList.push_back(winControl);
  } else {
    FControls.push_back(control);
  }
  if (control->FParentFont)
    control->ParentFontChanged();
  if (control->FParentColor)
    control->ParentColorChanged();
  if (control->FParentShowHint)
    control->ParentShowHintChanged();
  else
    control->UpdateHintTool();
  control->RecordAnchorBase();
  if (control->FAlign != alNone)
    Realign();
  if (winControl) {
    // Not now: this may run inside the child's base constructor, and the window would be made for (and
    // named after) that base class.
    RequestChildWindows();
  } else if (control->FVisible) {
    control->InvalidateControl(true);
  }
}

void TWinControl::RemoveControl(TControl* control)
{
  if (!control || control->FParent != this)
    return;
  if (FCaptureControl == control)
    SetCaptureControl(nullptr);
  if (auto* winControl = dynamic_cast<TWinControl*>(control)) {
    winControl->RemoveFocus();
    winControl->DestroyHandle();
  } else if (control->FVisible) {
    control->InvalidateControl(true);
  }
  // By pointer only: a control being destroyed is no longer of its full type.
  FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
  FWinControls.erase(std::remove(FWinControls.begin(), FWinControls.end(), control), FWinControls.end());
  FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), control), FTabList.end());
  if (auto* winControl = dynamic_cast<TWinControl*>(control))
    DefocusControl(winControl, true);
  control->FParent = nullptr;
  control->UpdateHintTool();
  if (control->FAlign != alNone)
    Realign();
}

TControl* TWinControl::Controls(int index) const
{
  if (index < 0 || index >= ControlCount())
    throw EListError(index);
  const size_t i = static_cast<size_t>(index);
  if (i < FControls.size())
    return FControls[i];
  return FWinControls[i - FControls.size()];
}

TControl* TWinControl::ControlAtPos(TPoint point, bool allowDisabled) const
{
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* control = *it;
    if ((control->FVisible || control->IsDesigning()) && (control->FEnabled || allowDisabled)) {
      const RECT bounds = control->GetBoundsRect();
      if (PtInRect(&bounds, point))
        return control;
    }
  }
  return nullptr;
}

bool TWinControl::ContainsControl(const TControl* control) const
{
  for (; control; control = control->FParent) {
    if (control == this)
      return true;
  }
  return false;
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
  if (!FBinding.Handle()) {
    TControl::SetBounds(left, top, width, height);
    return;
  }
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
    return;
  // WM_WINDOWPOSCHANGING asks CanResize; WM_WINDOWPOSCHANGED takes the result and calls Resize, whose
  // handler may free the control.
  const TLifeToken life(this);
  SetWindowPos(FBinding.Handle(), nullptr, left, top, std::max(width, 0), std::max(height, 0),
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (life.Alive())
    BoundsSetFromOutside();
}

TRect TWinControl::GetClientRect() const
{
  if (FBinding.Handle()) {
    RECT client{};
    ::GetClientRect(FBinding.Handle(), &client);
    return client;
  }
  return TControl::GetClientRect();
}

void TWinControl::SetVisible(bool visible)
{
  if (DeferVisible(visible) || visible == FVisible)
    return;
  FVisible = visible;
  if (!visible) {
    // Taking the focus away raises OnExit, whose handler may free the control.
    const TLifeToken life(this);
    RemoveFocus();
    if (!life.Alive())
      return;
    KO_ASSERT(ComponentLives(life));
    if (TControl* capture = GetCaptureControl(); capture && ContainsControl(capture))
      SetCaptureControl(nullptr);
  }
  if (FParent) {
    if (FBinding.Handle())
      ShowWindow(FBinding.Handle(), visible ? SW_SHOWNA : SW_HIDE);
    else if (visible)
      FParent->RequestChildWindows();
  } else if (visible) {
    ShowWindow(GetHandle(), SW_SHOW);
  } else if (FBinding.Handle()) {
    ShowWindow(FBinding.Handle(), SW_HIDE);
  }
  VisibleChanged();
  // An aligned control that comes or goes moves the others.
  if (FParent && FAlign != alNone)
    FParent->Realign();
}

void TWinControl::SetEnabled(bool enabled)
{
  if (enabled == FEnabled)
    return;
  FEnabled = enabled;
  if (!enabled) {
    const TLifeToken life(this);
    RemoveFocus();
    if (!life.Alive())
      return;
    KO_ASSERT(ComponentLives(life));
    FClickPending = false;
    if (TControl* capture = GetCaptureControl(); capture && ContainsControl(capture))
      SetCaptureControl(nullptr);
  }
  if (FBinding.Handle())
    EnableWindow(FBinding.Handle(), enabled ? TRUE : FALSE);
  EnabledChanged();
}

void TWinControl::SetText(const std::string& text)
{
  if (text == FText)
    return;
  FText = text;
  if (FBinding.Handle())
    SetWindowTextA(FBinding.Handle(), FText.c_str());
  TextChanged();
}

void TWinControl::Invalidate()
{
  if (FBinding.Handle())
    InvalidateRect(FBinding.Handle(), nullptr, FControlStyle.Contains(csOpaque) ? FALSE : TRUE);
}

void TWinControl::Update()
{
  if (FBinding.Handle())
    UpdateWindow(FBinding.Handle());
}

void TWinControl::Repaint()
{
  Invalidate();
  Update();
}

void TWinControl::PaintNow(const RECT& area, bool erase)
{
  const HWND window = FBinding.Handle();
  if (!window || !IsWindowVisible(window) || IsRectEmpty(&area))
    return;
  const TWindowDC dc(window);
  const TSaveDC saved(dc.Get());
  IntersectClipRect(dc.Get(), area.left, area.top, area.right, area.bottom);
  if (FDoubleBuffered) {
    PaintBuffered(dc.Get(), area);
    return;
  }
  // Through WindowProc, as the system's messages go, so that hooks see the erase and the paint.
  if (erase)
    Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
  Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc.Get()), 0);
}

bool TWinControl::Showing() const
{
  return FBinding.Handle() && IsWindowVisible(FBinding.Handle());
}

void TWinControl::ScaleBy(int M, int D)
{
  ChangeScale(M, D);
}

void TWinControl::ScaleChildren(int M, int D)
{
  for (TControl* child : std::vector<TControl*>(FControls))
    child->ChangeScale(M, D);
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls))
    child->ChangeScale(M, D);
}

void TWinControl::ChangeScale(int M, int D)
{
  if (M == D || D == 0)
    return;
  // Scaled children are where they belong already: the layout must not move them again for the size
  // this control takes meanwhile.
  DisableAlign();
  try {
    ScaleChildren(M, D);
    TControl::ChangeScale(M, D);
  } catch (...) {
    EnableAlign();
    throw;
  }
  RebaseChildren();
  EnableAlign();
}

void TWinControl::RestoreChildOrder(const std::vector<TControl*>& controls,
                                    const std::vector<TWinControl*>& winControls,
                                    const std::vector<TWinControl*>& tabList)
{
  RestoreOrder(FTabList, tabList);
  const bool graphicMoved = RestoreOrder(FControls, controls);
  const bool windowedMoved = RestoreOrder(FWinControls, winControls);
  if (!graphicMoved && !windowedMoved)
    return;
  if (FBinding.Handle()) {
    // A child that came back has no window yet; the windows then take the list's order, bottom first.
    CreateChildWindows();
    for (TWinControl* child : FWinControls) {
      if (child->FBinding.Handle())
        SetWindowPos(child->FBinding.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    Invalidate();
  }
  // Aligned children take their edges in z-order.
  Realign();
}

void TWinControl::SetZOrder(bool topMost)
{
  if (FParent) {
    auto& list = FParent->FWinControls;
    auto it = std::find(list.begin(), list.end(), this);
    if (it != list.end()) {
      list.erase(it);
      if (topMost)
        list.push_back(this);
      else
        list.insert(list.begin(), this);
    }
  }
  if (FBinding.Handle())
    SetWindowPos(FBinding.Handle(), topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // Aligned controls take their edges in z-order.
  if (FParent && FAlign != alNone)
    FParent->Realign();
}

void TWinControl::FontChanged()
{
  TControl::FontChanged();
  for (TControl* child : std::vector<TControl*>(FControls))
    child->ParentFontChanged();
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls))
    child->ParentFontChanged();
}

void TWinControl::ShowHintChanged()
{
  TControl::ShowHintChanged();
  for (TControl* child : std::vector<TControl*>(FControls))
    child->ParentShowHintChanged();
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls))
    child->ParentShowHintChanged();
}

void TWinControl::ColorChanged()
{
  TControl::ColorChanged();
  for (TControl* child : std::vector<TControl*>(FControls))
    child->ParentColorChanged();
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls))
    child->ParentColorChanged();
}

// --- TCustomControl ---

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this))
{
}

TCustomControl::~TCustomControl()
{
  // The canvas goes before the window; nothing may paint on it any more.
  FCanvas->FreeHandle();
}

void TCustomControl::Paint() {}

void TCustomControl::PaintWindow(HDC dc)
{
  FCanvas->PaintOn(dc, [this] { Paint(); });
}

// --- capture and lookup ---

TWinControl* FindControl(HWND window)
{
  if (!window)
    return nullptr;
  TWindowBinding* binding = TWindowBinding::Find(window);
  return binding ? dynamic_cast<TWinControl*>(binding->Sender()) : nullptr;
}

TControl* GetCaptureControl()
{
  TWinControl* windowed = FindControl(::GetCapture());
  if (!windowed)
    return nullptr;
  if (windowed->FCaptureControl && windowed->FCaptureControl->GetParent() == windowed)
    return windowed->FCaptureControl;
  return windowed;
}

void SetCaptureControl(TControl* control)
{
  if (!control) {
    if (TWinControl* windowed = FindControl(::GetCapture())) {
      windowed->FCaptureControl = nullptr;
      ReleaseCapture();
    }
    return;
  }
  if (auto* windowed = dynamic_cast<TWinControl*>(control)) {
    SetCapture(windowed->GetHandle());
    return;
  }
  TWinControl* parent = control->GetParent();
  if (!parent)
    return;
  const HWND window = parent->GetHandle();
  SetCapture(window);
  parent->FCaptureControl = control;
}

