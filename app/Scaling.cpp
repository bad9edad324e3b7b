#include "Scaling.h"

#include "Main.h"

#include "GraphicObjects.h"
#include "Handles.h"

#include <iterator>

namespace {

int g_skinScale = 100;
constexpr const char* kLayoutFont = "MS Sans Serif";

// Every picture a set must hold: a set missing one would show a gap where the picture should be.
constexpr const char* kSetPictures[] = {
    "cpu_bg004.png", "cpu_bg004_1.png", "cpu_bg004_2.png", "cpu_bg004_3.png", "cpu_bg005.png",
    "left_n.png",    "left_o.png",      "left_d.png",      "left_un.png",     "right_n.png",
    "right_o.png",   "right_d.png",     "right_un.png",    "yes_n.png",       "yes_o.png",
    "yes_d.png"};

std::string SetFolder(int percent)
{
  return percent == 100 ? std::string() : std::to_string(percent) + "\\";
}

bool SetPresent(int percent)
{
  for (const char* name : kSetPictures) {
    const DWORD attributes = GetFileAttributesW(SkinPath(SetFolder(percent) + name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return false;
  }
  return true;
}

template <typename F>
F Function(HMODULE module, const char* name)
{
  return module ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

UINT SystemDpi()
{
  const int dpi = ScreenPixelsPerInch();
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// GetDpiForMonitor (Windows 8.1), from shcore.dll, which stays loaded once found.
UINT MonitorDpi(HMONITOR monitor)
{
  using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const auto getDpiForMonitor =
      Function<TGetDpiForMonitor>(LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                                  "GetDpiForMonitor");
  UINT x = 0;
  UINT y = 0;
  constexpr int kEffectiveDpi = 0; // MDT_EFFECTIVE_DPI
  if (monitor && getDpiForMonitor && SUCCEEDED(getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && y > 0)
    return y;
  return SystemDpi();
}

} // namespace

int PickSkinScale(UINT dpi)
{
  for (auto scale = std::rbegin(kSkinScales); scale != std::rend(kSkinScales); ++scale) {
    // A scale's DPI is 96 * percent / 100, exactly, for every scale offered.
    if (*scale == 100 || static_cast<UINT>(*scale) * 96 > dpi * 100)
      continue;
    if (SetPresent(*scale))
      return *scale;
  }
  return 100;
}

int SkinScale()
{
  return g_skinScale;
}

void SetSkinScale(int percent)
{
  g_skinScale = percent;
}

std::wstring SkinSetPath(const std::string& fileName)
{
  return SkinPath(SetFolder(g_skinScale) + fileName);
}

int ScaleLength(int length)
{
  return MulDiv(length, g_skinScale, 100);
}

const char* DialogFontName()
{
  return g_skinScale == 100 ? kLayoutFont : "Microsoft Sans Serif";
}

int ScaleFontHeight(int height, int drawnHeight, const char* widest, int widestWidth)
{
  if (g_skinScale == 100)
    return height;
  int scaled = -MulDiv(drawnHeight, g_skinScale, 100);
  const TWindowDC screen(nullptr);
  if (!widest || !screen)
    return scaled;
  const LONG room = MulDiv(widestWidth, g_skinScale, 100);
  for (; scaled < -6; ++scaled) {
    // Measured as the controls draw it: through a font object like theirs.
    TFont font;
    font.SetName(DialogFontName());
    font.SetHeight(scaled);
    const TSelectObject selected(screen.Get(), font.GetHandle());
    RECT needed{0, 0, 0, 0};
    DrawTextA(screen.Get(), widest, -1, &needed, DT_CALCRECT | DT_NOPREFIX);
    if (needed.right <= room)
      break;
  }
  return scaled;
}

UINT PrimaryMonitorDpi()
{
  return MonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}
