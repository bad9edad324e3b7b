#pragma once
// The program's main unit: the start-up sequence behind the entry point (WinMain.cpp) and the main window,
// whose face is the skin picture and which owns the program-wide behaviour around the two windows.
#include "KoShapedWindow.h"

#include "Classes.h"
#include "Forms.h"
#include "Handles.h"
#include "Messages.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class TBitmap;
class TImage;
class TMenuItem;
class TPopupMenu;
class TsTrayIcon;

// Multiplies each colour byte of a 32-bit bitmap by its pixel's alpha (colour * alpha / 255, truncated),
// as a per-pixel-alpha window needs its picture. Bitmaps of other formats are left alone.
void PremultiplyAlpha(TBitmap& bitmap);

// ChangeWindowMessageFilter as found in user32 when the unit was initialised; null where the system
// lacks it. Tests may put another function in.
using TChangeWindowMessageFilter = BOOL(WINAPI*)(UINT message, DWORD action);
extern TChangeWindowMessageFilter ChangeWindowMessageFilterPtr;
// Lets `message` through (action 1, MSGFLT_ADD) or not; true without a call where there is no filter.
BOOL AllowMessage(UINT message, DWORD action);

// Path of a skin file: the skin folder, then the name. The folder is "Resource\" beside the executable;
// tests may point it elsewhere (with its trailing backslash; empty puts the usual one back).
std::string SkinPath(const std::string& fileName);
void SetSkinFolder(const std::string& folder);

// The executable runs under the name that calls the program "System Vantor" (letter case matters).
bool IsSystemVariant(const std::string& exePath);
// The start-hidden switch among parameters 1 to the last: "-r" or "-R", nothing else.
bool HasStartHiddenSwitch(const std::vector<std::string>& params);

// How the checks before any window ends.
enum class TStartOutcome {
  Blocked,          // the BIOS configuration excludes the program; no mutex was made
  SecondCopy,       // another copy runs; it was asked to show itself
  LacksLevelSetting, // the BIOS offers no CPU level setting (or its companion)
  Run,              // this copy runs
};
// The checks of the start-up sequence, in order: the excluded configuration, the single-instance mutex
// `mutexName` (kept in `mutex` from then on, whatever follows) and the BIOS's level setting. Silent.
TStartOutcome CheckStartup(const char* mutexName, TKernelHandle& mutex);
// The whole program: the checks, both windows, the message loop. Always 0.
int RunVantor();

// The main window: borderless, always on top, shaped and blended by its 32-bit picture. It shows and hides
// itself together with the level dialog, with fades; refuses to show while the machine runs in TPX mode;
// changes its picture when the dialog asks; answers the private messages of other processes; and puts the
// program's icon into the notification area.
class TMainForm : public TForm {
public:
  explicit TMainForm(TComponent* AOwner);
  ~TMainForm() override;

  // Both windows on screen: at once the first time after start-up, faded in afterwards. While the BIOS
  // reports TPX mode only the balloon notice shows.
  void ShowForms();
  // Both windows off screen, faded out when both were visible.
  void HideForms();
  // The question picture (true) or the next of the four frames (false). Not pushed to the screen: the
  // caller does that through RefreshShape.
  void SetBackground(bool question);
  // Pushes the current picture to the window again.
  void RefreshShape();

  int GetFrameIndex() const { return FFrameIndex; }
  bool GetPlainShowPending() const { return FPlainShowPending != 0; }
  UINT GetBroadcastMessageId() const { return FBroadcastMessageId; }
  TsPerPixelLayeredFormMaker& GetShapeMaker() { return FShapeMaker; }

  void WndProc(TMessage& Message) override;

  // Components of the form.
  TImage* Background = nullptr;
  TPopupMenu* TrayPopupMenu = nullptr;
  TMenuItem* TrayShow = nullptr;
  TMenuItem* TrayHide = nullptr;
  TMenuItem* TrayExit = nullptr;
  // Owned by the application object, not by the form; null once it has gone.
  TsTrayIcon* TrayIcon = nullptr;
  // Set by start-up from the "-r" switch; the first activation then hides both windows once.
  bool StartHidden = false;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  void Construct();
  void CreateTrayIcon();
  void Recentre();
  void FadeIn();
  void FadeOut();
  // Loads a skin picture into the window's picture and premultiplies it; a file that does not decode
  // leaves the picture as it was.
  void LoadPicture(const std::string& fileName);
  void ApplyLevelMessage(WPARAM level);
  void DisplayChanged();

  void FormActivate(TObject* Sender);
  void TrayIconClick(TObject* Sender);
  void TrayShowClick(TObject* Sender);
  void TrayHideClick(TObject* Sender);
  void TrayExitClick(TObject* Sender);
  void AppMessage(MSG& Msg, bool& Handled);

  UINT FBroadcastMessageId = 0;
  TsPerPixelLayeredFormMaker FShapeMaker;
  std::int32_t FFrameIndex = 0;
  std::uint32_t FPlainShowPending = 1;
};

// The program's main window, made first by start-up.
extern TMainForm* MainForm;
