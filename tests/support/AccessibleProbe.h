#pragma once
// What a screen reader reads from a window: its client area's accessible object (in this process or
// another) and the children under it, flattened to names, roles and states.
#include <windows.h>
#include <oleacc.h>

#include <ostream>
#include <string>
#include <vector>

// A single-threaded apartment for one scope, as readers use.
class TComScope {
public:
  TComScope() : m_joined(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComScope()
  {
    if (m_joined)
      CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

private:
  bool m_joined;
};

// One element as a reader meets it.
struct TAccessibleElement {
  std::string Name;
  long Role = 0;
  long State = 0;
  bool operator==(const TAccessibleElement&) const = default;
};
inline void PrintTo(const TAccessibleElement& element, std::ostream* out)
{
  *out << "{\"" << element.Name << "\", role 0x" << std::hex << element.Role << ", state 0x" << element.State << std::dec
       << "}";
}

// One reference to an accessible object, and questions about it or one of its simple children.
class TAccessibleProbe {
public:
  // The client area of `window`.
  explicit TAccessibleProbe(HWND window)
  {
    m_result = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&m_object));
  }
  // Takes the object's reference (from a list of children).
  explicit TAccessibleProbe(IDispatch* object)
  {
    if (object) {
      m_result = object->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&m_object));
      object->Release();
    }
  }
  ~TAccessibleProbe()
  {
    if (m_object)
      m_object->Release();
  }
  TAccessibleProbe(const TAccessibleProbe&) = delete;
  TAccessibleProbe& operator=(const TAccessibleProbe&) = delete;
  TAccessibleProbe(TAccessibleProbe&& other) noexcept : m_object(other.m_object), m_result(other.m_result)
  {
    other.m_object = nullptr;
  }

  explicit operator bool() const { return m_object != nullptr; }
  HRESULT Result() const { return m_result; }
  IAccessible* Get() const { return m_object; }

  std::string Name(long child = CHILDID_SELF) const { return Text(&IAccessible::get_accName, child); }
  std::string DefaultAction(long child = CHILDID_SELF) const { return Text(&IAccessible::get_accDefaultAction, child); }
  long Role(long child = CHILDID_SELF) const { return Number(&IAccessible::get_accRole, child); }
  long State(long child = CHILDID_SELF) const { return Number(&IAccessible::get_accState, child); }
  TAccessibleElement Element(long child = CHILDID_SELF) const { return {Name(child), Role(child), State(child)}; }
  HRESULT DoDefaultAction(long child = CHILDID_SELF) const
  {
    return m_object ? m_object->accDoDefaultAction(Child(child)) : E_POINTER;
  }

  // The children in order, as AccessibleChildren lists them: a child with an object of its own is
  // described by that object.
  std::vector<TAccessibleElement> Children() const
  {
    std::vector<TAccessibleElement> elements;
    long count = 0;
    if (!m_object || FAILED(m_object->get_accChildCount(&count)) || count <= 0)
      return elements;
    std::vector<VARIANT> children(static_cast<size_t>(count));
    long got = 0;
    if (FAILED(AccessibleChildren(m_object, 0, count, children.data(), &got)))
      return elements;
    for (long i = 0; i < got; ++i) {
      VARIANT& child = children[static_cast<size_t>(i)];
      if (child.vt == VT_DISPATCH) {
        child.pdispVal->AddRef();
        elements.push_back(TAccessibleProbe(child.pdispVal).Element());
      } else if (child.vt == VT_I4) {
        elements.push_back(Element(child.lVal));
      }
      VariantClear(&child);
    }
    return elements;
  }
  // The child object whose name is `name`; an empty probe when there is none.
  TAccessibleProbe ChildNamed(const std::string& name) const
  {
    long count = 0;
    if (!m_object || FAILED(m_object->get_accChildCount(&count)))
      return TAccessibleProbe(static_cast<IDispatch*>(nullptr));
    for (long id = 1; id <= count; ++id) {
      IDispatch* object = nullptr;
      if (m_object->get_accChild(Child(id), &object) == S_OK) {
        TAccessibleProbe probe(object);
        if (probe.Name() == name)
          return probe;
      }
    }
    return TAccessibleProbe(static_cast<IDispatch*>(nullptr));
  }

private:
  static VARIANT Child(long id)
  {
    VARIANT child;
    child.vt = VT_I4;
    child.lVal = id;
    return child;
  }
  std::string Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long child) const
  {
    BSTR text = nullptr;
    if (!m_object || FAILED((m_object->*get)(Child(child), &text)) || !text)
      return {};
    const int length = static_cast<int>(SysStringLen(text));
    std::string ansi(static_cast<size_t>(length) * 2, '\0');
    ansi.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_ACP, 0, text, length, ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr)));
    SysFreeString(text);
    return ansi;
  }
  long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long child) const
  {
    VARIANT value;
    VariantInit(&value);
    if (!m_object || FAILED((m_object->*get)(Child(child), &value)) || value.vt != VT_I4)
      return -1;
    return value.lVal;
  }

  IAccessible* m_object = nullptr;
  HRESULT m_result = E_POINTER;
};

// Records the WinEvents from `first` to `last` that a process raises while the object lives (out of
// context: they arrive through this thread's message queue while it pumps).
class TWinEventRecorder {
public:
  TWinEventRecorder(DWORD first, DWORD last, DWORD process)
  {
    s_recorder = this;
    m_hook = SetWinEventHook(first, last, nullptr, &Record, process, 0, WINEVENT_OUTOFCONTEXT);
  }
  ~TWinEventRecorder()
  {
    if (m_hook)
      UnhookWinEvent(m_hook);
    s_recorder = nullptr;
  }
  TWinEventRecorder(const TWinEventRecorder&) = delete;
  TWinEventRecorder& operator=(const TWinEventRecorder&) = delete;

  bool Hooked() const { return m_hook != nullptr; }
  struct TEvent {
    DWORD Event;
    HWND Window;
    LONG Object;
    LONG Child;
    bool operator==(const TEvent&) const = default;
  };
  const std::vector<TEvent>& All() const { return m_events; }
  // The events of one kind, in order.
  std::vector<TEvent> Of(DWORD event) const
  {
    std::vector<TEvent> found;
    for (const TEvent& e : m_events)
      if (e.Event == event)
        found.push_back(e);
    return found;
  }

private:
  static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
  {
    if (s_recorder)
      s_recorder->m_events.push_back({event, window, object, child});
  }

  HWINEVENTHOOK m_hook = nullptr;
  std::vector<TEvent> m_events;
  inline static TWinEventRecorder* s_recorder = nullptr;
};
