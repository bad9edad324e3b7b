#pragma once
// Move-only owners for the system's handles. Every GDI, USER and kernel handle the library creates lives in
// one of these, so that no path (early return, exception) leaks it.
#include <windows.h>

#include <utility>

// Owns one handle and frees it with Traits::Free. Traits::Invalid() is the "no handle" value.
template <typename Traits>
class TUniqueHandle {
public:
  using Handle = typename Traits::Handle;

  TUniqueHandle() = default;
  explicit TUniqueHandle(Handle handle) : m_handle(handle) {}
  ~TUniqueHandle() { Reset(); }

  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& other) noexcept : m_handle(other.Extract()) {}
  TUniqueHandle& operator=(TUniqueHandle&& other) noexcept
  {
    if (this != &other)
      Reset(other.Extract());
    return *this;
  }

  Handle Get() const { return m_handle; }
  bool Valid() const { return !Traits::IsInvalid(m_handle); }
  explicit operator bool() const { return Valid(); }

  // Gives up ownership; the caller frees the handle.
  Handle Extract()
  {
    Handle handle = m_handle;
    m_handle = Traits::Invalid();
    return handle;
  }

  // Frees the owned handle (if any) and takes `handle`.
  void Reset(Handle handle = Traits::Invalid())
  {
    if (handle == m_handle)
      return;
    if (!Traits::IsInvalid(m_handle))
      Traits::Free(m_handle);
    m_handle = handle;
  }

private:
  Handle m_handle = Traits::Invalid();
};

template <typename T>
struct TGdiObjectTraits {
  using Handle = T;
  static T Invalid() { return nullptr; }
  static bool IsInvalid(T handle) { return handle == nullptr; }
  // Fails only for an object still selected into a DC; the scoped selectors make sure none is.
  static void Free(T handle) { DeleteObject(handle); }
};

// A GDI object: HBITMAP, HFONT, HPEN, HBRUSH, HRGN, HPALETTE.
template <typename T>
using TGdiObject = TUniqueHandle<TGdiObjectTraits<T>>;
using TBitmapHandle = TGdiObject<HBITMAP>;
using TFontHandle = TGdiObject<HFONT>;
using TPenHandle = TGdiObject<HPEN>;
using TBrushHandle = TGdiObject<HBRUSH>;
using TRegionHandle = TGdiObject<HRGN>;
using TPaletteHandle = TGdiObject<HPALETTE>;

struct TMemoryDCTraits {
  using Handle = HDC;
  static HDC Invalid() { return nullptr; }
  static bool IsInvalid(HDC dc) { return dc == nullptr; }
  static void Free(HDC dc) { DeleteDC(dc); }
};

// A DC from CreateCompatibleDC / CreateDCA, freed with DeleteDC.
class TMemoryDC : public TUniqueHandle<TMemoryDCTraits> {
public:
  using TUniqueHandle::TUniqueHandle;
  // A memory DC compatible with `reference` (the screen when null).
  static TMemoryDC CreateCompatible(HDC reference = nullptr) { return TMemoryDC(CreateCompatibleDC(reference)); }
};

// A window's DC from GetDC / GetWindowDC, released with ReleaseDC and its window.
class TWindowDC {
public:
  TWindowDC() = default;
  // GetDC(window); a null window gives the screen's DC.
  explicit TWindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
  // Adopts a DC that `window` handed out.
  TWindowDC(HWND window, HDC dc) : m_window(window), m_dc(dc) {}
  ~TWindowDC() { Reset(); }

  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  TWindowDC(TWindowDC&& other) noexcept : m_window(other.m_window), m_dc(other.m_dc)
  {
    other.m_window = nullptr;
    other.m_dc = nullptr;
  }
  TWindowDC& operator=(TWindowDC&& other) noexcept
  {
    if (this != &other) {
      Reset();
      std::swap(m_window, other.m_window);
      std::swap(m_dc, other.m_dc);
    }
    return *this;
  }

  HDC Get() const { return m_dc; }
  HWND Window() const { return m_window; }
  bool Valid() const { return m_dc != nullptr; }
  explicit operator bool() const { return Valid(); }

  void Reset()
  {
    if (m_dc)
      ReleaseDC(m_window, m_dc);
    m_dc = nullptr;
    m_window = nullptr;
  }

private:
  HWND m_window = nullptr;
  HDC m_dc = nullptr;
};

struct TIconTraits {
  using Handle = HICON;
  static HICON Invalid() { return nullptr; }
  static bool IsInvalid(HICON icon) { return icon == nullptr; }
  static void Free(HICON icon) { DestroyIcon(icon); }
};
using TIconHandle = TUniqueHandle<TIconTraits>;

// Kernel objects: files, mutexes, events, processes. Both null and INVALID_HANDLE_VALUE mean "none".
struct TKernelTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static bool IsInvalid(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
  static void Free(HANDLE handle) { CloseHandle(handle); }
};
using TKernelHandle = TUniqueHandle<TKernelTraits>;

struct TModuleTraits {
  using Handle = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static bool IsInvalid(HMODULE module) { return module == nullptr; }
  static void Free(HMODULE module) { FreeLibrary(module); }
};
// A library from LoadLibrary, freed with FreeLibrary.
using TModuleHandle = TUniqueHandle<TModuleTraits>;

struct TMenuTraits {
  using Handle = HMENU;
  static HMENU Invalid() { return nullptr; }
  static bool IsInvalid(HMENU menu) { return menu == nullptr; }
  static void Free(HMENU menu) { DestroyMenu(menu); }
};
// A menu from CreatePopupMenu / CreateMenu; destroying it destroys its submenus too.
using TMenuHandle = TUniqueHandle<TMenuTraits>;

struct TWindowTraits {
  using Handle = HWND;
  static HWND Invalid() { return nullptr; }
  static bool IsInvalid(HWND window) { return window == nullptr; }
  static void Free(HWND window) { DestroyWindow(window); }
};
// A window of a system class (a tooltip control) that nothing else owns; destroyed with DestroyWindow.
// The library's own windows are owned by their bindings instead.
using TWindowHandle = TUniqueHandle<TWindowTraits>;

// The DC of one WM_PAINT: BeginPaint on construction, EndPaint when the scope ends, also when painting
// throws. Only the window procedure handling the WM_PAINT may make one.
class TPaintDC {
public:
  explicit TPaintDC(HWND window) : m_window(window), m_dc(BeginPaint(window, &m_paint)) {}
  ~TPaintDC() { EndPaint(m_window, &m_paint); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;

  // Null when BeginPaint failed.
  HDC Get() const { return m_dc; }
  // The part of the client area that needs painting.
  const RECT& Area() const { return m_paint.rcPaint; }

private:
  HWND m_window;
  PAINTSTRUCT m_paint{};
  HDC m_dc;
};

// Selects an object into a DC for one scope and puts the previous object back. Selecting null does nothing.
class TSelectObject {
public:
  TSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc)
  {
    if (dc && object)
      m_old = SelectObject(dc, object);
  }
  ~TSelectObject() { Restore(); }
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;

  // The object that was selected before; null when nothing was selected.
  HGDIOBJ Previous() const { return m_old; }

  // Puts the previous object back now; the destructor then does nothing.
  void Restore()
  {
    if (m_dc && m_old && m_old != HGDI_ERROR)
      SelectObject(m_dc, m_old);
    m_old = nullptr;
  }

private:
  HDC m_dc = nullptr;
  HGDIOBJ m_old = nullptr;
};

// Selects a palette for one scope and puts the previous one back.
class TSelectPalette {
public:
  TSelectPalette(HDC dc, HPALETTE palette, bool background = true) : m_dc(dc)
  {
    if (dc && palette)
      m_old = SelectPalette(dc, palette, background);
  }
  ~TSelectPalette()
  {
    if (m_dc && m_old)
      SelectPalette(m_dc, m_old, TRUE);
  }
  TSelectPalette(const TSelectPalette&) = delete;
  TSelectPalette& operator=(const TSelectPalette&) = delete;

private:
  HDC m_dc = nullptr;
  HPALETTE m_old = nullptr;
};

// Keeps a DC's whole drawing state (objects, colours, modes, origin, clipping) for one scope.
class TSaveDC {
public:
  explicit TSaveDC(HDC dc) : m_dc(dc), m_state(dc ? SaveDC(dc) : 0) {}
  ~TSaveDC()
  {
    if (m_state)
      RestoreDC(m_dc, m_state);
  }
  TSaveDC(const TSaveDC&) = delete;
  TSaveDC& operator=(const TSaveDC&) = delete;

private:
  HDC m_dc;
  int m_state;
};
