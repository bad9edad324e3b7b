#include "KoTrayIcon.h"

#include "Application.h"
#include "Assertion.h"
#include "Form.h"
#include "Icon.h"
#include "Main.h"
#include "Menus.h"
#include "SysApi.h"

#include <cstring>

namespace {

constexpr DWORD kMsgFilterAdd = 1; // MSGFLT_ADD

// Copies what fits of `text` (null: nothing) into a fixed field and terminates it.
template <size_t N>
void CopyCut(char (&field)[N], const char* text)
{
  size_t length = 0;
  while (text && length < N - 1 && text[length])
    ++length;
  if (length)
    std::memcpy(field, text, length);
  field[length] = '\0';
}

} // namespace

// --- CsTrayIcon ---

CsTrayIcon::CsTrayIcon(HWND window, UINT id, UINT callbackMessage) : m_data(std::make_unique<NOTIFYICONDATAA>())
{
  m_data->cbSize = kNotifyIconDataSize;
  m_data->hWnd = window;
  m_data->uID = id;
  m_data->uCallbackMessage = callbackMessage;
  SetVersion(true);
}

CsTrayIcon::~CsTrayIcon()
{
  if (m_added)
    Delete();
}

bool CsTrayIcon::Notify(DWORD message)
{
  return SysApi().Shell_NotifyIconA(message, m_data.get()) == TRUE;
}

void CsTrayIcon::SetVersion(bool on)
{
  m_data->uVersion = on ? NOTIFYICON_VERSION : 0;
  // An older shell does not know the message; the icon works the classic way then.
  Notify(NIM_SETVERSION);
  m_data->uFlags = BuildFlags(false);
  if (m_added)
    m_added = Notify(NIM_MODIFY);
}

UINT CsTrayIcon::BuildFlags(bool withBalloon)
{
  UINT flags = NIF_MESSAGE;
  if (m_data->hIcon)
    flags |= NIF_ICON;
  if (m_data->szTip[0])
    flags |= NIF_TIP;
  if (withBalloon) {
    CopyCut(m_data->szInfo, m_balloonText.c_str());
    flags |= NIF_INFO;
  } else {
    m_data->szInfo[0] = '\0';
  }
  return flags;
}

void CsTrayIcon::Add()
{
  m_data->uFlags = BuildFlags(false);
  m_added = Notify(NIM_ADD);
  // The shell may be busy starting (or restarting) right now.
  if (!m_added)
    m_added = Notify(NIM_ADD);
  if (m_added)
    ApplyVersion();
}

void CsTrayIcon::ApplyVersion()
{
  // The call at construction came before the icon existed, and the shell keeps the classic notifications
  // for an icon unless asked once it has it; the keyboard's notifications come only with a version.
  if (m_data->uVersion)
    Notify(NIM_SETVERSION);
}

void CsTrayIcon::SetFocus()
{
  if (m_added)
    Notify(NIM_SETFOCUS);
}

bool CsTrayIcon::IconRect(RECT& rect) const
{
  NOTIFYICONIDENTIFIER icon{};
  icon.cbSize = sizeof(icon);
  icon.hWnd = m_data->hWnd;
  icon.uID = m_data->uID;
  return m_added && SUCCEEDED(SysApi().Shell_NotifyIconGetRect(&icon, &rect));
}

void CsTrayIcon::Delete()
{
  m_data->uFlags = BuildFlags(false);
  m_added = !Notify(NIM_DELETE);
}

void CsTrayIcon::Modify(bool withBalloon)
{
  if (!m_added)
    return;
  m_data->uFlags = BuildFlags(withBalloon);
  // A refused modify leaves the icon as it was; there is nothing better to do.
  Notify(NIM_MODIFY);
}

void CsTrayIcon::SetVisible(bool on)
{
  m_wanted = on;
  if (on == m_added)
    return;
  if (on)
    Add();
  else
    Delete();
}

void CsTrayIcon::Readd()
{
  if (!m_wanted)
    return;
  m_added = false;
  Add();
  // A shell that still holds the icon (the message came from someone else) refuses the add but takes
  // the data; counting the icon absent then would leave it behind when we go.
  if (!m_added)
    m_added = Notify(NIM_MODIFY);
}

void CsTrayIcon::SetTip(const char* text)
{
  CopyCut(m_data->szTip, text);
}

void CsTrayIcon::SetBalloonText(const std::string& text)
{
  m_balloonText = text;
}

HICON CsTrayIcon::SetIcon(HICON icon)
{
  const HICON previous = m_data->hIcon;
  m_data->hIcon = icon;
  return previous;
}

// --- TTrayClickKind ---

bool TrayClickAccepts(TTrayClickKind kind, LPARAM code)
{
  switch (kind) {
  case tckLeftDown:
    return code == WM_LBUTTONDOWN;
  case tckDoubleClick:
    return code == WM_LBUTTONDBLCLK || code == WM_RBUTTONDBLCLK;
  case tckAnyDown:
    return code == WM_LBUTTONDOWN || code == WM_RBUTTONDOWN || code == WM_MBUTTONDOWN;
  case tckAnyUp:
    return code == WM_LBUTTONUP || code == WM_RBUTTONUP || code == WM_MBUTTONUP;
  case tckLeftUp:
    return code == WM_LBUTTONUP;
  case tckLeftDblClick:
    return code == WM_LBUTTONDBLCLK;
  case tckRightUp:
    return code == WM_RBUTTONUP;
  case tckRightDblClick:
    return code == WM_RBUTTONDBLCLK;
  case tckNone:
    break;
  }
  return false;
}

// --- TsTrayIcon ---

namespace {

// Counts the messages being handled, unless a handler freed the component meanwhile.
class THandlingCount {
public:
  THandlingCount(const TComponent* component, int& count) : m_life(component), m_count(count) { ++m_count; }
  ~THandlingCount()
  {
    if (m_life.Alive())
      --m_count;
  }
  THandlingCount(const THandlingCount&) = delete;
  THandlingCount& operator=(const THandlingCount&) = delete;

private:
  TLifeToken m_life;
  int& m_count;
};

} // namespace

TsTrayIcon::TsTrayIcon(TComponent* owner, UINT id, UINT callbackMessage)
    : TComponent(owner), FWindow(AllocateHWnd(TWndMethod(this, &TsTrayIcon::TrayWndProc))),
      FNotifier(FWindow.Get(), id, callbackMessage), FIcon(std::make_unique<TIcon>()),
      FCallbackMessage(callbackMessage), FTaskbarCreatedMessage(RegisterWindowMessageA(kTaskbarCreatedMessageName))
{
  // An elevated copy would otherwise never hear of a restarted taskbar; where the filter is refused the
  // icon merely stays lost as before.
  if (FTaskbarCreatedMessage)
    AllowMessage(FTaskbarCreatedMessage, kMsgFilterAdd);
  FIcon->OnChange = TNotifyEvent(this, &TsTrayIcon::IconChanged);
  FIcon->Assign(Application->GetIcon());
  FNotifier.SetIcon(FIcon->GetHandle());
}

TsTrayIcon::~TsTrayIcon()
{
  // The window first, so that no callback meets a half-destroyed object; the notifier deletes the icon
  // from the notification area last, when it goes with the members.
  FWindow.Reset();
  FIcon->OnChange = nullptr;
  FIcon.reset();
}

void TsTrayIcon::BeforeDestruction()
{
  TComponent::BeforeDestruction();
  FWindow.Reset();
}

void TsTrayIcon::SetTip(const std::string& text)
{
  FNotifier.SetTip(text.c_str());
  FNotifier.Modify(false);
}

void TsTrayIcon::SetIcon(TIcon* icon)
{
  FIcon->Assign(icon);
  FNotifier.SetIcon(FIcon->GetHandle());
}

void TsTrayIcon::IconChanged(TObject* /*Sender*/)
{
  // The icon has already freed its previous handle: the record must not send that one again.
  FNotifier.SetIcon(FIcon->GetHandle());
  FNotifier.Modify(false);
}

void TsTrayIcon::Refresh()
{
  FNotifier.Modify(false);
}

void TsTrayIcon::ShowBalloon()
{
  FNotifier.Modify(true);
}

void TsTrayIcon::HideBalloon()
{
  FNotifier.Modify(false);
}

void TsTrayIcon::Minimize()
{
  const TLifeToken life(this);
  Application->Minimize();
  if (!life.Alive())
    return;
  ShowWindow(Application->GetHandle(), SW_HIDE);
  if (life.Alive() && !IsDestroying())
    OnMinimize(this);
}

void TsTrayIcon::Restore()
{
  // The application's own events and the activation messages run handlers that may free this component.
  const TLifeToken life(this);
  Application->Restore();
  if (!life.Alive())
    return;
  const HWND window = Application->GetHandle();
  ShowWindow(window, SW_RESTORE);
  // Refused while another program is in front; the window is shown all the same.
  SetForegroundWindow(window);
  if (life.Alive() && !IsDestroying())
    OnRestore(this);
}

void TsTrayIcon::Popup(int X, int Y)
{
  TPopupMenu* const menu = PopupMenu;
  if (!menu)
    return;
  KO_ASSERT(ComponentLives(menu));
  const TLifeToken life(this);
  const TLifeToken menuLife(menu);
  // Without a main form the hidden window is brought to the front: the menu needs its thread in front.
  TCustomForm* const mainForm = Application->GetMainForm();
  const HWND front = mainForm ? mainForm->GetHandle() : FWindow.Get();
  // Refused while another program is in front; the menu then merely stays open longer.
  SetForegroundWindow(front);
  if (!life.Alive() || !menuLife.Alive() || IsDestroying())
    return;
  menu->SetPopupComponent(this);
  menu->Popup(X, Y);
}

void TsTrayIcon::TrayWndProc(TMessage& Message)
{
  // Nothing reaches the system's default procedure: every result stays 0 unless set here.
  if (IsDestroying())
    return;
  if (Message.Msg == WM_QUERYENDSESSION) {
    // Log-off and shutdown may go on.
    Message.Result = 1;
    return;
  }
  if (FTaskbarCreatedMessage && Message.Msg == FTaskbarCreatedMessage) {
    FNotifier.Readd();
    return;
  }
  // Only the callback carries notification codes; a broadcast's lParam (a thread id, for one) may
  // happen to equal a mouse message.
  if (Message.Msg != FCallbackMessage)
    return;
  const THandlingCount handling(this, FHandling);
  Notified(Message.LParam);
}

void TsTrayIcon::Notified(LPARAM code)
{
  // Pointer moves come between anything; they tell nothing about what a notification follows.
  const LPARAM previous = FLastCode;
  if (code != WM_MOUSEMOVE)
    FLastCode = code;
  if (code == NIN_SELECT || code == NIN_KEYSELECT || code == WM_CONTEXTMENU) {
    KeyboardNotified(code, previous);
    return;
  }
  const TLifeToken life(this);
  if (TrayClickAccepts(FRestoreOn, code)) {
    Restore();
    if (!life.Alive() || IsDestroying())
      return;
  }
  if (TrayClickAccepts(PopupOn, code)) {
    const TPoint at = Mouse->GetCursorPos();
    Popup(at.x, at.y);
    if (!life.Alive() || IsDestroying())
      return;
  }
  RaiseMouseEvent(code);
}

void TsTrayIcon::RaiseMouseEvent(LPARAM code)
{
  // The position is the pointer's now, not the one the notification was made at.
  auto position = [] { return Mouse->GetCursorPos(); };
  switch (code) {
  case WM_MOUSEMOVE:
    if (OnMouseMove) {
      const TPoint at = position();
      OnMouseMove(nullptr, TShiftState(), at.x, at.y);
    }
    break;
  case WM_LBUTTONDOWN:
    if (OnMouseDown) {
      const TPoint at = position();
      OnMouseDown(nullptr, mbLeft, TShiftState{ssLeft}, at.x, at.y);
    }
    break;
  case WM_LBUTTONUP: {
    const TLifeToken life(this);
    if (OnMouseUp) {
      const TPoint at = position();
      OnMouseUp(nullptr, mbLeft, TShiftState{ssLeft}, at.x, at.y);
      if (!life.Alive() || IsDestroying())
        return;
    }
    OnClick(nullptr);
    break;
  }
  case WM_LBUTTONDBLCLK:
    OnDblClick(nullptr);
    break;
  case WM_RBUTTONDOWN:
    if (OnMouseDown) {
      const TPoint at = position();
      OnMouseDown(nullptr, mbRight, TShiftState{ssRight}, at.x, at.y);
    }
    break;
  case WM_RBUTTONUP:
    if (OnMouseUp) {
      const TPoint at = position();
      OnMouseUp(nullptr, mbRight, TShiftState{ssRight}, at.x, at.y);
    }
    break;
  default:
    // The context-menu notification, right double clicks and the rest mean nothing here.
    break;
  }
}

void TsTrayIcon::KeyboardNotified(LPARAM code, LPARAM previous)
{
  // With a version, the shell follows a left click with NIN_SELECT and a right click with WM_CONTEXTMENU;
  // the clicks have done their work already.
  if (code == NIN_SELECT && previous == WM_LBUTTONUP)
    return;
  if (code == WM_CONTEXTMENU) {
    if (previous != WM_RBUTTONUP && PopupOn != tckNone)
      PopupAtIcon();
    return;
  }
  // Raised last: the handler may free this component.
  OnKeySelect(nullptr);
}

void TsTrayIcon::PopupAtIcon()
{
  RECT icon{};
  TPoint at = Mouse->GetCursorPos();
  if (FNotifier.IconRect(icon))
    at = TPoint{icon.left + (icon.right - icon.left) / 2, icon.top + (icon.bottom - icon.top) / 2};
  const TLifeToken life(this);
  Popup(at.x, at.y);
  if (!life.Alive() || IsDestroying())
    return;
  // Dismissed (or a command that shows no window): the keyboard goes back where the user left it.
  TCustomForm* const mainForm = Application->GetMainForm();
  if (!mainForm || !IsWindowVisible(mainForm->GetHandle()))
    FNotifier.SetFocus();
}
