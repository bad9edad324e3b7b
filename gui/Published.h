#pragma once
// Published properties. Each class may declare, in its own unit, a table of the properties that can be
// listed, read and written by name and kept in component text, with their streaming defaults; events are
// properties too, and a root class (a form) publishes the methods its components' events may name:
//
//   const auto kLabelTable = PublishClass<TLabel>()
//       .Property("Caption", &TLabel::GetCaption, &TLabel::SetCaption, "")
//       .Property("AutoSize", &TLabel::GetAutoSize, &TLabel::SetAutoSize, true)
//       .Color("Color", &TLabel::GetColor, &TLabel::SetColor, clBtnFace)
//       .Object("Font", &TLabel::GetFont, &TLabel::SetFont)
//       .Event("OnClick", &TLabel::OnClick);
//
// An object's table is that of its most derived published class, with the properties of every published
// base before its own, so a class without a table of its own uses its nearest published base's. Fields
// that are not public are reached from a static member function or a friend of the class.
#include "Classes.h"
#include "SysUtils.h"

#include <concepts>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

// A property or table used in a way its declaration does not allow (wrong kind, wrong class, a value
// out of range, a name declared twice).
class EPropertyError : public Exception {
  using Exception::Exception;
};

// A class as the tables see it: its name, its identity, whether an object is one, and whether it derives
// from another class. The last needs no object: the language is asked whether a pointer to this class is
// caught as a pointer to the other, once per pair of classes.
class TClassInfo {
public:
  template <typename C>
  static const TClassInfo& Of()
  {
    static_assert(std::is_base_of_v<TObject, C>, "published classes derive from TObject");
    static const TClassInfo info(typeid(C), &ThrowNull<C>, &Catches<C>, &IsInstanceOf<C>);
    return info;
  }

  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  const std::string& Name() const { return m_name; }
  std::type_index Type() const { return m_type; }
  // This class is `base` or derives from it.
  bool InheritsFrom(const TClassInfo& base) const;
  bool IsInstance(const TObject* object) const { return object && m_isInstance(object); }

private:
  using TThrower = void (*)();
  TClassInfo(const std::type_info& type, TThrower throwNull, bool (*catches)(TThrower),
             bool (*isInstance)(const TObject*));

  template <typename C>
  [[noreturn]] static void ThrowNull()
  {
    throw static_cast<C*>(nullptr);
  }
  template <typename C>
  static bool Catches(TThrower thrower)
  {
    try {
      thrower();
    } catch (C*) {
      return true;
    } catch (...) {
    }
    return false;
  }
  template <typename C>
  static bool IsInstanceOf(const TObject* object)
  {
    return dynamic_cast<const C*>(object) != nullptr;
  }

  std::string m_name;
  std::type_index m_type;
  TThrower m_throwNull;
  bool (*m_catches)(TThrower);
  bool (*m_isInstance)(const TObject*);
};

// The names of an enumeration's values, for enumeration and set properties.
class TEnumInfo {
public:
  TEnumInfo(std::string typeName, std::vector<std::pair<std::string, int64_t>> values);

  const std::string& TypeName() const { return m_typeName; }
  const std::vector<std::pair<std::string, int64_t>>& Values() const { return m_values; }
  // Null when the value has no name.
  const std::string* NameOf(int64_t value) const;
  std::optional<int64_t> ValueOf(const std::string& name) const;

private:
  std::string m_typeName;
  std::vector<std::pair<std::string, int64_t>> m_values;
};

// Gives the values of enumeration `type` their names; publishing the same names again does nothing,
// other names raise EPropertyError.
void PublishEnumInfo(std::type_index type, TEnumInfo info);
// Null when the enumeration has not been published.
const TEnumInfo* FindEnumInfo(std::type_index type);

// Names the values 0, 1, 2... of E in order.
template <typename E>
bool PublishEnum(std::initializer_list<const char*> names)
{
  static_assert(std::is_enum_v<E>);
  std::vector<std::pair<std::string, int64_t>> values;
  int64_t value = 0;
  for (const char* name : names)
    values.emplace_back(name, value++);
  PublishEnumInfo(typeid(E), TEnumInfo(DemangledClassName(typeid(E).name()), std::move(values)));
  return true;
}

// Names the given values of E.
template <typename E>
bool PublishEnum(std::initializer_list<std::pair<const char*, E>> named)
{
  static_assert(std::is_enum_v<E>);
  std::vector<std::pair<std::string, int64_t>> values;
  for (const auto& [name, value] : named)
    values.emplace_back(name, static_cast<int64_t>(value));
  PublishEnumInfo(typeid(E), TEnumInfo(DemangledClassName(typeid(E).name()), std::move(values)));
  return true;
}

enum class TPropertyKind {
  Integer,
  Boolean,
  Color,
  String,
  Enumeration,
  Set,
  Object,    // an owned persistent object, kept as its own published properties
  Picture,   // an owned picture (a bitmap or a picture holder), kept in text as its file's data
  Reference, // another component, by name
  Event,
};

// "an integer", "a colour", ... for messages.
const char* KindText(TPropertyKind kind);

class TPublishedMethod;

namespace published_detail {

// A pointer to a member of TObject or of a class derived from it, kept as the pointer to a member of
// TObject it also is: one accessor per member type then serves every class that has such a member. The
// property checks that the object is of the declaring class before it applies the pointer. Published
// classes derive from TObject along one line, so two words hold any such pointer.
struct TMember {
  alignas(void*) unsigned char Bytes[2 * sizeof(void*)] = {};
};

template <typename P>
struct TRebased;
template <typename M, typename B>
struct TRebased<M B::*> {
  static_assert(std::is_base_of_v<TObject, B>, "a published member is a member of a TObject");
  using Type = M TObject::*;
};
template <typename P>
using TRebasedOf = typename TRebased<P>::Type;

// Any member pointer (rebased or not), kept as bytes.
template <typename P>
TMember Keep(P member)
{
  static_assert(sizeof(P) <= sizeof(TMember::Bytes), "member pointer too large");
  TMember kept;
  std::memcpy(kept.Bytes, &member, sizeof(P));
  return kept;
}

template <typename P>
TMember Erase(P member)
{
  return Keep(static_cast<TRebasedOf<P>>(member));
}

template <typename P>
P Restore(const TMember& member)
{
  P pointer;
  std::memcpy(&pointer, member.Bytes, sizeof(P));
  return pointer;
}

// What an event property does with its closure field, one table per closure type.
struct TEventAccess {
  bool (*Assigned)(const TMember& field, TObject* object);
  bool (*Calls)(const TMember& field, TObject* object, TObject* target, const TPublishedMethod& method);
  void (*Set)(const TMember& field, TObject* object, TObject* target, const TPublishedMethod& method);
  void (*Clear)(const TMember& field, TObject* object);
  std::function<void()> (*Save)(const TMember& field, TObject* object);
};

// How the ordinal properties of one value type and member types are read and written.
struct TOrdinalAccess {
  int64_t Min;
  int64_t Max;
  const std::type_info* EnumType; // the enumeration, or a set's elements; null for other types
  int64_t (*Get)(const TMember& get, TObject* object);
  void (*Set)(const TMember& set, TObject* object, int64_t value);
};

} // namespace published_detail

// A method of a root class that events may name.
class TPublishedMethod {
public:
  const std::string& Name() const { return m_name; }
  // The function type of the closures it fits, as typeid gives it.
  std::type_index Signature() const { return m_signature; }
  const TClassInfo& Owner() const { return *m_owner; }
  // Stores this method bound to `target` into `closure`, a TClosure of the same signature.
  void Bind(TObject* target, void* closure) const { m_bind(m_method, m_name, target, closure); }

private:
  template <typename C>
  friend class TPublisher;
  friend class TPublishedClass;
  TPublishedMethod(std::string name, std::type_index signature, const TClassInfo* owner)
      : m_name(std::move(name)), m_signature(signature), m_owner(owner)
  {
  }

  std::string m_name;
  std::type_index m_signature;
  const TClassInfo* m_owner;
  published_detail::TMember m_method;
  void (*m_bind)(const published_detail::TMember& method, const std::string& name, TObject* target,
                 void* closure) = nullptr;
};

// One published property of a class. Every accessor checks that the object is of the declaring class
// and that the property is of a kind the accessor serves; misuse raises EPropertyError.
class TPropertyInfo {
public:
  const std::string& Name() const { return m_name; }
  TPropertyKind Kind() const { return m_kind; }
  const TClassInfo& Owner() const { return *m_owner; }

  // Integer, Boolean, Color, Enumeration, Set: the value as a number (a set as its bits).
  int64_t GetOrdinal(TObject* object) const;
  // Raises EPropertyError for a value out of the type's range or without a name.
  void SetOrdinal(TObject* object, int64_t value) const;
  // Raises EPropertyError when `value` is not a value of this property.
  void CheckOrdinal(int64_t value) const;
  int64_t MinValue() const { return m_min; }
  int64_t MaxValue() const { return m_max; }

  std::string GetString(TObject* object) const;
  void SetString(TObject* object, const std::string& value) const;

  // Whether a default is declared, and the default: a value equal to it is left out of text.
  bool HasDefault() const { return m_ordinalDefault.has_value() || m_stringDefault.has_value(); }
  int64_t OrdinalDefault() const;
  const std::string& StringDefault() const;
  // The object holds the default (false without one).
  bool IsDefault(TObject* object) const;
  // Whether the value belongs in text at all: false where the class says the value comes from elsewhere
  // (a font that follows the parent's). True unless the table declares a condition.
  bool IsStored(TObject* object) const;

  // Enumeration and Set: the names of the values; EPropertyError when they have not been published.
  const TEnumInfo& Enumeration() const;

  // Object, Picture, Reference: the declared class of the value.
  const TClassInfo& ValueClass() const;
  // Object, Picture: the owned object (may be null).
  TPersistent* GetObject(TObject* object) const;
  // Object, Picture: copies `value` into the owned object through the class's Set member function;
  // EPropertyError when none is declared or `value` is not of the value class.
  void SetObject(TObject* object, TPersistent* value) const;
  // Whether a Set member function is declared for SetObject.
  bool CanSetObject() const { return m_setObject != nullptr; }
  // Reference: the component referred to (may be null).
  TComponent* GetReference(TObject* object) const;
  // Raises EPropertyError when `component` is not of the value class.
  void SetReference(TObject* object, TComponent* component) const;

  // Event: the closure's function type.
  std::type_index EventSignature() const;
  bool EventAssigned(TObject* object) const;
  // The event holds `method` bound to `target`.
  bool EventCalls(TObject* object, TObject* target, const TPublishedMethod& method) const;
  // Raises EPropertyError when the method's signature is not the event's.
  void SetEvent(TObject* object, TObject* target, const TPublishedMethod& method) const;
  void ClearEvent(TObject* object) const;

  // Captures the current value (Object and Picture: nothing); calling the result puts it back.
  std::function<void()> Save(TObject* object) const;

private:
  template <typename C>
  friend class TPublisher;
  friend class TPublishedClass;
  TPropertyInfo(std::string name, TPropertyKind kind, const TClassInfo* owner)
      : m_name(std::move(name)), m_kind(kind), m_owner(owner), m_eventSignature(typeid(void))
  {
  }
  void Require(std::initializer_list<TPropertyKind> kinds, const char* operation) const;

  std::string m_name;
  TPropertyKind m_kind;
  const TClassInfo* m_owner;
  int64_t m_min = 0;
  int64_t m_max = 0;
  std::optional<int64_t> m_ordinalDefault;
  std::optional<std::string> m_stringDefault;
  std::optional<std::type_index> m_enumType;
  const TClassInfo* m_valueClass = nullptr;
  std::type_index m_eventSignature;

  // The object as the declaring class's, checked; EPropertyError when it is not one.
  TObject* Holder(TObject* object) const;

  // Accessors shared by every property of the same member type, applied to the kept members.
  using TMember = published_detail::TMember;
  TMember m_get;
  TMember m_set;
  TMember m_storedWhen; // bool (TObject::*)() const, when m_hasStoredWhen
  bool m_hasStoredWhen = false;
  int64_t (*m_getOrdinal)(const TMember& get, TObject* object) = nullptr;
  void (*m_setOrdinal)(const TMember& set, TObject* object, int64_t value) = nullptr;
  std::string (*m_getString)(const TMember& get, TObject* object) = nullptr;
  void (*m_setString)(const TMember& set, TObject* object, const std::string& value) = nullptr;
  TObject* (*m_getObject)(const TMember& get, TObject* object) = nullptr;
  void (*m_setReference)(const TMember& set, TObject* object, TComponent* component) = nullptr;
  void (*m_setObject)(const TMember& set, TObject* object, TPersistent* value) = nullptr;
  const published_detail::TEventAccess* m_event = nullptr;
};

// How components of a class sit inside another component besides being owned (a control in its parent):
// which component holds one now, and how to put one into a holder (null takes it out).
struct TPlacement {
  const TClassInfo* Container = nullptr;
  std::function<TComponent*(TComponent* component)> GetContainer;
  std::function<void(TComponent* component, TComponent* container)> Place;
  // Where the component stands among those its holder holds (an item's place in its menu), when that
  // order matters; text lists them in it, so that reading them back in turn puts each in its place.
  std::function<int(TComponent* component)> Position;
};

// The table of one class: what it declares itself, and through its published bases what it inherits.
class TPublishedClass {
public:
  TPublishedClass(const TPublishedClass&) = delete;
  TPublishedClass& operator=(const TPublishedClass&) = delete;

  const TClassInfo& Info() const { return *m_info; }
  const std::string& ClassName() const { return m_info->Name(); }
  // The nearest published base class, or null.
  const TPublishedClass* Base() const;

  // Every published property, the bases' first; a property declared again keeps its base's place.
  std::vector<const TPropertyInfo*> Properties() const;
  // Null when there is no such property (names are case-sensitive).
  const TPropertyInfo* FindProperty(const std::string& name) const;
  // Every published method, the bases' first.
  std::vector<const TPublishedMethod*> Methods() const;
  const TPublishedMethod* FindMethod(const std::string& name) const;
  // The placement declared by this class or its nearest base that declares one; null when none.
  const TPlacement* Placement() const;

  // The table of `info`, created empty on first use; EPropertyError when another class has that name.
  static TPublishedClass& Declare(const TClassInfo& info);

private:
  template <typename C>
  friend class TPublisher;
  explicit TPublishedClass(const TClassInfo* info) : m_info(info) {}
  using TMember = published_detail::TMember;
  // Out of line and free of the class and member types, so that a table costs each class a few calls.
  TPropertyInfo& AddProperty(const char* name, TPropertyKind kind, const TMember& get, const TMember& set);
  TPropertyInfo& AddOrdinal(const char* name, TPropertyKind kind, const published_detail::TOrdinalAccess& access,
                            const TMember& get, const TMember& set, const int64_t* def);
  TPropertyInfo& AddString(const char* name, const TMember& get, const TMember& set,
                           std::string (*read)(const TMember&, TObject*),
                           void (*write)(const TMember&, TObject*, const std::string&), const char* def);
  TPropertyInfo& AddObject(const char* name, TPropertyKind kind, const TClassInfo& valueClass, const TMember& get,
                           TObject* (*read)(const TMember&, TObject*));
  TPropertyInfo& AddReference(const char* name, const TClassInfo& valueClass, const TMember& get,
                              const TMember& set, TObject* (*read)(const TMember&, TObject*),
                              void (*write)(const TMember&, TObject*, TComponent*));
  TPropertyInfo& AddEvent(const char* name, const std::type_info& signature,
                          const published_detail::TEventAccess& access, const TMember& field);
  TPublishedMethod& AddMethod(const char* name, const std::type_info& signature);

  const TClassInfo* m_info;
  std::vector<std::unique_ptr<TPropertyInfo>> m_properties;
  std::vector<std::unique_ptr<TPublishedMethod>> m_methods;
  std::unique_ptr<TPlacement> m_placement;
};

// The table of the most derived published class that `object` is an instance of; null when none.
const TPublishedClass* FindPublishedClass(const TObject* object);
// The table of `info` or of its nearest published base; null when none.
const TPublishedClass* FindPublishedClass(const TClassInfo& info);
// The table of the published class with exactly this name; null when none.
const TPublishedClass* FindPublishedClass(const std::string& className);

// Sets every published reference of `holder` that refers to `gone` to null (a reference set through the
// table asks the component it refers to for a free notification, which ends here). Nothing happens to a
// holder that is being destroyed.
void ClearPublishedReferences(TComponent* holder, const TComponent* gone) noexcept;

// Marks a property without a streaming default: it is always written.
struct TNoDefault {};
inline constexpr TNoDefault NoDefault{};

namespace published_detail {

template <typename M>
struct TMemberClass;
template <typename T, typename B>
struct TMemberClass<T B::*> {
  using Type = B;
};

// Reads through a field or a Get member function.
template <typename C, typename A>
decltype(auto) Read(C& object, A access)
{
  if constexpr (std::is_member_object_pointer_v<A>)
    return (object.*access);
  else
    return (object.*access)();
}

// Writes through a field or a Set member function.
template <typename C, typename A, typename V>
void Write(C& object, A access, V&& value)
{
  if constexpr (std::is_member_object_pointer_v<A>)
    object.*access = std::forward<V>(value);
  else
    (object.*access)(std::forward<V>(value));
}

template <typename C, typename A>
using TValueOf = std::remove_cvref_t<decltype(Read(std::declval<C&>(), std::declval<A>()))>;

// Set types: a class template over an enumeration with Bits() and FromBits(bits).
template <typename T>
struct TSetTraits {
  static constexpr bool IsSet = false;
};
template <template <typename> class S, typename E>
  requires std::is_enum_v<E> && requires(const S<E>& set) {
    { set.Bits() } -> std::convertible_to<uint32_t>;
    { S<E>::FromBits(uint32_t{}) } -> std::same_as<S<E>>;
  }
struct TSetTraits<S<E>> {
  static constexpr bool IsSet = true;
  using Element = E;
};

template <typename T>
constexpr TPropertyKind OrdinalKind()
{
  if constexpr (std::is_same_v<T, bool>)
    return TPropertyKind::Boolean;
  else if constexpr (std::is_enum_v<T>)
    return TPropertyKind::Enumeration;
  else if constexpr (std::is_integral_v<T>)
    return TPropertyKind::Integer;
  else if constexpr (TSetTraits<T>::IsSet)
    return TPropertyKind::Set;
  else
    static_assert(TSetTraits<T>::IsSet, "not a type a published value can have");
}

template <typename T>
int64_t ToOrdinal(const T& value)
{
  if constexpr (TSetTraits<T>::IsSet)
    return static_cast<int64_t>(value.Bits());
  else
    return static_cast<int64_t>(value);
}

template <typename T>
T FromOrdinal(int64_t value)
{
  if constexpr (std::is_same_v<T, bool>)
    return value != 0;
  else if constexpr (TSetTraits<T>::IsSet)
    return T::FromBits(static_cast<uint32_t>(value));
  else
    return static_cast<T>(value);
}

// The owned object a field or getter yields: a pointer, a unique_ptr or the object itself.
template <typename V>
TObject* ObjectPointer(V&& value)
{
  using T = std::remove_cvref_t<V>;
  if constexpr (std::is_pointer_v<T>)
    return value;
  else if constexpr (requires { value.get(); })
    return value.get();
  else
    return &value;
}

// The class of that owned object.
template <typename V>
struct TOwned {
  using Type = V;
};
template <typename T>
struct TOwned<T*> {
  using Type = T;
};
template <typename T, typename D>
struct TOwned<std::unique_ptr<T, D>> {
  using Type = T;
};

template <typename T>
struct TClosureSignature;
template <typename Sig>
struct TClosureSignature<TClosure<Sig>> {
  using Type = Sig;
};

// A string default as the table keeps it: null for none.
inline const char* DefaultText(const char* text)
{
  return text;
}
inline const char* DefaultText(const std::string& text)
{
  return text.c_str();
}
inline const char* DefaultText(TNoDefault)
{
  return nullptr;
}

// The accessors, one per member type (P: the rebased pointer). The property has checked the object.
template <typename T, typename P>
int64_t GetOrdinal(const TMember& get, TObject* object)
{
  return ToOrdinal<T>(Read(*object, Restore<P>(get)));
}
template <typename T, typename P>
void SetOrdinal(const TMember& set, TObject* object, int64_t value)
{
  Write(*object, Restore<P>(set), FromOrdinal<T>(value));
}
template <typename P>
std::string GetString(const TMember& get, TObject* object)
{
  return std::string(Read(*object, Restore<P>(get)));
}
template <typename P>
void SetString(const TMember& set, TObject* object, const std::string& value)
{
  Write(*object, Restore<P>(set), value);
}
template <typename P>
TObject* GetOwned(const TMember& get, TObject* object)
{
  return ObjectPointer(Read(*object, Restore<P>(get)));
}
template <typename T>
void SetOwned(const TMember& set, TObject* object, TPersistent* value)
{
  (object->*Restore<void (TObject::*)(T*)>(set))(dynamic_cast<T*>(value));
}
template <typename P>
TObject* GetReferenced(const TMember& get, TObject* object)
{
  return Read(*object, Restore<P>(get));
}
template <typename T, typename P>
void SetReferenced(const TMember& set, TObject* object, TComponent* component)
{
  Write(*object, Restore<P>(set), dynamic_cast<T*>(component));
  // So that the reference is dropped when the component goes (ClearPublishedReferences).
  if (component) {
    if (auto* holder = dynamic_cast<TComponent*>(object))
      component->FreeNotification(holder);
  }
}

template <typename E>
E& EventField(const TMember& field, TObject* object)
{
  return object->*Restore<E TObject::*>(field);
}
template <typename E>
E BoundEvent(TObject* target, const TPublishedMethod& method)
{
  E bound;
  method.Bind(target, &bound);
  return bound;
}
template <typename E>
bool EventAssigned(const TMember& field, TObject* object)
{
  return EventField<E>(field, object).Assigned();
}
template <typename E>
bool EventCalls(const TMember& field, TObject* object, TObject* target, const TPublishedMethod& method)
{
  return EventField<E>(field, object) == BoundEvent<E>(target, method);
}
template <typename E>
void SetEvent(const TMember& field, TObject* object, TObject* target, const TPublishedMethod& method)
{
  EventField<E>(field, object) = BoundEvent<E>(target, method);
}
template <typename E>
void ClearEvent(const TMember& field, TObject* object)
{
  EventField<E>(field, object) = E();
}
template <typename E>
std::function<void()> SaveEvent(const TMember& field, TObject* object)
{
  E* kept = &EventField<E>(field, object);
  return [kept, saved = *kept] { *kept = saved; };
}
template <typename E>
inline constexpr TEventAccess kEventAccess = {&EventAssigned<E>, &EventCalls<E>, &SetEvent<E>, &ClearEvent<E>,
                                              &SaveEvent<E>};

template <typename T>
constexpr TOrdinalAccess OrdinalAccessOf(int64_t (*get)(const TMember&, TObject*),
                                         void (*set)(const TMember&, TObject*, int64_t))
{
  TOrdinalAccess access{0, 0, nullptr, get, set};
  if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
    static_assert(sizeof(T) < sizeof(int64_t) || std::is_signed_v<T>, "64-bit unsigned values are not kept");
    access.Min = static_cast<int64_t>(std::numeric_limits<T>::min());
    access.Max = static_cast<int64_t>(std::numeric_limits<T>::max());
  } else if constexpr (std::is_same_v<T, bool>) {
    access.Max = 1;
  }
  if constexpr (std::is_enum_v<T>)
    access.EnumType = &typeid(T);
  else if constexpr (TSetTraits<T>::IsSet)
    access.EnumType = &typeid(typename TSetTraits<T>::Element);
  return access;
}
// T: the value type; G, S: the rebased getter and setter.
template <typename T, typename G, typename S>
inline constexpr TOrdinalAccess kOrdinalAccess = OrdinalAccessOf<T>(&GetOrdinal<T, G>, &SetOrdinal<T, S>);

// Binds a published method (kept as it was declared, not rebased: a closure made here must equal one made
// by code that names the method directly).
template <typename B, typename R, typename... Args>
void BindMethod(const TMember& method, const std::string& name, TObject* target, void* closure)
{
  B* object = dynamic_cast<B*>(target);
  if (!object)
    throw EPropertyError("Method " + name + " is not a method of a " +
                         (target ? target->ClassName() : std::string("null object")));
  using TMethod = R (B::*)(Args...);
  *static_cast<TClosure<R(Args...)>*>(closure) = TClosure<R(Args...)>(object, Restore<TMethod>(method));
}

} // namespace published_detail

// Declares the table of class C, a few lines per property. Accessors may be members of C or of a base of
// C, so a class can publish a base's member the base did not publish.
template <typename C>
class TPublisher {
public:
  TPublisher() : m_class(&TPublishedClass::Declare(TClassInfo::Of<C>())) {}

  // The same table, declared through the members of base B: code that publishes a base's members for many
  // classes is then compiled once, not once per class. Continue(view) takes up where the view left off.
  template <typename B>
  TPublisher<B> Through() const
  {
    static_assert(std::is_base_of_v<B, C>, "a table is declared through a base of its class");
    return TPublisher<B>(m_class, m_last);
  }
  template <typename B>
  TPublisher& Continue(const TPublisher<B>& view)
  {
    m_last = view.m_last;
    return *this;
  }
  const std::string& ClassName() const { return m_class->ClassName(); }

  // Integer, bool, enumeration, set or string, read and written through one field. `def` is the
  // streaming default, or NoDefault.
  template <typename F, typename D>
  TPublisher& Property(const char* name, F field, D def)
  {
    return Property(name, field, field, def);
  }
  // Read through a field or Get member function, written through a field or Set member function.
  template <typename G, typename S, typename D>
  TPublisher& Property(const char* name, G get, S set, D def)
  {
    using T = published_detail::TValueOf<C, G>;
    if constexpr (std::is_same_v<T, std::string>)
      AddString(name, get, set, def);
    else
      AddOrdinal<T>(name, published_detail::OrdinalKind<T>(), get, set, def);
    return *this;
  }

  // A colour (TColor), through one field or a Get/Set pair.
  template <typename F, typename D>
  TPublisher& Color(const char* name, F field, D def)
  {
    return Color(name, field, field, def);
  }
  template <typename G, typename S, typename D>
  TPublisher& Color(const char* name, G get, S set, D def)
  {
    using T = published_detail::TValueOf<C, G>;
    static_assert(std::is_integral_v<T> && sizeof(T) == 4, "a colour is a 32-bit value");
    AddOrdinal<T>(name, TPropertyKind::Color, get, set, def);
    return *this;
  }

  // An owned persistent object (a font, an appearance): kept as its own published properties, read back
  // by writing into the object the field or Get member function yields. The Set member function, when
  // given, copies a whole object into the owned one (SetObject).
  template <typename A>
  TPublisher& Object(const char* name, A get)
  {
    AddObject(name, TPropertyKind::Object, get);
    return *this;
  }
  template <typename A, typename S>
  TPublisher& Object(const char* name, A get, S set)
  {
    AddObjectSetter(AddObject(name, TPropertyKind::Object, get), set);
    return *this;
  }

  // An owned picture: a TBitmap, or a TPicture holding a bitmap; component text keeps its file's data.
  template <typename A>
  TPublisher& Picture(const char* name, A get)
  {
    AddObject(name, TPropertyKind::Picture, get);
    return *this;
  }
  template <typename A, typename S>
  TPublisher& Picture(const char* name, A get, S set)
  {
    AddObjectSetter(AddObject(name, TPropertyKind::Picture, get), set);
    return *this;
  }

  // Another component (a popup menu), through one pointer field or a Get/Set pair; kept by name.
  template <typename F>
  TPublisher& Reference(const char* name, F field)
  {
    return Reference(name, field, field);
  }
  template <typename G, typename S>
  TPublisher& Reference(const char* name, G get, S set)
  {
    using namespace published_detail;
    using T = std::remove_pointer_t<TValueOf<C, G>>;
    static_assert(std::is_base_of_v<TComponent, T>, "a reference is a pointer to a component");
    CheckMembers(get, set);
    m_last = &m_class->AddReference(name, TClassInfo::Of<T>(), Erase(get), Erase(set), &GetReferenced<TRebasedOf<G>>,
                                    &SetReferenced<T, TRebasedOf<S>>);
    return *this;
  }

  // An event: a TClosure field. It is kept as the name of a published method of the root component.
  template <typename F>
  TPublisher& Event(const char* name, F field)
  {
    using namespace published_detail;
    using TEvent = TValueOf<C, F>;
    using Sig = typename TClosureSignature<TEvent>::Type;
    CheckMembers(field, field);
    m_last = &m_class->AddEvent(name, typeid(Sig), kEventAccess<TEvent>, Erase(field));
    return *this;
  }

  // A method of C (or of a base) that events of the components C owns may name.
  template <typename B, typename R, typename... Args>
  TPublisher& Method(const char* name, R (B::*method)(Args...))
  {
    static_assert(std::is_base_of_v<B, C>, "the method is not a member of this class");
    TPublishedMethod& entry = m_class->AddMethod(name, typeid(R(Args...)));
    entry.m_method = published_detail::Keep(method);
    entry.m_bind = &published_detail::BindMethod<B, R, Args...>;
    return *this;
  }

  // The property declared last is written to text only while `stored` (a const member function of C or
  // of a base) says so.
  template <typename B>
  TPublisher& StoredWhen(bool (B::*stored)() const)
  {
    static_assert(std::is_base_of_v<B, C>, "the condition is not a member of this class");
    if (!m_last)
      throw EPropertyError(m_class->ClassName() + ": a storage condition needs a property before it");
    m_last->m_storedWhen = published_detail::Erase(stored);
    m_last->m_hasStoredWhen = true;
    return *this;
  }

  // As PlacedIn below, with `position` telling where a component stands in its holder; text keeps that
  // order.
  template <typename Container, typename G, typename P, typename N>
  TPublisher& PlacedIn(G getContainer, P place, N position)
  {
    PlacedIn<Container>(getContainer, place);
    m_class->m_placement->Position = [position](TComponent* component) -> int {
      C* object = dynamic_cast<C*>(component);
      return object ? position(object) : -1;
    };
    return *this;
  }

  // Components of C sit inside a component of class Container, which `getContainer` reports and `place`
  // changes (a null container takes the component out).
  template <typename Container, typename G, typename P>
  TPublisher& PlacedIn(G getContainer, P place)
  {
    auto placement = std::make_unique<TPlacement>();
    placement->Container = &TClassInfo::Of<Container>();
    placement->GetContainer = [getContainer](TComponent* component) -> TComponent* {
      C* object = dynamic_cast<C*>(component);
      return object ? getContainer(object) : nullptr;
    };
    placement->Place = [place](TComponent* component, TComponent* container) {
      C* object = dynamic_cast<C*>(component);
      Container* holder = dynamic_cast<Container*>(container);
      if (!object || (container && !holder))
        throw EPropertyError(component->ClassName() + " cannot be placed in " +
                             (container ? container->ClassName() : std::string("nothing")));
      place(object, holder);
    };
    m_class->m_placement = std::move(placement);
    return *this;
  }

private:
  template <typename>
  friend class TPublisher;
  TPublisher(TPublishedClass* table, TPropertyInfo* last) : m_class(table), m_last(last) {}

  template <typename G, typename S>
  static void CheckMembers(G, S)
  {
    using published_detail::TMemberClass;
    static_assert(std::is_base_of_v<typename TMemberClass<G>::Type, C>, "the getter is not a member");
    static_assert(std::is_base_of_v<typename TMemberClass<S>::Type, C>, "the setter is not a member");
  }

  template <typename T, typename G, typename S, typename D>
  void AddOrdinal(const char* name, TPropertyKind kind, G get, S set, D def)
  {
    using namespace published_detail;
    CheckMembers(get, set);
    const TOrdinalAccess& access = kOrdinalAccess<T, TRebasedOf<G>, TRebasedOf<S>>;
    if constexpr (std::is_same_v<D, TNoDefault>) {
      m_last = &m_class->AddOrdinal(name, kind, access, Erase(get), Erase(set), nullptr);
    } else {
      const int64_t value = ToOrdinal<T>(T(def));
      m_last = &m_class->AddOrdinal(name, kind, access, Erase(get), Erase(set), &value);
    }
  }

  template <typename G, typename S, typename D>
  void AddString(const char* name, G get, S set, const D& def)
  {
    using namespace published_detail;
    CheckMembers(get, set);
    m_last = &m_class->AddString(name, Erase(get), Erase(set), &GetString<TRebasedOf<G>>, &SetString<TRebasedOf<S>>,
                                 DefaultText(def));
  }

  template <typename A>
  TPropertyInfo& AddObject(const char* name, TPropertyKind kind, A get)
  {
    using namespace published_detail;
    using T = typename TOwned<TValueOf<C, A>>::Type;
    static_assert(std::is_base_of_v<TPersistent, T>, "an owned object is a persistent object");
    CheckMembers(get, get);
    m_last = &m_class->AddObject(name, kind, TClassInfo::Of<T>(), Erase(get), &GetOwned<TRebasedOf<A>>);
    return *m_last;
  }

  template <typename B, typename T>
  void AddObjectSetter(TPropertyInfo& info, void (B::*set)(T* value))
  {
    static_assert(std::is_base_of_v<B, C>, "the setter is not a member of this class");
    info.m_set = published_detail::Erase(set);
    info.m_setObject = &published_detail::SetOwned<T>;
  }

  TPublishedClass* m_class;
  TPropertyInfo* m_last = nullptr;
};

// Starts (or continues) the table of class C.
template <typename C>
TPublisher<C> PublishClass()
{
  return TPublisher<C>();
}
