#include "Bitmap.h"
#include "ComponentText.h"
#include "PaintFixture.h"
#include "Published.h"
#include "PublishedFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

void SetOrdinal(TObject* object, const std::string& name, int64_t value)
{
  FindPublishedClass(object)->FindProperty(name)->SetOrdinal(object, value);
}

int64_t GetOrdinal(TObject* object, const std::string& name)
{
  return FindPublishedClass(object)->FindProperty(name)->GetOrdinal(object);
}

template <typename T>
T* Make(TComponent* owner, const char* name)
{
  T* component = new T(owner);
  component->SetName(name);
  return component;
}

// A form with a panel, a label in it referring to a menu made after it, a label without a parent, and
// an unnamed menu.
void BuildDesign(TDemoForm& form)
{
  form.SetName("DemoForm");
  form.OnClick = TNotifyEvent(&form, &TDemoForm::FormClick);
  auto* panel = Make<TDemoPanel>(&form, "Panel1");
  panel->SetParent(&form);
  panel->SetBounds(8, 8, 200, 100);
  auto* label = Make<TDemoLabel>(&form, "Label1");
  label->SetParent(panel);
  label->SetLeft(4);
  label->SetText("Say \"hi\"\n");
  label->SetAlign(daClient);
  SetOrdinal(label, "Anchors", TDemoSides{dsLeft, dsRight}.Bits());
  label->GetLook()->SetColor(clRed);
  label->GetLook()->SetHeight(-13);
  label->GetLook()->Sides = TDemoSides();
  label->GetLook()->GetEdge()->Width = 2;
  label->OnClick = TNotifyEvent(&form, &TDemoForm::LabelClick);
  label->OnMouseDown = TMouseEvent(&form, &TDemoForm::LabelMouseDown);
  Make<TDemoLabel>(&form, "Spare");
  auto* menu = Make<TDemoMenu>(&form, "Menu1");
  menu->Title = "Tray";
  menu->AutoPopup = false;
  label->SetPopupMenu(menu);
  new TDemoMenu(&form);
}

const char* const kDesignText = "TDemoForm DemoForm {\n"
                                "  OnClick = FormClick\n"
                                "  TDemoPanel Panel1 {\n"
                                "    Left = 8\n"
                                "    Top = 8\n"
                                "    Width = 200\n"
                                "    Height = 100\n"
                                "    TDemoLabel Label1 {\n"
                                "      Left = 4\n"
                                "      Caption = \"Say \\\"hi\\\"\\n\"\n"
                                "      Align = daClient\n"
                                "      Anchors = [dsLeft, dsRight]\n"
                                "      Level = dlMiddle\n"
                                "      Look.Color = clRed\n"
                                "      Look.Height = -13\n"
                                "      Look.Sides = []\n"
                                "      Look.Edge.Width = 2\n"
                                "      PopupMenu = Menu1\n"
                                "      OnClick = LabelClick\n"
                                "      OnMouseDown = LabelMouseDown\n"
                                "    }\n"
                                "  }\n"
                                "  TDemoLabel Spare unparented {\n"
                                "    Level = dlMiddle\n"
                                "  }\n"
                                "  TDemoMenu Menu1 {\n"
                                "    AutoPopup = false\n"
                                "    Title = \"Tray\"\n"
                                "  }\n"
                                "}\n";

TDemoLabel* LabelNamed(TComponent& root, const char* name)
{
  return dynamic_cast<TDemoLabel*>(root.FindComponent(name));
}

} // namespace

TEST(ComponentText, WritesNestedBlocksAndOnlyValuesThatDifferFromTheirDefaults)
{
  TDemoForm form;
  BuildDesign(form);
  EXPECT_EQ(WriteComponentText(&form), kDesignText);
}

TEST(ComponentText, ReadingIntoAFreshRootRebuildsTheDesignAndWritesTheSameText)
{
  const int liveBefore = TDemoCount::Live;
  {
    TDemoForm form;
    ReadComponentText(&form, kDesignText);
    EXPECT_EQ(WriteComponentText(&form), kDesignText);

    EXPECT_EQ(form.Name(), "DemoForm");
    ASSERT_EQ(form.ComponentCount(), 4);
    auto* panel = dynamic_cast<TDemoPanel*>(form.FindComponent("Panel1"));
    TDemoLabel* label = LabelNamed(form, "Label1");
    auto* menu = dynamic_cast<TDemoMenu*>(form.FindComponent("Menu1"));
    ASSERT_TRUE(panel && label && menu);
    EXPECT_EQ(panel->GetParent(), &form);
    EXPECT_EQ(label->GetParent(), panel) << "the block nesting gives the parent";
    EXPECT_EQ(label->Owner(), &form) << "every component belongs to the root";
    EXPECT_EQ(LabelNamed(form, "Spare")->GetParent(), nullptr);
    EXPECT_EQ(panel->GetBoundsRect(), Bounds(8, 8, 200, 100));
    EXPECT_EQ(label->GetText(), "Say \"hi\"\n");
    EXPECT_EQ(label->GetAlign(), daClient);
    EXPECT_EQ(label->GetAnchors(), (TDemoSides{dsLeft, dsRight}));
    EXPECT_EQ(label->GetLook()->GetColor(), clRed);
    EXPECT_EQ(label->GetLook()->GetEdge()->Width, 2);
    EXPECT_TRUE(label->GetLook()->Sides.Empty());
    EXPECT_EQ(label->GetPopupMenu(), menu) << "a reference to a component whose block comes later";
    EXPECT_EQ(label->OnClick, TNotifyEvent(&form, &TDemoForm::LabelClick));
    EXPECT_EQ(label->OnMouseDown, TMouseEvent(&form, &TDemoForm::LabelMouseDown));
    EXPECT_EQ(form.OnClick, TNotifyEvent(&form, &TDemoForm::FormClick));
    EXPECT_EQ(menu->Title, "Tray");
    EXPECT_FALSE(menu->AutoPopup);
  }
  EXPECT_EQ(TDemoCount::Live, liveBefore);
}

TEST(ComponentText, ValuesKeepTheirFormThroughARoundTrip)
{
  struct TCase {
    const char* property;
    std::function<void(TDemoLabel*)> set;
    const char* line;
  };
  const TCase cases[] = {
      {"Caption", [](TDemoLabel* l) { l->SetText("tab\there \\ \x01 \xE9"); },
       "Caption = \"tab\\there \\\\ \\x01 \xE9\""},
      {"Color", [](TDemoLabel* l) { l->SetColor(clInfoBk); }, "Color = clInfoBk"},
      {"Color", [](TDemoLabel* l) { l->SetColor(0x123456); }, "Color = 0x123456"},
      {"Color", [](TDemoLabel* l) { l->SetColor(SystemColor(40)); }, "Color = 0x80000028"},
      {"Color", [](TDemoLabel* l) { l->SetColor(-1); }, "Color = -1"},
      {"Color", [](TDemoLabel* l) { l->SetColor(clNone); }, "Color = clNone"},
      {"Color", [](TDemoLabel* l) { l->SetColor(clLtGray); }, "Color = clSilver"},
      {"Level", [](TDemoLabel* l) { SetOrdinal(l, "Level", dlHigh); }, "Level = dlHigh"},
      {"Anchors", [](TDemoLabel* l) { SetOrdinal(l, "Anchors", 0); }, "Anchors = []"},
      {"Anchors", [](TDemoLabel* l) { SetOrdinal(l, "Anchors", 15); },
       "Anchors = [dsLeft, dsTop, dsRight, dsBottom]"},
      {"Opacity", [](TDemoLabel* l) { SetOrdinal(l, "Opacity", 0); }, "Opacity = 0"},
      {"Tag", [](TDemoLabel* l) { l->Tag = -2147483647 - 1; }, "Tag = -2147483648"},
      {"Visible", [](TDemoLabel* l) { l->SetVisible(false); }, "Visible = false"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.line);
    TDemoForm form;
    TDemoLabel* label = Make<TDemoLabel>(&form, "Label1");
    label->SetParent(&form);
    c.set(label);
    const std::string text = WriteComponentText(&form);
    EXPECT_NE(text.find(std::string("    ") + c.line + "\n"), std::string::npos) << text;

    TDemoForm copy;
    ReadComponentText(&copy, text);
    TDemoLabel* read = LabelNamed(copy, "Label1");
    ASSERT_TRUE(read);
    if (std::string(c.property) == "Caption")
      EXPECT_EQ(read->GetText(), label->GetText());
    else
      EXPECT_EQ(GetOrdinal(read, c.property), GetOrdinal(label, c.property));
    EXPECT_EQ(WriteComponentText(&copy), text);
  }
}

TEST(ComponentText, ComponentsTheRootAlreadyOwnsAreReusedAndMovedWhereTheTextPutsThem)
{
  TDemoForm form;
  TDemoLabel* label = Make<TDemoLabel>(&form, "Label1");
  label->SetParent(&form);
  TDemoMenu* menu = Make<TDemoMenu>(&form, "Menu1");
  ReadComponentText(&form, "TDemoForm {\n"
                           "  TDemoPanel Panel1 {\n"
                           "    TDemoLabel label1 {\n"
                           "      PopupMenu = Menu1\n"
                           "    }\n"
                           "  }\n"
                           "}\n");
  ASSERT_EQ(form.ComponentCount(), 3);
  EXPECT_EQ(LabelNamed(form, "Label1"), label) << "names compare as FindComponent compares them";
  EXPECT_EQ(label->GetParent(), form.FindComponent("Panel1"));
  EXPECT_EQ(label->GetPopupMenu(), menu) << "a component the text does not mention can be referred to";
  EXPECT_EQ(form.Name(), "") << "a text without a root name leaves the name alone";
}

TEST(ComponentText, HandWrittenTextMayUseCommentsSpacingHexadecimalAndCrLf)
{
  TDemoForm form;
  ReadComponentText(&form, "# a design written by hand\r\n"
                           "TDemoForm   Hand{\r\n"
                           "  TDemoLabel Label1 unparented { Tag = 0x10  Caption=\"x\" # why not\r\n"
                           "  Color = 0xFF Look.Sides = [ dsBottom ,dsTop ] }\r\n"
                           "}");
  TDemoLabel* label = LabelNamed(form, "Label1");
  ASSERT_TRUE(label);
  EXPECT_EQ(label->Tag, 16);
  EXPECT_EQ(label->GetText(), "x");
  EXPECT_EQ(label->GetColor(), clRed);
  EXPECT_EQ(label->GetLook()->Sides, (TDemoSides{dsTop, dsBottom}));
  EXPECT_EQ(label->GetParent(), nullptr);
  EXPECT_EQ(form.Name(), "Hand");
}

TEST(ComponentText, AProgramsOwnFormUsesItsBaseTableAndMethods)
{
  TDemoMainForm form;
  form.SetName("MainForm");
  TDemoLabel* label = Make<TDemoLabel>(&form, "Label1");
  label->SetParent(&form);
  label->OnClick = TNotifyEvent(static_cast<TDemoForm*>(&form), &TDemoForm::LabelClick);
  const std::string text = WriteComponentText(&form);
  EXPECT_EQ(text.rfind("TDemoMainForm MainForm {\n", 0), 0u) << text;
  EXPECT_NE(text.find("OnClick = LabelClick\n"), std::string::npos) << text;

  TDemoMainForm copy;
  ReadComponentText(&copy, text);
  EXPECT_EQ(LabelNamed(copy, "Label1")->OnClick,
            TNotifyEvent(static_cast<TDemoForm*>(&copy), &TDemoForm::LabelClick));
  TDemoForm plain;
  EXPECT_THROW(ReadComponentText(&plain, text), EComponentTextError) << "a TDemoForm is no TDemoMainForm";
}

TEST(ComponentText, HandlersThatAreNoPublishedMethodOfTheRootAreLeftOut)
{
  TDemoForm form;
  TDemoForm other;
  TDemoLabel* label = Make<TDemoLabel>(&form, "Label1");
  label->SetParent(&form);
  label->OnClick = TNotifyEvent(&other, &TDemoForm::LabelClick);
  label->OnMouseDown = TMouseEvent(&form, &TDemoForm::LabelMouseDown);
  form.OnClick = TNotifyEvent(&form, &TDemoForm::Unpublished);
  const std::string text = WriteComponentText(&form);
  EXPECT_EQ(text.find("OnClick"), std::string::npos) << text;
  EXPECT_NE(text.find("OnMouseDown = LabelMouseDown"), std::string::npos) << text;
}

namespace {

std::string Design(const std::string& line4)
{
  return "TDemoForm DemoForm {\n"
         "  TDemoPanel Panel1 {\n"
         "    TDemoLabel Label1 {\n"
         "      " + line4 + "\n"
         "    }\n"
         "  }\n"
         "  TDemoMenu Menu1 {\n"
         "  }\n"
         "}\n";
}

} // namespace

TEST(ComponentText, BadTextIsRejectedNamingTheCulpritAndItsLineAndLeavesNothingBehind)
{
  struct TCase {
    std::string text;
    const char* culprit;
    int line;
  };
  const TCase cases[] = {
      {Design("Colour = clRed"), "TDemoLabel has no property Colour", 4},
      {Design("Look.Shade = 1"), "TDemoLook has no property Shade", 4},
      {Design("TNoSuchClass Thing {\n}"), "unknown class TNoSuchClass", 4},
      {Design("Align = daMiddle"), "daMiddle is not a value of Align (TDemoAlign)", 4},
      {Design("Anchors = [dsLeft, dsFront]"), "dsFront is not a value of Anchors", 4},
      {Design("Align = [daTop]"), "[daTop] is not a name of a value (Align)", 4},
      {Design("Anchors = dsLeft"), "dsLeft is not a set in brackets (Anchors)", 4},
      {Design("Level = 5"), "5 is not a name of a value (Level)", 4},
      {Design("OnClick = NoSuchMethod"), "TDemoForm has no published method NoSuchMethod for OnClick", 4},
      {Design("OnClick = Unpublished"), "no published method Unpublished", 4},
      {Design("OnClick = LabelMouseDown"), "method LabelMouseDown does not fit event OnClick", 4},
      {Design("Left = 12x"), "12x is not a number (Left)", 4},
      {Design("Tag = 99999999999"), "99999999999 is out of range for Tag", 4},
      {Design("Tag = 99999999999999999999999"), "99999999999999999999999 is not a number (Tag)", 4},
      {Design("Tag = \"7\""), "\"7\" is not a number (Tag)", 4},
      {Design("Caption = \"abc"), "unterminated string", 4},
      {Design("Caption = \"a\\qb\""), "unknown escape \\q", 4},
      {Design("Caption = \"\\x4\""), "\\x in a string needs two hexadecimal digits", 4},
      {Design("Caption = Hello"), "Caption is a string", 4},
      {Design("Color = clPurpleish"), "clPurpleish is not a colour name (Color)", 4},
      {Design("Visible = yes"), "yes is not true or false (Visible)", 4},
      {Design("PopupMenu = Menu9"), "no component named Menu9 for PopupMenu", 4},
      {Design("PopupMenu = Panel1"), "Panel1 is a TDemoPanel, not the TDemoMenu that PopupMenu needs", 4},
      {Design("Look = 1"), "Look is an object", 4},
      {Design("Look.Glyph = 1"), "Look.Glyph is a picture: write its data in braces", 4},
      {Design("Look.Glyph = { 424D0 }"), "the data of Look.Glyph is not pairs of hexadecimal digits", 4},
      {Design("Look.Glyph = { 42_4D }"), "the data of Look.Glyph is not pairs of hexadecimal digits", 4},
      {Design("Look.Glyph = { 424D \"x\" }"), "expected hexadecimal digits or '}' in the data of Look.Glyph", 4},
      {Design("Look.Glyph = {\n        0102030405060708\n      }"), "Look.Glyph: Bitmap image is not valid", 4},
      {Design("Caption.Size = 1"), "Caption of TDemoLabel is a string, not an object", 4},
      {Design("TDemoLabel Panel1 {\n}"), "two components are named Panel1", 4},
      {Design("TDemoMenu Menu2 {\n}"), "Menu2 (TDemoMenu) cannot be placed in Label1", 4},
      {Design("TDemoLabel Inner {\n}"), "Inner (TDemoLabel) cannot be placed in Label1", 4},
      {Design("TDemoLabel {\n}"), "the TDemoLabel needs a component name", 4},
      {Design("Caption = \"a\"\n      Caption = \"b\""), "Caption is set twice", 5},
      {Design("Left ="), "expected a value for Left, found '}'", 5},
      {Design("@"), "unexpected character '@'", 4},
      {Design("Tag = 1 }"), "unexpected 'TDemoMenu' after the end of the root block", 7},
      {Design("Look.Height = 0"), "A look cannot be 0 pixels high", 4},
      {"TDemoMenu DemoForm {\n}\n", "the text describes a TDemoMenu, not a TDemoForm", 1},
      {"TDemoForm DemoForm {\n  TDemoPanel Panel1 {\n", "missing '}' of TDemoPanel Panel1 (line 2)", 3},
      {"", "expected a class name, found end of text", 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.text);
    const int liveBefore = TDemoCount::Live;
    TDemoForm form;
    try {
      ReadComponentText(&form, c.text);
      ADD_FAILURE() << "read without complaint";
    } catch (const EComponentTextError& error) {
      EXPECT_NE(error.Message().find(c.culprit), std::string::npos) << error.Message();
      EXPECT_EQ(error.Line(), c.line) << error.Message();
      EXPECT_EQ(error.Message().rfind("Line " + std::to_string(c.line) + ": ", 0), 0u) << error.Message();
    }
    EXPECT_EQ(form.ComponentCount(), 0);
    EXPECT_EQ(form.Name(), "");
    EXPECT_EQ(TDemoCount::Live, liveBefore + 1) << "only the form itself lives";
  }
}

TEST(ComponentText, PicturesAreKeptAsTheirBitmapData)
{
  TDemoForm form;
  TDemoLabel* label = Make<TDemoLabel>(&form, "Label1");
  label->SetParent(&form);
  TBitmap* glyph = label->GetLook()->GetGlyph();
  FillBitmap(*glyph, 20, 3, clRed, Rect(0, 0, 4, 1), clBlue);
  const std::string text = WriteComponentText(&form);
  ASSERT_NE(text.find("Look.Glyph = {\n"), std::string::npos) << text;

  TDemoForm copy;
  ReadComponentText(&copy, text);
  TBitmap* copied = LabelNamed(copy, "Label1")->GetLook()->GetGlyph();
  EXPECT_EQ(copied->SaveToBytes(), glyph->SaveToBytes()) << "the same pixels, size and format";
  EXPECT_EQ(WriteComponentText(&copy), text);

  // A failed read puts the picture it replaced back; an empty pair of braces empties one.
  EXPECT_THROW(ReadComponentText(&copy, "TDemoForm {\n  TDemoLabel Label1 {\n    Look.Glyph = {}\n"
                                        "    Look.Height = 0\n  }\n}\n"),
               EComponentTextError);
  EXPECT_EQ(copied->SaveToBytes(), glyph->SaveToBytes());
  ReadComponentText(&copy, "TDemoForm {\n  TDemoLabel Label1 {\n    Look.Glyph = {}\n  }\n}\n");
  EXPECT_TRUE(copied->Empty());
  EXPECT_EQ(WriteComponentText(&copy).find("Glyph"), std::string::npos) << "an empty picture is the default";
}

TEST(ComponentText, AUtf8ByteOrderMarkAtTheStartIsAccepted)
{
  TDemoForm form;
  ReadComponentText(&form, "\xEF\xBB\xBFTDemoForm Marked {\n  TDemoMenu Menu1 {\n  }\n}\n");
  EXPECT_EQ(form.Name(), "Marked");
  EXPECT_EQ(form.ComponentCount(), 1);
  // Only at the start, and only whole.
  EXPECT_THROW(ReadComponentText(&form, "TDemoForm \xEF\xBB\xBF{\n}\n"), EComponentTextError);
  EXPECT_THROW(ReadComponentText(&form, "\xEF\xBBTDemoForm {\n}\n"), EComponentTextError);
}

TEST(ComponentText, AComponentOfAnotherClassUnderTheSameNameIsRejected)
{
  TDemoForm form;
  Make<TDemoMenu>(&form, "Label1");
  try {
    ReadComponentText(&form, Design("Tag = 1"));
    ADD_FAILURE() << "read without complaint";
  } catch (const EComponentTextError& error) {
    EXPECT_NE(error.Message().find("Label1 is a TDemoMenu, not a TDemoLabel"), std::string::npos)
        << error.Message();
    EXPECT_EQ(error.Line(), 3);
  }
  EXPECT_EQ(form.ComponentCount(), 1);
}

TEST(ComponentText, AFailedReadPutsBackEverythingItChanged)
{
  TDemoForm form;
  form.SetName("Before");
  form.SetText("Old form");
  TDemoLabel* label = Make<TDemoLabel>(&form, "Label1");
  label->SetParent(&form);
  label->SetText("Old");
  label->SetAlign(daTop);
  TDemoMenu* menu = Make<TDemoMenu>(&form, "Menu1");
  const int liveBefore = TDemoCount::Live;
  const std::string text = "TDemoForm Renamed {\n"
                           "  Caption = \"New form\"\n"
                           "  TDemoPanel Panel1 {\n"
                           "    TDemoLabel Label1 {\n"
                           "      Caption = \"New\"\n"
                           "      Align = daBottom\n"
                           "      OnClick = LabelClick\n"
                           "      PopupMenu = Menu1\n"
                           "      Look.Height = 0\n"
                           "    }\n"
                           "  }\n"
                           "}\n";
  try {
    ReadComponentText(&form, text);
    ADD_FAILURE() << "read without complaint";
  } catch (const EComponentTextError& error) {
    EXPECT_EQ(error.Line(), 9) << error.Message();
    EXPECT_NE(error.Message().find("0 pixels high"), std::string::npos) << error.Message();
  }
  EXPECT_EQ(form.Name(), "Before");
  EXPECT_EQ(form.GetText(), "Old form");
  EXPECT_EQ(form.ComponentCount(), 2);
  EXPECT_EQ(TDemoCount::Live, liveBefore) << "the panel made for the text is gone";
  EXPECT_EQ(label->GetParent(), &form);
  EXPECT_EQ(label->GetText(), "Old");
  EXPECT_EQ(label->GetAlign(), daTop);
  EXPECT_FALSE(label->OnClick.Assigned());
  EXPECT_EQ(label->GetPopupMenu(), nullptr);
  EXPECT_EQ(label->GetLook()->GetHeight(), -11);
  EXPECT_EQ(menu->Owner(), &form);
}

TEST(ComponentText, WhatTextCannotHoldIsAnErrorNamingIt)
{
  struct TCase {
    const char* what;
    std::function<void(TDemoForm& form, TDemoForm& other)> build;
    const char* culprit;
  };
  const TCase cases[] = {
      {"a name that is no identifier", [](TDemoForm& form, TDemoForm&) { Make<TDemoMenu>(&form, "Bad Name"); },
       "\"Bad Name\""},
      {"two names that compare equal",
       [](TDemoForm& form, TDemoForm&) {
         Make<TDemoMenu>(&form, "Twin");
         Make<TDemoMenu>(&form, "twin");
       },
       "Two components are named twin"},
      {"a reference outside the root",
       [](TDemoForm& form, TDemoForm& other) {
         Make<TDemoLabel>(&form, "Label1")->SetPopupMenu(Make<TDemoMenu>(&other, "Menu1"));
       },
       "Label1.PopupMenu refers to Menu1, which is not one of the components of DemoForm"},
      {"a parent outside the root",
       [](TDemoForm& form, TDemoForm& other) {
         Make<TDemoLabel>(&form, "Label1")->SetParent(Make<TDemoPanel>(&other, "Panel9"));
       },
       "Label1 sits in Panel9, which is not one of the components of DemoForm"},
      {"a value without a name",
       [](TDemoForm& form, TDemoForm&) {
         Make<TDemoLabel>(&form, "Label1")->SetAlign(static_cast<TDemoAlign>(9));
       },
       "Label1.Align: 9 is not a value of Align"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TDemoForm other;
    TDemoForm form;
    form.SetName("DemoForm");
    c.build(form, other);
    try {
      WriteComponentText(&form);
      ADD_FAILURE() << "written without complaint";
    } catch (const EWriteError& error) {
      EXPECT_NE(error.Message().find(c.culprit), std::string::npos) << error.Message();
    }
  }
}

TEST(ComponentText, AReferenceSetThroughTheTableIsDroppedWhenItsComponentGoes)
{
  TDemoForm form;
  TDemoLabel* label = Make<TDemoLabel>(&form, "Label1");
  label->SetParent(&form);
  TDemoMenu* menu = Make<TDemoMenu>(&form, "Menu1");
  // Through the property...
  FindPublishedClass(label)->FindProperty("PopupMenu")->SetReference(label, menu);
  ASSERT_EQ(label->GetPopupMenu(), menu);
  delete menu;
  EXPECT_EQ(label->GetPopupMenu(), nullptr);

  // ...and through text, whichever block comes first.
  ReadComponentText(&form, "TDemoForm {\n"
                           "  TDemoLabel Label1 {\n"
                           "    PopupMenu = Menu2\n"
                           "  }\n"
                           "  TDemoMenu Menu2 {\n"
                           "  }\n"
                           "}\n");
  TComponent* menu2 = form.FindComponent("Menu2");
  ASSERT_TRUE(menu2);
  ASSERT_EQ(label->GetPopupMenu(), menu2);
  delete menu2;
  EXPECT_EQ(label->GetPopupMenu(), nullptr);
  EXPECT_EQ(WriteComponentText(&form).find("PopupMenu"), std::string::npos) << "nothing dangling is written";
}
