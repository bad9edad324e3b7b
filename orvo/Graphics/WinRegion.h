#pragma once
// A window region cut out of a picture: every pixel of the key colour is left out of the window.
#include "Colors.h"
#include "Handles.h"

#include <windows.h>

#include <cstdint>

class TBitmap;

namespace orvo {

// Owns one GDI region from construction to destruction; windows only ever receive copies of it.
// Coordinates are the bitmap's pixels, right and bottom edges exclusive. Every GDI failure is an assertion.
class WinRegion {
public:
  // An empty region.
  WinRegion();
  ~WinRegion() = default;
  WinRegion(const WinRegion&) = delete;
  WinRegion& operator=(const WinRegion&) = delete;

  // The region itself, for reading; it stays owned here.
  HRGN Handle() const { return m_hrgn.Get(); }

  // Makes the region this one rectangle; (0, 0, 0, 0) empties it.
  void SetRect(int left, int top, int right, int bottom);
  // Removes `other`'s area from this region.
  void Subtract(const WinRegion& other);
  // A new region with this one's shape, owned by the caller.
  TRegionHandle Duplicate() const;

  // The bitmap's area minus every pixel of `keyColor` (its top byte is ignored). A bitmap that is not
  // ScansInPlace is converted to 24 bits for the scan and back afterwards, which drops an alpha channel:
  // pass a copy of such a skin.
  // The key runs are gathered and removed in one operation, so the cost grows with the number of runs,
  // not with its square.
  void FromBitmap(TBitmap& bitmap, TColor keyColor);
  // The same region built by subtracting each key run on its own, which is quadratic in the number of
  // runs; kept as the plain form FromBitmap's result is checked and measured against.
  void FromBitmapByRuns(TBitmap& bitmap, TColor keyColor);
  // Whether the scan reads `bitmap` as it is (24 and 32 bits per pixel), leaving it untouched.
  static bool ScansInPlace(const TBitmap& bitmap);

  // Gives `hwnd` a copy of `region` (SetWindowRgn) and returns SetWindowRgn's result. On success the
  // system owns the copy; on failure the copy is freed here.
  static int ApplyToWindow(HWND hwnd, const WinRegion& region, bool redraw);

  // From `cursor`, skips pixels until one has the key colour (bytes blue, green, red) or `end` is reached:
  // that is the run start, which is returned. Then moves `cursor` past the pixels of the key colour.
  // `step` is the pixel size in bytes.
  static const uint8_t* FindColorRun(const uint8_t*& cursor, const uint8_t* end, uint8_t red, uint8_t green,
                                     uint8_t blue, int step);

private:
  TRegionHandle m_hrgn;
};

} // namespace orvo
