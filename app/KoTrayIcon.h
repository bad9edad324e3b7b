#pragma once
// The program's icon in the notification area: tooltip, balloon, popup menu and mouse events.
#include "Classes.h"
#include "Control.h"
#include "MessageWindow.h"
#include "Messages.h"

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TIcon;
class TPopupMenu;

// The notification record as far as the Shell 5.0 fields go (through dwInfoFlags): this much is sent, and
// cbSize says so. Later fields (item GUID, balloon icon) are never used.
constexpr DWORD kNotifyIconDataSize = static_cast<DWORD>(offsetof(NOTIFYICONDATAA, guidItem));
#ifndef _WIN64
static_assert(kNotifyIconDataSize == 488, "the 32-bit notification record with the Shell 5.0 fields is 488 bytes");
#endif

// The notification data of one icon and the calls that hand it to the shell. The icon's window must
// outlive the object; the object deletes an icon it has added when it goes.
class CsTrayIcon {
public:
  CsTrayIcon(HWND window, UINT id, UINT callbackMessage);
  ~CsTrayIcon();
  CsTrayIcon(const CsTrayIcon&) = delete;
  CsTrayIcon& operator=(const CsTrayIcon&) = delete;

  // Asks for the notification behaviour of version 3 (or the original one); an added icon is sent again.
  void SetVersion(bool on);
  // The flags for the next call. The balloon text goes into the record only when asked for; otherwise
  // the record's balloon is emptied, so a later modify cannot show a stale one.
  UINT BuildFlags(bool withBalloon);

  // Adds the icon; a refused add is tried once more at once.
  void Add();
  // Removes the icon; a refused delete leaves it counted as added.
  void Delete();
  // Sends the data again; nothing while the icon is absent.
  void Modify(bool withBalloon);
  // Whether the icon should be shown is remembered apart from whether the shell took it, so that a
  // shell that comes (back) later can be given it.
  void SetVisible(bool on);
  bool Added() const { return m_added; }
  // The taskbar was (re)created and knows no icon of ours: one meant to be shown is added anew with the
  // current data, whether or not the earlier shell had it.
  void Readd();

  // Hands the keyboard focus back to the notification area (after a menu the keyboard opened there).
  void SetFocus();
  // Where the icon is on screen; false where the shell cannot say.
  bool IconRect(RECT& rect) const;

  // These only store; the next add or modify sends them.
  void SetTip(const char* text);
  void SetBalloonText(const std::string& text);
  // Returns the previous icon; the caller keeps owning both.
  HICON SetIcon(HICON icon);

  HWND Window() const { return m_data->hWnd; }
  const NOTIFYICONDATAA& Data() const { return *m_data; }

private:
  bool Notify(DWORD message);
  // Asks the shell for the version's notifications: only an added icon can be asked.
  void ApplyVersion();

  std::unique_ptr<NOTIFYICONDATAA> m_data;
  std::string m_balloonText;
  bool m_added = false;
  bool m_wanted = false;
};

// Registered by the shell's taskbar and broadcast to every top-level window each time it is created.
constexpr const char* kTaskbarCreatedMessageName = "TaskbarCreated";

// Which notification (the mouse message a callback carries) restores the application or opens the menu.
enum TTrayClickKind : uint8_t {
  tckLeftDown,       // left button down
  tckDoubleClick,    // left or right double click
  tckAnyDown,        // left, right or middle button down
  tckAnyUp,          // left, right or middle button up
  tckLeftUp,         // left button up
  tckLeftDblClick,   // left double click
  tckRightUp,        // right button up
  tckRightDblClick,  // right double click
  tckNone,           // nothing
};

// Whether `kind` answers to the notification `code`.
bool TrayClickAccepts(TTrayClickKind kind, LPARAM code);

// A notification-area icon as a component. It has a hidden window of its own for the shell's callbacks;
// mouse events get a null sender and the pointer's screen position read when the callback is handled.
// The icon is absent until SetVisible(true).
class TsTrayIcon : public TComponent {
public:
  TsTrayIcon(TComponent* owner, UINT id, UINT callbackMessage);
  ~TsTrayIcon() override;

  void SetVisible(bool on) { FNotifier.SetVisible(on); }
  // Whether the icon is (counted as) in the notification area.
  bool GetVisible() const { return FNotifier.Added(); }
  // Shown at once on a visible icon.
  void SetTip(const std::string& text);
  // Shown at the next ShowBalloon.
  void SetBalloonText(const std::string& text) { FNotifier.SetBalloonText(text); }

  // Starts as a copy of the application's icon; changing it sends the data again.
  TIcon* GetIcon() const { return FIcon.get(); }
  // Copies `icon` (null raises EConvertError).
  void SetIcon(TIcon* icon);

  // The hidden window the shell's callbacks arrive at.
  HWND Window() const { return FNotifier.Window(); }
  const CsTrayIcon& Notifier() const { return FNotifier; }

  // Minimises the application and hides its window; raises OnMinimize.
  virtual void Minimize();
  // Restores the application and brings its window to the front; raises OnRestore.
  virtual void Restore();
  // Sends the data again (a new icon, for example).
  virtual void Refresh();
  // Opens PopupMenu at the screen point, after bringing the main form's window to the front (hidden or
  // not) so that the menu closes when the user clicks elsewhere.
  virtual void Popup(int X, int Y);
  // Shows the balloon text. HideBalloon sends the data without it; a balloon already shown stays.
  virtual void ShowBalloon();
  virtual void HideBalloon();
  virtual void SetRestoreOn(TTrayClickKind kind) { FRestoreOn = kind; }
  TTrayClickKind GetRestoreOn() const { return FRestoreOn; }

  bool HandlingMessage() const override { return FHandling > 0; }

  // Not owned; whoever frees the menu first clears this.
  TPopupMenu* PopupMenu = nullptr;
  TTrayClickKind PopupOn = tckNone;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TNotifyEvent OnClick;
  // The icon was chosen with the keyboard (Return or Space on it): null sender.
  TNotifyEvent OnKeySelect;
  TNotifyEvent OnDblClick;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TMouseEvent OnMouseDown;

protected:
  void BeforeDestruction() override;

private:
  void TrayWndProc(TMessage& Message);
  // Restore, popup and mouse events for one callback; any of them may free this component.
  void Notified(LPARAM code);
  void RaiseMouseEvent(LPARAM code);
  // The keyboard's notifications; `previous` tells the mouse's own echoes of a click from them.
  void KeyboardNotified(LPARAM code, LPARAM previous);
  // PopupMenu at the icon (or the pointer), the keyboard's way.
  void PopupAtIcon();
  void IconChanged(TObject* Sender);

  TMessageWindowHandle FWindow;
  CsTrayIcon FNotifier;
  std::unique_ptr<TIcon> FIcon;
  TTrayClickKind FRestoreOn = tckNone;
  UINT FCallbackMessage;
  UINT FTaskbarCreatedMessage;
  int FHandling = 0;
  // The last button notification.
  LPARAM FLastCode = 0;
};
