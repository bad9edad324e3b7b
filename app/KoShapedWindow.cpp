#include "KoShapedWindow.h"

#include "Assertion.h"
#include "Bitmap.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Handles.h"
#include "Picture.h"
#include "SysApi.h"

namespace {

TUser32Lookup& User32Lookup()
{
  static TUser32Lookup lookup = &LookupUser32;
  return lookup;
}

template <typename F>
F User32Function(const char* name)
{
  // Through the generic function type, which the compiler accepts as a cast to any other.
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(User32Lookup()(name)));
}

constexpr DWORD kLayeredMask = WS_EX_LAYERED | WS_EX_TRANSPARENT;

} // namespace

FARPROC LookupUser32(const char* name)
{
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  return user32 ? GetProcAddress(user32, name) : nullptr;
}

TUser32Lookup SetUser32Lookup(TUser32Lookup lookup)
{
  const TUser32Lookup old = User32Lookup();
  User32Lookup() = lookup ? lookup : &LookupUser32;
  return old;
}

// --- CsWindowLayering ---

bool CsWindowLayering::SetLayeredStyle(HWND hwnd, bool layered, bool clickThrough)
{
  const auto style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE));
  const DWORD wanted = (layered ? WS_EX_LAYERED : 0) | (clickThrough ? WS_EX_TRANSPARENT : 0);
  // Every write makes the system send style-change messages and may make it repaint: only real changes.
  if ((style & kLayeredMask) == wanted)
    return false;
  SetWindowLongA(hwnd, GWL_EXSTYLE, static_cast<LONG>((style & ~kLayeredMask) | wanted));
  return true;
}

void CsWindowLayering::Disable(HWND hwnd, bool restoring)
{
  if (!SetLayeredStyle(hwnd, false, restoring ? false : m_clickThrough))
    return;
  // The result is not used: a window that cannot be redrawn now is painted at its next update.
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

// --- CsLayeredWindowMaker ---

CsLayeredWindowMaker::CsLayeredWindowMaker()
    : m_setLayeredWindowAttributes(User32Function<SetLayeredWindowAttributesProc>("SetLayeredWindowAttributes"))
{
}

void CsLayeredWindowMaker::Apply(HWND hwnd)
{
  KO_ASSERT(IsAvailable());
  if (!m_useColorKey && !m_useAlpha) {
    Disable(hwnd, false);
    return;
  }
  SetLayeredStyle(hwnd, true, m_clickThrough);
  const DWORD flags = (m_useColorKey ? LWA_COLORKEY : 0) | (m_useAlpha ? LWA_ALPHA : 0);
  // The result is not used: the window keeps its previous look when the system refuses.
  m_setLayeredWindowAttributes(hwnd, m_colorKey, m_alpha, flags);
}

// --- CsPerPixelLayeredWindowMaker ---

CsPerPixelLayeredWindowMaker::CsPerPixelLayeredWindowMaker()
    : m_updateLayeredWindow(User32Function<UpdateLayeredWindowProc>("UpdateLayeredWindow"))
{
}

bool CsPerPixelLayeredWindowMaker::IsPerPixel(HBITMAP hbitmap) const
{
  BITMAP info{};
  return m_usePerPixelAlpha && GetObjectA(hbitmap, sizeof info, &info) && info.bmBitsPixel == 32;
}

void CsPerPixelLayeredWindowMaker::Apply(HWND hwnd, HBITMAP hbitmap)
{
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!m_useAlpha && !IsPerPixel(hbitmap)) {
    if (m_useColorKey) {
      SetLayeredStyle(hwnd, true, m_clickThrough);
      PushBitmap(hwnd, hbitmap, blend, ULW_COLORKEY);
    } else {
      Disable(hwnd, false);
    }
    return;
  }
  SetLayeredStyle(hwnd, true, m_clickThrough);
  if (m_useAlpha)
    blend.SourceConstantAlpha = m_alpha;
  PushBitmap(hwnd, hbitmap, blend, ULW_ALPHA);
}

void CsPerPixelLayeredWindowMaker::PushBitmap(HWND hwnd, HBITMAP hbitmap, BLENDFUNCTION blend, DWORD flags)
{
  BITMAP info{};
  // Without the function, or without a bitmap to show, there is nothing to push.
  if (!m_updateLayeredWindow || !GetObjectA(hbitmap, sizeof info, &info))
    return;
  // One memory DC for every push (a fade pushes hundreds of times); the screen's palette is the default one,
  // so no window DC is needed.
  if (!m_memoryDC)
    m_memoryDC = TMemoryDC::CreateCompatible();
  RECT window{};
  GetWindowRect(hwnd, &window);
  POINT destination{window.left, window.top};
  SIZE size{info.bmWidth, info.bmHeight};
  POINT source{0, 0};
  // Deselected again at once: the bitmap may be drawn on or freed between pushes.
  const TSelectObject selected(m_memoryDC.Get(), hbitmap);
  // The result is not used: the window keeps its previous face when the system refuses.
  m_updateLayeredWindow(hwnd, nullptr, &destination, &size, m_memoryDC.Get(), &source, m_colorKey, &blend, flags);
}

// --- TDragDelegate ---

void TDragDelegate::Attach(TForm* form, TControl* control)
{
  KO_ASSERT(!IsAttached());
  m_control = control;
  m_form = form;
  if (control)
    m_controlLife.emplace(control);
  else
    m_controlLife.reset();
  OnAttach(control);
}

void TDragDelegate::Detach()
{
  if (!IsAttached())
    return;
  // A control that has gone has nothing left to put back.
  if (ControlLives())
    OnDetach(m_control);
  m_control = nullptr;
}

// --- TNormalDrag ---

TNormalDrag::~TNormalDrag()
{
  // The control must not call a handler of a delegate that is gone.
  if (IsAttached() && ControlLives())
    m_control->OnMouseDown = m_oldMouseDown;
}

void TNormalDrag::OnAttach(TControl* control)
{
  if (!control)
    return;
  m_oldMouseDown = control->OnMouseDown;
  control->OnMouseDown = TMouseEvent(this, &TNormalDrag::MouseDown);
}

void TNormalDrag::OnDetach(TControl* control)
{
  control->OnMouseDown = m_oldMouseDown;
}

void TNormalDrag::MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)
{
  // The move loop below runs messages, and one of them may free the form, the control or this delegate:
  // nothing of this object is touched after it.
  const TMouseEvent oldMouseDown = m_oldMouseDown;
  const TLifeToken controlLife(m_control);
  if (Button == mbLeft && m_form) {
    ReleaseCapture();
    // The system moves the window with the mouse until the button is released.
    SendMessageA(m_form->GetHandle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
  }
  if (oldMouseDown && controlLife.Alive())
    oldMouseDown(Sender, Button, Shift, X, Y);
}

// --- DoNotEraseBkgnd ---

DoNotEraseBkgnd::~DoNotEraseBkgnd()
{
  Unhook();
}

void DoNotEraseBkgnd::Hook(TControl* control)
{
  KO_ASSERT(m_control == NULL);
  if (!control)
    return;
  m_control = control;
  m_controlLife.emplace(control);
  m_oldWindowProc = control->WindowProc.Hook(GuardProc());
}

void DoNotEraseBkgnd::Unhook()
{
  if (!m_control)
    return;
  // A control that went first took its hooks with it.
  if (m_controlLife && m_controlLife->Alive())
    m_control->WindowProc.Unhook(GuardProc());
  m_control = nullptr;
  m_oldWindowProc = TWndMethod();
  m_controlLife.reset();
}

void DoNotEraseBkgnd::WindowProc(TMessage& Message)
{
  if (Message.Msg == WM_ERASEBKGND) {
    Message.Result = 1;
    return;
  }
  m_oldWindowProc(Message);
}

// --- TsShapedFormMaker ---

TsShapedFormMaker::~TsShapedFormMaker() = default;

bool TsShapedFormMaker::Attach(TImage* image)
{
  KO_ASSERT(!IsAttached());
  if (!image)
    return false;
  TForm* form = nullptr;
  for (TWinControl* parent = image->GetParent(); parent && !form; parent = parent->GetParent())
    form = dynamic_cast<TForm*>(parent);
  if (!form)
    return false;
  m_form = form;
  m_image = image;
  PrepareForm();

  TBitmap* bitmap = m_image->GetPicture()->GetBitmap();
  bitmap->SetTransparentMode(tmAuto);
  SetColorKey(bitmap->GetTransparentColor());

  StartDragging();
  if (!m_eraseGuard)
    m_eraseGuard = std::make_unique<DoNotEraseBkgnd>();
  m_eraseGuard->Hook(m_form);
  Apply(m_form, m_image);
  return true;
}

void TsShapedFormMaker::Reapply()
{
  if (!IsAttached())
    return;
  PrepareForm();
  Apply(m_form, m_image);
}

void TsShapedFormMaker::StartDragging()
{
  if (!m_dragDelegate)
    m_dragDelegate = CreateDragDelegate();
  if (!m_dragDelegate)
    m_dragDelegate = std::make_unique<TNormalDrag>();
  m_dragDelegate->Attach(m_form, m_image);
}

void TsShapedFormMaker::SetDraggable(bool on)
{
  if (!on) {
    if (m_dragDelegate)
      m_dragDelegate->Detach();
    return;
  }
  // Before Attach there is nothing to drag; Attach turns dragging on itself.
  if (IsAttached() && !(m_dragDelegate && m_dragDelegate->IsAttached()))
    StartDragging();
}

void TsShapedFormMaker::PrepareForm()
{
  m_form->SetBorderStyle(bsNone);
  if (m_form->Scaled) {
    // A scaled form would size its client area away from the picture's pixels.
    SysApi().MessageBoxA(nullptr, "Scaled is not set false", m_form->Name().c_str(), MB_OK);
    KO_ASSERT(m_form->Scaled == false);
  }
  m_image->SetAutoSize(true);
  m_form->SetClientSize(m_image->GetWidth(), m_image->GetHeight());
}

std::unique_ptr<TDragDelegate> TsShapedFormMaker::CreateDragDelegate()
{
  return nullptr;
}

// --- TsLayeredFormMaker ---

TsLayeredFormMaker::TsLayeredFormMaker() : m_windowMaker(std::make_unique<CsLayeredWindowMaker>())
{
  if (m_windowMaker->IsAvailable())
    m_windowMaker->m_useColorKey = true;
  else
    m_windowMaker.reset();
}

// The window maker goes before the drag delegate.
TsLayeredFormMaker::~TsLayeredFormMaker()
{
  m_windowMaker.reset();
}

void TsLayeredFormMaker::SetUseColorKey(bool on)
{
  if (m_windowMaker)
    m_windowMaker->m_useColorKey = on;
}

void TsLayeredFormMaker::SetUseAlpha(bool on)
{
  if (!m_windowMaker)
    return;
  m_windowMaker->m_useAlpha = on;
  if (IsAttached())
    Apply(m_form, m_image);
}

void TsLayeredFormMaker::SetAlpha(BYTE value)
{
  if (m_windowMaker)
    m_windowMaker->m_alpha = value;
}

void TsLayeredFormMaker::Apply(TForm* form, TImage*)
{
  // Without the window maker the form stays an ordinary window in its own colour.
  if (!m_windowMaker)
    return;
  form->SetColor(GetColorKey());
  m_windowMaker->Apply(form->GetHandle());
}

void TsLayeredFormMaker::Restore(TForm* form)
{
  if (m_windowMaker)
    m_windowMaker->Restore(form->GetHandle());
}

void TsLayeredFormMaker::SetColorKey(TColor color)
{
  if (m_windowMaker)
    m_windowMaker->m_colorKey = static_cast<COLORREF>(color);
}

TColor TsLayeredFormMaker::GetColorKey() const
{
  return m_windowMaker ? static_cast<TColor>(m_windowMaker->m_colorKey) : clNone;
}

// --- TsPerPixelLayeredFormMaker ---

TsPerPixelLayeredFormMaker::TsPerPixelLayeredFormMaker()
    : m_windowMaker(std::make_unique<CsPerPixelLayeredWindowMaker>())
{
  if (m_windowMaker->IsAvailable())
    m_windowMaker->m_useColorKey = true;
  else
    m_windowMaker.reset();
}

TsPerPixelLayeredFormMaker::~TsPerPixelLayeredFormMaker()
{
  m_windowMaker.reset();
}

void TsPerPixelLayeredFormMaker::SetUseColorKey(bool on)
{
  if (m_windowMaker)
    m_windowMaker->m_useColorKey = on;
}

void TsPerPixelLayeredFormMaker::SetUseAlpha(bool on)
{
  if (!m_windowMaker)
    return;
  m_windowMaker->m_useAlpha = on;
  if (IsAttached())
    Apply(m_form, m_image);
}

void TsPerPixelLayeredFormMaker::SetAlpha(BYTE value)
{
  if (m_windowMaker)
    m_windowMaker->m_alpha = value;
}

void TsPerPixelLayeredFormMaker::SetUsePerPixelAlpha(bool on)
{
  if (!m_windowMaker)
    return;
  m_windowMaker->m_usePerPixelAlpha = on;
  if (IsAttached())
    Apply(m_form, m_image);
}

void TsPerPixelLayeredFormMaker::Apply(TForm* form, TImage* image)
{
  if (!m_windowMaker)
    return;
  form->SetColor(GetColorKey());
  TBitmap* bitmap = image->GetPicture()->GetBitmap();
  // UpdateLayeredWindow selects the bitmap into a DC of its own; the canvas must let go of it first.
  bitmap->Dormant();
  m_windowMaker->Apply(form->GetHandle(), bitmap->GetHandle());
}

void TsPerPixelLayeredFormMaker::Restore(TForm* form)
{
  if (m_windowMaker)
    m_windowMaker->Restore(form->GetHandle());
}

void TsPerPixelLayeredFormMaker::SetColorKey(TColor color)
{
  if (m_windowMaker)
    m_windowMaker->m_colorKey = static_cast<COLORREF>(color);
}

TColor TsPerPixelLayeredFormMaker::GetColorKey() const
{
  return m_windowMaker ? static_cast<TColor>(m_windowMaker->m_colorKey) : clNone;
}
