#pragma once
// Rectangles, points and sizes as the system keeps them, with the framework's constructors for them.
#include <windows.h>

using TRect = RECT;
using TPoint = POINT;
using TSize = SIZE;

inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height)
{
  return TRect{left, top, left + width, top + height};
}
inline TPoint Point(int x, int y) { return TPoint{x, y}; }
inline bool operator==(const TRect& a, const TRect& b)
{
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const TRect& a, const TRect& b) { return !(a == b); }
inline bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(const TPoint& a, const TPoint& b) { return !(a == b); }

inline int RectWidth(const TRect& rect) { return rect.right - rect.left; }
inline int RectHeight(const TRect& rect) { return rect.bottom - rect.top; }
