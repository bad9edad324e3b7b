#pragma once
// Shared pieces of the skinned control tests: pictures in one colour per look, a white form on the virtual
// display, input through real messages, and through the X server where the system's own input path
// matters (the pointer leaving a window).
#include "KoButton.h"
#include "KoButtonTx.h"

#include "FormsFixture.h"
#include "GraphicsFixture.h"
#include "PaintFixture.h"
#include "TestSupport.h"

#include <windows.h>

#include <string>
#include <vector>

// State indices of the four looks.
enum TLook { lkRaised = 0, lkSunken = 1, lkFocused = 2, lkDisabled = 3 };

constexpr TColor kLookColors[4] = {0xE8C8A0, 0x90A0F0, 0xA0E0A0, 0xC8C8C8};
constexpr TColor kKeyColor = 0xFF00FF;

// A picture of one colour; the first `keyColumns` columns are magenta.
inline void MakePicture(TBitmap& bitmap, int width, int height, TColor color, int keyColumns = 0)
{
  FillBitmap(bitmap, width, height, color, Rect(0, 0, keyColumns, height), kKeyColor);
}

// Writes a picture file into the test's folder; the file goes when the object does.
class TPictureFile {
public:
  TPictureFile(const std::string& name, int width, int height, TColor color) : m_path(ExeDir() + name)
  {
    TBitmap bitmap;
    MakePicture(bitmap, width, height, color);
    bitmap.SaveToFile(m_path);
  }
  ~TPictureFile() { DeleteFileA(m_path.c_str()); }
  TPictureFile(const TPictureFile&) = delete;
  TPictureFile& operator=(const TPictureFile&) = delete;
  const std::string& Path() const { return m_path; }

private:
  std::string m_path;
};

// Gives a button its four pictures, one colour per look.
inline void LoadLookPictures(KoButton* button, int width = 40, int height = 24)
{
  for (int look = 0; look < 4; ++look) {
    TBitmap picture;
    MakePicture(picture, width, height, kLookColors[look]);
    button->SetStatePicture(&picture, look);
  }
}

// Records the pointer entering and leaving besides the framework's events.
struct TKoEvents : TEventLog {
  void MouseEnter(TObject* sender) { Entries.push_back("mouseenter " + NameOf(sender)); }
  void MouseLeave(TObject* sender) { Entries.push_back("mouseleave " + NameOf(sender)); }
  void WatchHover(KoControl* control)
  {
    control->OnMouseEnter = TNotifyEvent(this, &TKoEvents::MouseEnter);
    control->OnMouseLeave = TNotifyEvent(this, &TKoEvents::MouseLeave);
  }
};

// A white form of 300 x 200 client pixels at (640, 400), away from where the other suites put their
// windows, with a focusable box "other" in its bottom-right corner; the pointer starts far away from it.
class TKoFormTest : public TWindowTest {
protected:
  void SetUp() override
  {
    ParkPointer();
    Form = new TForm(App.Get());
    Form->SetName("form");
    Form->Scaled = false;
    Form->SetBorderStyle(bsNone);
    Form->SetColor(clWhite);
    Form->SetBounds(640, 400, 300, 200);
    Other = new TTestBox(Form, Form, "other", 250, 160);
  }

  // Shows the form and waits until it is the active window, so that its controls can take the focus.
  void ShowActive()
  {
    Form->Show();
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == Form->GetHandle(); }));
  }

  // A button with its four look pictures (40 x 24) on the form, its window made.
  template <typename T = KoButton>
  T* AddButton(const std::string& name, int left, int top)
  {
    auto* button = new T(Form);
    button->SetName(name);
    button->SetBounds(left, top, 40, 24);
    button->SetParent(Form);
    LoadLookPictures(button);
    button->HandleNeeded();
    return button;
  }

  static void ParkPointer()
  {
    SetCursorPos(1200, 1000);
    PumpPending();
  }

  // The pointer moves to a client point of `control`. With no button held the real pointer goes there
  // first, so that the system's leave tracking agrees with the message. With a button held (a drag after
  // a press sent as a message) the real pointer stays where the press was: a move of its own would come
  // with the real buttons, which are up.
  static void PointAt(TWinControl* control, int x, int y, WPARAM keys = 0)
  {
    if (!(keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
      const TPoint screen = control->ClientToScreen(Point(x, y));
      SetCursorPos(screen.x, screen.y);
      PumpPending();
    }
    SendMessageA(control->GetHandle(), WM_MOUSEMOVE, keys, At(x, y));
  }
  static void ButtonDown(TWinControl* control, int x, int y)
  {
    SendMessageA(control->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
  }
  static void ButtonUp(TWinControl* control, int x, int y)
  {
    SendMessageA(control->GetHandle(), WM_LBUTTONUP, 0, At(x, y));
  }
  static void KeyDown(TWinControl* control, WORD key, bool repeat = false)
  {
    SendMessageA(control->GetHandle(), WM_KEYDOWN, key, repeat ? 0x40000001 : 1);
  }
  static void KeyUp(TWinControl* control, WORD key)
  {
    SendMessageA(control->GetHandle(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }
  static void Char(TWinControl* control, char key)
  {
    SendMessageA(control->GetHandle(), WM_CHAR, static_cast<unsigned char>(key), 1);
  }
  // The real pointer moves to an empty spot of the form; the system's leave notification is waited for.
  // (Leaving the form too would take its focus: with no window manager, the X focus follows the pointer.)
  bool PointerLeaves(KoControl* control)
  {
    const TPoint spot = Form->ClientToScreen(Point(150, 190));
    SetCursorPos(spot.x, spot.y);
    return PumpUntil([&] { return !control->MouseInside(); });
  }

  // The client area of a control's own window as painted.
  static TClientPixels PixelsOf(TWinControl* control) { return TClientPixels(control->GetHandle()); }

  TForm* Form = nullptr;
  TTestBox* Other = nullptr;
  TKoEvents Log;
};
