#pragma once
// What a screen reader learns of a skinned window: an accessible object (IAccessible) answered to
// WM_GETOBJECT for the window's client area. The window describes itself and its simple children (parts
// without a window of their own, numbered from 1) through KoAccessibleSource; the object only forwards, so
// it always tells the window's present state, and it answers "disconnected" once the window is gone while a
// reader still holds it.
#include <windows.h>
#include <oleacc.h>

#include <string>

class KoAccessibleSource {
public:
  virtual ~KoAccessibleSource() = default;

  // The window the element lives in; null while it has none.
  virtual HWND AccWindow() const = 0;
  // Children numbered 1 to the count; 0 (CHILDID_SELF) is the element itself.
  virtual long AccChildCount() const { return 0; }
  // A child that is an accessible object of its own (a child window's), with a reference for the caller;
  // null for a simple child.
  virtual IDispatch* AccChildObject(long /*child*/) { return nullptr; }
  virtual std::wstring AccName(long child) const = 0;
  virtual long AccRole(long child) const = 0;
  virtual long AccState(long child) const = 0;
  // Empty when the element has no default action.
  virtual std::wstring AccDefaultAction(long /*child*/) const { return {}; }
  // Starts the default action; false when it cannot run now (an unavailable or hidden element).
  virtual bool AccDoDefaultAction(long /*child*/) { return false; }
  // Screen rectangle; the window's by default.
  virtual RECT AccBounds(long child) const;
};

class KoAccessibleObject;

// The accessible object of one source: made at the first WM_GETOBJECT, disconnected when the host goes.
class KoAccessibleHost {
public:
  explicit KoAccessibleHost(KoAccessibleSource* source) : m_source(source) {}
  ~KoAccessibleHost();
  KoAccessibleHost(const KoAccessibleHost&) = delete;
  KoAccessibleHost& operator=(const KoAccessibleHost&) = delete;

  // The answer to WM_GETOBJECT: the object for OBJID_CLIENT, marshalled for the asking process. False for
  // any other object, which is the system's to answer.
  bool Answer(WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The object with a reference for the caller (for a parent that lists it as its child); null when COM
  // cannot be used on this thread.
  IDispatch* Object();
  // Tells readers that something of the element changed (EVENT_OBJECT_NAMECHANGE, EVENT_SYSTEM_ALERT, ...).
  void Notify(DWORD event, long child = CHILDID_SELF) const;

private:
  KoAccessibleSource* m_source;
  KoAccessibleObject* m_object = nullptr;
};

// A text without the "&" marks that underline a key; "&&" stays one "&".
std::wstring KoAccessibleText(const std::string& text);
// The system's state flags of a window: unavailable when disabled, invisible when hidden, focusable when it
// can take the focus, focused when it has it.
long KoWindowState(HWND window);
