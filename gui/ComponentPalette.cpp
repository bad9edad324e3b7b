#include "ComponentPalette.h"

#include <algorithm>
#include <deque>

namespace {

struct TRegistration {
  TCreatableClass Class;
  std::string Page;
};

struct TPalette {
  // A deque, so that the classes handed out stay where they are while others register.
  std::deque<TRegistration> Classes;
  std::vector<std::string> Pages;
};

TPalette& Palette()
{
  static TPalette palette;
  return palette;
}

TRegistration* FindRegistration(const std::string& className)
{
  for (TRegistration& registration : Palette().Classes) {
    if (registration.Class.Name() == className)
      return &registration;
  }
  return nullptr;
}

void Register(const TCreatableClass& componentClass, const std::string& page)
{
  if (!componentClass.Info || !componentClass.Create)
    throw EPaletteError("A component class needs its class and a factory");
  TPalette& palette = Palette();
  if (TRegistration* known = FindRegistration(componentClass.Name())) {
    if (known->Class.Info->Type() != componentClass.Info->Type())
      throw EPaletteError("Another class is already registered as " + componentClass.Name());
    if (page.empty() || known->Page == page)
      return;
    if (!known->Page.empty())
      throw EPaletteError(componentClass.Name() + " is already on page " + known->Page);
    known->Page = page;
  } else {
    palette.Classes.push_back(TRegistration{componentClass, page});
  }
  if (!page.empty() && std::find(palette.Pages.begin(), palette.Pages.end(), page) == palette.Pages.end())
    palette.Pages.push_back(page);
}

} // namespace

void RegisterCreatable(const TCreatableClass& componentClass)
{
  Register(componentClass, std::string());
}

void RegisterOnPalette(const std::string& page, std::initializer_list<TCreatableClass> classes)
{
  if (page.empty())
    throw EPaletteError("A palette page needs a name");
  for (const TCreatableClass& componentClass : classes)
    Register(componentClass, page);
}

std::vector<std::string> PalettePages()
{
  return Palette().Pages;
}

std::vector<std::string> PaletteClasses(const std::string& page)
{
  std::vector<std::string> names;
  for (const TRegistration& registration : Palette().Classes) {
    if (!page.empty() && registration.Page == page)
      names.push_back(registration.Class.Name());
  }
  return names;
}

std::string PalettePageOf(const std::string& className)
{
  const TRegistration* registration = FindRegistration(className);
  return registration ? registration->Page : std::string();
}

const TCreatableClass* FindCreatableClass(const std::string& className)
{
  const TRegistration* registration = FindRegistration(className);
  return registration ? &registration->Class : nullptr;
}

TComponent* CreateComponent(const std::string& className, TComponent* owner)
{
  const TCreatableClass* componentClass = FindCreatableClass(className);
  if (!componentClass)
    throw EUnknownClass("Class " + className + " not found");
  return componentClass->Create(owner);
}
