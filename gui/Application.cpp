#include "Application.h"

#include "Form.h"
#include "HintTips.h"
#include "Screen.h"
#include "SysApi.h"
#include "WindowBinder.h"

#include <algorithm>
#include <cstdlib>

namespace {

std::string TitleFromExeName()
{
  std::string name = ExtractFileName(ApplicationExeName());
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0)
    name.resize(dot);
  return name;
}

// A string name is valid only during the enumeration, so the icon is loaded here.
BOOL CALLBACK LoadFirstIcon(HMODULE module, LPCSTR, LPSTR name, LONG_PTR data)
{
  *reinterpret_cast<HICON*>(data) = static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  return FALSE;
}

// Exceptions caught at any window procedure's boundary go to the application object in force.
struct TExceptionForwarder {
  void Handle(TObject* sender)
  {
    if (Application)
      Application->HandleException(sender);
  }
};
TExceptionForwarder g_exceptionForwarder;

void DestroyApplication()
{
  Application.DestroyMade();
}

TApplication* MakeApplication()
{
  // What the application's forms use while they go at exit is made first, so that it outlives them.
  Screen.Get();
  SysApi();
  auto* application = new TApplication();
  std::atexit(&DestroyApplication);
  return application;
}

} // namespace

TGlobalObject<TApplication> Application(&MakeApplication);

// --- TApplication ---

TApplication::TApplication(TComponent* AOwner)
    : TComponent(AOwner), FWindowProc(TWndMethod(this, &TApplication::WndProc)),
      FBinding(this, TWndMethod(&FWindowProc, &TWindowProcChain::Dispatch)), FTitle(TitleFromExeName()),
      FIcon(std::make_unique<TIcon>())
{
  // The seam table must outlive the application object, whose components use it when they go at exit.
  SysApi();
  if (!ApplicationHandleException)
    ApplicationHandleException = TNotifyEvent(&g_exceptionForwarder, &TExceptionForwarder::Handle);
  LoadDefaultIcon();
  FIcon->OnChange = TNotifyEvent(this, &TApplication::IconChanged);
}

TApplication::~TApplication()
{
  // The forms (and whatever else the application owns) go before the window that owns their windows.
  DestroyComponents();
  FMainForm = nullptr;
  // The tooltip is owned by the application window, which would otherwise take it along unasked.
  FHints.reset();
  // Hooks left by objects that have gone must not see the window's last messages.
  FWindowProc.UnhookAll();
  FBinding.Destroy();
}

void TApplication::LoadDefaultIcon()
{
  const HMODULE module = GetModuleHandleA(nullptr);
  // The executable's first icon group, as the shell shows it.
  HICON icon = nullptr;
  EnumResourceNamesA(module, reinterpret_cast<LPCSTR>(RT_GROUP_ICON), &LoadFirstIcon,
                     reinterpret_cast<LONG_PTR>(&icon));
  if (!icon)
    icon = CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)));
  if (icon)
    FIcon->SetHandle(icon);
}

void TApplication::Initialize()
{
  GetHandle();
}

HWND TApplication::GetHandle()
{
  if (HWND window = FBinding.Handle())
    return window;
  const std::string className = ClassName();
  WNDCLASSA windowClass{};
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  TWindowBinding::RegisterWindowClass(className, windowClass);
  // Zero-sized: it shows on the taskbar, never on the screen.
  const HWND window = FBinding.Create(0, className, FTitle, WS_POPUP | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                                      SysApi().GetSystemMetrics(SM_CXSCREEN) / 2,
                                      SysApi().GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr);
  if (!window)
    throw EOutOfResources("Cannot create the application window");
  if (HICON icon = FIcon->GetHandle()) {
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  return window;
}

THintTips* TApplication::Hints()
{
  if (!FHints)
    FHints = std::make_unique<THintTips>(GetHandle());
  return FHints.get();
}

void TApplication::SetTitle(const std::string& title)
{
  FTitle = title;
  if (FBinding.Handle())
    SetWindowTextA(FBinding.Handle(), FTitle.c_str());
}

void TApplication::SetIcon(TIcon* icon)
{
  FIcon->Assign(icon);
}

void TApplication::IconChanged(TObject* /*Sender*/)
{
  if (!FBinding.Handle())
    return;
  const LPARAM icon = reinterpret_cast<LPARAM>(FIcon->GetHandle());
  SendMessageA(FBinding.Handle(), WM_SETICON, ICON_BIG, icon);
  SendMessageA(FBinding.Handle(), WM_SETICON, ICON_SMALL, icon);
}

void TApplication::FormCreated(TCustomForm* form)
{
  if (FMainForm || !form)
    return;
  // The main form's window exists from here on, so that other programs can find it.
  form->HandleNeeded();
  FMainForm = form;
}

void TApplication::FormDestroyed(TCustomForm* form)
{
  if (FMainForm != form)
    return;
  FMainForm = nullptr;
  // A loop that waits for the main form would wait for ever.
  if (FRunning)
    Terminate();
}

void TApplication::MainFormVisibilityChanged(bool visible)
{
  // The application window carries the taskbar button while the main form is on screen.
  if (!FBinding.Handle())
    return;
  if (visible && !IsWindowVisible(FBinding.Handle()))
    ShowWindow(FBinding.Handle(), SW_SHOWNA);
  else if (!visible && IsWindowVisible(FBinding.Handle()) && !IsIconic(FBinding.Handle()))
    ShowWindow(FBinding.Handle(), SW_HIDE);
}

bool TApplication::ProcessMessage(MSG& msg)
{
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  bool handled = false;
  OnMessage(msg, handled);
  if (!handled) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

void TApplication::Idle()
{
  FreeDeviceContexts();
  WaitMessage();
}

void TApplication::HandleMessage()
{
  MSG msg{};
  if (!ProcessMessage(msg))
    Idle();
}

void TApplication::ProcessMessages()
{
  MSG msg{};
  while (ProcessMessage(msg)) {
    if (FTerminated)
      break;
  }
}

void TApplication::Run()
{
  FRunning = true;
  try {
    if (FMainForm && FShowMainForm)
      FMainForm->SetVisible(true);
  } catch (...) {
    HandleException(this);
  }
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
  FRunning = false;
}

void TApplication::Terminate()
{
  PostQuitMessage(0);
}

void TApplication::Minimize()
{
  const HWND window = GetHandle();
  if (IsIconic(window))
    return;
  ShowWindow(window, SW_MINIMIZE);
  OnMinimize(this);
}

void TApplication::Restore()
{
  const HWND window = GetHandle();
  if (!IsIconic(window))
    return;
  ShowWindow(window, SW_RESTORE);
  OnRestore(this);
}

void TApplication::HandleException(TObject* Sender)
{
  const std::exception_ptr current = std::current_exception();
  if (!current)
    return;
  // A failure while reporting a failure is dropped: nothing may leave this function.
  try {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& error) {
      if (OnException)
        OnException(Sender, error);
      else
        ShowException(error);
    } catch (...) {
      const Exception unknown("Unknown exception");
      if (OnException)
        OnException(Sender, unknown);
      else
        ShowException(unknown);
    }
  } catch (...) {
  }
}

void TApplication::ShowException(const std::exception& E)
{
  MessageBox(E.what(), FTitle, MB_OK | MB_ICONERROR);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags)
{
  HWND owner = GetActiveWindow();
  if (!owner)
    owner = FBinding.Handle();
  return SysApi().MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

void TApplication::WndProc(TMessage& Message)
{
  switch (Message.Msg) {
  case WM_CLOSE:
    if (FMainForm)
      FMainForm->Close();
    Message.Result = 0;
    return;
  case WM_SYSCOMMAND:
    switch (Message.WParam & 0xFFF0) {
    case SC_MINIMIZE:
      Minimize();
      Message.Result = 0;
      return;
    case SC_RESTORE:
      Restore();
      Message.Result = 0;
      return;
    default:
      break;
    }
    break;
  case WM_SETFOCUS: {
    // The taskbar button activates this window; the focus belongs on a form.
    TCustomForm* form = Screen ? Screen->GetActiveForm() : nullptr;
    if (!form || !form->Showing())
      form = FMainForm;
    if (form && form->Showing() && IsWindowEnabled(form->GetHandle())) {
      ::SetFocus(form->GetHandle());
      Message.Result = 0;
      return;
    }
    break;
  }
  default:
    break;
  }
  Message.Result = DefWindowProcA(FBinding.Handle(), Message.Msg, Message.WParam, Message.LParam);
}
