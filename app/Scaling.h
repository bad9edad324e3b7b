#pragma once
// The size the two windows are drawn at. Their layout is in 96-ppi pixels; on a scaled display every
// position, size and font height is multiplied by the scale of the skin set in use, which is picked for the
// DPI of the monitor the windows are on, so that the pictures are drawn pixel for pixel, never stretched.
#include <windows.h>

#include <string>

// The scales a skin set may be rendered at, in percent; 100 is the set in the skin folder itself, each
// other one the folder named by its percent in it.
constexpr int kSkinScales[] = {100, 125, 150, 175, 200, 250, 300};

// The largest scale offered whose DPI does not exceed `dpi` and whose set is present in full in the skin
// folder; 100 when none is (or `dpi` is below 120).
int PickSkinScale(UINT dpi);
// The scale the program draws at (100 until set).
int SkinScale();
void SetSkinScale(int percent);
// Path of a picture of the set in use: SkinPath's, in the folder of the current scale.
std::wstring SkinSetPath(const std::string& fileName);
// A 96-ppi length (or a negative font height) at the current scale, rounded as MulDiv rounds.
int ScaleLength(int length);
// The face of the dialog's captions: the bitmap font the layout was made with at 100 %, its outline twin,
// sharp at any size, above.
const char* DialogFontName();
// A font height of the 96-ppi layout (negative: the character height) at the current scale. The layout's
// bitmap font is drawn at the nearest size it has, `drawnHeight` at 96 ppi, not at the height asked for;
// above 100 % that size is scaled, so that the captions keep the size they have at 100 %, times the scale.
// The outline font used there may be wider (another system's stand-in for it even more so): the height is
// made smaller while `widest` would come out wider than `widestWidth`, its width at 96 ppi, times the scale.
int ScaleFontHeight(int height, int drawnHeight, const char* widest = nullptr, int widestWidth = 0);

// The DPI of the primary monitor, where the windows open centred; the system's where the system knows no
// other (before Windows 8.1, whose GetDpiForMonitor is looked up at run time). A window that moves to
// another monitor learns its DPI from WM_DPICHANGED.
UINT PrimaryMonitorDpi();
