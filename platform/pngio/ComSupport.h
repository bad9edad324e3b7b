#pragma once
// Owners for COM interface pointers and for the calling thread's COM apartment.
#include <objbase.h>
#include <windows.h>

// Owns one reference to a COM interface.
template <typename T>
class TComPtr {
public:
  TComPtr() = default;
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : m_ptr(other.m_ptr) { other.m_ptr = nullptr; }
  TComPtr& operator=(TComPtr&& other) noexcept
  {
    if (this != &other) {
      Reset();
      m_ptr = other.m_ptr;
      other.m_ptr = nullptr;
    }
    return *this;
  }

  T* Get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }

  // For an out-parameter: drops what is held and lends the slot.
  T** Put()
  {
    Reset();
    return &m_ptr;
  }

  void Reset()
  {
    if (m_ptr) {
      m_ptr->Release();
      m_ptr = nullptr;
    }
  }

private:
  T* m_ptr = nullptr;
};

// Makes COM usable on the calling thread for one scope and leaves the thread's apartment as it was: a thread
// that had none gets one for the scope only; a thread already in an apartment of either kind keeps it.
class TComApartment {
public:
  TComApartment()
  {
    // The multithreaded kind: a single-threaded apartment would give the caller's (GUI) thread a hidden
    // window for the scope. The imaging objects serve either kind.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // S_OK and S_FALSE both take a reference that must be given back; RPC_E_CHANGED_MODE means the thread
    // is in a single-threaded apartment already, which serves as well and is not ours to leave.
    m_balance = SUCCEEDED(hr);
    m_usable = m_balance || hr == RPC_E_CHANGED_MODE;
  }
  ~TComApartment()
  {
    if (m_balance)
      CoUninitialize();
  }
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

  bool Usable() const { return m_usable; }

private:
  bool m_balance = false;
  bool m_usable = false;
};
