#include "Main.h"

#include "BiosInterface.h"
#include "Ctrlform.h"
#include "KoTrayIcon.h"
#include "PngReader.h"
#include "Scaling.h"
#include "VantorMessages.h"

#include "System/PowerMgr.h"

#include "Application.h"
#include "Bitmap.h"
#include "Classes.h"
#include "ExtCtrls.h"
#include "Icon.h"
#include "Menus.h"
#include "Picture.h"
#include "SysApi.h"
#include "SysUtils.h"

#include <new>
#include <utility>

namespace {

TChangeWindowMessageFilter LookupChangeWindowMessageFilter()
{
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32)
    return nullptr;
  return reinterpret_cast<TChangeWindowMessageFilter>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
}

constexpr const char* kApplicationTitle = "KORA Vantor";
constexpr const char* kFramePictures[] = {"cpu_bg004.png", "cpu_bg004_1.png", "cpu_bg004_2.png", "cpu_bg004_3.png"};
constexpr const char* kQuestionPicture = "cpu_bg005.png";
constexpr const char* kTrayIconFile = "vantor16.ico";
constexpr const char* kDarkTaskbarTrayIconFile = "vantor16_dark.ico";
constexpr const char* kPersonalizeKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr DWORD kMsgFilterAdd = 1; // MSGFLT_ADD
constexpr UINT_PTR kFinishStartUpTimer = 1;

bool g_startUpExtrasLater = false;

bool IsInput(UINT message)
{
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

void AddToolWindowStyle(HWND window)
{
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
}

// The dialog, when start-up got as far as making it: a failure while it is made leaves the main window and
// the notification icon alone for a while, and a click on the icon must not reach for it.
TControlForm* Dialog()
{
  return ControlForm;
}

} // namespace

// Resolved before the entry point runs: start-up and the main window only read it.
TChangeWindowMessageFilter ChangeWindowMessageFilterPtr = LookupChangeWindowMessageFilter();

TMainForm* MainForm = nullptr;

BOOL AllowMessage(UINT message, DWORD action)
{
  if (!ChangeWindowMessageFilterPtr)
    return TRUE;
  return ChangeWindowMessageFilterPtr(message, action);
}

namespace {
std::wstring g_skinFolder;
} // namespace

void SetSkinFolder(const std::wstring& folder)
{
  g_skinFolder = folder;
}

void SetSkinFolder(const std::string& folder)
{
  SetSkinFolder(WidePath(folder));
}

std::wstring SkinPath(const std::string& fileName)
{
  // The names are plain ASCII; the folder may be anything.
  const std::wstring name = WidePath(fileName);
  if (!g_skinFolder.empty())
    return g_skinFolder + name;
  return ProgramFolder() + L"Resource\\" + name;
}

void CheckFileOpens(const std::wstring& path)
{
  const TFileStream file(path, fmOpenRead);
}

bool IsSystemVariant(const std::string& exePath)
{
  return ExtractFileName(exePath) == "SystemVantor.exe";
}

bool IsSystemVariant(const std::wstring& exePath)
{
  return exePath.substr(exePath.find_last_of(L"\\/:") + 1) == L"SystemVantor.exe";
}

std::string ProgramName()
{
  return IsSystemVariant(ProgramPath()) ? "System Vantor" : "CPU Vantor";
}

void RestrictDllSearch()
{
  using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  // Looked up by name: systems without it must still start the program.
  const auto setDefault = reinterpret_cast<TSetDefaultDllDirectories>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32))
    return;
  SetDllDirectoryW(L"");
}

void TellUser(HWND owner, const char* text, UINT icon)
{
  SysApi().MessageBoxA(owner, text, ProgramName().c_str(), MB_OK | icon | (owner ? 0u : MB_TOPMOST | MB_SETFOREGROUND));
}

void SetStartUpExtrasLater(bool later)
{
  g_startUpExtrasLater = later;
}

bool StartUpExtrasLater()
{
  return g_startUpExtrasLater;
}

bool HasStartHiddenSwitch(const std::vector<std::string>& params)
{
  return FindCmdLineSwitch(params, "r", "-", true);
}

// --- start-up ---

TStartOutcome CheckStartup(const char* mutexName, TKernelHandle& mutex, UINT showTimeoutMs)
{
  // Before the mutex exists: a blocked copy never signals a running one.
  if (IsStartupBlocked())
    return TStartOutcome::Blocked;
  const HANDLE created = CreateMutexA(nullptr, TRUE, mutexName);
  const DWORD error = GetLastError();
  mutex.Reset(created);
  // A copy started with other rights (an elevated installer's) holds a mutex this one may not open.
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
    // This copy ends once the running one has shown itself, fade included, but never hangs with it.
    if (HWND running = FindWindowA(kMainWindowClass, kMainWindowCaption)) {
      // The user started this copy, so it may come to the front; the running one shows itself in its place.
      DWORD runningProcess = 0;
      if (GetWindowThreadProcessId(running, &runningProcess))
        AllowSetForegroundWindow(runningProcess);
      DWORD_PTR result = 0;
      SendMessageTimeoutA(running, UM_SHOW_INSTANCE, UM_TAG, 0, SMTO_ABORTIFHUNG, showTimeoutMs, &result);
    }
    return TStartOutcome::SecondCopy;
  }
  AcpiInit(); // again, as the library's own start-up asks; the answer changes nothing here
  if (!HasLevelItem() || !HasCompanionItem())
    return TStartOutcome::LacksLevelSetting;
  return TStartOutcome::Run;
}

int RunGuarded(void (*body)())
{
  try {
    body();
  } catch (const std::bad_alloc&) {
    // Its own text ("std::bad_alloc") says nothing to a user.
    Application->ShowException(Exception("Out of memory"));
  } catch (...) {
    Application->HandleException(Application.Get());
  }
  return 0;
}

int RunVantor()
{
  // The program never has a taskbar button.
  AddToolWindowStyle(Application->GetHandle());
  return RunGuarded([] {
    TKernelHandle mutex;
    const TStartOutcome outcome = CheckStartup(kInstanceMutexName, mutex);
    // The mutex marks the running copy for as long as the process lives; the system frees it then.
    mutex.Extract();
    if (outcome != TStartOutcome::Run)
      return;
    Application->Initialize();
    Application->SetTitle(kApplicationTitle);
    SetStartUpExtrasLater(true);
    // The dialog reads the main window's position and picture, and its window is owned by the main
    // window's: this order cannot be swapped.
    Application->CreateForm(MainForm);
    Application->CreateForm(ControlForm);
    MainForm->StartHidden = HasStartHiddenSwitch(SplitCommandLine(GetCommandLineA()));
    if (MainForm->StartHidden)
      Application->SetShowMainForm(false);
    Application->Run();
  });
}

// --- TMainForm ---

TMainForm::TMainForm(TComponent* AOwner) : TForm(AOwner)
{
  SetBorderStyle(bsNone);
  SetCaption(kMainWindowCaption);
  Scaled = false;
  SetPixelsPerInch(96);
  SetClientSize(483, 388);
  OnActivate = TNotifyEvent(this, &TMainForm::FormActivate);

  Background = new TImage(this);
  Background->SetName("Background");
  Background->SetBounds(0, 0, 105, 105);
  Background->SetParent(this);

  TrayPopupMenu = new TPopupMenu(this);
  TrayPopupMenu->SetName("TrayPopupMenu");
  const std::pair<TMenuItem**, const char*> items[] = {{&TrayShow, "Show"}, {&TrayHide, "Hide"}, {&TrayExit, "Exit"}};
  for (const auto& [item, caption] : items) {
    *item = new TMenuItem(this);
    (*item)->SetName(std::string("Tray") + caption);
    (*item)->SetCaption(caption);
    TrayPopupMenu->Items()->Add(*item);
  }
  TrayShow->OnClick = TNotifyEvent(this, &TMainForm::TrayShowClick);
  TrayHide->OnClick = TNotifyEvent(this, &TMainForm::TrayHideClick);
  TrayExit->OnClick = TNotifyEvent(this, &TMainForm::TrayExitClick);

  try {
    Construct();
  } catch (...) {
    // Nothing may call back into a form that never came to be: the queued-message hook and the icon
    // (which belongs to the application and would otherwise stay, clickable, while the error shows).
    if (Application && Application->OnMessage == TMessageEvent(this, &TMainForm::AppMessage))
      Application->OnMessage = nullptr;
    delete TrayIcon;
    throw;
  }
}

void TMainForm::Construct()
{
  SetDoubleBuffered(true);

  FBroadcastMessageId = RegisterWindowMessageA(kBroadcastMessageName);
  Application->OnMessage = TMessageEvent(this, &TMainForm::AppMessage);
  AllowMessage(FBroadcastMessageId, kMsgFilterAdd); // without the filter change the message still arrives from peers

  // The windows open centred on the primary monitor: its DPI picks the pictures.
  SetSkinScale(PickSkinScale(PrimaryMonitorDpi()));
  TBitmap* picture = Background->GetPicture()->GetBitmap();
  picture->SetPixelFormat(pf32bit);
  LoadPngFile(SkinSetPath(kFramePictures[0]), *picture);
  PremultiplyAlpha(*picture);

  FShapeMaker.SetUsePerPixelAlpha(true);
  FShapeMaker.Attach(Background);
  FShapeMaker.SetDraggable(false);

  if (StartUpExtrasLater()) {
    // A missing icon file still ends start-up before any window shows.
    CheckFileOpens(SkinPath(TrayIconFile(TaskbarIsDark())));
    FLooksPending = FTrayIconPending = true;
    // A timer's message comes only once no window of the thread waits to be painted: after the first frame.
    SetTimer(GetHandle(), kFinishStartUpTimer, USER_TIMER_MINIMUM, nullptr);
  } else {
    MakeTrayIcon();
  }
  AddToolWindowStyle(GetHandle());
  Recentre();
}

void TMainForm::FinishStartUp()
{
  // A request that comes while the dialog is being made gets the icon; the dialog's looks wait for the timer.
  if (TControlForm* dialog = Dialog(); dialog && FLooksPending) {
    FLooksPending = false;
    KillTimer(GetHandle(), kFinishStartUpTimer);
    dialog->ComposeLaterLooks();
  }
  if (std::exchange(FTrayIconPending, false))
    MakeTrayIcon();
}

void TMainForm::MakeTrayIcon()
{
  FMakingTrayIcon = true;
  try {
    CreateTrayIcon();
  } catch (...) {
    FMakingTrayIcon = false;
    throw;
  }
  FMakingTrayIcon = false;
  if (std::exchange(FTpxNoticePending, false))
    ShowTpxNotice();
}

// While the icon is being added, the shell's answers let other programs' requests in: a show request then
// finds the icon not yet there, and its notice waits for it.
void TMainForm::ShowTpxNotice()
{
  if (!TrayIcon || FMakingTrayIcon) {
    FTpxNoticePending = true;
    return;
  }
  TrayIcon->HideBalloon();
  TrayIcon->ShowBalloon();
}

void TMainForm::CreateTrayIcon()
{
  TrayIcon = new TsTrayIcon(Application.Get(), kTrayIconId, UM_TRAY_CALLBACK);
  TrayIcon->FreeNotification(this);
  const std::string name = ProgramName();
  TrayIcon->SetTip(name);
  TrayIcon->SetBalloonText(name + " can't run under TPX mode");
  TrayIcon->SetVisible(true);
  TrayIcon->PopupMenu = TrayPopupMenu;
  TrayIcon->PopupOn = tckRightUp;
  TrayIcon->OnClick = TNotifyEvent(this, &TMainForm::TrayIconClick);
  TrayIcon->OnKeySelect = TNotifyEvent(this, &TMainForm::TrayIconKeySelect);

  LoadTrayIcon();
}

bool TaskbarIsDark()
{
  DWORD light = 1;
  DWORD size = sizeof light;
  // Without the value (systems before the setting, or a user who never chose) the taskbar is light.
  if (RegGetValueA(HKEY_CURRENT_USER, kPersonalizeKey, "SystemUsesLightTheme", RRF_RT_REG_DWORD, nullptr, &light,
                   &size) != ERROR_SUCCESS)
    return false;
  return light == 0;
}

const char* TrayIconFile(bool darkTaskbar)
{
  return darkTaskbar ? kDarkTaskbarTrayIconFile : kTrayIconFile;
}

void TMainForm::LoadTrayIcon()
{
  if (!TrayIcon)
    return;
  TIcon icon;
  TFileStream file(SkinPath(TrayIconFile(TaskbarIsDark())), fmOpenRead);
  icon.LoadFromStream(&file);
  TrayIcon->SetIcon(&icon);
  TrayIcon->Refresh();
}

void TMainForm::SettingChanged(LPARAM area)
{
  // The theme's colours changed (the taskbar's among them); a missing icon file keeps the icon shown.
  const auto* name = reinterpret_cast<const char*>(area);
  if (!name || lstrcmpiA(name, "ImmersiveColorSet") != 0)
    return;
  try {
    LoadTrayIcon();
  } catch (const EFOpenError&) {
  }
}

TMainForm::~TMainForm()
{
  if (Application.Peek() && Application->OnMessage == TMessageEvent(this, &TMainForm::AppMessage))
    Application->OnMessage = nullptr;
  if (TrayIcon) {
    // The icon outlives the form in the application object: it must not call back into it.
    TrayIcon->OnClick = nullptr;
    TrayIcon->OnKeySelect = nullptr;
    if (TrayIcon->PopupMenu == TrayPopupMenu)
      TrayIcon->PopupMenu = nullptr;
    TrayIcon->RemoveFreeNotification(this);
  }
  if (MainForm == this)
    MainForm = nullptr;
}

void TMainForm::Notification(TComponent* component, TOperation operation)
{
  TForm::Notification(component, operation);
  if (operation == TOperation::opRemove && component == TrayIcon)
    TrayIcon = nullptr;
}

void TMainForm::Recentre()
{
  // Each halving drops its remainder on its own.
  const TPicture* picture = Background->GetPicture();
  const int x = SysApi().GetSystemMetrics(SM_CXFULLSCREEN) / 2 - picture->GetWidth() / 2;
  const int y = SysApi().GetSystemMetrics(SM_CYFULLSCREEN) / 2 - picture->GetHeight() / 2;
  SetWindowPos(GetHandle(), HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void TMainForm::DoClose(TCloseAction& Action)
{
  TForm::DoClose(Action);
  if (Action != caNone)
    FClosing = true;
}

void TMainForm::FormActivate(TObject* /*Sender*/)
{
  TControlForm* dialog = Dialog();
  if (StartHidden) {
    ShowWindow(GetHandle(), SW_HIDE);
    if (dialog)
      ShowWindow(dialog->GetHandle(), SW_HIDE);
    StartHidden = false;
    SetVisible(false);
    if (dialog)
      dialog->SetVisible(false);
    return;
  }
  // A hidden window is activated too (a notification-icon menu takes the foreground through it, and so does
  // UM_FOREGROUND); it stays hidden: only a show request brings it back, with its fade.
  if (!IsWindowVisible(GetHandle()))
    return;
  const bool firstShow = FPlainShowPending != 0;
  FPlainShowPending = 0;
  SetVisible(true);
  if (!dialog)
    return;
  dialog->SetVisible(true);
  // The program's first show: the keyboard goes to the dialog. Later activations (a click on the picture
  // around it) leave the focus where the user put it.
  if (firstShow)
    dialog->TakeFocus();
}

void TMainForm::ShowForms()
{
  FinishStartUp();
  bool tpxMode = false;
  if (ReadTpxMode(tpxMode)) {
    if (tpxMode) {
      ShowTpxNotice();
      return;
    }
    FTpxNoticePending = false;
    if (TrayIcon && !FMakingTrayIcon)
      TrayIcon->HideBalloon();
  }
  TControlForm* dialog = Dialog();
  if (!dialog)
    return;
  // A show request ends a hidden start: its hiding must not run in the middle of this show (the main window
  // hidden and shown again would come back above its dialog).
  StartHidden = false;
  if (GetVisible() || dialog->GetVisible()) {
    SetVisible(true);
    dialog->SetVisible(true);
    dialog->TakeFocus();
    return;
  }
  if (FPlainShowPending) {
    FPlainShowPending = 0;
    ShowWindow(GetHandle(), SW_SHOW);
    ShowWindow(dialog->GetHandle(), SW_SHOW);
    SetVisible(true);
    dialog->SetVisible(true);
    dialog->TakeFocus();
    return;
  }
  FadeIn();
  dialog->TakeFocus();
}

// No timer and no pause: each step is one synchronous layered-window update.
void TMainForm::FadeIn()
{
  TControlForm* dialog = Dialog();
  FShapeMaker.SetAlpha(0);
  FShapeMaker.SetUseAlpha(true);
  FShapeMaker.Reapply();
  dialog->SetOpacity(0, false);
  ShowWindow(GetHandle(), SW_RESTORE);
  SetVisible(true);
  for (int alpha = 1; alpha <= 255; ++alpha) {
    FShapeMaker.SetAlpha(static_cast<BYTE>(alpha));
    FShapeMaker.Reapply();
  }
  ShowWindow(dialog->GetHandle(), SW_RESTORE);
  dialog->SetVisible(true);
  for (int alpha = 1; alpha <= 255; alpha += 2)
    dialog->SetOpacity(static_cast<BYTE>(alpha), false);
}

void TMainForm::HideForms()
{
  FinishStartUp();
  TControlForm* dialog = Dialog();
  if (!dialog || !GetVisible() || !dialog->GetVisible()) {
    SetVisible(false);
    if (dialog)
      dialog->SetVisible(false);
    return;
  }
  FadeOut();
}

// The dialog fades over the first 29 steps and vanishes at the 30th; the main window over all 254.
void TMainForm::FadeOut()
{
  TControlForm* dialog = Dialog();
  dialog->SetOpacity(255, true);
  FShapeMaker.SetAlpha(255);
  FShapeMaker.SetUseAlpha(true);
  for (int n = 254; n >= 1; --n) {
    if (n > 225)
      dialog->SetOpacity(static_cast<BYTE>(n), false);
    if (n == 225)
      ShowWindow(dialog->GetHandle(), SW_HIDE);
    FShapeMaker.SetAlpha(static_cast<BYTE>(n));
    FShapeMaker.Reapply();
  }
  ShowWindow(GetHandle(), SW_HIDE);
  dialog->SetVisible(false);
  SetVisible(false);
}

void TMainForm::SetBackground(bool question)
{
  FQuestionShown = question;
  if (question) {
    LoadPicture(kQuestionPicture);
    return;
  }
  // The frame moves on even when its picture then fails to load.
  FFrameIndex = (FFrameIndex + 1) % 4;
  LoadPicture(kFramePictures[FFrameIndex]);
}

void TMainForm::LoadPicture(const std::string& fileName)
{
  // Decoded into a bitmap of its own: a file that does not decode would otherwise leave the old picture
  // to be premultiplied a second time, darker with each attempt.
  TBitmap loaded;
  loaded.SetPixelFormat(pf32bit);
  LoadPngFile(SkinSetPath(fileName), loaded);
  if (loaded.Empty())
    return;
  PremultiplyAlpha(loaded);
  Background->GetPicture()->GetBitmap()->SetHandle(loaded.ExtractHandle());
}

void TMainForm::RefreshShape()
{
  FShapeMaker.Reapply();
}

bool TMainForm::RequestRestart()
{
  if (!orvo::RestartSystem(orvo::kForceNone, 0))
    return false;
  Close();
  return true;
}

void TMainForm::LevelPendingRestart()
{
  HideForms();
  TellUser(nullptr, kLevelPendingRestart, MB_ICONINFORMATION);
}

LRESULT TMainForm::ApplyLevelMessage(WPARAM level)
{
  TControlForm* dialog = Dialog();
  // Two applies posted at once write once: the first closes the program.
  if (FClosing || !dialog || level >= dialog->LevelNames.size())
    return UM_APPLY_REFUSED;
  if (!ApplyLevel(static_cast<DWORD>(level)))
    return UM_APPLY_REFUSED;
  if (RequestRestart())
    return UM_APPLY_RESTARTING;
  // The sender has its answer before the fade and the notice.
  ReplyMessage(UM_APPLY_PENDING);
  LevelPendingRestart();
  return UM_APPLY_PENDING;
}

void TMainForm::ApplySkinScale(int scale)
{
  TControlForm* dialog = Dialog();
  if (scale == SkinScale() || !dialog)
    return;
  SetSkinScale(scale);
  LoadPicture(FQuestionShown ? kQuestionPicture : kFramePictures[FFrameIndex]);
  dialog->Rescale();
}

void TMainForm::DpiChanged(UINT dpi, const RECT& suggested)
{
  TControlForm* dialog = Dialog();
  if (!dialog)
    return;
  ApplySkinScale(PickSkinScale(dpi));
  // Where the system puts the window on its new monitor; its size is the picture's.
  SetLeft(suggested.left);
  SetTop(suggested.top);
  dialog->SetLeft(GetLeft());
  dialog->SetTop(GetTop());
  RefreshShape();
}

void TMainForm::DisplayChanged()
{
  TControlForm* dialog = Dialog();
  if (!dialog)
    return;
  // Centred on the primary monitor again, in the pictures for its DPI.
  ApplySkinScale(PickSkinScale(PrimaryMonitorDpi()));
  const TPicture* picture = Background->GetPicture();
  SetTop(SysApi().GetSystemMetrics(SM_CYFULLSCREEN) / 2 - picture->GetHeight() / 2);
  SetLeft(SysApi().GetSystemMetrics(SM_CXFULLSCREEN) / 2 - picture->GetWidth() / 2);
  dialog->SetTop(GetTop());
  dialog->SetLeft(GetLeft());
  RefreshShape();
}

void TMainForm::WndProc(TMessage& Message)
{
  switch (Message.Msg) {
  case WM_DISPLAYCHANGE:
    DisplayChanged();
    break;
  case WM_SETTINGCHANGE:
    SettingChanged(Message.LParam);
    break;
  case WM_TIMER:
    if (Message.WParam != kFinishStartUpTimer)
      break;
    FinishStartUp();
    Message.Result = 0;
    return;
  case WM_DPICHANGED:
    if (Message.LParam)
      DpiChanged(HIWORD(Message.WParam), *reinterpret_cast<const RECT*>(Message.LParam));
    Message.Result = 0;
    return;
  case WM_POWERBROADCAST:
    if (Message.WParam == PBT_APMSUSPEND)
      HideForms();
    Message.Result = 0;
    return;
  case UM_APPLY_LEVEL:
    Message.Result = ApplyLevelMessage(Message.WParam);
    return;
  case UM_EXIT:
  case UM_HIDE:
  case UM_SHOW:
  case UM_SHOW_INSTANCE:
  case UM_FOREGROUND:
    if (!IsTagged(Message.WParam))
      break;
    Message.Result = 0;
    if (Message.Msg == UM_EXIT)
      Close();
    else if (Message.Msg == UM_HIDE)
      HideForms();
    else if (Message.Msg == UM_FOREGROUND)
      BringToFront();
    else
      ShowForms();
    return;
  default:
    break;
  }
  TForm::WndProc(Message);
}

void TMainForm::AppMessage(MSG& Msg, bool& Handled)
{
  if (StartUpPending() && IsInput(Msg.message))
    FinishStartUp();
  if (!Application || Msg.hwnd != Application->GetHandle())
    return;
  if (FBroadcastMessageId == 0 || Msg.message != FBroadcastMessageId || !IsTagged(Msg.wParam))
    return;
  // Taken and dropped: no command of the broadcast concerns this program.
  Handled = true;
}

void TMainForm::BringToFront()
{
  SetForegroundWindow(GetHandle());
  // The keyboard belongs to the dialog over it.
  if (TControlForm* dialog = Dialog())
    dialog->TakeFocus();
}

void TMainForm::TrayIconClick(TObject* /*Sender*/)
{
  ShowForms();
}

void TMainForm::TrayIconKeySelect(TObject* /*Sender*/)
{
  ShowForms();
  // Called up with the keyboard: the focused button shows it at once.
  if (TControlForm* dialog = Dialog(); dialog && dialog->GetVisible())
    dialog->ShowFocusCues();
}

void TMainForm::TrayShowClick(TObject* /*Sender*/)
{
  ShowForms();
}

void TMainForm::TrayHideClick(TObject* /*Sender*/)
{
  HideForms();
}

void TMainForm::TrayExitClick(TObject* /*Sender*/)
{
  Close();
}

