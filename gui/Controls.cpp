#include "Controls.h"

#include "Forms.h"
#include "Messages.h"

#include <windowsx.h>

#include <algorithm>

namespace {

bool IsMouseMessage(UINT msg)
{
  return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK;
}

bool IsKeyMessage(UINT msg)
{
  return msg >= WM_KEYFIRST && msg <= WM_KEYLAST;
}

// The window property that leads from a window to its control object.
LPCSTR ControlProperty()
{
  static const ATOM atom = GlobalAddAtomA("KoGuiControl");
  return MAKEINTATOM(atom);
}

// The control whose window is being created: its first messages arrive before CreateWindowEx returns.
thread_local TWinControl* t_creating = nullptr;

std::vector<TControlCanvas*>& CanvasesHoldingDCs()
{
  static std::vector<TControlCanvas*> canvases;
  return canvases;
}

} // namespace

TMouse* Mouse = [] {
  static TMouse mouse;
  return &mouse;
}();

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

void FreeDeviceContexts()
{
  // FreeHandle takes each canvas out of the list.
  auto& list = CanvasesHoldingDCs();
  while (!list.empty())
    list.back()->FreeHandle();
}

// --- TControl ---

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>())
{
  WindowProc = TWndMethod(this, &TControl::WndProc);
  FFont->OnChange = TNotifyEvent(this, &TControl::FontChangeHandler);
}

TControl::~TControl()
{
  if (GetCaptureControl() == this)
    SetCaptureControl(nullptr);
  if (FParent)
    FParent->RemoveControl(this);
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
  if (width == FWidth && height == FHeight)
    return true;
  int newWidth = width;
  int newHeight = height;
  if (!CanResize(newWidth, newHeight))
    return false;
  width = std::max(newWidth, 0);
  height = std::max(newHeight, 0);
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
  if (sized)
    Resize();
}

void TControl::SetBoundsFields(int left, int top, int width, int height)
{
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
  if (visible == FVisible)
    return;
  FVisible = visible;
  if (!visible && GetCaptureControl() == this)
    SetCaptureControl(nullptr);
  VisibleChanged();
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

void TControl::HandleMouseMessage(TMessage& Message)
{
  const int x = GET_X_LPARAM(Message.LParam);
  const int y = GET_Y_LPARAM(Message.LParam);
  const TShiftState shift = KeysToShiftState(Message.WParam);
  const bool doubleClicks = FControlStyle.Contains(csDoubleClicks);

  auto buttonDown = [&](TMouseButton button, bool doubleClick) {
    if (FControlStyle.Contains(csCaptureMouse))
      SetMouseCapture(true);
    TShiftState downShift = shift;
    if (button == mbLeft) {
      if (doubleClick) {
        FClickPending = false;
        DblClick();
      } else {
        FClickPending = FControlStyle.Contains(csClickEvents);
      }
    }
    if (doubleClick)
      downShift.Include(ssDouble);
    MouseDown(button, downShift, x, y);
  };

  auto buttonUp = [&](TMouseButton button) {
    bool click = false;
    if (button == mbLeft && FClickPending) {
      FClickPending = false;
      const TRect client = GetClientRect();
      const POINT point{x, y};
      click = PtInRect(&client, point) != FALSE;
    }
    // Capture lasts while any button is held.
    if (!(Message.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetMouseCapture())
      SetMouseCapture(false);
    MouseUp(button, shift, x, y);
    if (click)
      Click();
  };

  switch (Message.Msg) {
  case WM_MOUSEMOVE:
    MouseMove(shift, x, y);
    break;
  case WM_LBUTTONDOWN:
    buttonDown(mbLeft, false);
    break;
  case WM_RBUTTONDOWN:
    buttonDown(mbRight, false);
    break;
  case WM_MBUTTONDOWN:
    buttonDown(mbMiddle, false);
    break;
  // Without csDoubleClicks a quick second press is a plain press.
  case WM_LBUTTONDBLCLK:
    buttonDown(mbLeft, doubleClicks);
    break;
  case WM_RBUTTONDBLCLK:
    buttonDown(mbRight, doubleClicks);
    break;
  case WM_MBUTTONDBLCLK:
    buttonDown(mbMiddle, doubleClicks);
    break;
  case WM_LBUTTONUP:
    buttonUp(mbLeft);
    break;
  case WM_RBUTTONUP:
    buttonUp(mbRight);
    break;
  case WM_MBUTTONUP:
    buttonUp(mbMiddle);
    break;
  default:
    break;
  }
}

void TControl::InvalidateControl(bool erase)
{
  if (!FParent || !FParent->HandleAllocated())
    return;
  const RECT bounds = GetBoundsRect();
  InvalidateRect(FParent->FHandle, &bounds, erase ? TRUE : FALSE);
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
}

void TControl::Click()
{
  OnClick(this);
}

void TControl::DblClick()
{
  OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y)
{
  OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  OnMouseUp(this, Button, Shift, X, Y);
}

bool TControl::CanResize(int& NewWidth, int& NewHeight)
{
  bool resize = true;
  OnCanResize(this, NewWidth, NewHeight, resize);
  return resize;
}

void TControl::Resize()
{
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

void TControl::ParentFontChanged()
{
  if (!FParentFont || !FParent)
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
  if (!FParentColor || !FParent || FColor == FParent->FColor)
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

// --- TWinControl ---

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl()
{
  // The subclass parts are gone: hooks installed by them must not see the last messages.
  WindowProc = TWndMethod(this, &TWinControl::WndProc);
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
  if (!FHandle) {
    if (FParent)
      FParent->HandleNeeded();
    if (!FHandle)
      CreateHandle();
  }
  return FHandle;
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

void TWinControl::RegisterWindowClass(const TCreateParams& params)
{
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing{};
  if (GetClassInfoA(instance, params.WinClassName.c_str(), &existing)) {
    if (existing.lpfnWndProc == &TWinControl::StaticWndProc)
      return;
    throw EInvalidOperation("Window class " + params.WinClassName + " belongs to another window procedure");
  }
  WNDCLASSA windowClass = params.WindowClass;
  windowClass.lpfnWndProc = &TWinControl::StaticWndProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = params.WinClassName.c_str();
  if (!RegisterClassA(&windowClass))
    throw EOutOfResources("Cannot register window class " + params.WinClassName);
}

void TWinControl::CreateWnd()
{
  TCreateParams params;
  CreateParams(params);
  if (FParent && !params.WndParent)
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  RegisterWindowClass(params);
  TWinControl* const previous = t_creating;
  t_creating = this;
  const HWND window = CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                                      params.Style, params.X, params.Y, params.Width, params.Height,
                                      params.WndParent, nullptr, GetModuleHandleA(nullptr), params.Param);
  t_creating = previous;
  if (!window)
    throw EOutOfResources("Error creating window of class " + params.WinClassName);
  if (FHandle != window)
    Attach(window);
  // The system may have placed or sized the window itself (CW_USEDEFAULT, minimum sizes).
  UpdateBoundsFromWindow();
}

void TWinControl::CreateHandle()
{
  if (FHandle)
    return;
  CreateWnd();
  HandleCreated();
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls)) {
    if (!child->FHandle)
      child->CreateHandle();
  }
}

void TWinControl::DestroyHandle()
{
  if (!FHandle)
    return;
  FDestroyingHandle = true;
  DestroyWindow(FHandle);
  FDestroyingHandle = false;
  // WM_NCDESTROY detaches; a window that refused to go is let go of anyway.
  if (FHandle)
    Detach();
}

void TWinControl::RecreateWnd()
{
  const bool had = FHandle != nullptr;
  DestroyHandle();
  if (had)
    CreateHandle();
}

void TWinControl::Attach(HWND window)
{
  FHandle = window;
  SetPropA(window, ControlProperty(), this);
}

void TWinControl::Detach()
{
  if (FHandle)
    RemovePropA(FHandle, ControlProperty());
  FHandle = nullptr;
  FCaptureControl = nullptr;
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
  auto* control = static_cast<TWinControl*>(GetPropA(window, ControlProperty()));
  if (!control) {
    control = t_creating;
    if (!control || control->FHandle)
      return DefWindowProcA(window, msg, wParam, lParam);
    control->Attach(window);
  }
  TMessage message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  try {
    // A copy: the handler may free the control, and the closure with it.
    const TWndMethod method = control->WindowProc;
    method(message);
  } catch (...) {
    // Nothing may unwind into the system: the application shows the error and the loop goes on.
    HandleException(control);
  }
  if (msg == WM_NCDESTROY) {
    // Looked up again: the control may have been freed while it handled the message.
    if (auto* owner = static_cast<TWinControl*>(GetPropA(window, ControlProperty())))
      owner->Detach();
  }
  return message.Result;
}

void TWinControl::DefaultHandler(TMessage& Message)
{
  if (!FHandle) {
    Message.Result = 0;
    return;
  }
  Message.Result = CallWindowProcA(FDefWndProc, FHandle, Message.Msg, Message.WParam, Message.LParam);
}

void TWinControl::WndProc(TMessage& Message)
{
  const UINT msg = Message.Msg;
  if (IsMouseMessage(msg) || IsKeyMessage(msg)) {
    // Input that reaches a disabled window (sent by a program) is dropped like the system's own.
    if (!FEnabled || (FHandle && !IsWindowEnabled(FHandle))) {
      Message.Result = 0;
      return;
    }
  }
  if (IsMouseMessage(msg)) {
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
    DefaultHandler(Message);
    if (FParent) {
      if (TCustomForm* form = GetParentForm(this))
        form->FActiveControl = this;
      DoEnter();
    }
    return;
  case WM_KILLFOCUS:
    DefaultHandler(Message);
    if (FParent)
      DoExit();
    return;
  case WM_CAPTURECHANGED:
    // Capture taken away (by another window or a modal loop): no click comes of the press.
    if (reinterpret_cast<HWND>(Message.LParam) != FHandle) {
      FClickPending = false;
      if (FCaptureControl) {
        FCaptureControl->FClickPending = false;
        FCaptureControl = nullptr;
      }
    }
    DefaultHandler(Message);
    return;
  case WM_SETTEXT:
    DefaultHandler(Message);
    if (Message.Result && Message.LParam) {
      const std::string text = reinterpret_cast<const char*>(Message.LParam);
      if (text != FText) {
        FText = text;
        TextChanged();
      }
    }
    return;
  default:
    TControl::WndProc(Message);
    return;
  }
}

bool TWinControl::RouteMouseToGraphicChild(TMessage& Message)
{
  if (FControls.empty() && !FCaptureControl)
    return false;
  const POINT point{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
  TControl* target = nullptr;
  if (FHandle && ::GetCapture() == FHandle)
    target = FCaptureControl && FCaptureControl->FParent == this ? FCaptureControl : nullptr;
  else
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
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(FHandle, &paint);
  try {
    if (FDoubleBuffered) {
      const RECT area = paint.rcPaint;
      const int width = area.right - area.left;
      const int height = area.bottom - area.top;
      if (width > 0 && height > 0) {
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
    } else {
      PaintHandler(dc);
    }
  } catch (...) {
    EndPaint(FHandle, &paint);
    throw;
  }
  EndPaint(FHandle, &paint);
  Message.Result = 0;
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
  if (position && !(position->flags & SWP_NOSIZE) && !IsIconic(FHandle) &&
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
  if ((FWidth != oldWidth || FHeight != oldHeight) && !FDestroyingHandle)
    Resize();
}

void TWinControl::UpdateBoundsFromWindow()
{
  if (!FHandle || IsIconic(FHandle))
    return;
  RECT window{};
  GetWindowRect(FHandle, &window);
  if (GetWindowLongA(FHandle, GWL_STYLE) & WS_CHILD) {
    if (HWND parent = GetAncestor(FHandle, GA_PARENT))
      MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
  }
  SetBoundsFields(window.left, window.top, window.right - window.left, window.bottom - window.top);
}

void TWinControl::WMKeyDown(TMessage& Message, bool down)
{
  WORD key = static_cast<WORD>(Message.WParam);
  const TShiftState shift = KeyboardShiftState();
  if (down && Message.Msg == WM_KEYDOWN && key == VK_TAB && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
    const LRESULT code = Perform(WM_GETDLGCODE, 0, 0);
    if (!(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
      if (TCustomForm* form = GetParentForm(this)) {
        TWinControl* current = form == this ? form->FActiveControl : this;
        form->SelectNext(current, !shift.Contains(ssShift), true);
        Message.Result = 0;
        return;
      }
    }
  }
  if (down)
    KeyDown(key, shift);
  else
    KeyUp(key, shift);
  if (key == 0) {
    Message.Result = 0;
    return;
  }
  Message.WParam = key;
  DefaultHandler(Message);
}

void TWinControl::WMChar(TMessage& Message)
{
  char key = static_cast<char>(Message.WParam);
  // The character of a Tab that moved the focus.
  if (key == '\t' && !(Perform(WM_GETDLGCODE, 0, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS)) &&
      GetParentForm(this)) {
    Message.Result = 0;
    return;
  }
  KeyPress(key);
  if (key == 0) {
    Message.Result = 0;
    return;
  }
  Message.WParam = static_cast<unsigned char>(key);
  DefaultHandler(Message);
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift)
{
  OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift)
{
  OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key)
{
  OnKeyPress(this, Key);
}

void TWinControl::DoEnter()
{
  OnEnter(this);
}

void TWinControl::DoExit()
{
  OnExit(this);
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
  if (winControl) {
    if (FHandle)
      winControl->CreateHandle();
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
  if (TCustomForm* form = GetParentForm(this)) {
    if (form->FActiveControl == control)
      form->FActiveControl = nullptr;
  }
  control->FParent = nullptr;
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
  if (!FHandle) {
    TControl::SetBounds(left, top, width, height);
    return;
  }
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
    return;
  // WM_WINDOWPOSCHANGING asks CanResize; WM_WINDOWPOSCHANGED takes the result and calls Resize.
  SetWindowPos(FHandle, nullptr, left, top, std::max(width, 0), std::max(height, 0),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

TRect TWinControl::GetClientRect() const
{
  if (FHandle) {
    RECT client{};
    ::GetClientRect(FHandle, &client);
    return client;
  }
  return TControl::GetClientRect();
}

void TWinControl::SetVisible(bool visible)
{
  if (visible == FVisible)
    return;
  FVisible = visible;
  if (!visible) {
    RemoveFocus();
    if (TControl* capture = GetCaptureControl(); capture && ContainsControl(capture))
      SetCaptureControl(nullptr);
  }
  if (FParent) {
    if (FHandle)
      ShowWindow(FHandle, visible ? SW_SHOWNA : SW_HIDE);
    else if (visible && FParent->FHandle)
      CreateHandle();
  } else if (visible) {
    ShowWindow(GetHandle(), SW_SHOW);
  } else if (FHandle) {
    ShowWindow(FHandle, SW_HIDE);
  }
  VisibleChanged();
}

void TWinControl::SetEnabled(bool enabled)
{
  if (enabled == FEnabled)
    return;
  FEnabled = enabled;
  if (!enabled) {
    RemoveFocus();
    FClickPending = false;
    if (TControl* capture = GetCaptureControl(); capture && ContainsControl(capture))
      SetCaptureControl(nullptr);
  }
  if (FHandle)
    EnableWindow(FHandle, enabled ? TRUE : FALSE);
  EnabledChanged();
}

void TWinControl::RemoveFocus()
{
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->FActiveControl && ContainsControl(form->FActiveControl))
    form->FActiveControl = nullptr;
  if (!FHandle)
    return;
  const HWND focus = GetFocus();
  if (!focus || (focus != FHandle && !IsChild(FHandle, focus)))
    return;
  if (form && form != this && form->FHandle)
    ::SetFocus(form->FHandle);
  else
    ::SetFocus(nullptr);
}

void TWinControl::SetText(const std::string& text)
{
  if (text == FText)
    return;
  FText = text;
  if (FHandle)
    SetWindowTextA(FHandle, FText.c_str());
  TextChanged();
}

void TWinControl::Invalidate()
{
  if (FHandle)
    InvalidateRect(FHandle, nullptr, FControlStyle.Contains(csOpaque) ? FALSE : TRUE);
}

void TWinControl::Update()
{
  if (FHandle)
    UpdateWindow(FHandle);
}

void TWinControl::Repaint()
{
  Invalidate();
  Update();
}

bool TWinControl::Showing() const
{
  return FHandle && IsWindowVisible(FHandle);
}

int TWinControl::GetTabOrder() const
{
  if (!FParent)
    return -1;
  const auto& list = FParent->FTabList;
  const auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order)
{
  if (!FParent)
    return;
  auto& list = FParent->FTabList;
  const auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end())
    return;
  list.erase(it);
  order = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + order, this);
}

bool TWinControl::CanFocus() const
{
  for (const TWinControl* control = this; control; control = control->FParent) {
    if (!control->FVisible || !control->FEnabled)
      return false;
  }
  return true;
}

bool TWinControl::Focused() const
{
  return FHandle && GetFocus() == FHandle;
}

void TWinControl::SetFocus()
{
  if (!CanFocus())
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  TCustomForm* form = GetParentForm(this);
  if (form && form != this)
    form->FActiveControl = this;
  ::SetFocus(GetHandle());
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const
{
  for (TWinControl* child : FTabList) {
    list.push_back(child);
    child->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const
{
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  const int count = static_cast<int>(list.size());
  if (count == 0)
    return nullptr;
  const auto found = std::find(list.begin(), list.end(), current);
  int index = found != list.end() ? static_cast<int>(found - list.begin()) : (goForward ? count - 1 : 0);
  for (int step = 0; step < count; ++step) {
    index = goForward ? (index + 1) % count : (index + count - 1) % count;
    TWinControl* candidate = list[static_cast<size_t>(index)];
    if (candidate == current)
      break;
    if (candidate->CanFocus() && (!checkTabStop || candidate->FTabStop) &&
        (!checkParent || candidate->FParent == this))
      return candidate;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop)
{
  if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, false))
    next->SetFocus();
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
  ScaleChildren(M, D);
  TControl::ChangeScale(M, D);
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
  if (FHandle)
    SetWindowPos(FHandle, topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::FontChanged()
{
  TControl::FontChanged();
  for (TControl* child : std::vector<TControl*>(FControls))
    child->ParentFontChanged();
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls))
    child->ParentFontChanged();
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
  return static_cast<TWinControl*>(GetPropA(window, ControlProperty()));
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
