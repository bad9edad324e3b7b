#include "Form.h"

#include "Application.h"
#include "Assertion.h"
#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"
#include "ReleaseQueue.h"
#include "Screen.h"
#include "SysApi.h"

#include <commctrl.h>

#include <algorithm>

// While a form is modal: every other enabled, visible window of the thread is disabled (also one that
// shows up while the loop runs), and the window that was active before is remembered.
class TModalWindows {
public:
  explicit TModalWindows(HWND modal) : m_modal(modal), m_previousActive(GetActiveWindow()) { DisableOthers(); }
  ~TModalWindows() { EnableOthers(); }
  TModalWindows(const TModalWindows&) = delete;
  TModalWindows& operator=(const TModalWindows&) = delete;

  // Disables the windows that are visible and enabled now and were not disabled yet.
  void DisableOthers()
  {
    m_found.clear();
    EnumThreadWindows(GetCurrentThreadId(), &TModalWindows::Collect, reinterpret_cast<LPARAM>(this));
    for (HWND other : m_found) {
      EnableWindow(other, FALSE);
      m_disabled.push_back(other);
    }
  }
  void EnableOthers()
  {
    for (auto it = m_disabled.rbegin(); it != m_disabled.rend(); ++it) {
      if (IsWindow(*it))
        EnableWindow(*it, TRUE);
    }
    m_disabled.clear();
  }
  void ActivatePrevious() const
  {
    if (m_previousActive && IsWindow(m_previousActive))
      SetActiveWindow(m_previousActive);
  }

private:
  // The modal form's own pop-ups (a form it shows) stay usable, and so do tooltips, which take no input
  // (the application's one shows the modal form's hints too).
  bool StaysEnabled(HWND window) const
  {
    for (HWND owner = GetWindow(window, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER)) {
      if (owner == m_modal)
        return true;
    }
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    return lstrcmpiA(className, TOOLTIPS_CLASSA) == 0;
  }
  static BOOL CALLBACK Collect(HWND window, LPARAM data)
  {
    auto* self = reinterpret_cast<TModalWindows*>(data);
    if (window != self->m_modal && IsWindowVisible(window) && IsWindowEnabled(window) && !self->StaysEnabled(window))
      self->m_found.push_back(window);
    return TRUE;
  }

  HWND m_modal;
  HWND m_previousActive;
  std::vector<HWND> m_disabled;
  std::vector<HWND> m_found;
};

namespace {

// A quit the application got before a modal loop belongs to the loop that got it: the modal loop waits
// for one of its own, and the earlier one counts again afterwards.
class TOwnQuit {
public:
  explicit TOwnQuit(bool& terminated) : m_terminated(terminated), m_before(terminated) { terminated = false; }
  ~TOwnQuit() { m_terminated = m_terminated || m_before; }
  TOwnQuit(const TOwnQuit&) = delete;
  TOwnQuit& operator=(const TOwnQuit&) = delete;

private:
  bool& m_terminated;
  bool m_before;
};

} // namespace

TCustomForm* GetParentForm(const TControl* control)
{
  if (!control)
    return nullptr;
  while (control->GetParent())
    control = control->GetParent();
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(control));
}

// --- TCustomForm ---

TCustomForm::TCustomForm(TComponent* AOwner)
    : TWinControl(AOwner), FPixelsPerInch(ScreenPixelsPerInch()), FCanvas(std::make_unique<TControlCanvas>(this))
{
  FVisible = false;
  FParentColor = false;
  FParentFont = false;
  FColor = clBtnFace;
  FWidth = 320;
  FHeight = 240;
  if (Screen)
    Screen->FForms.push_back(this);
}

TCustomForm::~TCustomForm()
{
  FCanvas->FreeHandle();
  if (TScreen* screen = Screen.Peek()) {
    auto& forms = screen->FForms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (screen->FActiveForm == this)
      screen->FActiveForm = nullptr;
  }
  for (TApplication* application : {dynamic_cast<TApplication*>(Owner()), Application.Peek()}) {
    if (application && application->FMainForm == this)
      application->FormDestroyed(this);
  }
}

void TCustomForm::StylesFor(TFormBorderStyle style, TBorderIcons icons, DWORD& styleBits, DWORD& exStyleBits)
{
  styleBits = 0;
  exStyleBits = 0;
  switch (style) {
  case bsNone:
    styleBits = WS_POPUP;
    return;
  case bsSingle:
    styleBits = WS_CAPTION;
    break;
  case bsSizeable:
    styleBits = WS_CAPTION | WS_THICKFRAME;
    break;
  case bsDialog:
    styleBits = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    exStyleBits = WS_EX_DLGMODALFRAME;
    break;
  case bsToolWindow:
    styleBits = WS_CAPTION;
    exStyleBits = WS_EX_TOOLWINDOW;
    break;
  case bsSizeToolWin:
    styleBits = WS_CAPTION | WS_THICKFRAME;
    exStyleBits = WS_EX_TOOLWINDOW;
    break;
  }
  if (icons.Contains(biSystemMenu))
    styleBits |= WS_SYSMENU;
  if (style == bsSingle || style == bsSizeable) {
    if (icons.Contains(biMinimize))
      styleBits |= WS_MINIMIZEBOX;
    if (icons.Contains(biMaximize))
      styleBits |= WS_MAXIMIZEBOX;
  }
}

void TCustomForm::CreateParams(TCreateParams& Params)
{
  TWinControl::CreateParams(Params);
  if (FParent)
    return;
  DWORD styleBits = 0;
  DWORD exStyleBits = 0;
  StylesFor(FBorderStyle, FBorderIcons, styleBits, exStyleBits);
  // Never visible at creation: Show (or the application's Run) shows it.
  Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS | styleBits;
  if (!FEnabled)
    Params.Style |= WS_DISABLED;
  Params.ExStyle = exStyleBits;
  if (FFormStyle == fsStayOnTop)
    Params.ExStyle |= WS_EX_TOPMOST;
  // Owned by the application window: no taskbar button of its own, above its owner.
  Params.WndParent = Application ? Application->GetHandle() : nullptr;
  if (FPosition == poDefault || FPosition == poDefaultPosOnly) {
    Params.X = CW_USEDEFAULT;
    Params.Y = CW_USEDEFAULT;
  }
  if (FPosition == poDefault || FPosition == poDefaultSizeOnly) {
    Params.Width = CW_USEDEFAULT;
    Params.Height = CW_USEDEFAULT;
  }
}

void TCustomForm::CreateHandle()
{
  if (Scaled && !FScaledOnce) {
    FScaledOnce = true;
    const int screen = ScreenPixelsPerInch();
    if (FPixelsPerInch > 0 && screen > 0 && FPixelsPerInch != screen)
      ScaleBy(screen, FPixelsPerInch);
    FPixelsPerInch = screen;
  }
  TWinControl::CreateHandle();
}

void TCustomForm::ChangeScale(int M, int D)
{
  if (M == D || D == 0)
    return;
  // The form keeps its place on the screen; its content and client area grow or shrink. The layout waits
  // until the children and the client area are both scaled.
  const int clientWidth = GetClientWidth();
  const int clientHeight = GetClientHeight();
  DisableAlign();
  try {
    ScaleChildren(M, D);
    GetFont()->SetHeight(MulDiv(GetFont()->GetHeight(), M, D));
    SetClientSize(MulDiv(clientWidth, M, D), MulDiv(clientHeight, M, D));
  } catch (...) {
    EnableAlign();
    throw;
  }
  RebaseChildren();
  EnableAlign();
}

TRect TCustomForm::GetClientRect() const
{
  if (HandleAllocated() || FParent)
    return TWinControl::GetClientRect();
  DWORD styleBits = 0;
  DWORD exStyleBits = 0;
  StylesFor(FBorderStyle, FBorderIcons, styleBits, exStyleBits);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, styleBits, FALSE, exStyleBits);
  const int frameWidth = static_cast<int>(frame.right - frame.left);
  const int frameHeight = static_cast<int>(frame.bottom - frame.top);
  return Rect(0, 0, std::max(0, FWidth - frameWidth), std::max(0, FHeight - frameHeight));
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style)
{
  if (style == FBorderStyle)
    return;
  const TFormBorderStyle old = FBorderStyle;
  FBorderStyle = style;
  UpdateFrameStyles(old, FBorderIcons);
}

void TCustomForm::SetBorderIcons(TBorderIcons icons)
{
  if (icons == FBorderIcons)
    return;
  const TBorderIcons old = FBorderIcons;
  FBorderIcons = icons;
  UpdateFrameStyles(FBorderStyle, old);
}

void TCustomForm::UpdateFrameStyles(TFormBorderStyle oldStyle, TBorderIcons oldIcons)
{
  if (!HandleAllocated() || FParent)
    return;
  DWORD oldStyleBits = 0;
  DWORD oldExStyleBits = 0;
  StylesFor(oldStyle, oldIcons, oldStyleBits, oldExStyleBits);
  DWORD styleBits = 0;
  DWORD exStyleBits = 0;
  StylesFor(FBorderStyle, FBorderIcons, styleBits, exStyleBits);
  // Only the bits of the old frame give way; what CreateParams or the program added otherwise stays.
  const HWND window = GetHandle();
  const DWORD style = (static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & ~oldStyleBits) | styleBits;
  const DWORD exStyle = (static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & ~oldExStyleBits) | exStyleBits;
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style));
  SetWindowLongA(window, GWL_EXSTYLE, static_cast<LONG>(exStyle));
  SetWindowPos(window, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Same outer size, another client area.
  Realign();
}

void TCustomForm::SetFormStyle(TFormStyle style)
{
  if (style == FFormStyle)
    return;
  FFormStyle = style;
  if (HandleAllocated() && !FParent)
    SetWindowPos(GetHandle(), style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetActiveControl(TWinControl* control)
{
  if (control && !ContainsControl(control))
    throw EInvalidOperation("The control is not on this form");
  FActiveControl = control;
  if (control && FActive && control->CanFocus())
    control->SetFocus();
}

void TCustomForm::ApplyPosition()
{
  FPositioned = true;
  const int screenWidth = SysApi().GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = SysApi().GetSystemMetrics(SM_CYSCREEN);
  TRect area = Rect(0, 0, screenWidth, screenHeight);
  TCustomForm* over = nullptr;
  switch (FPosition) {
  case poScreenCenter:
  case poDesktopCenter:
    break;
  case poOwnerFormCenter:
    over = dynamic_cast<TCustomForm*>(Owner());
    [[fallthrough]];
  case poMainFormCenter:
    if (!over && Application)
      over = Application->GetMainForm();
    if (over == this || (over && !over->GetVisible()))
      over = nullptr;
    if (over)
      area = over->GetBoundsRect();
    break;
  default:
    return;
  }
  const int left = area.left + (area.right - area.left - FWidth) / 2;
  const int top = area.top + (area.bottom - area.top - FHeight) / 2;
  SetBounds(left, top, FWidth, FHeight);
}

void TCustomForm::SetVisible(bool visible)
{
  if (DeferVisible(visible))
    return;
  if (FParent) {
    TWinControl::SetVisible(visible);
    return;
  }
  if (visible) {
    if (!FPositioned)
      ApplyPosition();
    const HWND window = GetHandle();
    FVisible = true;
    if (!IsWindowVisible(window))
      ShowWindow(window, SW_SHOW);
  } else {
    FVisible = false;
    if (HandleAllocated() && IsWindowVisible(GetHandle()))
      ShowWindow(GetHandle(), SW_HIDE);
  }
}

void TCustomForm::Show()
{
  const TLifeToken life(this);
  // OnShow may free the form.
  SetVisible(true);
  if (!life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  BringToFront();
}

bool TCustomForm::CloseQuery()
{
  bool canClose = true;
  if (CanRaiseEvents())
    OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close()
{
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  const TLifeToken life(this);
  if (!CloseQuery() || !life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  TCloseAction action = caHide;
  DoClose(action);
  if (!life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  if (action == caNone)
    return;
  // Whatever OnClose chose, closing the main form ends the application.
  if (Application && Application->GetMainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
  case caHide:
    Hide();
    break;
  case caMinimize:
    if (HandleAllocated())
      ShowWindow(GetHandle(), SW_MINIMIZE);
    break;
  case caFree:
    Release();
    break;
  case caNone:
    break;
  }
}

int TCustomForm::ShowModal()
{
  if (FVisible || !FEnabled || FModal || FParent)
    throw EInvalidOperation("Cannot make a visible window modal");
  if (HWND capture = ::GetCapture()) {
    SendMessageA(capture, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
  }
  const TLifeToken life(this);
  const TOwnQuit ownQuit(Application->FTerminated);
  TModalWindows others(GetHandle());
  FModal = true;
  FModalResult = mrNone;
  TCloseAction action = caHide;
  bool lives = true;
  try {
    Show();
    lives = life.Alive() && RunModalLoop(others, action);
  } catch (...) {
    if (life.Alive())
      EndModal(others);
    throw;
  }
  // A handler freed the form: the other windows come back all the same.
  if (!lives)
    return mrCancel;
  // Taken first: hiding raises OnHide, which may free the form.
  const TModalResult result = FModalResult;
  EndModal(others);
  if (action == caFree && life.Alive())
    Release();
  return result;
}

bool TCustomForm::RunModalLoop(TModalWindows& others, TCloseAction& action)
{
  const TLifeToken life(this);
  while (true) {
    try {
      Application->HandleMessage();
    } catch (...) {
      Application->HandleException(this);
    }
    if (!life.Alive())
      return false;
    KO_ASSERT(ComponentLives(life));
    if (Application->GetTerminated()) {
      if (FModalResult == mrNone)
        FModalResult = mrCancel;
      return true;
    }
    if (FModalResult == mrNone) {
      others.DisableOthers();
      continue;
    }
    // The form may still refuse to close.
    const bool canClose = CloseQuery();
    if (!life.Alive())
      return false;
    if (canClose) {
      action = caHide;
      DoClose(action);
      if (!life.Alive())
        return false;
      if (action != caNone)
        return true;
    }
    FModalResult = mrNone;
  }
}

void TCustomForm::EndModal(TModalWindows& others)
{
  others.EnableOthers();
  FModal = false;
  Hide();
  others.ActivatePrevious();
  // A release of this form (or of one of its controls) may have waited for the modal loop to end.
  ResumeWaitingReleases();
}

bool TCustomForm::HandlingMessage() const
{
  return FModal || TWinControl::HandlingMessage();
}

void TCustomForm::FocusActiveControl()
{
  TWinControl* target = FActiveControl;
  if (!target || !target->CanFocus())
    target = FindNextControl(nullptr, true, true, false);
  if (!target || !target->CanFocus())
    return;
  FActiveControl = target;
  ::SetFocus(target->GetHandle());
}

void TCustomForm::WndProc(TMessage& Message)
{
  switch (Message.Msg) {
  case WM_ACTIVATE:
    WMActivate(Message);
    return;
  case WM_SHOWWINDOW:
    TWinControl::WndProc(Message);
    // Shown or hidden by ShowWindow (not by the owner being minimised or restored).
    if (Message.LParam == 0 && !DestroyingHandle() && !FParent) {
      const bool shown = Message.WParam != 0;
      FVisible = shown;
      if (Application && Application->GetMainForm() == this)
        Application->MainFormVisibilityChanged(shown);
      // Last: the handler may free the form.
      if (shown)
        DoShow();
      else
        DoHide();
    }
    return;
  case WM_CLOSE:
    Close();
    Message.Result = 0;
    return;
  case WM_QUERYENDSESSION:
    Message.Result = CloseQuery() ? TRUE : FALSE;
    return;
  case WM_SYSCOMMAND:
    if ((Message.WParam & 0xFFF0) == SC_MINIMIZE && Application && Application->GetMainForm() == this) {
      Application->Minimize();
      Message.Result = 0;
      return;
    }
    TWinControl::WndProc(Message);
    return;
  default:
    TWinControl::WndProc(Message);
    return;
  }
}

void TCustomForm::SetFocusedControl(TWinControl* Control)
{
  FActiveControl = Control;
  TWinControl::SetFocusedControl(Control);
}

void TCustomForm::DefocusControl(TWinControl* Control, bool Removing)
{
  if (FActiveControl && Control && (FActiveControl == Control || Control->ContainsControl(FActiveControl)))
    FActiveControl = nullptr;
  TWinControl::DefocusControl(Control, Removing);
}

void TCustomForm::WMActivate(TMessage& Message)
{
  const TLifeToken life(this);
  if (LOWORD(Message.WParam) == WA_INACTIVE) {
    FActive = false;
    TWinControl::WndProc(Message);
    if (life.Alive())
      Deactivate();
    return;
  }
  FActive = true;
  if (Screen)
    Screen->FActiveForm = this;
  // The focus goes to the control that had it (or the first in tab order), else to the form; the
  // controls' OnExit and OnEnter come before the form's OnActivate.
  bool childFocused = false;
  if (!HIWORD(Message.WParam)) {
    FocusActiveControl();
    if (!life.Alive())
      return;
    childFocused = FActiveControl && FActiveControl->Focused();
  }
  if (childFocused)
    Message.Result = 0;
  else
    TWinControl::WndProc(Message);
  if (!life.Alive())
    return;
  KO_ASSERT(ComponentLives(life));
  Activate();
}

void TCustomForm::PaintWindow(HDC dc)
{
  FCanvas->PaintOn(dc, [this] { Paint(); });
}

void TCustomForm::Activate()
{
  if (CanRaiseEvents())
    OnActivate(this);
}

void TCustomForm::Deactivate()
{
  if (CanRaiseEvents())
    OnDeactivate(this);
}

void TCustomForm::DoShow()
{
  if (CanRaiseEvents())
    OnShow(this);
}

void TCustomForm::DoHide()
{
  if (CanRaiseEvents())
    OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& Action)
{
  if (CanRaiseEvents())
    OnClose(this, Action);
}

void TCustomForm::Paint()
{
  if (CanRaiseEvents())
    OnPaint(this);
}

TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner) {}

namespace {

const bool kFormEnumsPublished =
    PublishEnum<TFormBorderStyle>({"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}) &&
    PublishEnum<TBorderIcon>({"biSystemMenu", "biMinimize", "biMaximize"}) &&
    PublishEnum<TFormStyle>({"fsNormal", "fsStayOnTop"}) &&
    PublishEnum<TPosition>({"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                            "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"}) &&
    PublishEnum<TScrollBarKind>({"sbHorizontal", "sbVertical"});

// A form keeps its client size rather than its outer one, which depends on the frame the system draws;
// the frame comes first, so that the client size is read against the right one. PixelsPerInch is the
// screen's at design time and always kept, so that a form made on another screen can be scaled.
const bool kFormPublished = [] {
  auto table = PublishClass<TForm>();
  table.Property("BorderIcons", &TForm::GetBorderIcons, &TForm::SetBorderIcons,
                 TBorderIcons{biSystemMenu, biMinimize, biMaximize})
      .Property("BorderStyle", &TForm::GetBorderStyle, &TForm::SetBorderStyle, bsSizeable)
      .Property("Left", &TForm::GetLeft, &TForm::SetLeft, 0)
      .Property("Top", &TForm::GetTop, &TForm::SetTop, 0)
      .Property("ClientWidth", &TForm::GetClientWidth, &TForm::SetClientWidth, NoDefault)
      .Property("ClientHeight", &TForm::GetClientHeight, &TForm::SetClientHeight, NoDefault);
  PublishControlMembers(table, {"Caption", "Color", "Constraints", "Enabled", "Font", "HelpContext", "Hint",
                                "PopupMenu", "ShowHint"});
  table.Property("FormStyle", &TForm::GetFormStyle, &TForm::SetFormStyle, fsNormal)
      .Property("PixelsPerInch", &TForm::GetPixelsPerInch, &TForm::SetPixelsPerInch, NoDefault)
      .Property("Position", &TForm::GetPosition, &TForm::SetPosition, poDesigned)
      .Property("Scaled", &TForm::Scaled, true)
      .Property("Visible", &TForm::GetVisible, &TForm::SetVisible, false)
      .Event("OnActivate", &TForm::OnActivate)
      .Event("OnClose", &TForm::OnClose)
      .Event("OnCloseQuery", &TForm::OnCloseQuery)
      .Event("OnDeactivate", &TForm::OnDeactivate)
      .Event("OnHide", &TForm::OnHide)
      .Event("OnPaint", &TForm::OnPaint)
      .Event("OnShow", &TForm::OnShow);
  PublishControlMembers(table, {"OnClick", "OnContextPopup", "OnDblClick", "OnKeyDown", "OnKeyPress", "OnKeyUp",
                                "OnMouseDown", "OnMouseMove", "OnMouseUp", "OnResize"});
  RegisterCreatable(TCreatableClass::Of<TForm>());
  return true;
}();

} // namespace
