#pragma once
// Objects, events, persistent objects, owned components and streams.
#include "Handles.h"
#include "SysUtils.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

// Puts the entries of `list` that `saved` holds back into the order `saved` gives them, the others after
// them in their present order; true when the order changed. Entries of `saved` are only compared.
template <typename T>
bool RestoreOrder(std::vector<T*>& list, const std::vector<T*>& saved)
{
  std::vector<T*> ordered;
  ordered.reserve(list.size());
  for (T* entry : saved) {
    for (T* present : list) {
      if (present == entry) {
        ordered.push_back(entry);
        break;
      }
    }
  }
  for (T* present : list) {
    bool known = false;
    for (T* entry : saved)
      known = known || entry == present;
    if (!known)
      ordered.push_back(present);
  }
  if (ordered == list)
    return false;
  list.swap(ordered);
  return true;
}

class TObject {
public:
  virtual ~TObject() = default;
  // The C++ class name of the object ("TBitmap"); window classes are named after it.
  std::string ClassName() const;
};

// Class name of a type as the compiler's type information spells it, without decoration.
std::string DemangledClassName(const char* typeName);

template <typename Signature>
class TClosure;

// An event: an object and one of its methods, possibly empty. It is called only when set, and can be
// compared, saved, replaced and put back, which is how a component chains a handler it replaces.
// Arguments declared as references are passed by reference, so a handler can adjust a value.
template <typename R, typename... Args>
class TClosure<R(Args...)> {
public:
  TClosure() = default;
  TClosure(std::nullptr_t) {}

  template <typename C>
  TClosure(C* object, R (C::*method)(Args...))
  {
    static_assert(sizeof(method) <= kMethodSize, "member function pointer too large");
    if (!object || !method)
      return;
    m_object = object;
    m_invoke = &Invoke<C, R (C::*)(Args...)>;
    std::memcpy(m_method, &method, sizeof(method));
  }

  template <typename C>
  TClosure(const C* object, R (C::*method)(Args...) const)
  {
    static_assert(sizeof(method) <= kMethodSize, "member function pointer too large");
    if (!object || !method)
      return;
    m_object = const_cast<C*>(object);
    m_invoke = &Invoke<const C, R (C::*)(Args...) const>;
    std::memcpy(m_method, &method, sizeof(method));
  }

  bool Assigned() const { return m_invoke != nullptr; }
  explicit operator bool() const { return Assigned(); }
  void* Object() const { return m_object; }

  // Calls the handler; an empty closure does nothing and gives R's default.
  R operator()(Args... args) const
  {
    if (!m_invoke)
      return R();
    return m_invoke(*this, static_cast<Args>(args)...);
  }

  bool operator==(const TClosure& other) const
  {
    return m_object == other.m_object && m_invoke == other.m_invoke &&
           std::memcmp(m_method, other.m_method, kMethodSize) == 0;
  }
  bool operator!=(const TClosure& other) const { return !(*this == other); }

private:
  static constexpr size_t kMethodSize = 4 * sizeof(void*);

  template <typename C, typename M>
  static R Invoke(const TClosure& self, Args... args)
  {
    M method;
    std::memcpy(&method, self.m_method, sizeof(method));
    return (static_cast<C*>(self.m_object)->*method)(static_cast<Args>(args)...);
  }

  void* m_object = nullptr;
  R (*m_invoke)(const TClosure&, Args...) = nullptr;
  alignas(void*) unsigned char m_method[kMethodSize] = {};
};

using TNotifyEvent = TClosure<void(TObject* Sender)>;

// Copyable objects: `Assign` asks the source to copy itself into this object.
class TPersistent : public TObject {
public:
  // Copies `source` into this object. Nothing raises EConvertError; a class pair that cannot copy raises
  // EInvalidCast.
  virtual void Assign(TPersistent* source);

protected:
  // Copies this object into `destination`; classes that know how override it.
  virtual void AssignTo(TPersistent* destination);
};

enum TComponentStateFlag : unsigned {
  csLoading = 1,
  csDestroying = 2,
  csDesigning = 4,
};
using TComponentState = unsigned;

enum class TOperation { opInsert, opRemove };

class TComponent;

// A weak reference to a component: it tells whether the component still lives. A message path takes one
// before it raises an event whose handler may free the component, and stops when it has expired.
class TLifeToken {
public:
  explicit TLifeToken(const TComponent* component);
  bool Alive() const { return !m_token.expired(); }
  const TComponent* Component() const { return m_component; }
  uint64_t Serial() const { return m_serial; }

private:
  std::weak_ptr<const void> m_token;
  const TComponent* m_component;
  uint64_t m_serial;
};

// Whether `component` has been constructed and not yet destroyed. Debug builds keep a registry of the
// live components to answer it, so that code touching an object after an event that may have freed it
// fails an assertion instead of reading freed memory; release builds always answer true. An address alone
// can be fooled by a new component that got the freed one's memory; the token's form cannot, because the
// registry also knows each component's serial number.
bool ComponentLives(const TComponent* component);
bool ComponentLives(const TLifeToken& life);

// A component belongs to its owner, which frees it (newest first) when the owner goes.
class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // Deleting a component runs BeforeDestruction while the object is still whole, then the destructors,
  // then frees the memory. A component that is not made with new (a member, a local) goes through its
  // destructors only.
  static void operator delete(TComponent* component, std::destroying_delete_t);
  static void* operator new(std::size_t size) { return ::operator new(size); }
  // Frees the memory of a component whose constructor threw.
  static void operator delete(void* block) { ::operator delete(block); }

  TComponent* Owner() const { return FOwner; }
  // Unique for the process's life: no two components ever get the same number.
  uint64_t Serial() const { return FSerial; }
  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; }

  TComponentState ComponentState() const { return FComponentState; }
  bool IsDesigning() const { return (FComponentState & csDesigning) != 0; }
  // While its properties are being read from text: values it would take from elsewhere (a parent's font)
  // wait until EndLoading, so that what the text says is not mixed with them.
  bool IsLoading() const { return (FComponentState & csLoading) != 0; }
  void BeginLoading() { SetComponentStateFlag(csLoading, true); }
  // Ends the loading, calls Loaded, then LoadingDone (which may raise events and free the component).
  void EndLoading();
  // Ends the loading of all of them first, then calls Loaded of each, then LoadingDone of each that is
  // still there: no handler sees one of them still loading.
  static void EndLoading(const std::vector<TComponent*>& components);

  // A way back to the component as it is now, for a reader of component text whose read fails: what
  // its setters change besides the values they set (flags, bounds, its place among the components its
  // container holds). The result puts exactly that back, raising no event; it is called while the
  // component is loading, after its published values have been put back. Empty when there is nothing.
  virtual std::function<void()> SaveState() { return {}; }
  // Set from the start of the destruction on, for the component and everything it owns; no event of a
  // component runs from then on.
  bool IsDestroying() const { return (FComponentState & csDestroying) != 0; }
  // Puts this component and everything it owns into (or out of) design mode.
  void SetDesigning(bool designing);

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const;
  TComponent* FindComponent(const std::string& name) const;

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees the owned components, newest first.
  void DestroyComponents();

  // Asks this component to tell `component` (Notification with opRemove) when it goes, so that a
  // reference to it can be dropped in time. Either may go first; asking twice is asking once.
  void FreeNotification(TComponent* component);
  // Takes such a request back.
  void RemoveFreeNotification(TComponent* component);

  // Frees this component once the message being handled is done (also inside a modal loop); safe to call
  // from the component's own event handlers. Only for components made with new.
  void Release();
  // Whether one of this component's messages is being handled right now; Release waits for it.
  virtual bool HandlingMessage() const { return false; }

protected:
  friend class TLifeToken;

  // The first step of deleting a component, while its whole object still exists: marks it and what it
  // owns destroying. Windowed controls also destroy their window here, so that its last messages meet a
  // whole object. An override calls the inherited one first.
  virtual void BeforeDestruction();
  // Marks this component and everything it owns destroying.
  void Destroying();
  // Its properties have been read (the loading flag is already off): takes what it waited for.
  virtual void Loaded() {}
  // After Loaded: applies what loading held back that may raise events (a control's visibility and
  // resize). The component may be gone afterwards.
  virtual void LoadingDone() {}

  // Told when a component is inserted into or removed from this owner, and (opRemove) when a component
  // this one asked for a free notification goes.
  virtual void Notification(TComponent* component, TOperation operation);
  void SetComponentStateFlag(TComponentStateFlag flag, bool on);

private:
  // Tells those that asked that this component goes, and stops listening to others.
  void SendFreeNotifications() noexcept;

  TComponent* FOwner = nullptr;
  uint64_t FSerial;
  std::string FName;
  TComponentState FComponentState = 0;
  std::vector<TComponent*> FComponents;
  // Told when this component goes.
  std::vector<TComponent*> FFreeNotifies;
  // Those that will tell this component when they go.
  std::vector<TComponent*> FNotifiers;
  // Shared with nobody; its weak references expire when the component is destroyed.
  std::shared_ptr<const void> FLife;
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
  // Reads up to `count` bytes; returns how many were read (0 at the end).
  virtual long Read(void* buffer, long count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  // Reads exactly `count` bytes or raises EReadError.
  void ReadBuffer(void* buffer, long count);
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  virtual int64_t Size();
};

// A read-only stream over bytes in memory.
class TBytesStream : public TStream {
public:
  explicit TBytesStream(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {}
  long Read(void* buffer, long count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
  std::vector<uint8_t> FBytes;
  int64_t FPosition = 0;
};

// File open modes, as the system's sharing flags.
enum : unsigned {
  fmOpenRead = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyNone = 0x0040,
};

// A file opened for reading; a file that cannot be opened raises EFOpenError with its path.
class TFileStream : public TStream {
public:
  explicit TFileStream(const std::string& fileName, unsigned mode = fmOpenRead);
  // By a wide path, for folders the ANSI code page cannot spell; FileName() is its ANSI spelling.
  explicit TFileStream(const std::wstring& fileName, unsigned mode = fmOpenRead);
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  long Read(void* buffer, long count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  const std::string& FileName() const { return FFileName; }
  HANDLE Handle() const { return FHandle.Get(); }

private:
  std::string FFileName;
  TKernelHandle FHandle;
};
