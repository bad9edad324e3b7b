// The image button: its modal result, clicks from Space, double clicks, its palette page and its text.
#include "KoFixture.h"

#include "ComponentPalette.h"
#include "ComponentText.h"
#include "Published.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// A dialog whose methods the buttons' events name in text.
class TKoTextDialog : public TForm {
public:
  explicit TKoTextDialog(TComponent* owner) : TForm(owner) {}
  void OkClick(TObject*) {}
  void OkEnter(TObject*) {}
};

namespace {

const auto kDialogTable =
    PublishClass<TKoTextDialog>().Method("OkClick", &TKoTextDialog::OkClick).Method("OkEnter", &TKoTextDialog::OkEnter);

class KoButtonBehaviour : public TKoFormTest {};

bool Contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(KoButtonBehaviour, AClickHandsTheModalResultToTheModalForm)
{
  const struct {
    TModalResult result;
    bool closeAfterwards;
    TModalResult shown;
  } cases[] = {{mrYes, false, mrYes}, {mrNo, false, mrNo}, {mrNone, true, mrCancel}};
  for (const auto& c : cases) {
    auto* dialog = new TForm(App.Get());
    dialog->Scaled = false;
    dialog->SetBounds(640, 400, 200, 100);
    auto* button = new KoButton(dialog);
    button->SetName("b");
    button->SetParent(dialog);
    LoadLookPictures(button);
    button->SetModalResult(c.result);
    button->HandleNeeded();
    Log.Clear();
    Log.WatchMouse(button);
    PostMessageA(button->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    PostMessageA(button->GetHandle(), WM_LBUTTONUP, 0, At(5, 5));
    // A button without a modal result leaves the form open: only closing it ends the modal loop.
    if (c.closeAfterwards)
      PostMessageA(dialog->GetHandle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(dialog->ShowModal(), c.shown) << c.result;
    EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down b L 5,5", "up b L 5,5", "click b"})) << c.result;
    delete dialog;
  }
}

TEST_F(KoButtonBehaviour, AClickWithoutAModalResultClearsTheFormsOwn)
{
  KoButton* button = AddButton("b", 20, 20);
  Form->SetModalResult(mrAbort);
  ClickAt(button->GetHandle(), 5, 5);
  EXPECT_EQ(Form->GetModalResult(), mrNone);
  button->SetModalResult(mrRetry);
  ClickAt(button->GetHandle(), 5, 5);
  EXPECT_EQ(Form->GetModalResult(), mrRetry);
}

TEST_F(KoButtonBehaviour, SpaceClicksOncePerCharacterAndReturnOnlyPresses)
{
  KoButton* button = AddButton("b", 20, 20);
  button->SetTabStop(true);
  button->SetModalResult(mrOk);
  Log.WatchMouse(button);
  ShowActive();
  button->SetFocus();

  KeyDown(button, VK_SPACE);
  Char(button, ' ');
  KeyDown(button, VK_SPACE, true);
  Char(button, ' ');
  EXPECT_EQ(button->GetRequestedState(), lkSunken);
  KeyUp(button, VK_SPACE);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"click b", "click b"})) << "auto-repeat clicks again";
  EXPECT_EQ(Form->GetModalResult(), mrOk);

  Log.Clear();
  KeyDown(button, VK_RETURN);
  Char(button, '\r');
  EXPECT_EQ(button->GetRequestedState(), lkSunken);
  KeyUp(button, VK_RETURN);
  EXPECT_EQ(button->GetRequestedState(), lkFocused);
  EXPECT_TRUE(Log.Entries.empty()) << "Return does not click";
}

TEST_F(KoButtonBehaviour, TheKeyPressHandlerDecidesWhetherSpaceClicks)
{
  struct TRewriter {
    char To;
    void Rewrite(TObject*, char& key) { key = To; }
  };
  const struct {
    char typed;
    char rewritten;
    bool clicks;
  } cases[] = {{' ', ' ', true}, {' ', 'x', false}, {'a', ' ', true}, {' ', '\0', false}};
  KoButton* button = AddButton("b", 20, 20);
  for (const auto& c : cases) {
    TRewriter rewriter{c.rewritten};
    button->OnKeyPress = TKeyPressEvent(&rewriter, &TRewriter::Rewrite);
    Log.Clear();
    Log.WatchMouse(button);
    Char(button, c.typed);
    EXPECT_EQ(!Log.Entries.empty(), c.clicks) << "'" << c.typed << "' made '" << c.rewritten << "'";
  }
}

TEST_F(KoButtonBehaviour, AQuickSecondClickIsAClickOfItsOwn)
{
  KoButton* button = AddButton("b", 20, 20);
  Log.WatchMouse(button);
  const HWND window = button->GetHandle();
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  SendMessageA(window, WM_LBUTTONUP, 0, At(5, 5));
  SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
  EXPECT_EQ(button->GetRequestedState(), lkSunken) << "the second press presses the button";
  SendMessageA(window, WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down b L 5,5", "up b L 5,5", "click b", "down b L 5,5",
                                                   "up b L 5,5", "click b"}));
}

TEST(KoPalette, TheButtonsRegisterOnTheirPagesAndAreMadeByName)
{
  KoButton::Register();
  KoButtonTx::Register();
  KoButton::Register();  // again: no clash with itself
  EXPECT_EQ(PalettePageOf("KoButton"), "KoComponents");
  EXPECT_EQ(PalettePageOf("KoButtonTx"), "KoComponentsTx");
  EXPECT_EQ(PalettePageOf("KoControl"), "");
  EXPECT_EQ(PalettePageOf("KoCustomControl"), "");

  TComponent owner(nullptr);
  TComponent* made = CreateComponent("KoButtonTx", &owner);
  EXPECT_NE(dynamic_cast<KoButtonTx*>(made), nullptr);
  EXPECT_EQ(made->Owner(), &owner);
}

TEST(KoPublished, EachClassListsItsPropertiesAfterItsBasesWithTheirDefaults)
{
  const TPublishedClass* table = FindPublishedClass("KoButtonTx");
  ASSERT_NE(table, nullptr);
  std::vector<std::string> names;
  for (const TPropertyInfo* property : table->Properties())
    names.push_back(property->Name());
  const std::vector<std::string> own = {
      "OnMouseEnter", "OnMouseLeave", "TransparentColor", "Transparent", "Appearance", "ModalResult",
      "ShowMouseOver", "Anchors", "Enabled", "HelpContext", "Hint", "ParentShowHint", "PopupMenu", "ShowHint",
      "TabOrder", "TabStop", "Visible", "OnClick", "OnContextPopup", "OnEnter", "OnExit", "OnKeyDown",
      "OnKeyPress", "OnKeyUp", "OnMouseDown", "OnMouseMove", "OnMouseUp", "Font", "Caption", "FontColors"};
  size_t next = 0;
  for (const std::string& name : names) {
    if (next < own.size() && name == own[next])
      ++next;
  }
  EXPECT_EQ(next, own.size()) << "in this order, the bases' first";
  EXPECT_EQ(std::count(names.begin(), names.end(), "OnDblClick"), 0) << "a button takes no double clicks";

  // A fresh button holds every default, so its text names none of them.
  KoButtonTx button(nullptr);
  for (const TPropertyInfo* property : table->Properties()) {
    if (property->Kind() != TPropertyKind::Object && property->Kind() != TPropertyKind::Event &&
        property->HasDefault()) {
      EXPECT_TRUE(property->IsDefault(&button)) << property->Name();
    }
  }
  const TPublishedClass* appearance = FindPublishedClass("KoFourStateAppearance");
  ASSERT_NE(appearance, nullptr);
  for (const char* picture : {"RaisedBmp", "SunkenBmp", "FocusedBmp", "DisabledBmp"}) {
    const TPropertyInfo* property = appearance->FindProperty(picture);
    ASSERT_NE(property, nullptr) << picture;
    EXPECT_EQ(property->Kind(), TPropertyKind::Picture) << picture << " is not kept in text";
  }
  const TPublishedClass* colors = FindPublishedClass("KoTwoStateFontColor");
  ASSERT_NE(colors, nullptr);
  KoTwoStateFontColor two;
  EXPECT_TRUE(colors->FindProperty("Focused")->IsDefault(&two));
  EXPECT_TRUE(colors->FindProperty("Disabled")->IsDefault(&two));
  two.SetDisabled(clBlack);
  EXPECT_FALSE(colors->FindProperty("Disabled")->IsDefault(&two)) << "0 is a colour, -1 the default";
}

TEST_F(KoButtonBehaviour, ButtonsReadBackFromTheirTextLookAndBehaveTheSame)
{
  KoButton::Register();
  KoButtonTx::Register();
  const auto build = [](TKoTextDialog* dialog) {
    dialog->SetName("Dialog");
    dialog->Scaled = false;
    dialog->SetBorderStyle(bsNone);
    dialog->SetBounds(640, 400, 200, 100);
  };
  const auto loadPictures = [](KoButton* button) {
    LoadLookPictures(button, 50, 30);
    TBitmap raised;
    MakePicture(raised, 50, 30, kLookColors[lkRaised], 5);
    button->SetStatePicture(&raised, lkRaised);
  };

  auto* dialog = new TKoTextDialog(App.Get());
  build(dialog);
  auto* plain = new KoButton(dialog);
  plain->SetName("Plain");
  plain->SetParent(dialog);
  plain->SetBounds(10, 10, 40, 24);
  plain->SetEnabled(false);
  auto* ok = new KoButtonTx(dialog);
  ok->SetName("Ok");
  ok->SetParent(dialog);
  ok->SetBounds(60, 10, 50, 30);
  ok->SetCaption("O&K");
  ok->SetModalResult(mrOk);
  ok->SetShowMouseOver(false);
  ok->SetTabStop(true);
  ok->SetTransparentColor(clFuchsia);
  ok->SetTransparent(true);
  ok->GetFontColors()->SetSunken(clRed);
  ok->GetFontColors()->SetDisabled(clBlack);
  ok->OnClick = TNotifyEvent(dialog, &TKoTextDialog::OkClick);
  ok->OnMouseEnter = TNotifyEvent(dialog, &TKoTextDialog::OkEnter);
  loadPictures(plain);
  loadPictures(ok);

  const std::string text = WriteComponentText(dialog);
  for (const char* line : {"Caption = \"O&K\"", "ModalResult = 1", "ShowMouseOver = false", "TabStop = true",
                           "TransparentColor = clFuchsia", "Transparent = true", "FontColors.Sunken = clRed",
                           "FontColors.Disabled = clBlack", "OnClick = OkClick", "OnMouseEnter = OkEnter",
                           "Enabled = false", "Appearance.RaisedBmp = {", "Appearance.DisabledBmp = {"})
    EXPECT_TRUE(Contains(text, line)) << line << " missing from\n" << text;
  for (const char* absent : {"FontColors.Focused", "Visible", "OnMouseLeave"})
    EXPECT_FALSE(Contains(text, absent)) << absent << " written in\n" << text;
  const std::string plainBlock = text.substr(text.find("KoButton Plain"), text.find("KoButtonTx Ok") - text.find("KoButton Plain"));
  for (const char* absent : {"ModalResult", "ShowMouseOver", "Transparent =", "TabStop", "Caption"})
    EXPECT_FALSE(Contains(plainBlock, absent)) << absent << " written for the plain button:\n" << plainBlock;

  auto* fresh = new TKoTextDialog(App.Get());
  build(fresh);
  ReadComponentText(fresh, text);
  EXPECT_EQ(WriteComponentText(fresh), text);
  fresh->SetBounds(640, 620, 200, 100);  // beside the first, so the pointer meets one at a time
  auto* copy = dynamic_cast<KoButtonTx*>(fresh->FindComponent("Ok"));
  auto* plainCopy = dynamic_cast<KoButton*>(fresh->FindComponent("Plain"));
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(plainCopy, nullptr);
  EXPECT_EQ(copy->OnClick, TNotifyEvent(fresh, &TKoTextDialog::OkClick));
  dialog->HandleNeeded();
  fresh->HandleNeeded();

  // The same look, with the pictures the text brought: pictures, caption and shape.
  const auto displayBytes = [](KoCustomControl* control) {
    return control->Pictures()->Display()->GetPicture()->GetBitmap()->SaveToBytes();
  };
  EXPECT_EQ(displayBytes(copy), displayBytes(ok));
  EXPECT_EQ(displayBytes(plainCopy), displayBytes(plain));
  EXPECT_EQ(plainCopy->GetRequestedState(), lkDisabled);
  TRegionHandle shape(CreateRectRgn(0, 0, 0, 0));
  TRegionHandle copyShape(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(ok->GetHandle(), shape.Get()), ERROR);
  ASSERT_NE(GetWindowRgn(copy->GetHandle(), copyShape.Get()), ERROR);
  EXPECT_TRUE(EqualRgn(shape.Get(), copyShape.Get()));

  // The same behaviour: no hover look, a press with the sunken caption colour, the modal result.
  for (TForm* form : {static_cast<TForm*>(dialog), static_cast<TForm*>(fresh)}) {
    ShowWindow(form->GetHandle(), SW_SHOWNOACTIVATE);
    form->SetVisible(true);
  }
  for (KoButtonTx* button : {ok, copy}) {
    PointAt(button, 25, 15);
    EXPECT_EQ(button->GetRequestedState(), lkRaised);
    ButtonDown(button, 25, 15);
    EXPECT_EQ(button->GetFontColorOfCurState(), clRed);
    ButtonUp(button, 25, 15);
  }
  EXPECT_EQ(fresh->GetModalResult(), mrOk);
  EXPECT_EQ(dialog->GetModalResult(), mrOk);
}
