#pragma once
// The component palette: component classes registered by name, most of them on a named page, so that a
// tool can list them and anything (the component text reader among others) can create one by name.
#include "Classes.h"
#include "Published.h"
#include "SysUtils.h"

#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

// A registration that clashes with another.
class EPaletteError : public Exception {
  using Exception::Exception;
};

// A class name that no registration knows.
class EUnknownClass : public EPaletteError {
  using EPaletteError::EPaletteError;
};

using TComponentFactory = TComponent* (*)(TComponent* owner);

// A component class that can be created by name.
struct TCreatableClass {
  const TClassInfo* Info = nullptr;
  TComponentFactory Create = nullptr;

  const std::string& Name() const { return Info->Name(); }

  template <typename C>
  static TCreatableClass Of()
  {
    static_assert(std::is_base_of_v<TComponent, C>, "only components are created by name");
    return TCreatableClass{&TClassInfo::Of<C>(), [](TComponent* owner) -> TComponent* { return new C(owner); }};
  }
};

// Makes `componentClass` creatable by name without putting it on a page (menu items, helpers).
void RegisterCreatable(const TCreatableClass& componentClass);
// Puts each class on `page` (created on first use), in the order given. A class sits on one page; putting it
// on another, or registering another class under a known name, raises EPaletteError.
void RegisterOnPalette(const std::string& page, std::initializer_list<TCreatableClass> classes);

// The pages, in the order they were first used.
std::vector<std::string> PalettePages();
// The names of the classes on `page`, in registration order; empty for an unknown page.
std::vector<std::string> PaletteClasses(const std::string& page);
// The page a class sits on; empty when it is on none.
std::string PalettePageOf(const std::string& className);

// Null when no class of that name is registered.
const TCreatableClass* FindCreatableClass(const std::string& className);
// Creates a registered class with `owner`; an unknown name raises EUnknownClass naming it.
TComponent* CreateComponent(const std::string& className, TComponent* owner);
