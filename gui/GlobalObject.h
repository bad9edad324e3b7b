#pragma once
// A process-wide object made on first use rather than before main: `Application->Run()` and
// `if (Application)` read as with a plain pointer. It is destroyed at the process's exit, before the
// statics that existed when it was made (the maker registers its destruction with atexit then); objects
// it needs are made first by its maker, so that they outlive it. Tests may put another object in force.
template <typename T>
class TGlobalObject {
public:
  using TMaker = T* (*)();
  constexpr explicit TGlobalObject(TMaker maker) : m_maker(maker) {}
  TGlobalObject(const TGlobalObject&) = delete;
  TGlobalObject& operator=(const TGlobalObject&) = delete;

  // The object in force; made now if it was never made and nothing else was put in force. Null once it
  // has been destroyed at exit.
  T* Get()
  {
    if (!m_current && m_state == kUnmade) {
      m_state = kMade;
      m_made = m_maker();
      m_current = m_made;
    }
    return m_current;
  }
  // The object in force without making one.
  T* Peek() const { return m_current; }
  T* operator->() { return Get(); }
  T& operator*() { return *Get(); }
  explicit operator bool() { return Get() != nullptr; }

  // Puts `object` in force without owning it (null: none). The object made on first use stays owned
  // and is destroyed at exit, in force or not.
  TGlobalObject& operator=(T* object)
  {
    m_current = object;
    if (m_state == kUnmade)
      m_state = kReplaced;
    return *this;
  }

  // Destroys the object made on first use; called once at exit. While it goes, it is still in force.
  void DestroyMade()
  {
    T* const made = m_made;
    m_state = kFinished;
    delete made;
    m_made = nullptr;
    if (m_current == made)
      m_current = nullptr;
  }

private:
  enum TState { kUnmade, kReplaced, kMade, kFinished };

  TMaker m_maker;
  T* m_current = nullptr;
  T* m_made = nullptr;
  TState m_state = kUnmade;
};
