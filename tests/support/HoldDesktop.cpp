// Keeps one windowed process alive on a test desktop for a whole test run: Wine starts its desktop
// process for the first windowed process and ends it after the last, which every test program would
// otherwise pay for. Its window is never shown; the run ends it by its process id.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "KoHoldDesktop";
  if (!RegisterClassA(&windowClass) ||
      !CreateWindowExA(0, windowClass.lpszClassName, "", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr, instance,
                       nullptr))
    return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    DispatchMessageA(&msg);
  return 0;
}
