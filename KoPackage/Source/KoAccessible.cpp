#include "KoAccessible.h"

#include <new>
#include <utility>

RECT KoAccessibleSource::AccBounds(long /*child*/) const
{
  RECT rect{};
  if (const HWND window = AccWindow())
    GetWindowRect(window, &rect);
  return rect;
}

std::wstring KoAccessibleText(const std::string& text)
{
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size())
      ++i; // the character after a mark is kept, a second "&" among them
    plain += text[i];
  }
  if (plain.empty())
    return {};
  std::wstring wide(plain.size(), L'\0');
  const int length = MultiByteToWideChar(CP_ACP, 0, plain.data(), static_cast<int>(plain.size()), wide.data(),
                                         static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return wide;
}

long KoWindowState(HWND window)
{
  if (!window || !IsWindow(window))
    return STATE_SYSTEM_UNAVAILABLE;
  long state = 0;
  if (!IsWindowVisible(window))
    state |= STATE_SYSTEM_INVISIBLE;
  if (!IsWindowEnabled(window))
    state |= STATE_SYSTEM_UNAVAILABLE;
  else if (!(state & STATE_SYSTEM_INVISIBLE))
    state |= STATE_SYSTEM_FOCUSABLE;
  if (GetFocus() == window)
    state |= STATE_SYSTEM_FOCUSED;
  return state;
}

namespace {

// Readers hold on to objects across calls; one whose element has gone answers this.
constexpr HRESULT kGone = CO_E_OBJNOTCONNECTED;

// No C++ exception crosses into the caller's COM runtime.
template <class TBody>
HRESULT Guarded(TBody&& body) noexcept
{
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT ReturnText(const std::wstring& text, BSTR* result)
{
  if (text.empty())
    return S_FALSE;
  *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *result ? S_OK : E_OUTOFMEMORY;
}

void SetChild(VARIANT* result, long child)
{
  result->vt = VT_I4;
  result->lVal = child;
}

} // namespace

// Plain COM, one interface; every answer comes from the source at the time it is asked.
class KoAccessibleObject final : public IAccessible {
public:
  explicit KoAccessibleObject(KoAccessibleSource* source) : m_source(source) {}
  KoAccessibleObject(const KoAccessibleObject&) = delete;
  KoAccessibleObject& operator=(const KoAccessibleObject&) = delete;

  void Disconnect() { m_source = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override
  {
    if (!object)
      return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
  STDMETHODIMP_(ULONG) Release() override
  {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0)
      delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: readers call the interface directly; there is no type library behind it.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override
  {
    if (!count)
      return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
  {
    return E_NOTIMPL;
  }

  // IAccessible
  STDMETHODIMP get_accParent(IDispatch** parent) override
  {
    if (!parent)
      return E_POINTER;
    *parent = nullptr;
    if (!m_source)
      return kGone;
    // A client area's parent is its window's own object, which the system makes.
    const HWND window = m_source->AccWindow();
    if (!window)
      return S_FALSE;
    return AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(parent));
  }
  STDMETHODIMP get_accChildCount(long* count) override
  {
    if (!count)
      return E_POINTER;
    *count = 0;
    if (!m_source)
      return kGone;
    return Guarded([&] {
      *count = m_source->AccChildCount();
      return S_OK;
    });
  }
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override
  {
    if (!object)
      return E_POINTER;
    *object = nullptr;
    return ForChild(child, [&](long id) -> HRESULT {
      if (id == CHILDID_SELF)
        return E_INVALIDARG;
      *object = m_source->AccChildObject(id);
      return *object ? S_OK : S_FALSE;
    });
  }
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override
  {
    return Text(child, name, &IAccessible::get_accName, &KoAccessibleSource::AccName);
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override { return NoText(child, value); }
  STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override { return NoText(child, text); }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override
  {
    return Number(child, role, &IAccessible::get_accRole, &KoAccessibleSource::AccRole);
  }
  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override
  {
    return Number(child, state, &IAccessible::get_accState, &KoAccessibleSource::AccState);
  }
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override { return NoText(child, help); }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
  {
    if (!file || !topic)
      return E_POINTER;
    *topic = 0;
    return NoText(child, file);
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override { return NoText(child, shortcut); }
  STDMETHODIMP get_accFocus(VARIANT* focus) override
  {
    if (!focus)
      return E_POINTER;
    VariantInit(focus);
    if (!m_source)
      return kGone;
    return Guarded([&]() -> HRESULT {
      for (long id = m_source->AccChildCount(); id >= 0; --id) {
        if (StateOf(id) & STATE_SYSTEM_FOCUSED)
          return Element(id, focus);
      }
      return S_FALSE;
    });
  }
  STDMETHODIMP get_accSelection(VARIANT* selection) override
  {
    if (!selection)
      return E_POINTER;
    VariantInit(selection);
    return m_source ? S_FALSE : kGone;
  }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override
  {
    return Text(child, action, &IAccessible::get_accDefaultAction, &KoAccessibleSource::AccDefaultAction);
  }
  STDMETHODIMP accSelect(long, VARIANT child) override
  {
    long id = 0;
    const HRESULT checked = Check(child, id);
    return checked == S_OK ? DISP_E_MEMBERNOTFOUND : checked;
  }
  STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
  {
    if (!left || !top || !width || !height)
      return E_POINTER;
    *left = *top = *width = *height = 0;
    return ForChild(child, [&](long id) -> HRESULT {
      const RECT rect = m_source->AccBounds(id);
      *left = rect.left;
      *top = rect.top;
      *width = rect.right - rect.left;
      *height = rect.bottom - rect.top;
      return S_OK;
    });
  }
  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override
  {
    if (!end)
      return E_POINTER;
    VariantInit(end);
    return ForChild(start, [&](long id) -> HRESULT {
      const long count = m_source->AccChildCount();
      long to = 0;
      if (id == CHILDID_SELF && direction == NAVDIR_FIRSTCHILD)
        to = 1;
      else if (id == CHILDID_SELF && direction == NAVDIR_LASTCHILD)
        to = count;
      else if (id != CHILDID_SELF && (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN))
        to = id + 1;
      else if (id != CHILDID_SELF && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP))
        to = id - 1;
      if (to < 1 || to > count)
        return S_FALSE;
      return Element(to, end);
    });
  }
  STDMETHODIMP accHitTest(long x, long y, VARIANT* found) override
  {
    if (!found)
      return E_POINTER;
    VariantInit(found);
    if (!m_source)
      return kGone;
    return Guarded([&]() -> HRESULT {
      const POINT point{x, y};
      for (long id = m_source->AccChildCount(); id >= 0; --id) {
        const RECT rect = m_source->AccBounds(id);
        if (PtInRect(&rect, point) && !(StateOf(id) & STATE_SYSTEM_INVISIBLE))
          return Element(id, found);
      }
      return S_FALSE;
    });
  }
  STDMETHODIMP accDoDefaultAction(VARIANT child) override
  {
    return ForChild(child, [&](long id) -> HRESULT {
      if (IDispatch* object = m_source->AccChildObject(id))
        return Forwarded(object, [](IAccessible* target, VARIANT self) { return target->accDoDefaultAction(self); });
      if (m_source->AccDefaultAction(id).empty())
        return DISP_E_MEMBERNOTFOUND;
      return m_source->AccDoDefaultAction(id) ? S_OK : E_FAIL;
    });
  }
  STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
  ~KoAccessibleObject() = default;

  // Runs `body` with the child's number when `child` names the element or one of its children.
  template <class TBody>
  HRESULT ForChild(const VARIANT& child, TBody&& body)
  {
    return Guarded([&]() -> HRESULT {
      long id = 0;
      const HRESULT checked = Check(child, id);
      return checked == S_OK ? body(id) : checked;
    });
  }
  // S_OK with the child's number when `child` names the element or one of its children.
  HRESULT Check(const VARIANT& child, long& id) const
  {
    if (!m_source)
      return kGone;
    if (child.vt != VT_I4)
      return E_INVALIDARG;
    id = child.lVal;
    return id >= 0 && id <= m_source->AccChildCount() ? S_OK : E_INVALIDARG;
  }
  // A child with an object of its own answers for itself.
  template <class TCall>
  static HRESULT Forwarded(IDispatch* object, TCall&& call)
  {
    IAccessible* target = nullptr;
    HRESULT result = object->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&target));
    object->Release();
    if (FAILED(result))
      return result;
    VARIANT self;
    SetChild(&self, CHILDID_SELF);
    result = call(target, self);
    target->Release();
    return result;
  }
  HRESULT Text(const VARIANT& child, BSTR* result, HRESULT (STDMETHODCALLTYPE IAccessible::*forward)(VARIANT, BSTR*),
               std::wstring (KoAccessibleSource::*own)(long) const)
  {
    if (!result)
      return E_POINTER;
    *result = nullptr;
    return ForChild(child, [&](long id) -> HRESULT {
      if (IDispatch* object = m_source->AccChildObject(id))
        return Forwarded(object, [&](IAccessible* target, VARIANT self) { return (target->*forward)(self, result); });
      return ReturnText((m_source->*own)(id), result);
    });
  }
  HRESULT Number(const VARIANT& child, VARIANT* result, HRESULT (STDMETHODCALLTYPE IAccessible::*forward)(VARIANT, VARIANT*),
                 long (KoAccessibleSource::*own)(long) const)
  {
    if (!result)
      return E_POINTER;
    VariantInit(result);
    return ForChild(child, [&](long id) -> HRESULT {
      if (IDispatch* object = m_source->AccChildObject(id))
        return Forwarded(object, [&](IAccessible* target, VARIANT self) { return (target->*forward)(self, result); });
      SetChild(result, (m_source->*own)(id));
      return S_OK;
    });
  }
  HRESULT NoText(const VARIANT& child, BSTR* result) const
  {
    if (!result)
      return E_POINTER;
    *result = nullptr;
    long id = 0;
    const HRESULT checked = Check(child, id);
    return checked == S_OK ? S_FALSE : checked;
  }
  long StateOf(long id)
  {
    VARIANT child, state;
    SetChild(&child, id);
    return SUCCEEDED(get_accState(child, &state)) && state.vt == VT_I4 ? state.lVal : 0;
  }
  // A child as readers take it: its object when it has one, else its number.
  HRESULT Element(long id, VARIANT* result)
  {
    if (id != CHILDID_SELF) {
      if (IDispatch* object = m_source->AccChildObject(id)) {
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        return S_OK;
      }
    }
    SetChild(result, id);
    return S_OK;
  }

  KoAccessibleSource* m_source;
  LONG m_references = 1;
};

namespace {

// The thread joins a single-threaded apartment once, so that readers' calls arrive through its message loop
// on the thread that owns the windows. It stays there until it ends. A thread already in the multithreaded
// apartment would receive them on other threads: it answers nothing.
bool InApartment()
{
  thread_local int joined = -1;
  if (joined < 0) {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    joined = SUCCEEDED(result) ? 1 : 0;
  }
  return joined == 1;
}

} // namespace

KoAccessibleHost::~KoAccessibleHost()
{
  if (!m_object)
    return;
  m_object->Disconnect();
  // Readers in other processes lose their proxies now rather than when they let go.
  CoDisconnectObject(m_object, 0);
  m_object->Release();
}

IDispatch* KoAccessibleHost::Object()
{
  if (!InApartment())
    return nullptr;
  if (!m_object)
    m_object = new KoAccessibleObject(m_source);
  m_object->AddRef();
  return m_object;
}

bool KoAccessibleHost::Answer(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
  // The object id arrives as a 32-bit number, whatever the width of lParam.
  if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT)
    return false;
  IDispatch* object = Object();
  if (!object)
    return false;
  result = LresultFromObject(__uuidof(IAccessible), wParam, object);
  object->Release();
  return true;
}

void KoAccessibleHost::Notify(DWORD event, long child) const
{
  if (const HWND window = m_source->AccWindow())
    NotifyWinEvent(event, window, OBJID_CLIENT, child);
}
