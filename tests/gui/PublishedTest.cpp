#include "Published.h"
#include "PublishedFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const TPropertyInfo& PropertyOf(TObject* object, const std::string& name)
{
  const TPublishedClass* table = FindPublishedClass(object);
  if (!table)
    throw std::runtime_error("no table for " + object->ClassName());
  const TPropertyInfo* property = table->FindProperty(name);
  if (!property)
    throw std::runtime_error(object->ClassName() + " has no " + name);
  return *property;
}

std::vector<std::string> Names(const std::vector<const TPropertyInfo*>& properties)
{
  std::vector<std::string> names;
  for (const TPropertyInfo* property : properties)
    names.push_back(property->Name());
  return names;
}

} // namespace

TEST(PublishedTable, OrdinalPropertiesGoThroughTheClassesOwnFieldsAndSetters)
{
  TDemoForm form;
  auto* label = new TDemoLabel(&form);
  struct TCase {
    const char* name;
    int64_t value;
    std::function<int64_t()> read; // the value as the class itself reports it
  };
  const TCase cases[] = {
      {"Align", daBottom, [&] { return int64_t{label->GetAlign()}; }},
      {"Anchors", TDemoSides{dsRight, dsBottom}.Bits(), [&] { return int64_t{label->GetAnchors().Bits()}; }},
      {"Level", dlHigh, [&] { return PropertyOf(label, "Level").GetOrdinal(label); }},
      {"Opacity", 7, [&] { return PropertyOf(label, "Opacity").GetOrdinal(label); }},
      {"Left", -12, [&] { return int64_t{label->GetLeft()}; }},
      {"Width", 33, [&] { return int64_t{label->GetWidth()}; }},
      {"Visible", 0, [&] { return int64_t{label->GetVisible()}; }},
      {"Tag", 2147483647, [&] { return int64_t{label->Tag}; }},
      {"Color", clRed, [&] { return int64_t{label->GetColor()}; }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TPropertyInfo& property = PropertyOf(label, c.name);
    property.SetOrdinal(label, c.value);
    EXPECT_EQ(c.read(), c.value);
    EXPECT_EQ(property.GetOrdinal(label), c.value);
  }
  EXPECT_EQ(label->AlignWrites, 1) << "Align is written through SetAlign";
}

TEST(PublishedTable, StringsObjectsPicturesAndReferences)
{
  TDemoForm form;
  auto* label = new TDemoLabel(&form);
  auto* menu = new TDemoMenu(&form);
  PropertyOf(label, "Caption").SetString(label, "Hello");
  EXPECT_EQ(label->GetText(), "Hello");

  const TPropertyInfo& look = PropertyOf(label, "Look");
  EXPECT_EQ(look.Kind(), TPropertyKind::Object);
  EXPECT_EQ(look.GetObject(label), label->GetLook());
  EXPECT_EQ(look.ValueClass().Name(), "TDemoLook");
  const TPropertyInfo& glyph = PropertyOf(label->GetLook(), "Glyph");
  EXPECT_EQ(glyph.Kind(), TPropertyKind::Picture);
  EXPECT_EQ(glyph.GetObject(label->GetLook()), label->GetLook()->GetGlyph());

  // A whole object is copied into the owned one, never shared.
  TDemoLook model;
  model.SetColor(clNavy);
  model.FaceName = "Courier";
  look.SetObject(label, &model);
  EXPECT_EQ(label->GetLook()->GetColor(), clNavy);
  EXPECT_EQ(label->GetLook()->FaceName, "Courier");
  EXPECT_NE(label->GetLook(), &model);
  TDemoEdge notALook;
  EXPECT_THROW(look.SetObject(label, &notALook), EPropertyError);
  EXPECT_THROW(look.SetObject(label, nullptr), EPropertyError);
  EXPECT_THROW(PropertyOf(label->GetLook(), "Edge").SetObject(label->GetLook(), &notALook), EPropertyError)
      << "Edge declares no setter";

  const TPropertyInfo& popup = PropertyOf(label, "PopupMenu");
  EXPECT_EQ(popup.GetReference(label), nullptr);
  popup.SetReference(label, menu);
  EXPECT_EQ(label->GetPopupMenu(), menu);
  EXPECT_THROW(popup.SetReference(label, &form), EPropertyError) << "a form is no TDemoMenu";
  EXPECT_EQ(label->GetPopupMenu(), menu);
  popup.SetReference(label, nullptr);
  EXPECT_EQ(label->GetPopupMenu(), nullptr);
}

TEST(PublishedTable, DefaultsAreDeclaredPerPropertyAndNoDefaultMeansAlwaysDifferent)
{
  TDemoForm form;
  auto* label = new TDemoLabel(&form);
  for (const char* name :
       {"Caption", "Align", "Anchors", "Opacity", "Width", "Color", "Left", "Visible", "Tag"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(PropertyOf(label, name).HasDefault());
    EXPECT_TRUE(PropertyOf(label, name).IsDefault(label));
  }
  const TPropertyInfo& level = PropertyOf(label, "Level");
  EXPECT_FALSE(level.HasDefault());
  EXPECT_FALSE(level.IsDefault(label));
  EXPECT_THROW(level.OrdinalDefault(), EPropertyError);

  label->SetAlign(daTop);
  EXPECT_FALSE(PropertyOf(label, "Align").IsDefault(label));
  EXPECT_EQ(PropertyOf(label->GetLook(), "FaceName").StringDefault(), "Tahoma");
}

TEST(PublishedTable, InheritedPropertiesComeFirstAndARedeclaredOneKeepsItsPlace)
{
  const TPublishedClass* label = FindPublishedClass("TDemoLabel");
  const TPublishedClass* control = FindPublishedClass("TDemoControl");
  ASSERT_TRUE(label && control);
  EXPECT_EQ(label->Base(), control);
  EXPECT_EQ(control->Base(), nullptr) << "no base of TDemoControl has a table";
  const std::vector<std::string> expected = {"Left",  "Top",   "Width",   "Height", "Visible", "Tag",
                                             "Caption", "Align", "Anchors", "Level", "Opacity", "Color",
                                             "Look",  "PopupMenu", "OnClick", "OnMouseDown"};
  EXPECT_EQ(Names(label->Properties()), expected);

  // Width is declared again with another default; the base's own table is untouched.
  EXPECT_EQ(label->FindProperty("Width")->OrdinalDefault(), 80);
  EXPECT_EQ(&label->FindProperty("Width")->Owner(), &TClassInfo::Of<TDemoLabel>());
  EXPECT_EQ(control->FindProperty("Width")->OrdinalDefault(), 0);
  // Color is TControl's member, which TDemoControl does not publish; the label publishes it.
  EXPECT_EQ(control->FindProperty("Color"), nullptr);
  EXPECT_NE(label->FindProperty("Color"), nullptr);
}

TEST(PublishedTable, AnObjectUsesTheTableOfItsMostDerivedPublishedClass)
{
  TDemoForm form;
  TDemoMainForm mainForm;
  struct TCase {
    TObject* object;
    const char* table; // null: none
  };
  TDemoLook look;
  TDemoHidden hidden(nullptr);
  const TCase cases[] = {
      {new TDemoControl(&form), "TDemoControl"}, {new TDemoLabel(&form), "TDemoLabel"},
      {new TDemoPanel(&form), "TDemoPanel"},     {&form, "TDemoForm"},
      {&mainForm, "TDemoForm"},                  {&look, "TDemoLook"},
      {&hidden, nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.object->ClassName());
    const TPublishedClass* table = FindPublishedClass(c.object);
    EXPECT_EQ(table ? table->ClassName() : std::string("none"), c.table ? c.table : "none");
  }
  EXPECT_EQ(FindPublishedClass(TClassInfo::Of<TDemoMainForm>())->ClassName(), "TDemoForm");
  EXPECT_EQ(FindPublishedClass("TDemoMainForm"), nullptr) << "by name only a class's own table";
  EXPECT_EQ(FindPublishedClass("TDemoForm")->Base()->ClassName(), "TDemoPanel");
}

TEST(PublishedTable, ClassInfoKnowsDescentWithoutAnObject)
{
  struct TCase {
    const TClassInfo& derived;
    const TClassInfo& base;
    bool inherits;
  };
  const TCase cases[] = {
      {TClassInfo::Of<TDemoLabel>(), TClassInfo::Of<TDemoControl>(), true},
      {TClassInfo::Of<TDemoControl>(), TClassInfo::Of<TDemoLabel>(), false},
      {TClassInfo::Of<TDemoLabel>(), TClassInfo::Of<TComponent>(), true},
      {TClassInfo::Of<TDemoForm>(), TClassInfo::Of<TWinControl>(), true},
      {TClassInfo::Of<TDemoLook>(), TClassInfo::Of<TComponent>(), false},
      {TClassInfo::Of<TDemoPanel>(), TClassInfo::Of<TDemoPanel>(), true},
      {TClassInfo::Of<TDemoMenu>(), TClassInfo::Of<TControl>(), false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.derived.Name() + " / " + c.base.Name());
    EXPECT_EQ(c.derived.InheritsFrom(c.base), c.inherits);
    EXPECT_EQ(c.derived.InheritsFrom(c.base), c.inherits) << "asked again";
  }
}

TEST(PublishedTable, ValuesOutsideTheTypeOrWithoutANameAreRefusedAndChangeNothing)
{
  TDemoForm form;
  auto* label = new TDemoLabel(&form);
  struct TCase {
    const char* name;
    int64_t value;
  };
  const TCase cases[] = {
      {"Opacity", 256},         {"Opacity", -1},          {"Tag", int64_t{2147483647} + 1},
      {"Level", 2},             {"Align", 4},             {"Anchors", int64_t{1} << 7},
      {"Anchors", -1},          {"Visible", 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " = " + std::to_string(c.value));
    const TPropertyInfo& property = PropertyOf(label, c.name);
    const int64_t before = property.GetOrdinal(label);
    EXPECT_THROW(property.SetOrdinal(label, c.value), EPropertyError);
    EXPECT_EQ(property.GetOrdinal(label), before);
  }
  const TEnumInfo& levels = PropertyOf(label, "Level").Enumeration();
  EXPECT_EQ(levels.TypeName(), "TDemoLevel");
  EXPECT_EQ(*levels.NameOf(dlHigh), "dlHigh");
  EXPECT_EQ(levels.NameOf(2), nullptr);
  EXPECT_EQ(levels.ValueOf("dlMiddle"), int64_t{dlMiddle});
  EXPECT_FALSE(levels.ValueOf("dlmiddle").has_value()) << "names are case-sensitive";
}

TEST(PublishedTable, MisuseIsReportedNotIgnored)
{
  TDemoForm form;
  auto* label = new TDemoLabel(&form);
  auto* menu = new TDemoMenu(&form);
  const TPropertyInfo& caption = PropertyOf(label, "Caption");
  EXPECT_THROW(caption.GetOrdinal(label), EPropertyError) << "a string has no ordinal value";
  EXPECT_THROW(PropertyOf(label, "Align").GetString(label), EPropertyError);
  EXPECT_THROW(PropertyOf(label, "Look").GetReference(label), EPropertyError);
  try {
    caption.SetString(menu, "x");
    ADD_FAILURE() << "a label's property was written on a menu";
  } catch (const EPropertyError& error) {
    EXPECT_NE(error.Message().find("TDemoMenu"), std::string::npos) << error.Message();
  }

  EXPECT_THROW(PublishClass<TDemoMenu>().Property("Title", &TDemoMenu::Title, ""), EPropertyError)
      << "a name declared twice";
  EXPECT_NO_THROW(PublishEnum<TDemoAlign>({"daNone", "daTop", "daBottom", "daClient"}))
      << "the same names again";
  EXPECT_THROW(PublishEnum<TDemoAlign>({"alNone", "alTop"}), EPropertyError);
}

TEST(PublishedTable, EveryAccessorRefusesAnObjectOfAnotherClass)
{
  // The accessors apply the class's members to whatever object they are given once the property has
  // checked it: each one must check before it reads or writes.
  TDemoForm form;
  auto* label = new TDemoLabel(&form);
  auto* menu = new TDemoMenu(&form);
  auto* look = new TDemoLook();
  std::unique_ptr<TDemoLook> lookOwner(look);
  const TPublishedMethod& method = *FindPublishedClass(&form)->Methods().front();
  const struct {
    const char* name;
    std::function<void()> use;
  } cases[] = {
      {"GetOrdinal", [&] { PropertyOf(label, "Opacity").GetOrdinal(menu); }},
      {"SetOrdinal", [&] { PropertyOf(label, "Opacity").SetOrdinal(menu, 1); }},
      {"GetString", [&] { PropertyOf(label, "Caption").GetString(menu); }},
      {"GetObject", [&] { PropertyOf(label, "Look").GetObject(menu); }},
      {"SetObject", [&] { PropertyOf(label, "Look").SetObject(menu, look); }},
      {"GetReference", [&] { PropertyOf(label, "PopupMenu").GetReference(menu); }},
      {"SetReference", [&] { PropertyOf(label, "PopupMenu").SetReference(menu, menu); }},
      {"EventAssigned", [&] { PropertyOf(label, "OnClick").EventAssigned(menu); }},
      {"EventCalls", [&] { PropertyOf(label, "OnClick").EventCalls(menu, &form, method); }},
      {"SetEvent", [&] { PropertyOf(label, "OnClick").SetEvent(menu, &form, method); }},
      {"ClearEvent", [&] { PropertyOf(label, "OnClick").ClearEvent(menu); }},
      {"Save", [&] { PropertyOf(label, "OnClick").Save(menu); }},
      {"null object", [&] { PropertyOf(label, "Opacity").GetOrdinal(nullptr); }},
  };
  for (const auto& c : cases)
    EXPECT_THROW(c.use(), EPropertyError) << c.name;
  EXPECT_TRUE(menu->AutoPopup);
  EXPECT_EQ(menu->Title, "");
  EXPECT_FALSE(menu->OnPopup.Assigned());
}

namespace other {
// Same name as the fixture's menu, another class.
class TDemoMenu : public TComponent {
public:
  using TComponent::TComponent;
};
} // namespace other

TEST(PublishedTable, TwoClassesCannotShareAName)
{
  EXPECT_THROW(PublishClass<other::TDemoMenu>(), EPropertyError);
}

TEST(PublishedTable, EventsTakeOnlyMethodsOfTheirOwnSignature)
{
  TDemoForm form;
  auto* label = new TDemoLabel(&form);
  const TPublishedClass* formTable = FindPublishedClass(&form);
  const TPublishedMethod* labelClick = formTable->FindMethod("LabelClick");
  const TPublishedMethod* mouseDown = formTable->FindMethod("LabelMouseDown");
  ASSERT_TRUE(labelClick && mouseDown);
  EXPECT_EQ(formTable->FindMethod("Unpublished"), nullptr);

  const TPropertyInfo& onClick = PropertyOf(label, "OnClick");
  EXPECT_FALSE(onClick.EventAssigned(label));
  onClick.SetEvent(label, &form, *labelClick);
  EXPECT_EQ(label->OnClick, TNotifyEvent(&form, &TDemoForm::LabelClick));
  EXPECT_TRUE(onClick.EventCalls(label, &form, *labelClick));
  EXPECT_FALSE(onClick.EventCalls(label, &form, *formTable->FindMethod("FormClick")));
  EXPECT_FALSE(onClick.EventCalls(label, &form, *mouseDown));

  EXPECT_THROW(onClick.SetEvent(label, &form, *mouseDown), EPropertyError);
  EXPECT_EQ(label->OnClick, TNotifyEvent(&form, &TDemoForm::LabelClick)) << "a refused method changes nothing";
  TDemoMenu notAForm(nullptr);
  EXPECT_THROW(onClick.SetEvent(label, &notAForm, *labelClick), EPropertyError);

  PropertyOf(label, "OnMouseDown").SetEvent(label, &form, *mouseDown);
  EXPECT_EQ(label->OnMouseDown, TMouseEvent(&form, &TDemoForm::LabelMouseDown));
  onClick.ClearEvent(label);
  EXPECT_FALSE(label->OnClick.Assigned());
}

TEST(PublishedTable, SavedValuesArePutBack)
{
  TDemoForm form;
  auto* label = new TDemoLabel(&form);
  auto* menu = new TDemoMenu(&form);
  label->SetText("before");
  label->SetAlign(daTop);
  label->SetPopupMenu(menu);
  label->OnClick = TNotifyEvent(&form, &TDemoForm::FormClick);
  std::vector<std::function<void()>> restores;
  for (const char* name : {"Caption", "Align", "PopupMenu", "OnClick"})
    restores.push_back(PropertyOf(label, name).Save(label));

  label->SetText("after");
  label->SetAlign(daClient);
  label->SetPopupMenu(nullptr);
  label->OnClick = nullptr;
  for (auto& restore : restores)
    restore();
  EXPECT_EQ(label->GetText(), "before");
  EXPECT_EQ(label->GetAlign(), daTop);
  EXPECT_EQ(label->GetPopupMenu(), menu);
  EXPECT_EQ(label->OnClick, TNotifyEvent(&form, &TDemoForm::FormClick));
}
