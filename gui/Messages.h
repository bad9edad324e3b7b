#pragma once
// A window message as the library's objects see it, the closure that handles one, and the library's own
// message numbers. Small on purpose: menus and hidden windows need these without the control stack.
#include "Classes.h"

#include <windows.h>

// A window message; handlers set Result.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// A window procedure as a closure: an object and its message method.
using TWndMethod = TClosure<void(TMessage& Message)>;

// The library's own messages, in the application range so they never meet the program's WM_USER ones.
constexpr UINT CM_BASE = 0xB000;
// Posted to the release queue's window: the components released meanwhile are freed.
constexpr UINT CM_RELEASE = CM_BASE + 1;
// Posted to a windowed control: make the windows its windowed children do not have yet.
constexpr UINT CM_CREATECHILDREN = CM_BASE + 2;

inline bool IsMouseMessage(UINT msg)
{
  return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK;
}

inline bool IsKeyMessage(UINT msg)
{
  return msg >= WM_KEYFIRST && msg <= WM_KEYLAST;
}
