#include "MessageWindow.h"

#include "Assertion.h"
#include "SysUtils.h"

#include <memory>

namespace {

// A hidden window's binding together with the method it serves. It lives as long as the window.
class TMessageWindowBinding : public TWindowBinding {
public:
  explicit TMessageWindowBinding(const TWndMethod& method)
      : TWindowBinding(nullptr, TWndMethod(this, &TMessageWindowBinding::Receive)), m_method(method)
  {
    OnDetached = TClosure<void()>(this, &TMessageWindowBinding::Detached);
  }

  // From now on the method gets every message.
  void Created() { m_created = true; }

  // The binding of one of our windows; null for any other window.
  static TMessageWindowBinding* Of(HWND window);

private:
  void Receive(TMessage& Message)
  {
    // Creation messages come before the method is attached; the system's defaults let creation succeed.
    if (!m_created) {
      Message.Result = DefWindowProcA(Handle(), Message.Msg, Message.WParam, Message.LParam);
      return;
    }
    // A copy: the method may free its own window, and this object with it.
    const TWndMethod method = m_method;
    method(Message);
  }
  // Destroyed without DeallocateHWnd: the window's last message frees its binding.
  void Detached() { delete this; }

  TWndMethod m_method;
  bool m_created = false;
};

ATOM MessageWindowClass()
{
  static const ATOM atom = TWindowBinding::RegisterWindowClass(kMessageWindowClass, WNDCLASSA{});
  return atom;
}

bool IsMessageWindow(HWND window)
{
  return GetClassLongPtrA(window, GCW_ATOM) == MessageWindowClass();
}

TMessageWindowBinding* TMessageWindowBinding::Of(HWND window)
{
  if (!IsMessageWindow(window))
    return nullptr;
  // Every binding of that class is one of these.
  return static_cast<TMessageWindowBinding*>(TWindowBinding::Find(window));
}

} // namespace

HWND AllocateHWnd(const TWndMethod& method)
{
  MessageWindowClass();
  auto owned = std::make_unique<TMessageWindowBinding>(method);
  const HWND window =
      owned->Create(WS_EX_TOOLWINDOW, kMessageWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);
  if (!window)
    throw EOutOfResources("Cannot create a message window");
  owned->Created();
  // The window owns its binding from now on.
  owned.release();
  return window;
}

void DeallocateHWnd(HWND window)
{
  if (!window)
    return;
  KO_ASSERT(IsMessageWindow(window));
  // The method hears nothing more, not even the destroy messages: its owner is usually half gone.
  std::unique_ptr<TMessageWindowBinding> owned(TMessageWindowBinding::Of(window));
  if (owned) {
    owned->OnDetached = nullptr;
    owned->Detach();
  }
  DestroyWindow(window);
}
