#include "ComponentPalette.h"
#include "ComponentText.h"
#include "ControlPublishing.h"
#include "ExtCtrls.h"
#include "FormsFixture.h"
#include "Icon.h"
#include "Menus.h"
#include "PaintFixture.h"
#include "Published.h"
#include "StdCtrls.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> PropertyNames(const TPublishedClass* table)
{
  std::vector<std::string> names;
  for (const TPropertyInfo* property : table->Properties())
    names.push_back(property->Name());
  return names;
}

// A program's form: its handlers are published methods, so that text can name them.
class TStreamForm : public TForm {
public:
  explicit TStreamForm(TComponent* owner) : TForm(owner) {}

  void ImageClick(TObject* sender) { Log.push_back("image click " + TEventLog::NameOf(sender)); }
  void LabelClick(TObject* sender) { Log.push_back("label click " + TEventLog::NameOf(sender)); }
  void ItemClick(TObject* sender) { Log.push_back("item " + TEventLog::NameOf(sender)); }
  void ImageContextPopup(TObject* sender, TPoint, bool&) { Log.push_back("context " + TEventLog::NameOf(sender)); }
  void FormShow(TObject*) { Log.push_back("show"); }

  std::vector<std::string> Log;
};

const auto kStreamFormTable = PublishClass<TStreamForm>()
                                  .Method("ImageClick", &TStreamForm::ImageClick)
                                  .Method("LabelClick", &TStreamForm::LabelClick)
                                  .Method("ItemClick", &TStreamForm::ItemClick)
                                  .Method("ImageContextPopup", &TStreamForm::ImageContextPopup)
                                  .Method("FormShow", &TStreamForm::FormShow);

template <typename T>
T* Make(TComponent* owner, const char* name)
{
  auto* component = new T(owner);
  component->SetName(name);
  return component;
}

TMenuItem* AddItem(TStreamForm* form, TMenuItem* parent, const char* name, const char* caption)
{
  auto* item = Make<TMenuItem>(form, name);
  item->SetCaption(caption);
  item->OnClick = TNotifyEvent(form, &TStreamForm::ItemClick);
  parent->Add(item);
  return item;
}

// An image, a label and a popup menu with a submenu, on a borderless form (so that its client size is
// its size on every system).
void BuildDesign(TStreamForm* form)
{
  form->SetName("StreamForm");
  form->SetBorderStyle(bsNone);
  form->SetBounds(40, 30, 240, 120);
  form->SetCaption("Levels");
  form->OnShow = TNotifyEvent(form, &TStreamForm::FormShow);
  auto* image = Make<TImage>(form, "Image1");
  image->SetParent(form);
  image->SetBounds(10, 10, 50, 40);
  image->SetStretch(true);
  image->SetHint("The picture");
  image->OnClick = TNotifyEvent(form, &TStreamForm::ImageClick);
  image->OnContextPopup = TContextPopupEvent(form, &TStreamForm::ImageContextPopup);
  auto* label = Make<TLabel>(form, "Label1");
  label->SetParent(form);
  label->SetAutoSize(false);
  label->SetBounds(70, 10, 100, 20);
  label->SetCaption("Level &1");
  label->SetAlignment(taCenter);
  label->SetAnchors({akLeft, akTop, akRight});
  label->OnClick = TNotifyEvent(form, &TStreamForm::LabelClick);
  auto* menu = Make<TPopupMenu>(form, "Menu1");
  image->SetPopupMenu(menu);
  AddItem(form, menu->Items(), "Show", "Show")->SetDefault(true);
  TMenuItem* more = AddItem(form, menu->Items(), "More", "More");
  more->OnClick = nullptr;
  AddItem(form, more, "Deep", "Deep")->SetChecked(true);
  AddItem(form, menu->Items(), "Line", "-")->SetTag(7);
  // Made last, but placed first.
  menu->Items()->Insert(0, AddItem(form, menu->Items(), "Exit", "Exit"));
}

std::string DesignText()
{
  return "TStreamForm StreamForm {\n"
         "  BorderStyle = bsNone\n"
         "  Left = 40\n"
         "  Top = 30\n"
         "  ClientWidth = 240\n"
         "  ClientHeight = 120\n"
         "  Caption = \"Levels\"\n"
         "  PixelsPerInch = " + std::to_string(ScreenPixelsPerInch()) + "\n"
         "  OnShow = FormShow\n"
         "  TImage Image1 {\n"
         "    Left = 10\n"
         "    Top = 10\n"
         "    Width = 50\n"
         "    Height = 40\n"
         "    Hint = \"The picture\"\n"
         "    PopupMenu = Menu1\n"
         "    Stretch = true\n"
         "    OnClick = ImageClick\n"
         "    OnContextPopup = ImageContextPopup\n"
         "  }\n"
         "  TLabel Label1 {\n"
         "    Left = 70\n"
         "    Top = 10\n"
         "    Width = 100\n"
         "    Height = 20\n"
         "    Anchors = [akLeft, akTop, akRight]\n"
         "    Caption = \"Level &1\"\n"
         "    Alignment = taCenter\n"
         "    AutoSize = false\n"
         "    OnClick = LabelClick\n"
         "  }\n"
         "  TPopupMenu Menu1 {\n"
         "    TMenuItem Exit {\n"
         "      Caption = \"Exit\"\n"
         "      OnClick = ItemClick\n"
         "    }\n"
         "    TMenuItem Show {\n"
         "      Caption = \"Show\"\n"
         "      Default = true\n"
         "      OnClick = ItemClick\n"
         "    }\n"
         "    TMenuItem More {\n"
         "      Caption = \"More\"\n"
         "      TMenuItem Deep {\n"
         "        Caption = \"Deep\"\n"
         "        Checked = true\n"
         "        OnClick = ItemClick\n"
         "      }\n"
         "    }\n"
         "    TMenuItem Line {\n"
         "      Caption = \"-\"\n"
         "      Tag = 7\n"
         "      OnClick = ItemClick\n"
         "    }\n"
         "  }\n"
         "}\n";
}

class GuiPublished : public TWindowTest {};

// A control whose one property refuses every value: the last block of a text that must fail while it is
// being applied, after everything before it has been set.
class TRefusingBox : public TGraphicControl {
public:
  explicit TRefusingBox(TComponent* owner) : TGraphicControl(owner) {}
  int GetRefusal() const { return 0; }
  void SetRefusal(int) { throw EPropertyError("refused"); }
};

// A windowed control with nothing of its own.
class TBox : public TCustomControl {
public:
  explicit TBox(TComponent* owner) : TCustomControl(owner) {}
};

const bool kTestControlsPublished = [] {
  PublishClass<TRefusingBox>().Property("Refusal", &TRefusingBox::GetRefusal, &TRefusingBox::SetRefusal, 0);
  RegisterCreatable(TCreatableClass::Of<TRefusingBox>());
  auto box = PublishClass<TBox>();
  PublishControlMembers(box, {"TabOrder"});
  return true;
}();

// Notes the form's events, with what the form held when each came.
struct TLoadWatch {
  TCustomForm* Form = nullptr;
  std::vector<std::string> Log;
  std::string Note(const char* event) const
  {
    return std::string(event) + (Form->IsLoading() ? " while loading" : "") + " caption=" + Form->GetText() +
           " children=" + std::to_string(Form->ControlCount());
  }
  void Show(TObject*) { Log.push_back(Note("show")); }
  void Resize(TObject*) { Log.push_back(Note("resize")); }
  void Watch(TCustomForm* form)
  {
    Form = form;
    form->OnShow = TNotifyEvent(this, &TLoadWatch::Show);
    form->OnResize = TNotifyEvent(this, &TLoadWatch::Resize);
  }
};

} // namespace

TEST_F(GuiPublished, AnImagesPictureIsKeptInTextUnlessItHoldsAnIcon)
{
  auto* form = Make<TStreamForm>(App.Get(), "StreamForm");
  auto* image = Make<TImage>(form, "Image1");
  image->SetParent(form);
  FillBitmap(*image->GetPicture()->GetBitmap(), 8, 5, clGreen, Rect(2, 1, 4, 3), clYellow);
  const std::string text = WriteComponentText(form);
  ASSERT_NE(text.find("Picture = {\n"), std::string::npos) << text;
  auto* copy = new TStreamForm(App.Get());
  ReadComponentText(copy, text);
  auto* copied = dynamic_cast<TImage*>(copy->FindComponent("Image1"));
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copied->GetPicture()->GetBitmap()->SaveToBytes(), image->GetPicture()->GetBitmap()->SaveToBytes());

  TIcon icon;
  icon.SetHandle(CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING))));
  image->GetPicture()->SetIcon(&icon);
  try {
    WriteComponentText(form);
    ADD_FAILURE() << "an icon written";
  } catch (const EWriteError& error) {
    EXPECT_NE(error.Message().find("Image1.Picture: a TIcon cannot be kept in text"), std::string::npos)
        << error.Message();
  }
}

TEST_F(GuiPublished, ReadingRaisesVisibleAndTheFormsEventsOnceEverythingIsLoaded)
{
  auto* form = new TStreamForm(App.Get());
  form->SetBorderStyle(bsNone);
  form->SetBounds(40, 30, 100, 60);
  TLoadWatch watch;
  watch.Watch(form);
  ReadComponentText(form, "TStreamForm {\n"
                          "  ClientWidth = 240\n"
                          "  Visible = true\n"
                          "  Caption = \"Loaded\"\n"
                          "  TLabel Label1 {\n"
                          "  }\n"
                          "}\n");
  EXPECT_EQ(watch.Log, (std::vector<std::string>{"resize caption=Loaded children=1", "show caption=Loaded children=1"}));
  EXPECT_TRUE(IsWindowVisible(form->GetHandle()));
}

TEST_F(GuiPublished, AFailedReadLeavesNoSideEffectOfItsSettersBehind)
{
  struct TDesign {
    TStreamForm* Form;
    TLabel* Label;
    TWinControl* Boxes[3];
    TPopupMenu* Menu;
  };
  struct TCase {
    const char* what;
    // Settings of the existing components, before the block that fails.
    const char* text;
    std::function<void(const TDesign&)> check;
  };
  const TCase cases[] = {
      {"a colour set on a label that followed its parent's", "  TLabel Label1 {\n    Color = clRed\n  }\n",
       [](const TDesign& d) {
         EXPECT_TRUE(d.Label->GetParentColor());
         EXPECT_EQ(d.Label->GetColor(), clWhite);
       }},
      {"a font set on a label that followed its parent's", "  TLabel Label1 {\n    Font.Height = -20\n  }\n",
       [](const TDesign& d) {
         EXPECT_TRUE(d.Label->GetParentFont());
         EXPECT_EQ(d.Label->GetFont()->GetHeight(), -15);
       }},
      {"hints set on a label that followed its parent's", "  TLabel Label1 {\n    ShowHint = false\n  }\n",
       [](const TDesign& d) {
         EXPECT_TRUE(d.Label->GetParentShowHint());
         EXPECT_TRUE(d.Label->GetShowHint());
       }},
      {"a constraint that narrowed the label", "  TLabel Label1 {\n    Constraints.MaxWidth = 30\n  }\n",
       [](const TDesign& d) {
         EXPECT_EQ(d.Label->GetConstraints()->GetMaxWidth(), 0);
         EXPECT_EQ(d.Label->GetWidth(), 100);
       }},
      {"the middle box moved into another",
       "  TBox Box0 {\n  }\n  TBox Box2 {\n    TBox Box1 {\n    }\n  }\n",
       [](const TDesign& d) {
         EXPECT_EQ(d.Boxes[1]->GetParent(), d.Form);
         EXPECT_EQ(d.Form->Controls(2), d.Boxes[1]) << "its place in z-order";
         EXPECT_EQ(d.Boxes[1]->GetTabOrder(), 1);
         // The windows too (the next window is the one below).
         const HWND box1 = d.Boxes[1]->GetHandle();
         EXPECT_EQ(GetWindow(box1, GW_HWNDNEXT), d.Boxes[0]->GetHandle());
         EXPECT_EQ(GetWindow(box1, GW_HWNDPREV), d.Boxes[2]->GetHandle());
       }},
      {"the first menu item moved into the last",
       "  TPopupMenu Menu1 {\n    TMenuItem Item3 {\n      TMenuItem Item1 {\n      }\n    }\n  }\n",
       [](const TDesign& d) {
         ASSERT_EQ(d.Menu->Items()->Count(), 3);
         EXPECT_EQ(d.Menu->Items()->Items(0)->Name(), "Item1");
         EXPECT_EQ(d.Menu->Items()->Items(2)->Count(), 0);
       }},
      {"the form made visible", "  Visible = true\n",
       [](const TDesign& d) {
         EXPECT_FALSE(d.Form->GetVisible());
         EXPECT_FALSE(d.Form->HandleAllocated() && IsWindowVisible(d.Form->GetHandle()));
       }},
      {"the form made wider", "  ClientWidth = 300\n", [](const TDesign& d) { EXPECT_EQ(d.Form->GetWidth(), 200); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TDesign d{};
    d.Form = Make<TStreamForm>(App.Get(), "StreamForm");
    d.Form->SetBorderStyle(bsNone);
    d.Form->SetBounds(40, 30, 200, 120);
    d.Form->SetColor(clWhite);
    d.Form->GetFont()->SetHeight(-15);
    d.Form->SetShowHint(true);
    TLoadWatch watch;
    watch.Watch(d.Form);
    for (int i = 0; i < 2; ++i) {
      // Box0 and Box1 windowed, a label between them in the graphic list, Box2 last.
      d.Boxes[i] = Make<TBox>(d.Form, ("Box" + std::to_string(i)).c_str());
      d.Boxes[i]->SetParent(d.Form);
    }
    d.Label = Make<TLabel>(d.Form, "Label1");
    d.Label->SetParent(d.Form);
    d.Label->SetAutoSize(false);
    d.Label->SetBounds(10, 10, 100, 20);
    d.Boxes[2] = Make<TBox>(d.Form, "Box2");
    d.Boxes[2]->SetParent(d.Form);
    d.Menu = Make<TPopupMenu>(d.Form, "Menu1");
    for (int i = 1; i <= 3; ++i)
      d.Menu->Items()->Add(Make<TMenuItem>(d.Form, ("Item" + std::to_string(i)).c_str()));
    d.Form->HandleNeeded();
    ASSERT_EQ(d.Form->Controls(2), d.Boxes[1]);
    ASSERT_EQ(d.Boxes[1]->GetTabOrder(), 1);
    watch.Log.clear();
    EXPECT_THROW(ReadComponentText(d.Form, std::string("TStreamForm {\n") + c.text +
                                               "  TRefusingBox Boom {\n    Refusal = 1\n  }\n}\n"),
                 EComponentTextError);
    c.check(d);
    EXPECT_TRUE(watch.Log.empty()) << watch.Log.front();
    delete d.Form;
  }
}

TEST(GuiTables, StreamingDefaultsAreWhatTheConstructorsMake)
{
  TApplicationScope app;
  TForm form(nullptr);
  const std::unique_ptr<TComponent> menu(new TPopupMenu(nullptr));
  TFont font;
  TSizeConstraints constraints;
  struct TCase {
    const char* name;
    TObject* object;
  };
  const TCase cases[] = {
      {"image", new TImage(&form)}, {"label", new TLabel(&form)},    {"form", &form},
      {"menu", menu.get()},         {"item", new TMenuItem(&form)}, {"font", &font},
      {"constraints", &constraints},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TPublishedClass* table = FindPublishedClass(c.object);
    ASSERT_TRUE(table);
    int withDefault = 0;
    for (const TPropertyInfo* property : table->Properties()) {
      if (!property->HasDefault())
        continue;
      ++withDefault;
      EXPECT_TRUE(property->IsDefault(c.object)) << property->Name();
    }
    EXPECT_GT(withDefault, 0);
  }
  // The bases keep their members unpublished (each class decides); the rest are creatable by name.
  for (const TClassInfo* base : {&TClassInfo::Of<TControl>(), &TClassInfo::Of<TWinControl>(),
                                 &TClassInfo::Of<TGraphicControl>(), &TClassInfo::Of<TCustomForm>()})
    EXPECT_EQ(FindPublishedClass(*base), nullptr) << base->Name();
  for (const char* name : {"TImage", "TLabel", "TPopupMenu", "TMenuItem", "TForm"})
    EXPECT_NE(FindCreatableClass(name), nullptr) << name;
}

TEST(GuiTables, AClassCanOnlyPublishMembersItHas)
{
  struct TGraphicOnly : TGraphicControl {
    using TGraphicControl::TGraphicControl;
  };
  struct TWindowedOnly : TWinControl {
    using TWinControl::TWinControl;
  };
  auto graphic = PublishClass<TGraphicOnly>();
  EXPECT_THROW(PublishControlMembers(graphic, {"TabStop"}), EPropertyError) << "no window, no tab stop";
  EXPECT_THROW(PublishControlMembers(graphic, {"OnKeyDown"}), EPropertyError);
  EXPECT_THROW(PublishControlMembers(graphic, {"Action"}), EPropertyError) << "not offered by the library";
  EXPECT_THROW(PublishControlMembers(graphic, {"DragMode"}), EPropertyError);
  auto windowed = PublishClass<TWindowedOnly>();
  PublishControlMembers(windowed, {"TabOrder", "TabStop", "OnKeyPress", "PopupMenu"});
  EXPECT_EQ(PropertyNames(FindPublishedClass(TClassInfo::Of<TWindowedOnly>())),
            (std::vector<std::string>{"TabOrder", "TabStop", "OnKeyPress", "PopupMenu"}));
}

TEST_F(GuiPublished, AFormWrittenAndReadBackGivesTheSameTextAndBehavesTheSame)
{
  auto* form = new TStreamForm(App.Get());
  BuildDesign(form);
  const std::string text = WriteComponentText(form);
  EXPECT_EQ(text, DesignText()) << "defaults are left out";

  auto* copy = new TStreamForm(App.Get());
  ReadComponentText(copy, text);
  EXPECT_EQ(WriteComponentText(copy), text);

  auto* image = dynamic_cast<TImage*>(copy->FindComponent("Image1"));
  auto* menu = dynamic_cast<TPopupMenu*>(copy->FindComponent("Menu1"));
  ASSERT_TRUE(image && menu);
  EXPECT_EQ(image->GetPopupMenu(), menu) << "the reference resolves to the copy's own menu";
  EXPECT_EQ(menu->Items()->Count(), 4);
  EXPECT_EQ(menu->Items()->Items(2)->Items(0)->Name(), "Deep");

  // The same handlers run for the same input, with the copy's components as senders.
  UINT deep = menu->Items()->Items(2)->Items(0)->Command();
  SysApi().TrackPopupMenu = [&](HMENU, UINT, int, int, int, HWND, const RECT*) -> BOOL {
    copy->Log.push_back("menu for " + TEventLog::NameOf(menu->GetPopupComponent()));
    return static_cast<BOOL>(deep);
  };
  copy->Show();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(copy->GetHandle()) != FALSE; }));
  ClickAt(copy->GetHandle(), 20, 20);
  ClickAt(copy->GetHandle(), 100, 15);
  SendMessageA(copy->GetHandle(), WM_RBUTTONDOWN, MK_RBUTTON, At(20, 20));
  SendMessageA(copy->GetHandle(), WM_RBUTTONUP, 0, At(20, 20));
  EXPECT_EQ(copy->Log, (std::vector<std::string>{"show", "image click Image1", "label click Label1",
                                                  "context Image1", "menu for Image1", "item Deep"}));
  EXPECT_TRUE(form->Log.empty()) << "nothing reaches the original";

  // Anchors came back too: the label stretches with the form.
  copy->SetClientWidth(300);
  auto* label = dynamic_cast<TLabel*>(copy->FindComponent("Label1"));
  ASSERT_TRUE(label);
  EXPECT_EQ(label->GetWidth(), 160);
}

TEST_F(GuiPublished, WhatAControlTakesFromItsParentIsNotWrittenButTakenAgainWhenRead)
{
  auto* form = new TStreamForm(App.Get());
  form->SetName("StreamForm");
  form->GetFont()->SetHeight(-15);
  form->GetFont()->SetName("Tahoma");
  form->SetColor(clWhite);
  form->SetShowHint(true);
  auto* follows = Make<TLabel>(form, "Follows");
  follows->SetParent(form);
  // Its own font, colour and hint setting, equal to the library's defaults but not to the form's.
  auto* own = Make<TLabel>(form, "Own");
  own->SetParent(form);
  TFont plain;
  own->SetFont(&plain);
  own->SetColor(clBtnFace);
  own->SetShowHint(false);
  ASSERT_EQ(follows->GetFont()->GetHeight(), -15);
  ASSERT_EQ(follows->GetColor(), clWhite);

  const std::string text = WriteComponentText(form);
  const std::string followsBlock = text.substr(text.find("TLabel Follows"), text.find("TLabel Own") -
                                                                                text.find("TLabel Follows"));
  EXPECT_EQ(followsBlock.find("Font"), std::string::npos) << text;
  EXPECT_EQ(followsBlock.find("Color"), std::string::npos) << text;
  EXPECT_EQ(followsBlock.find("ShowHint"), std::string::npos) << text;

  auto* copy = new TStreamForm(App.Get());
  ReadComponentText(copy, text);
  EXPECT_EQ(WriteComponentText(copy), text);
  auto* readFollows = dynamic_cast<TLabel*>(copy->FindComponent("Follows"));
  auto* readOwn = dynamic_cast<TLabel*>(copy->FindComponent("Own"));
  ASSERT_TRUE(readFollows && readOwn);
  struct TCase {
    const char* what;
    int64_t actual;
    int64_t expected;
  };
  const TCase cases[] = {
      {"following label's font", readFollows->GetFont()->GetHeight(), -15},
      {"following label's colour", readFollows->GetColor(), clWhite},
      {"following label's hints", readFollows->GetShowHint(), true},
      {"following label follows", readFollows->GetParentFont() && readFollows->GetParentColor(), true},
      {"own font", readOwn->GetFont()->GetHeight(), -11},
      {"own font's name is the library's", readOwn->GetFont()->GetName() == "MS Sans Serif", true},
      {"own colour", readOwn->GetColor(), clBtnFace},
      {"own hints", readOwn->GetShowHint(), false},
      {"own stays own", readOwn->GetParentFont() || readOwn->GetParentColor() || readOwn->GetParentShowHint(),
       false},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(c.actual, c.expected) << c.what;
}

TEST_F(GuiPublished, MenuItemsOnlySitInMenusAndItems)
{
  auto* form = new TStreamForm(App.Get());
  EXPECT_THROW(ReadComponentText(form, "TStreamForm {\n"
                                       "  TMenuItem Stray {\n"
                                       "  }\n"
                                       "}\n"),
               EComponentTextError);
  EXPECT_EQ(form->ComponentCount(), 0) << "nothing left behind";
  // An item nobody holds is written (and read) as such.
  auto* loose = Make<TMenuItem>(form, "Loose");
  loose->SetCaption("Loose");
  const std::string text = WriteComponentText(form);
  EXPECT_NE(text.find("TMenuItem Loose unparented {"), std::string::npos) << text;
  auto* copy = new TStreamForm(App.Get());
  ReadComponentText(copy, text);
  auto* read = dynamic_cast<TMenuItem*>(copy->FindComponent("Loose"));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Parent(), nullptr);
  EXPECT_EQ(read->GetCaption(), "Loose");
}
