#include "MessageWindow.h"

#include "Assertion.h"
#include "SysUtils.h"

#include <memory>

namespace {

TWndMethod* MethodOf(HWND window)
{
  return reinterpret_cast<TWndMethod*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK MessageWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
  const TWndMethod* stored = MethodOf(window);
  // Creation messages come before the method is attached; the system's defaults let creation succeed.
  if (!stored)
    return DefWindowProcA(window, msg, wParam, lParam);
  // A copy: the method may free its own window (and with it the stored closure) while it runs.
  const TWndMethod method = *stored;
  TMessage message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  try {
    method(message);
  } catch (...) {
    HandleException(nullptr);
  }
  // Destroyed without DeallocateHWnd: the window's last message frees its closure.
  if (msg == WM_NCDESTROY) {
    std::unique_ptr<TWndMethod> owned(MethodOf(window));
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  }
  return message.Result;
}

HINSTANCE ThisModule()
{
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&MessageWindowProc), &module);
  return module;
}

ATOM MessageWindowClass()
{
  static const ATOM atom = [] {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MessageWindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kMessageWindowClass;
    return RegisterClassExA(&wc);
  }();
  return atom;
}

bool IsMessageWindow(HWND window)
{
  return GetClassLongPtrA(window, GCW_ATOM) == MessageWindowClass();
}

} // namespace

HWND AllocateHWnd(const TWndMethod& method)
{
  if (!MessageWindowClass())
    throw EOutOfResources("Cannot register the message window class");
  auto stored = std::make_unique<TWndMethod>(method);
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kMessageWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, ThisModule(), nullptr);
  if (!window)
    throw EOutOfResources("Cannot create a message window");
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(stored.release()));
  return window;
}

void DeallocateHWnd(HWND window)
{
  if (!window)
    return;
  KO_ASSERT(IsMessageWindow(window));
  std::unique_ptr<TWndMethod> stored(MethodOf(window));
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}
