// benchframe: the floor of the real program's start-up to its first frame. Beyond benchprobe's trivial
// window it does only what that frame cannot go without: the frame picture decoded through pngio.dll and
// premultiplied, pushed to a per-pixel-alpha topmost window, and a colour-keyed window above it with the
// level's name, whose four child windows show the buttons' raised looks, each decoded as well, two of them
// with their captions, in the program's fonts. Ends on WM_CLOSE to its main window.
#include "Main.h"
#include "PngReader.h"
#include "Scaling.h"

#include "Bitmap.h"
#include "Handles.h"

#include <windows.h>

#include <array>
#include <memory>

namespace {

constexpr const char* kFrame = "cpu_bg004.png";
constexpr COLORREF kKeyColour = RGB(255, 0, 255);
// The looks and where the program's dialog shows them, with its captions and the level's name.
struct TLook {
  const char* File;
  int Left;
  int Top;
  const char* Caption;
};
constexpr TLook kLooks[] = {{"left_n.png", 70, 177, ""},
                            {"right_n.png", 282, 177, ""},
                            {"yes_n.png", 101, 261, "OK"},
                            {"yes_n.png", 205, 261, "Cancel"}};
constexpr RECT kLevelName{90, 100, 90 + 225, 100 + 24};
constexpr COLORREF kLevelBlue = RGB(0, 84, 166);

std::unique_ptr<TBitmap> g_frame;
std::array<std::unique_ptr<TBitmap>, 4> g_looks;
TFontHandle g_levelFont;
TFontHandle g_captionFont;

TFontHandle MakeFont(int height, int weight)
{
  return TFontHandle(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, DialogFontName()));
}

void DrawCaption(HDC target, HFONT font, COLORREF colour, const char* text, RECT place)
{
  const TSelectObject selected(target, font);
  SetBkMode(target, TRANSPARENT);
  SetTextColor(target, colour);
  DrawTextA(target, text, -1, &place, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// A skin picture from the program's folder, decoded through pngio.dll and premultiplied.
std::unique_ptr<TBitmap> LoadSkin(const char* fileName)
{
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf32bit);
  LoadPngFile(ProgramFolder() + L"Resource\\" + WidePath(fileName), *bitmap);
  PremultiplyAlpha(*bitmap);
  return bitmap;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message != WM_PAINT)
    return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  const HDC target = BeginPaint(window, &paint);
  DrawCaption(target, g_levelFont.Get(), kLevelBlue, "Level 1", kLevelName);
  EndPaint(window, &paint);
  return 0;
}

LRESULT CALLBACK LookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message != WM_PAINT)
    return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  const HDC target = BeginPaint(window, &paint);
  const auto index = static_cast<size_t>(GetWindowLongPtrA(window, GWLP_USERDATA));
  const TBitmap& look = *g_looks[index];
  {
    const TMemoryDC memory = TMemoryDC::CreateCompatible(target);
    const TSelectObject selected(memory.Get(), look.GetHandle());
    BitBlt(target, 0, 0, look.GetWidth(), look.GetHeight(), memory.Get(), 0, 0, SRCCOPY);
  }
  DrawCaption(target, g_captionFont.Get(), RGB(0, 0, 0), kLooks[index].Caption,
              RECT{0, 0, look.GetWidth(), look.GetHeight()});
  EndPaint(window, &paint);
  return 0;
}

bool RegisterClasses(HINSTANCE instance)
{
  WNDCLASSA main{};
  main.lpfnWndProc = MainProc;
  main.hInstance = instance;
  main.lpszClassName = "BenchProbe";
  WNDCLASSA dialog{};
  dialog.lpfnWndProc = DialogProc;
  dialog.hInstance = instance;
  dialog.hbrBackground = CreateSolidBrush(kKeyColour);
  dialog.lpszClassName = "BenchProbeDialog";
  WNDCLASSA look{};
  look.lpfnWndProc = LookProc;
  look.hInstance = instance;
  look.lpszClassName = "BenchProbeLook";
  return RegisterClassA(&main) && RegisterClassA(&dialog) && RegisterClassA(&look);
}

// The main window (class BenchProbe, the one the bench waits for) shows first, as the program's does.
bool ShowFrame(HINSTANCE instance)
{
  g_frame = LoadSkin(kFrame);
  for (size_t i = 0; i < g_looks.size(); ++i)
    g_looks[i] = LoadSkin(kLooks[i].File);
  if (g_frame->Empty())
    return false;
  g_levelFont = MakeFont(-20, FW_BOLD);
  g_captionFont = MakeFont(-11, FW_NORMAL);
  const int width = g_frame->GetWidth();
  const int height = g_frame->GetHeight();
  const int left = GetSystemMetrics(SM_CXFULLSCREEN) / 2 - width / 2;
  const int top = GetSystemMetrics(SM_CYFULLSCREEN) / 2 - height / 2;
  const DWORD layered = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  const HWND main = CreateWindowExA(layered, "BenchProbe", "bench frame", WS_POPUP, left, top, width, height, nullptr,
                                    nullptr, instance, nullptr);
  const HWND dialog = CreateWindowExA(layered, "BenchProbeDialog", "bench frame dialog", WS_POPUP, left, top, width,
                                      height, main, nullptr, instance, nullptr);
  if (!main || !dialog)
    return false;
  for (size_t i = 0; i < g_looks.size(); ++i) {
    const HWND child =
        CreateWindowExA(0, "BenchProbeLook", "", WS_CHILD | WS_VISIBLE, kLooks[i].Left, kLooks[i].Top,
                        g_looks[i]->GetWidth(), g_looks[i]->GetHeight(), dialog, nullptr, instance, nullptr);
    if (!child)
      return false;
    SetWindowLongPtrA(child, GWLP_USERDATA, static_cast<LONG_PTR>(i));
  }
  SetLayeredWindowAttributes(dialog, kKeyColour, 255, LWA_COLORKEY | LWA_ALPHA);
  const TWindowDC screen(nullptr);
  const TMemoryDC memory = TMemoryDC::CreateCompatible(screen.Get());
  const TSelectObject selected(memory.Get(), g_frame->GetHandle());
  POINT at{left, top};
  SIZE size{width, height};
  POINT from{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(main, screen.Get(), &at, &size, memory.Get(), &from, 0, &blend, ULW_ALPHA);
  ShowWindow(main, SW_SHOW);
  ShowWindow(dialog, SW_SHOW);
  UpdateWindow(dialog);
  return true;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
  if (!RegisterClasses(instance) || !ShowFrame(instance))
    return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
