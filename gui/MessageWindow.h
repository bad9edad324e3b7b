#pragma once
// Hidden windows that deliver their messages to an object's method: for components that need a window
// handle of their own (notification-area callbacks, menu owners) without being controls.
#include "Handles.h"
#include "Messages.h"
#include "WindowBinder.h"

#include <windows.h>

// Creates a hidden top-level window (so it also gets the system's broadcasts) of a private class, owned by
// the calling thread. Every message after creation goes to `method`, and the window procedure returns the
// message's Result; nothing is passed to the system's default procedure unless the method does so itself.
// Exceptions from the method are handed to HandleException. Free the window with DeallocateHWnd; one that
// is destroyed otherwise gets its destroy messages and then drops the method.
HWND AllocateHWnd(const TWndMethod& method);

// Destroys a window made by AllocateHWnd. Its method gets no message from the moment of the call on, not
// even the destroy messages, because the caller is usually half-way through its own destruction. A null
// window does nothing; a window of another kind fails an assertion.
void DeallocateHWnd(HWND window);

struct TMessageWindowTraits {
  using Handle = HWND;
  static HWND Invalid() { return nullptr; }
  static bool IsInvalid(HWND window) { return window == nullptr; }
  static void Free(HWND window) { DeallocateHWnd(window); }
};
// Owns a window made by AllocateHWnd and frees it with DeallocateHWnd.
using TMessageWindowHandle = TUniqueHandle<TMessageWindowTraits>;

// Window class of the hidden windows.
constexpr const char* kMessageWindowClass = "TMessageWindow";
