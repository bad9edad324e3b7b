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

// The vector code PremultiplyAlpha may run; it takes the widest the processor has.
enum class TPremultiplyCode { Sse2, Avx2 };
bool ProcessorRuns(TPremultiplyCode code);
// PremultiplyAlpha through the given code, which the processor must run (tests compare each with the
// formula).
void PremultiplyAlphaWith(TBitmap& bitmap, TPremultiplyCode code);

// ChangeWindowMessageFilter as found in user32 when the unit was initialised; null where the system
// lacks it. Tests may put another function in.
using TChangeWindowMessageFilter = BOOL(WINAPI*)(UINT message, DWORD action);
extern TChangeWindowMessageFilter ChangeWindowMessageFilterPtr;
// Lets `message` through (action 1, MSGFLT_ADD) or not; true without a call where there is no filter.
BOOL AllowMessage(UINT message, DWORD action);

// Path of a skin file: the skin folder, then the name. The folder is "Resource\" beside the executable;
// tests may point it elsewhere (with its trailing backslash; empty puts the usual one back).
std::wstring SkinPath(const std::string& fileName);
// Opens and closes the file at `path`: a missing or unreadable one raises EFOpenError naming it, as its use
// would, before that use.
void CheckFileOpens(const std::wstring& path);
void SetSkinFolder(const std::wstring& folder);
void SetSkinFolder(const std::string& folder);

// The system's theme makes the taskbar dark; and the notification icon's file that reads on it.
bool TaskbarIsDark();
const char* TrayIconFile(bool darkTaskbar);

// The executable runs under the name that calls the program "System Vantor" (letter case matters).
bool IsSystemVariant(const std::string& exePath);
bool IsSystemVariant(const std::wstring& exePath);
// The name the program gives itself to the user: "CPU Vantor", or "System Vantor" under that name.
std::string ProgramName();

// Before anything loads a library at run time: only the program's folder and the system folder are
// searched (not the current folder, nor PATH). Systems without the call drop the current folder only.
void RestrictDllSearch();
// The start-hidden switch among parameters 1 to the last: "-r" or "-R", nothing else.
bool HasStartHiddenSwitch(const std::vector<std::string>& params);

// How the checks before any window ends.
enum class TStartOutcome {
  Blocked,          // the BIOS configuration excludes the program; no mutex was made
  SecondCopy,       // another copy runs; it was asked to show itself
  LacksLevelSetting, // the BIOS offers no CPU level setting (or its companion)
  Run,              // this copy runs
};
// How long a second copy waits for the running one to show itself; a hung one is not waited for at all.
constexpr UINT kShowRequestTimeoutMs = 5000;
// The checks of the start-up sequence, in order: the excluded configuration, the single-instance mutex
// `mutexName` (kept in `mutex` from then on, whatever follows) and the BIOS's level setting. Silent.
TStartOutcome CheckStartup(const char* mutexName, TKernelHandle& mutex, UINT showTimeoutMs = kShowRequestTimeoutMs);
// Runs `body`; whatever it throws is shown in the application's error box. Always 0.
int RunGuarded(void (*body)());
// The whole program: the checks, both windows, the message loop. Always 0.
int RunVantor();

// Whether forms made from now on leave what their first frame does not show (the notification icon, the
// buttons' pressed, focused and disabled looks) until that frame is on screen. Only the program sets it: forms
// made without it are whole at once.
void SetStartUpExtrasLater(bool later);
bool StartUpExtrasLater();

// A message box with the program's name as caption, owned by `owner` (none: on top of everything).
void TellUser(HWND owner, const char* text, UINT icon);
// What the user is told when the BIOS refuses a level, and when the system refuses the restart after one.
constexpr const char* kLevelNotApplied = "The CPU level could not be applied.";
constexpr const char* kLevelPendingRestart = "The CPU level is applied. It takes effect at the next restart.";

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
  // Asks the system to restart so that an applied level takes effect, and closes the program. True when
  // the system took the request; otherwise nothing closes.
  bool RequestRestart();
  // The restart was refused: the windows go, the user is told the level waits for the next restart, and
  // the program runs on in the notification area.
  void LevelPendingRestart();
  // The main window has begun to close: nothing more is applied or restarted.
  bool IsClosing() const { return FClosing; }

  // What start-up left for after the first frame (see SetStartUpExtrasLater), done now if it is still
  // waiting; before any input reaches the windows and before a show or hide request at the latest.
  void FinishStartUp();
  bool StartUpPending() const { return FLooksPending || FTrayIconPending; }

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
  void DoClose(TCloseAction& Action) override;

private:
  void Construct();
  // The icon, made and added; a TPX notice asked for meanwhile shows once it is there.
  void MakeTrayIcon();
  void CreateTrayIcon();
  // The balloon telling that the program cannot run in TPX mode.
  void ShowTpxNotice();
  // The icon file for the taskbar's theme, into the notification icon.
  void LoadTrayIcon();
  void SettingChanged(LPARAM area);
  void Recentre();
  void FadeIn();
  void FadeOut();
  // Loads a skin picture into the window's picture and premultiplies it; a file that does not decode
  // leaves the picture as it was.
  void LoadPicture(const std::string& fileName);
  // UM_FOREGROUND: the main window to the front, and the keyboard to the dialog when it shows.
  void BringToFront();
  // The answer to UM_APPLY_LEVEL.
  LRESULT ApplyLevelMessage(WPARAM level);
  void DisplayChanged();
  // The pictures and layout of both windows at `scale` (percent), the current picture kept.
  void ApplySkinScale(int scale);
  // The windows moved to a monitor of another DPI, or its DPI changed: both take the pictures for it and
  // the place the system suggests.
  void DpiChanged(UINT dpi, const RECT& suggested);

  void FormActivate(TObject* Sender);
  void TrayIconClick(TObject* Sender);
  void TrayIconKeySelect(TObject* Sender);
  void TrayShowClick(TObject* Sender);
  void TrayHideClick(TObject* Sender);
  void TrayExitClick(TObject* Sender);
  void AppMessage(MSG& Msg, bool& Handled);

  UINT FBroadcastMessageId = 0;
  TsPerPixelLayeredFormMaker FShapeMaker;
  std::int32_t FFrameIndex = 0;
  std::uint32_t FPlainShowPending = 1;
  bool FClosing = false;
  bool FQuestionShown = false;
  bool FLooksPending = false;
  bool FTrayIconPending = false;
  bool FMakingTrayIcon = false;
  bool FTpxNoticePending = false;
};

// The program's main window, made first by start-up.
extern TMainForm* MainForm;
