#include "Colors.h"

#include "Handles.h"

TColor ColorToRGB(TColor color)
{
  if (color < 0)
    return static_cast<TColor>(GetSysColor(color & 0xFF));
  return color;
}

int ScreenBitsPerPixel()
{
  TWindowDC screen(nullptr);
  return screen ? GetDeviceCaps(screen.Get(), BITSPIXEL) * GetDeviceCaps(screen.Get(), PLANES) : 32;
}
