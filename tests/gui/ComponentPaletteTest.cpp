#include "ComponentPalette.h"
#include "PublishedFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class TPaletteGauge : public TComponent {
public:
  using TComponent::TComponent;
};

class TPaletteKnob : public TComponent {
public:
  using TComponent::TComponent;
};

class TPaletteHelper : public TComponent {
public:
  using TComponent::TComponent;
};

class TPaletteLoose : public TComponent {
public:
  using TComponent::TComponent;
};

class TLatePlaced : public TComponent {
public:
  using TComponent::TComponent;
};

bool Contains(const std::vector<std::string>& names, const std::string& name)
{
  return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

namespace other {
// Same name as a class registered above, another class.
class TPaletteGauge : public TComponent {
public:
  using TComponent::TComponent;
};
} // namespace other

TEST(ComponentPalette, ListsPagesInTheOrderFirstUsedAndTheClassesOnEach)
{
  RegisterOnPalette("Meters", {TCreatableClass::Of<TPaletteGauge>()});
  RegisterOnPalette("Knobs", {TCreatableClass::Of<TPaletteKnob>()});
  RegisterOnPalette("Meters", {TCreatableClass::Of<TPaletteHelper>()});

  const std::vector<std::string> pages = PalettePages();
  const auto meters = std::find(pages.begin(), pages.end(), "Meters");
  const auto knobs = std::find(pages.begin(), pages.end(), "Knobs");
  ASSERT_TRUE(meters != pages.end() && knobs != pages.end());
  EXPECT_LT(meters, knobs);
  EXPECT_EQ(std::count(pages.begin(), pages.end(), "Meters"), 1);
  EXPECT_EQ(PaletteClasses("Meters"), (std::vector<std::string>{"TPaletteGauge", "TPaletteHelper"}));
  EXPECT_EQ(PaletteClasses("Knobs"), (std::vector<std::string>{"TPaletteKnob"}));
  EXPECT_TRUE(PaletteClasses("NoSuchPage").empty());
  EXPECT_EQ(PalettePageOf("TPaletteKnob"), "Knobs");
  // The fixture's classes, registered from their own unit.
  EXPECT_EQ(PaletteClasses("Demo"), (std::vector<std::string>{"TDemoPanel", "TDemoLabel"}));
  EXPECT_EQ(PalettePageOf("TDemoMenu"), "") << "creatable, but on no page";
}

TEST(ComponentPalette, CreatesARegisteredClassByNameWithItsOwner)
{
  TDemoForm form;
  struct TCase {
    const char* name;
    const TClassInfo& info;
  };
  const TCase cases[] = {
      {"TDemoLabel", TClassInfo::Of<TDemoLabel>()},
      {"TDemoPanel", TClassInfo::Of<TDemoPanel>()},
      {"TDemoMenu", TClassInfo::Of<TDemoMenu>()},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TComponent* component = CreateComponent(c.name, &form);
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->ClassName(), c.name);
    EXPECT_TRUE(c.info.IsInstance(component));
    EXPECT_EQ(component->Owner(), &form);
    EXPECT_EQ(FindCreatableClass(c.name)->Info, &c.info);
  }
  EXPECT_EQ(form.ComponentCount(), 3);
}

TEST(ComponentPalette, UnknownNamesAndClashesAreErrorsNamingTheClass)
{
  TDemoForm form;
  try {
    CreateComponent("TNoSuchThing", &form);
    ADD_FAILURE() << "created an unknown class";
  } catch (const EUnknownClass& error) {
    EXPECT_NE(error.Message().find("TNoSuchThing"), std::string::npos) << error.Message();
  }
  EXPECT_EQ(form.ComponentCount(), 0);
  EXPECT_EQ(FindCreatableClass("TDemoHidden"), nullptr);
  EXPECT_THROW(CreateComponent("TDemoHidden", &form), EUnknownClass) << "published, but never registered";

  RegisterOnPalette("Clash", {TCreatableClass::Of<TPaletteLoose>()});
  EXPECT_NO_THROW(RegisterOnPalette("Clash", {TCreatableClass::Of<TPaletteLoose>()})) << "again, same page";
  EXPECT_THROW(RegisterOnPalette("OtherPage", {TCreatableClass::Of<TPaletteLoose>()}), EPaletteError);
  EXPECT_EQ(PalettePageOf("TPaletteLoose"), "Clash");
  RegisterCreatable(TCreatableClass::Of<TPaletteGauge>());
  EXPECT_THROW(RegisterCreatable(TCreatableClass::Of<other::TPaletteGauge>()), EPaletteError);
  EXPECT_EQ(FindCreatableClass("TPaletteGauge")->Info, &TClassInfo::Of<TPaletteGauge>());
  EXPECT_THROW(RegisterOnPalette("", {TCreatableClass::Of<TPaletteLoose>()}), EPaletteError);
}

TEST(ComponentPalette, AClassRegisteredWithoutAPageCanBePutOnOneLater)
{
  RegisterCreatable(TCreatableClass::Of<TLatePlaced>());
  EXPECT_EQ(PalettePageOf("TLatePlaced"), "");
  RegisterOnPalette("Late", {TCreatableClass::Of<TLatePlaced>()});
  EXPECT_EQ(PalettePageOf("TLatePlaced"), "Late");
  EXPECT_TRUE(Contains(PalettePages(), "Late"));
  EXPECT_TRUE(Contains(PaletteClasses("Late"), "TLatePlaced"));
}
