#pragma once
// The one boundary between the system's window procedures and the library's objects: window classes
// registered with a single procedure, each window bound to one object's message method, messages packed
// into TMessage, exceptions caught before they reach the system, and the binding dropped when the window
// goes. Controls, the application window and hidden message windows all bind their windows here.
#include "Classes.h"
#include "Messages.h"
#include "SysUtils.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// An operation that cannot be carried out in the current state ("Cannot focus a disabled or invisible
// window", a window class name taken by another procedure).
class EInvalidOperation : public Exception {
  using Exception::Exception;
};

// The handler of exceptions that reach a window procedure's boundary; the application object installs
// its own. It is called inside the catch block, so it can rethrow to look at the exception.
extern TNotifyEvent ApplicationHandleException;

// Call only inside a catch block at a window procedure's boundary: hands the exception in flight to
// ApplicationHandleException, or, while none is installed, shows its message in an error box through
// the seam. Nothing escapes from it.
void HandleException(TObject* Sender) noexcept;

// The message of the exception in flight (call inside a catch block).
std::string CurrentExceptionMessage();

// Binds one window at a time to a message method. Owns the window it creates: destroying the binding
// destroys a window that is still there (without telling the method).
class TWindowBinding {
public:
  // Messages go to `target`; exceptions from it are reported with `sender`.
  TWindowBinding(TObject* sender, const TWndMethod& target) : m_sender(sender), m_target(target) {}
  ~TWindowBinding();
  TWindowBinding(const TWindowBinding&) = delete;
  TWindowBinding& operator=(const TWindowBinding&) = delete;

  HWND Handle() const { return m_window; }
  TObject* Sender() const { return m_sender; }

  // Registers a window class of that name with the binder's procedure, unless it is registered already;
  // a class of that name with another procedure raises EInvalidOperation. Returns the class atom.
  static ATOM RegisterWindowClass(const std::string& className, WNDCLASSA windowClass);
  // The instance window classes are registered in and windows created with.
  static HINSTANCE Instance();

  // CreateWindowExA with a class registered by RegisterWindowClass; the window is bound from its first
  // message on, so the creation messages reach the target too. Null when the system refuses.
  HWND Create(DWORD exStyle, const std::string& className, const std::string& caption, DWORD style, int x, int y,
              int width, int height, HWND parent, void* param);
  // Destroys the window; its destroy messages still reach the target. The binding is free afterwards.
  void Destroy();
  // Lets go of the window without destroying it; from now on it gets the system's default handling.
  void Detach();

  // While a message of this binding is being handled (nested calls included).
  bool Dispatching() const { return m_frames != nullptr; }

  // The message handled innermost on this thread right now, as a number no other message gets; 0 when
  // none is.
  static uint64_t CurrentDispatch();
  // Whether the message that CurrentDispatch named is still being handled (0: never).
  static bool StillDispatching(uint64_t dispatch);
  // The objects whose windows are handling a message on this thread right now, innermost first (null
  // for windows bound without one).
  static std::vector<TObject*> DispatchingSenders();

  // Called after the window's last message (WM_NCDESTROY), once the binding has let go of it. The
  // binding may be destroyed inside.
  TClosure<void()> OnDetached;

  // The binding of a window, or null.
  static TWindowBinding* Find(HWND window);

private:
  // One message being handled, on the stack of the window procedure. A binding destroyed meanwhile
  // marks its frames, so that nothing touches it afterwards.
  class TFrame {
  public:
    explicit TFrame(TWindowBinding* binding);
    ~TFrame();
    TFrame(const TFrame&) = delete;
    TFrame& operator=(const TFrame&) = delete;
    bool BindingGone() const { return m_bindingGone; }

  private:
    friend class TWindowBinding;
    TWindowBinding* m_binding;
    TFrame* m_outer;
    // The next frame out on this thread, whatever its binding.
    TFrame* m_outerOnThread;
    uint64_t m_number;
    bool m_bindingGone = false;
  };

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  void Attach(HWND window);
  void Unbind();

  TObject* m_sender;
  TWndMethod m_target;
  HWND m_window = nullptr;
  TFrame* m_frames = nullptr;

  // The frames of every binding on this thread, innermost first, and the last number one got.
  static thread_local TFrame* t_innermost;
  static thread_local uint64_t t_frameNumbers;
};
