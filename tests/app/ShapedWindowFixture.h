#pragma once
// Shared pieces of the shaped-form tests: the layered-window calls watched on their way to the system, a
// counter of a form's messages, and a form with a picture on the virtual display.
#include "KoShapedWindow.h"

#include "Bitmap.h"
#include "ExtCtrls.h"
#include "FormsFixture.h"
#include "Picture.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <vector>

struct TLayeredCall {
  bool Update;  // UpdateLayeredWindow; otherwise SetLayeredWindowAttributes
  COLORREF Key;
  DWORD Flags;
  BYTE Alpha;  // SourceConstantAlpha of an update
  BYTE AlphaFormat;
  POINT Destination;
  SIZE Size;
  HGDIOBJ SourceBitmap;  // selected into the update's source DC
};

// For one scope the window makers made meanwhile call recording versions of the two functions, which pass
// each call on to the system.
class TLayeredCallRecorder {
public:
  TLayeredCallRecorder() : m_old(SetUser32Lookup(&Lookup)) { Calls.clear(); }
  ~TLayeredCallRecorder() { SetUser32Lookup(m_old); }
  TLayeredCallRecorder(const TLayeredCallRecorder&) = delete;
  TLayeredCallRecorder& operator=(const TLayeredCallRecorder&) = delete;

  static inline std::vector<TLayeredCall> Calls;

private:
  static FARPROC Lookup(const char* name)
  {
    const bool update = std::strcmp(name, "UpdateLayeredWindow") == 0;
    return reinterpret_cast<FARPROC>(update ? reinterpret_cast<void (*)()>(&Update) : reinterpret_cast<void (*)()>(&Set));
  }
  static BOOL WINAPI Update(HWND window, HDC dc, POINT* destination, SIZE* size, HDC source, POINT* at, COLORREF key,
                            BLENDFUNCTION* blend, DWORD flags)
  {
    Calls.push_back({true, key, flags, blend->SourceConstantAlpha, blend->AlphaFormat, *destination, *size,
                     GetCurrentObject(source, OBJ_BITMAP)});
    return UpdateLayeredWindow(window, dc, destination, size, source, at, key, blend, flags);
  }
  static BOOL WINAPI Set(HWND window, COLORREF key, BYTE alpha, DWORD flags)
  {
    Calls.push_back({false, key, flags, alpha, 0, {}, {}, nullptr});
    return SetLayeredWindowAttributes(window, key, alpha, flags);
  }

  TUser32Lookup m_old;
};

// Counts the messages a control's window procedure sees, in front of everything hooked before it.
class TMessageCounter {
public:
  explicit TMessageCounter(TControl* control) : m_control(control), m_life(control) { control->WindowProc.Hook(Hook()); }
  ~TMessageCounter()
  {
    if (m_life.Alive())
      m_control->WindowProc.Unhook(Hook());
  }
  TMessageCounter(const TMessageCounter&) = delete;
  TMessageCounter& operator=(const TMessageCounter&) = delete;

  // WM_STYLECHANGING with GWL_EXSTYLE announces each write of the extended style.
  std::map<UINT, int> Counts;
  int ExStyleWrites = 0;

private:
  TWindowHook Hook() { return TWindowHook(this, &TMessageCounter::See); }
  bool See(TMessage& message)
  {
    ++Counts[message.Msg];
    ExStyleWrites += message.Msg == WM_STYLECHANGING && static_cast<int>(message.WParam) == GWL_EXSTYLE;
    return false;
  }

  TControl* m_control;
  TLifeToken m_life;
};

// A 32-bit picture (pixels B, G, R, A as given): `inside`, within a ring `ring` pixels wide of `outside`.
inline void MakeRingPicture(TBitmap& bitmap, int width, int height, int ring, uint32_t inside, uint32_t outside)
{
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool in = x >= ring && y >= ring && x < width - ring && y < height - ring;
      static_cast<uint32_t*>(bitmap.ScanLine(y))[x] = in ? inside : outside;
    }
}

inline RECT WindowRect(HWND window)
{
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

class ShapedWindowTest : public TWindowTest {
protected:
  // A sizeable 300 x 200 form at (left, top), shown without activation (which would wait for a window
  // manager), with a 120 x 80 picture on it, or on a panel on it: blue in a transparent ring.
  void MakeShapedForm(int left, int top, bool onPanel = false)
  {
    Form = new TForm(App.Get());
    Form->SetName("ShapedForm");
    Form->Scaled = false;
    Form->SetBounds(left, top, 300, 200);
    TWinControl* parent = Form;
    if (onPanel) {
      parent = new TCustomControl(App.Get());
      parent->SetBounds(10, 10, 200, 150);
      parent->SetParent(Form);
    }
    Image = new TImage(App.Get());
    Image->SetName("Picture");
    Image->SetParent(parent);
    MakeRingPicture(*Image->GetPicture()->GetBitmap(), 120, 80, 10, 0xFF0000FF, 0);
    ShowWindow(Form->GetHandle(), SW_SHOWNOACTIVATE);
    Form->SetVisible(true);
  }

  HWND Window() const { return Form->GetHandle(); }

  TForm* Form = nullptr;
  TImage* Image = nullptr;
  TEventLog Log;
};
