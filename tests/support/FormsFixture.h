#pragma once
// Shared pieces of the control, form and application tests: a fresh application object per test, an
// event recorder and small controls that show what reaches them.
#include "Controls.h"
#include "Forms.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A fresh application object installed as the process's Application for one scope.
class TApplicationScope {
public:
  TApplicationScope() : m_saved(Application.Get()), m_application(new TApplication())
  {
    Application = m_application;
  }
  ~TApplicationScope()
  {
    delete m_application;
    Application = m_saved;
  }
  TApplicationScope(const TApplicationScope&) = delete;
  TApplicationScope& operator=(const TApplicationScope&) = delete;
  TApplication* operator->() const { return m_application; }
  TApplication* Get() const { return m_application; }

private:
  TApplication* m_saved;
  TApplication* m_application;
};

// Records events as short texts ("click a", "down a L 3,4", "keydown a 65").
struct TEventLog {
  std::vector<std::string> Entries;

  static std::string NameOf(TObject* sender)
  {
    auto* component = dynamic_cast<TComponent*>(sender);
    return component ? component->Name() : "?";
  }
  static char ButtonLetter(TMouseButton button) { return button == mbLeft ? 'L' : button == mbRight ? 'R' : 'M'; }

  void Click(TObject* sender) { Entries.push_back("click " + NameOf(sender)); }
  void DblClick(TObject* sender) { Entries.push_back("dblclick " + NameOf(sender)); }
  void Down(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)
  {
    Entries.push_back("down " + NameOf(sender) + " " + ButtonLetter(button) + " " + std::to_string(x) + "," +
                      std::to_string(y) + (shift.Contains(ssDouble) ? " double" : ""));
  }
  void Up(TObject* sender, TMouseButton button, TShiftState, int x, int y)
  {
    Entries.push_back("up " + NameOf(sender) + " " + ButtonLetter(button) + " " + std::to_string(x) + "," +
                      std::to_string(y));
  }
  void Move(TObject* sender, TShiftState, int x, int y)
  {
    Entries.push_back("move " + NameOf(sender) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  void KeyDown(TObject* sender, WORD& key, TShiftState shift)
  {
    Entries.push_back("keydown " + NameOf(sender) + " " + std::to_string(key) + (shift.Contains(ssCtrl) ? " ctrl" : ""));
  }
  void KeyUp(TObject* sender, WORD& key, TShiftState) { Entries.push_back("keyup " + NameOf(sender) + " " + std::to_string(key)); }
  void KeyPress(TObject* sender, char& key) { Entries.push_back("keypress " + NameOf(sender) + " " + std::string(1, key)); }
  void Enter(TObject* sender) { Entries.push_back("enter " + NameOf(sender)); }
  void Exit(TObject* sender) { Entries.push_back("exit " + NameOf(sender)); }

  void WatchMouse(TControl* control)
  {
    control->OnClick = TNotifyEvent(this, &TEventLog::Click);
    control->OnDblClick = TNotifyEvent(this, &TEventLog::DblClick);
    control->OnMouseDown = TMouseEvent(this, &TEventLog::Down);
    control->OnMouseUp = TMouseEvent(this, &TEventLog::Up);
  }
  void WatchKeys(TWinControl* control)
  {
    control->OnKeyDown = TKeyEvent(this, &TEventLog::KeyDown);
    control->OnKeyUp = TKeyEvent(this, &TEventLog::KeyUp);
    control->OnKeyPress = TKeyPressEvent(this, &TEventLog::KeyPress);
    control->OnEnter = TNotifyEvent(this, &TEventLog::Enter);
    control->OnExit = TNotifyEvent(this, &TEventLog::Exit);
  }
  void Clear() { Entries.clear(); }
};

// A windowed control that can take the focus.
class TTestBox : public TCustomControl {
public:
  TTestBox(TComponent* owner, TWinControl* parent, const std::string& name, int left, int top)
      : TCustomControl(owner)
  {
    SetName(name);
    SetTabStop(true);
    SetBounds(left, top, 40, 30);
    SetParent(parent);
  }
};

// A graphic control that paints itself in one colour.
class TSolidGraphic : public TGraphicControl {
public:
  TSolidGraphic(TComponent* owner, TWinControl* parent, const std::string& name, TRect bounds, TColor color)
      : TGraphicControl(owner), m_color(color)
  {
    SetName(name);
    SetBoundsRect(bounds);
    SetParent(parent);
  }

protected:
  void Paint() override
  {
    GetCanvas()->GetBrush()->SetColor(m_color);
    GetCanvas()->FillRect(GetClientRect());
  }

private:
  TColor m_color;
};

inline LPARAM At(int x, int y)
{
  return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

// Presses and releases the left button through real messages to the window.
inline void ClickAt(HWND window, int x, int y)
{
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
  SendMessageA(window, WM_LBUTTONUP, 0, At(x, y));
}

// Sets or clears one key in this thread's keyboard state, as GetKeyState reports it.
inline void SetKeyHeld(int virtualKey, bool held)
{
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[virtualKey] = held ? 0x80 : 0;
  SetKeyboardState(state);
}

// Base of the tests that make windows: message boxes are recorded, never shown, and each test has its own
// application object.
class TWindowTest : public ::testing::Test {
protected:
  TSysRecorder Recorder;
  TApplicationScope App;
};
