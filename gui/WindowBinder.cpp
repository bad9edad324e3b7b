#include "WindowBinder.h"

#include "ReleaseQueue.h"
#include "SysApi.h"

#include <exception>
#include <unordered_map>

TNotifyEvent ApplicationHandleException;

std::string CurrentExceptionMessage()
{
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

namespace {

// The executable's file name without folder and extension: the title a program has until it sets one.
std::string ModuleTitle()
{
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path);
  name = name.substr(name.find_last_of("\\/") + 1);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace

void HandleException(TObject* Sender) noexcept
{
  try {
    if (ApplicationHandleException) {
      ApplicationHandleException(Sender);
      return;
    }
    const std::string text = CurrentExceptionMessage();
    SysApi().MessageBoxA(nullptr, text.c_str(), ModuleTitle().c_str(), MB_OK | MB_ICONERROR);
  } catch (...) {
    // A failing error handler has nowhere left to report to; the message loop must go on.
  }
}

// --- TWindowBinding ---

namespace {

// The window property that leads from a window to its binding.
LPCSTR BindingProperty()
{
  static const ATOM atom = GlobalAddAtomA("KoGuiBinding");
  return MAKEINTATOM(atom);
}

// The binding whose window is being created: its first messages arrive before CreateWindowEx returns.
thread_local TWindowBinding* t_creating = nullptr;

// The bound windows, as the windows' properties hold them: every message looks its window up, and under
// some systems reading a property is a round trip to the window server.
struct TBoundWindows {
  SRWLOCK Lock = SRWLOCK_INIT;
  std::unordered_map<HWND, TWindowBinding*> Bindings;
};

class TBoundLock {
public:
  explicit TBoundLock(TBoundWindows& bound) : m_lock(bound.Lock) { AcquireSRWLockExclusive(&m_lock); }
  ~TBoundLock() { ReleaseSRWLockExclusive(&m_lock); }
  TBoundLock(const TBoundLock&) = delete;
  TBoundLock& operator=(const TBoundLock&) = delete;

private:
  SRWLOCK& m_lock;
};

// Never destroyed: windows may be let go of while the process ends.
TBoundWindows& BoundWindows()
{
  static auto* bound = new TBoundWindows;
  return *bound;
}

} // namespace

thread_local TWindowBinding::TFrame* TWindowBinding::t_innermost = nullptr;
thread_local uint64_t TWindowBinding::t_frameNumbers = 0;

TWindowBinding::TFrame::TFrame(TWindowBinding* binding)
    : m_binding(binding), m_outer(binding->m_frames), m_outerOnThread(t_innermost), m_number(++t_frameNumbers)
{
  binding->m_frames = this;
  t_innermost = this;
}

TWindowBinding::TFrame::~TFrame()
{
  t_innermost = m_outerOnThread;
  if (!m_bindingGone)
    m_binding->m_frames = m_outer;
}

uint64_t TWindowBinding::CurrentDispatch()
{
  return t_innermost ? t_innermost->m_number : 0;
}

bool TWindowBinding::StillDispatching(uint64_t dispatch)
{
  // Numbers grow inwards, so the walk can stop at the first older frame.
  for (const TFrame* frame = t_innermost; frame && frame->m_number >= dispatch; frame = frame->m_outerOnThread) {
    if (frame->m_number == dispatch)
      return true;
  }
  return false;
}

std::vector<TObject*> TWindowBinding::DispatchingSenders()
{
  std::vector<TObject*> senders;
  for (const TFrame* frame = t_innermost; frame; frame = frame->m_outerOnThread) {
    // A binding gone, or one whose window went with its control's destruction, leads to no whole object.
    if (!frame->m_bindingGone && frame->m_binding->m_window)
      senders.push_back(frame->m_binding->m_sender);
  }
  return senders;
}

TWindowBinding::~TWindowBinding()
{
  for (TFrame* frame = m_frames; frame; frame = frame->m_outer)
    frame->m_bindingGone = true;
  if (m_window) {
    const HWND window = m_window;
    Unbind();
    DestroyWindow(window);
  }
}

HINSTANCE TWindowBinding::Instance()
{
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&TWindowBinding::WindowProcedure), &module);
  return module;
}

ATOM TWindowBinding::RegisterWindowClass(const std::string& className, WNDCLASSA windowClass)
{
  const HINSTANCE instance = Instance();
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  if (const ATOM atom = static_cast<ATOM>(GetClassInfoExA(instance, className.c_str(), &existing))) {
    if (existing.lpfnWndProc == &TWindowBinding::WindowProcedure)
      return atom;
    throw EInvalidOperation("Window class " + className + " belongs to another window procedure");
  }
  windowClass.lpfnWndProc = &TWindowBinding::WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className.c_str();
  const ATOM atom = RegisterClassA(&windowClass);
  if (!atom)
    throw EOutOfResources("Cannot register window class " + className);
  return atom;
}

HWND TWindowBinding::Create(DWORD exStyle, const std::string& className, const std::string& caption, DWORD style,
                            int x, int y, int width, int height, HWND parent, void* param)
{
  if (m_window)
    throw EInvalidOperation("The window of class " + className + " exists already");
  TWindowBinding* const outer = t_creating;
  t_creating = this;
  const HWND window = CreateWindowExA(exStyle, className.c_str(), caption.c_str(), style, x, y, width, height,
                                     parent, nullptr, Instance(), param);
  t_creating = outer;
  // A window of a class that is not ours, or one that got no message while it was made.
  if (window && m_window != window)
    Attach(window);
  return window;
}

void TWindowBinding::Destroy()
{
  if (!m_window)
    return;
  const HWND window = m_window;
  DestroyWindow(window);
  // WM_NCDESTROY has let go; a window that refused to go is let go of anyway.
  if (m_window == window)
    Detach();
}

void TWindowBinding::Attach(HWND window)
{
  m_window = window;
  SetPropA(window, BindingProperty(), this);
  TBoundWindows& bound = BoundWindows();
  const TBoundLock hold(bound);
  bound.Bindings[window] = this;
}

void TWindowBinding::Unbind()
{
  if (m_window && GetPropA(m_window, BindingProperty()) == this)
    RemovePropA(m_window, BindingProperty());
  if (m_window) {
    TBoundWindows& bound = BoundWindows();
    const TBoundLock hold(bound);
    const auto found = bound.Bindings.find(m_window);
    if (found != bound.Bindings.end() && found->second == this)
      bound.Bindings.erase(found);
  }
  m_window = nullptr;
}

void TWindowBinding::Detach()
{
  if (!m_window)
    return;
  Unbind();
  // Last: the handler may destroy this binding.
  const TClosure<void()> detached = OnDetached;
  detached();
}

TWindowBinding* TWindowBinding::Find(HWND window)
{
  if (!window)
    return nullptr;
  TBoundWindows& bound = BoundWindows();
  const TBoundLock hold(bound);
  const auto found = bound.Bindings.find(window);
  return found != bound.Bindings.end() ? found->second : nullptr;
}

LRESULT CALLBACK TWindowBinding::WindowProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
  TWindowBinding* binding = Find(window);
  if (!binding) {
    binding = t_creating;
    if (!binding || binding->m_window)
      return DefWindowProcA(window, msg, wParam, lParam);
    binding->Attach(window);
  }
  return binding->Dispatch(window, msg, wParam, lParam);
}

LRESULT TWindowBinding::Dispatch(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
  TMessage message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  bool gone = false;
  {
    const TFrame frame(this);
    TObject* const sender = m_sender;
    try {
      // A copy: the handler may free the object, and the closure with it.
      const TWndMethod target = m_target;
      target(message);
    } catch (...) {
      // Nothing may unwind into the system: the application shows the error and the loop goes on.
      HandleException(sender);
    }
    gone = frame.BindingGone();
  }
  // This binding may be gone: only the queue is asked, now that the message is no longer handled.
  ResumeWaitingReleases();
  if (!gone && msg == WM_NCDESTROY && m_window == window)
    Detach();
  return message.Result;
}
