// benchprobe: the least a windowed program does (a class, one visible window, a message loop), as the
// baseline for starting the real program. It also makes and frees GDI objects on request, so that the
// bench can prove that it counts another process's objects before it believes the counts.
#include "Handles.h"

#include <windows.h>

#include <array>

namespace {

constexpr UINT kMakeBrushes = WM_APP;      // makes ten brushes
constexpr UINT kFreeBrushes = WM_APP + 1;  // frees them again

std::array<TBrushHandle, 10> g_brushes;

void FreeBrushes()
{
  for (TBrushHandle& brush : g_brushes)
    brush.Reset();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case kMakeBrushes:
    for (size_t i = 0; i < g_brushes.size(); ++i)
      g_brushes[i].Reset(CreateSolidBrush(RGB(i, 2, 3)));
    return 0;
  case kFreeBrushes:
    FreeBrushes();
    return 0;
  case WM_DESTROY:
    FreeBrushes();
    PostQuitMessage(0);
    return 0;
  default:
    return DefWindowProcA(window, message, wParam, lParam);
  }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "BenchProbe";
  if (!RegisterClassA(&windowClass))
    return 1;
  const HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "BenchProbe", "bench probe", WS_POPUP | WS_VISIBLE, 40, 40,
                                      120, 80, nullptr, nullptr, instance, nullptr);
  if (!window)
    return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
