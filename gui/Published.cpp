#include "Published.h"

#include <algorithm>
#include <map>

using published_detail::Restore;

// --- classes ---

TClassInfo::TClassInfo(const std::type_info& type, TThrower throwNull, bool (*catches)(TThrower),
                       bool (*isInstance)(const TObject*))
    : m_name(DemangledClassName(type.name())), m_type(type), m_throwNull(throwNull), m_catches(catches),
      m_isInstance(isInstance)
{
}

bool TClassInfo::InheritsFrom(const TClassInfo& base) const
{
  if (m_type == base.m_type)
    return true;
  // Throwing is slow and the answer never changes, so each pair is asked once.
  static std::map<std::pair<std::type_index, std::type_index>, bool> answers;
  const auto key = std::make_pair(m_type, base.m_type);
  auto it = answers.find(key);
  if (it == answers.end())
    it = answers.emplace(key, base.m_catches(m_throwNull)).first;
  return it->second;
}

// --- enumerations ---

TEnumInfo::TEnumInfo(std::string typeName, std::vector<std::pair<std::string, int64_t>> values)
    : m_typeName(std::move(typeName)), m_values(std::move(values))
{
}

const std::string* TEnumInfo::NameOf(int64_t value) const
{
  for (const auto& [name, named] : m_values) {
    if (named == value)
      return &name;
  }
  return nullptr;
}

std::optional<int64_t> TEnumInfo::ValueOf(const std::string& name) const
{
  for (const auto& [named, value] : m_values) {
    if (named == name)
      return value;
  }
  return std::nullopt;
}

namespace {

std::map<std::type_index, TEnumInfo>& EnumRegistry()
{
  static std::map<std::type_index, TEnumInfo> registry;
  return registry;
}

std::vector<std::unique_ptr<TPublishedClass>>& ClassRegistry()
{
  static std::vector<std::unique_ptr<TPublishedClass>> registry;
  return registry;
}

} // namespace

void PublishEnumInfo(std::type_index type, TEnumInfo info)
{
  auto& registry = EnumRegistry();
  const auto it = registry.find(type);
  if (it == registry.end()) {
    registry.emplace(type, std::move(info));
    return;
  }
  if (it->second.Values() != info.Values())
    throw EPropertyError("Enumeration " + info.TypeName() + " is already published with other names");
}

const TEnumInfo* FindEnumInfo(std::type_index type)
{
  const auto& registry = EnumRegistry();
  const auto it = registry.find(type);
  return it == registry.end() ? nullptr : &it->second;
}

const char* KindText(TPropertyKind kind)
{
  switch (kind) {
  case TPropertyKind::Integer: return "an integer";
  case TPropertyKind::Boolean: return "a boolean";
  case TPropertyKind::Color: return "a colour";
  case TPropertyKind::String: return "a string";
  case TPropertyKind::Enumeration: return "an enumeration";
  case TPropertyKind::Set: return "a set";
  case TPropertyKind::Object: return "an object";
  case TPropertyKind::Picture: return "a picture";
  case TPropertyKind::Reference: return "a component reference";
  case TPropertyKind::Event: return "an event";
  }
  return "a property";
}

// --- properties ---

void TPropertyInfo::Require(std::initializer_list<TPropertyKind> kinds, const char* operation) const
{
  if (std::find(kinds.begin(), kinds.end(), m_kind) == kinds.end())
    throw EPropertyError(Format("%s is %s; it has no %s", m_name.c_str(), KindText(m_kind), operation));
}

TObject* TPropertyInfo::Holder(TObject* object) const
{
  if (!m_owner->IsInstance(object))
    throw EPropertyError(m_name + " is a property of " + m_owner->Name() + ", not of " +
                         (object ? object->ClassName() : std::string("a null object")));
  return object;
}

int64_t TPropertyInfo::GetOrdinal(TObject* object) const
{
  Require({TPropertyKind::Integer, TPropertyKind::Boolean, TPropertyKind::Color, TPropertyKind::Enumeration,
           TPropertyKind::Set},
          "ordinal value");
  return m_getOrdinal(m_get, Holder(object));
}

void TPropertyInfo::CheckOrdinal(int64_t value) const
{
  Require({TPropertyKind::Integer, TPropertyKind::Boolean, TPropertyKind::Color, TPropertyKind::Enumeration,
           TPropertyKind::Set},
          "ordinal value");
  switch (m_kind) {
  case TPropertyKind::Enumeration:
    if (!Enumeration().NameOf(value))
      throw EPropertyError(Format("%lld is not a value of %s (%s)", static_cast<long long>(value),
                                  m_name.c_str(), Enumeration().TypeName().c_str()));
    return;
  case TPropertyKind::Set: {
    uint64_t named = 0;
    for (const auto& [name, element] : Enumeration().Values()) {
      if (element >= 0 && element < 32)
        named |= uint64_t{1} << element;
    }
    if (value < 0 || (static_cast<uint64_t>(value) & ~named) != 0)
      throw EPropertyError(Format("0x%llX is not a set of %s (%s)", static_cast<unsigned long long>(value),
                                  m_name.c_str(), Enumeration().TypeName().c_str()));
    return;
  }
  default:
    if (value < m_min || value > m_max)
      throw EPropertyError(Format("%lld is out of range for %s (%lld to %lld)", static_cast<long long>(value),
                                  m_name.c_str(), static_cast<long long>(m_min),
                                  static_cast<long long>(m_max)));
  }
}

void TPropertyInfo::SetOrdinal(TObject* object, int64_t value) const
{
  CheckOrdinal(value);
  m_setOrdinal(m_set, Holder(object), value);
}

std::string TPropertyInfo::GetString(TObject* object) const
{
  Require({TPropertyKind::String}, "string value");
  return m_getString(m_get, Holder(object));
}

void TPropertyInfo::SetString(TObject* object, const std::string& value) const
{
  Require({TPropertyKind::String}, "string value");
  m_setString(m_set, Holder(object), value);
}

int64_t TPropertyInfo::OrdinalDefault() const
{
  if (!m_ordinalDefault)
    throw EPropertyError(m_name + " has no ordinal default");
  return *m_ordinalDefault;
}

const std::string& TPropertyInfo::StringDefault() const
{
  if (!m_stringDefault)
    throw EPropertyError(m_name + " has no string default");
  return *m_stringDefault;
}

bool TPropertyInfo::IsStored(TObject* object) const
{
  return !m_hasStoredWhen || (Holder(object)->*Restore<bool (TObject::*)() const>(m_storedWhen))();
}

bool TPropertyInfo::IsDefault(TObject* object) const
{
  if (m_ordinalDefault)
    return GetOrdinal(object) == *m_ordinalDefault;
  if (m_stringDefault)
    return GetString(object) == *m_stringDefault;
  return false;
}

const TEnumInfo& TPropertyInfo::Enumeration() const
{
  Require({TPropertyKind::Enumeration, TPropertyKind::Set}, "value names");
  const TEnumInfo* names = FindEnumInfo(*m_enumType);
  if (!names)
    throw EPropertyError("The values of " + m_name + " have no published names");
  return *names;
}

const TClassInfo& TPropertyInfo::ValueClass() const
{
  Require({TPropertyKind::Object, TPropertyKind::Picture, TPropertyKind::Reference}, "value class");
  return *m_valueClass;
}

TPersistent* TPropertyInfo::GetObject(TObject* object) const
{
  Require({TPropertyKind::Object, TPropertyKind::Picture}, "owned object");
  return dynamic_cast<TPersistent*>(m_getObject(m_get, Holder(object)));
}

void TPropertyInfo::SetObject(TObject* object, TPersistent* value) const
{
  Require({TPropertyKind::Object, TPropertyKind::Picture}, "owned object");
  if (!m_setObject)
    throw EPropertyError(m_name + " of " + m_owner->Name() + " is read through its owner only");
  if (!m_valueClass->IsInstance(value))
    throw EPropertyError(Format("%s needs a %s, not %s", m_name.c_str(), m_valueClass->Name().c_str(),
                                value ? ("a " + value->ClassName()).c_str() : "nothing"));
  m_setObject(m_set, Holder(object), value);
}

TComponent* TPropertyInfo::GetReference(TObject* object) const
{
  Require({TPropertyKind::Reference}, "component reference");
  return dynamic_cast<TComponent*>(m_getObject(m_get, Holder(object)));
}

void TPropertyInfo::SetReference(TObject* object, TComponent* component) const
{
  Require({TPropertyKind::Reference}, "component reference");
  if (component && !m_valueClass->IsInstance(component))
    throw EPropertyError(Format("%s is a %s, not the %s that %s needs", component->Name().c_str(),
                                component->ClassName().c_str(), m_valueClass->Name().c_str(), m_name.c_str()));
  m_setReference(m_set, Holder(object), component);
}

std::type_index TPropertyInfo::EventSignature() const
{
  Require({TPropertyKind::Event}, "event signature");
  return m_eventSignature;
}

bool TPropertyInfo::EventAssigned(TObject* object) const
{
  Require({TPropertyKind::Event}, "handler");
  return m_event->Assigned(m_get, Holder(object));
}

bool TPropertyInfo::EventCalls(TObject* object, TObject* target, const TPublishedMethod& method) const
{
  Require({TPropertyKind::Event}, "handler");
  return method.Signature() == m_eventSignature && m_event->Calls(m_get, Holder(object), target, method);
}

void TPropertyInfo::SetEvent(TObject* object, TObject* target, const TPublishedMethod& method) const
{
  Require({TPropertyKind::Event}, "handler");
  if (method.Signature() != m_eventSignature)
    throw EPropertyError("Method " + method.Name() + " does not fit event " + m_name);
  m_event->Set(m_set, Holder(object), target, method);
}

void TPropertyInfo::ClearEvent(TObject* object) const
{
  Require({TPropertyKind::Event}, "handler");
  m_event->Clear(m_set, Holder(object));
}

std::function<void()> TPropertyInfo::Save(TObject* object) const
{
  switch (m_kind) {
  case TPropertyKind::String:
    return [this, object, saved = GetString(object)] { m_setString(m_set, object, saved); };
  case TPropertyKind::Reference:
    return [this, object, saved = GetReference(object)] { m_setReference(m_set, object, saved); };
  case TPropertyKind::Event:
    return m_event->Save(m_get, Holder(object));
  case TPropertyKind::Object:
  case TPropertyKind::Picture:
    return [] {};
  default:
    return [this, object, saved = GetOrdinal(object)] { m_setOrdinal(m_set, object, saved); };
  }
}

// --- tables ---

TPublishedClass& TPublishedClass::Declare(const TClassInfo& info)
{
  auto& registry = ClassRegistry();
  for (const auto& entry : registry) {
    if (entry->m_info->Type() == info.Type())
      return *entry;
    if (entry->ClassName() == info.Name())
      throw EPropertyError("Two published classes are named " + info.Name());
  }
  registry.push_back(std::unique_ptr<TPublishedClass>(new TPublishedClass(&info)));
  return *registry.back();
}

TPropertyInfo& TPublishedClass::AddProperty(const char* name, TPropertyKind kind, const TMember& get,
                                            const TMember& set)
{
  for (const auto& property : m_properties) {
    if (property->Name() == name)
      throw EPropertyError(ClassName() + " publishes " + name + " twice");
  }
  auto* property = new TPropertyInfo(name, kind, m_info);
  m_properties.push_back(std::unique_ptr<TPropertyInfo>(property));
  property->m_get = get;
  property->m_set = set;
  return *property;
}

TPropertyInfo& TPublishedClass::AddOrdinal(const char* name, TPropertyKind kind,
                                           const published_detail::TOrdinalAccess& access, const TMember& get,
                                           const TMember& set, const int64_t* def)
{
  TPropertyInfo& info = AddProperty(name, kind, get, set);
  info.m_min = access.Min;
  info.m_max = access.Max;
  if (access.EnumType)
    info.m_enumType = std::type_index(*access.EnumType);
  if (def)
    info.m_ordinalDefault = *def;
  info.m_getOrdinal = access.Get;
  info.m_setOrdinal = access.Set;
  return info;
}

TPropertyInfo& TPublishedClass::AddString(const char* name, const TMember& get, const TMember& set,
                                          std::string (*read)(const TMember&, TObject*),
                                          void (*write)(const TMember&, TObject*, const std::string&),
                                          const char* def)
{
  TPropertyInfo& info = AddProperty(name, TPropertyKind::String, get, set);
  if (def)
    info.m_stringDefault = def;
  info.m_getString = read;
  info.m_setString = write;
  return info;
}

TPropertyInfo& TPublishedClass::AddObject(const char* name, TPropertyKind kind, const TClassInfo& valueClass,
                                          const TMember& get, TObject* (*read)(const TMember&, TObject*))
{
  TPropertyInfo& info = AddProperty(name, kind, get, get);
  info.m_valueClass = &valueClass;
  info.m_getObject = read;
  return info;
}

TPropertyInfo& TPublishedClass::AddReference(const char* name, const TClassInfo& valueClass, const TMember& get,
                                             const TMember& set, TObject* (*read)(const TMember&, TObject*),
                                             void (*write)(const TMember&, TObject*, TComponent*))
{
  TPropertyInfo& info = AddProperty(name, TPropertyKind::Reference, get, set);
  info.m_valueClass = &valueClass;
  info.m_getObject = read;
  info.m_setReference = write;
  return info;
}

TPropertyInfo& TPublishedClass::AddEvent(const char* name, const std::type_info& signature,
                                         const published_detail::TEventAccess& access, const TMember& field)
{
  TPropertyInfo& info = AddProperty(name, TPropertyKind::Event, field, field);
  info.m_eventSignature = signature;
  info.m_event = &access;
  return info;
}

TPublishedMethod& TPublishedClass::AddMethod(const char* name, const std::type_info& signature)
{
  for (const auto& method : m_methods) {
    if (method->Name() == name)
      throw EPropertyError(ClassName() + " publishes method " + name + " twice");
  }
  m_methods.push_back(std::unique_ptr<TPublishedMethod>(new TPublishedMethod(name, signature, m_info)));
  return *m_methods.back();
}

namespace {

// Of the tables whose class `matches` accepts, the most derived one. The classes accepted are all bases
// of one class, so they form one line of descent.
template <typename Match>
const TPublishedClass* MostDerived(Match matches)
{
  const TPublishedClass* best = nullptr;
  for (const auto& entry : ClassRegistry()) {
    if (matches(*entry) && (!best || entry->Info().InheritsFrom(best->Info())))
      best = entry.get();
  }
  return best;
}

// The table and its published bases, the most basic first.
std::vector<const TPublishedClass*> Lineage(const TPublishedClass* table)
{
  std::vector<const TPublishedClass*> line;
  for (; table; table = table->Base())
    line.insert(line.begin(), table);
  return line;
}

} // namespace

const TPublishedClass* TPublishedClass::Base() const
{
  return MostDerived([this](const TPublishedClass& entry) {
    return &entry != this && m_info->InheritsFrom(entry.Info());
  });
}

std::vector<const TPropertyInfo*> TPublishedClass::Properties() const
{
  std::vector<const TPropertyInfo*> properties;
  for (const TPublishedClass* table : Lineage(this)) {
    for (const auto& property : table->m_properties) {
      auto same = std::find_if(properties.begin(), properties.end(),
                               [&](const TPropertyInfo* known) { return known->Name() == property->Name(); });
      if (same != properties.end())
        *same = property.get();
      else
        properties.push_back(property.get());
    }
  }
  return properties;
}

const TPropertyInfo* TPublishedClass::FindProperty(const std::string& name) const
{
  for (const TPublishedClass* table = this; table; table = table->Base()) {
    for (const auto& property : table->m_properties) {
      if (property->Name() == name)
        return property.get();
    }
  }
  return nullptr;
}

std::vector<const TPublishedMethod*> TPublishedClass::Methods() const
{
  std::vector<const TPublishedMethod*> methods;
  for (const TPublishedClass* table : Lineage(this)) {
    for (const auto& method : table->m_methods)
      methods.push_back(method.get());
  }
  return methods;
}

const TPublishedMethod* TPublishedClass::FindMethod(const std::string& name) const
{
  for (const TPublishedClass* table = this; table; table = table->Base()) {
    for (const auto& method : table->m_methods) {
      if (method->Name() == name)
        return method.get();
    }
  }
  return nullptr;
}

const TPlacement* TPublishedClass::Placement() const
{
  for (const TPublishedClass* table = this; table; table = table->Base()) {
    if (table->m_placement)
      return table->m_placement.get();
  }
  return nullptr;
}

const TPublishedClass* FindPublishedClass(const TObject* object)
{
  if (!object)
    return nullptr;
  return MostDerived([object](const TPublishedClass& entry) { return entry.Info().IsInstance(object); });
}

const TPublishedClass* FindPublishedClass(const TClassInfo& info)
{
  return MostDerived([&info](const TPublishedClass& entry) { return info.InheritsFrom(entry.Info()); });
}

const TPublishedClass* FindPublishedClass(const std::string& className)
{
  for (const auto& entry : ClassRegistry()) {
    if (entry->ClassName() == className)
      return entry.get();
  }
  return nullptr;
}

void ClearPublishedReferences(TComponent* holder, const TComponent* gone) noexcept
{
  if (!holder || !gone || holder->IsDestroying())
    return;
  try {
    const TPublishedClass* table = FindPublishedClass(holder);
    if (!table)
      return;
    for (const TPropertyInfo* property : table->Properties()) {
      if (property->Kind() == TPropertyKind::Reference && property->GetReference(holder) == gone)
        property->SetReference(holder, nullptr);
    }
  } catch (...) {
    // Clearing a reference cannot be refused sensibly; a setter that throws all the same leaves that one
    // reference as it was rather than ending the process inside a destructor.
  }
}
