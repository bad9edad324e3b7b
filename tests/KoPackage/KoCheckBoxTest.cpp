// The picture check box: the click cycle from the mouse and from Space, with and without grayed, the
// group shown for each state and look, the stand-ins for empty pictures, its loaders and its text.
#include "KoFixture.h"

#include "KoCheckBox.h"

#include "ComponentPalette.h"
#include "ComponentText.h"
#include "Published.h"

#include <functional>
#include <string>
#include <vector>

namespace {

// A colour of its own for each of the twelve pictures.
TColor ChkColor(int index)
{
  return static_cast<TColor>(RGB(30 + 18 * index, 220 - 15 * index, 90 + (index % 4) * 40));
}

const char* StateName(TCheckBoxState state)
{
  return state == cbChecked ? "checked" : state == cbGrayed ? "grayed" : "unchecked";
}

class KoCheck : public TKoFormTest {
protected:
  // A check box of 20 x 20 with the pictures given (the others left empty).
  KoCheckBox* AddCheckBox(const std::string& name, int left, const std::vector<int>& pictures)
  {
    auto* box = new KoCheckBox(Form);
    box->SetName(name);
    box->SetBounds(left, 20, 20, 20);
    box->SetParent(Form);
    for (int index : pictures) {
      TBitmap picture;
      MakePicture(picture, 20, 20, ChkColor(index));
      box->SetStatePicture(&picture, index);
    }
    box->HandleNeeded();
    return box;
  }
  static std::vector<int> AllTwelve() { return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}; }
  static COLORREF Shown(KoCheckBox* box) { return PixelsOf(box).At(10, 10); }
};

} // namespace

TEST_F(KoCheck, ClicksAndSpaceMoveTheStateOnWithOrWithoutGrayed)
{
  KoCheckBox* box = AddCheckBox("c", 20, AllTwelve());
  Log.WatchMouse(box);
  Form->Show();
  const struct {
    bool allowGrayed;
    TCheckBoxState from;
    TCheckBoxState to;
  } cases[] = {
      {false, cbUnchecked, cbChecked}, {false, cbChecked, cbUnchecked}, {false, cbGrayed, cbChecked},
      {true, cbUnchecked, cbGrayed},   {true, cbGrayed, cbChecked},     {true, cbChecked, cbUnchecked},
  };
  const std::vector<std::pair<const char*, std::function<void()>>> inputs = {
      {"mouse", [&] { ClickAt(box->GetHandle(), 5, 5); }},
      {"Space", [&] { Char(box, ' '); }},
  };
  for (const auto& c : cases) {
    for (const auto& [how, click] : inputs) {
      box->SetAllowGrayed(c.allowGrayed);
      box->SetState(c.from);
      Log.Clear();
      click();
      const std::string what = std::string(how) + " from " + StateName(c.from) + (c.allowGrayed ? " (grayed allowed)" : "");
      EXPECT_EQ(box->GetState(), c.to) << what;
      EXPECT_EQ(box->GetChecked(), c.to == cbChecked) << what;
      EXPECT_EQ(Log.Entries.back(), "click c") << what;
      const int base = c.to == cbChecked ? 4 : c.to == cbGrayed ? 8 : 0;
      EXPECT_EQ(box->GetShownState(), base) << what;
      EXPECT_EQ(Shown(box), static_cast<COLORREF>(ChkColor(base))) << what;
    }
  }
}

TEST_F(KoCheck, SpaceShowsTheGroupsSunkenLookWhileHeldAndAQuickSecondClickClicksAgain)
{
  KoCheckBox* box = AddCheckBox("c", 20, AllTwelve());
  box->SetTabStop(true);
  Log.WatchMouse(box);
  ShowActive();
  box->SetFocus();
  EXPECT_EQ(box->GetShownState(), 2) << "unchecked, focused";
  KeyDown(box, VK_SPACE);
  EXPECT_EQ(box->GetShownState(), 1) << "unchecked, sunken";
  Char(box, ' ');
  EXPECT_EQ(box->GetShownState(), 5) << "checked, still sunken";
  KeyUp(box, VK_SPACE);
  EXPECT_EQ(box->GetShownState(), 6) << "checked, focused";
  EXPECT_EQ(Shown(box), static_cast<COLORREF>(ChkColor(6)));

  Log.Clear();
  const HWND window = box->GetHandle();
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  SendMessageA(window, WM_LBUTTONUP, 0, At(5, 5));
  SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
  EXPECT_EQ(box->GetShownState(), 1) << "the second press presses it: unchecked, sunken";
  SendMessageA(window, WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(box->GetState(), cbChecked);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down c L 5,5", "up c L 5,5", "click c", "down c L 5,5",
                                                   "up c L 5,5", "click c"}));
}

TEST_F(KoCheck, EachStateAndLookShowsItsPictureOrItsStandIn)
{
  const struct {
    const char* what;
    std::vector<int> pictures;
    // The picture shown for state (unchecked, checked, grayed) and look (raised, sunken, focused, disabled).
    int shown[3][4];
  } cases[] = {
      {"all twelve", AllTwelve(), {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}}},
      {"only the unchecked group", {0, 1, 2, 3}, {{0, 1, 2, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
      {"only the raised pictures", {0, 4, 8}, {{0, 0, 0, 0}, {4, 4, 4, 4}, {8, 8, 8, 8}}},
      {"checked focused without its own or its group's raised picture", {0, 5, 8, 11},
       {{0, 0, 0, 0}, {0, 5, 0, 0}, {8, 8, 8, 11}}},
  };
  int left = 20;
  for (const auto& c : cases) {
    KoCheckBox* box = AddCheckBox("c" + std::to_string(left), left, c.pictures);
    left += 30;
    Form->Show();
    const std::function<void()> looks[] = {[&] { box->ShowRaised(); }, [&] { box->ShowSunken(); },
                                           [&] { box->ShowFocused(); }, [&] { box->ShowDisabled(); }};
    for (TCheckBoxState state : {cbUnchecked, cbChecked, cbGrayed}) {
      box->SetState(state);
      for (int look = 0; look < 4; ++look) {
        looks[look]();
        const std::string what = std::string(c.what) + ", " + StateName(state) + " look " + std::to_string(look);
        EXPECT_EQ(box->GetRequestedState() % 4, look) << what;
        EXPECT_EQ(box->GetShownState(), c.shown[state][look]) << what;
        EXPECT_EQ(Shown(box), static_cast<COLORREF>(ChkColor(c.shown[state][look]))) << what;
      }
    }
  }
}

TEST_F(KoCheck, ProgramChangesKeepTheLookAndTheClickCycleGoesOnFromThere)
{
  KoCheckBox* box = AddCheckBox("c", 20, AllTwelve());
  Log.WatchMouse(box);
  Form->Show();
  box->SetState(cbGrayed);
  EXPECT_FALSE(box->GetAllowGrayed());
  EXPECT_EQ(Shown(box), static_cast<COLORREF>(ChkColor(8))) << "grayed is taken without AllowGrayed";
  ClickAt(box->GetHandle(), 5, 5);
  EXPECT_EQ(box->GetState(), cbChecked);

  box->SetEnabled(false);
  EXPECT_EQ(box->GetShownState(), 7);
  box->SetChecked(false);
  EXPECT_EQ(box->GetShownState(), 3) << "the unchecked group, still disabled";
  box->SetState(cbGrayed);
  EXPECT_EQ(Shown(box), static_cast<COLORREF>(ChkColor(11)));
  Log.Clear();
  ClickAt(box->GetHandle(), 5, 5);
  Char(box, ' ');
  EXPECT_EQ(box->GetState(), cbGrayed) << "a disabled check box takes no input";
  EXPECT_TRUE(Log.Entries.empty()) << "and program changes raise no event";
  box->SetEnabled(true);
  EXPECT_EQ(box->GetShownState(), 8);
}

TEST_F(KoCheck, WithClicksDisabledAClickStillTogglesButNothingShowsItSunken)
{
  KoCheckBox* box = AddCheckBox("c", 20, AllTwelve());
  box->SetClicksDisabled(true);
  box->SetTabStop(true);
  Log.WatchMouse(box);
  ShowActive();
  box->SetFocus();
  ButtonDown(box, 5, 5);
  EXPECT_NE(box->GetRequestedState() % 4, 1);
  ButtonUp(box, 5, 5);
  EXPECT_EQ(box->GetState(), cbChecked);
  KeyDown(box, VK_SPACE);
  EXPECT_NE(box->GetRequestedState() % 4, 1);
  Char(box, ' ');
  KeyUp(box, VK_SPACE);
  EXPECT_EQ(box->GetState(), cbUnchecked);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down c L 5,5", "up c L 5,5", "click c", "click c"}));
}

TEST_F(KoCheck, LoadingAGroupShowsItsNewPictureAtOnceWhereItStandsIn)
{
  KoCheckBox* box = AddCheckBox("c", 20, {0, 1, 2, 3});
  box->SetTabStop(true);
  ShowActive();
  box->SetChecked(true);
  box->SetFocus();
  ASSERT_EQ(box->GetRequestedState(), 6);
  EXPECT_EQ(box->GetShownState(), 0);

  const TPictureFile raised("ko_cr.bmp", 20, 20, clTeal);
  const TPictureFile disabled("ko_cd.bmp", 20, 20, clOlive);
  EXPECT_TRUE(box->LoadChecked(ExeDir(), "ko_cr.bmp", "", "", "ko_cd.bmp"));
  EXPECT_EQ(box->GetShownState(), 4) << "the checked focused look has no picture: its group's raised one";
  EXPECT_EQ(Shown(box), static_cast<COLORREF>(clTeal));
  box->SetEnabled(false);
  EXPECT_EQ(Shown(box), static_cast<COLORREF>(clOlive));

  // The other loaders reach their own groups; a missing file changes nothing.
  EXPECT_TRUE(box->LoadGrayed(ExeDir(), "ko_cd.bmp", "", "", ""));
  EXPECT_EQ(PixelOf(*box->GetStatePicture(8), 0, 0), static_cast<COLORREF>(clOlive));
  EXPECT_THROW(box->LoadUnchecked(ExeDir(), "ko_cr.bmp", "ko_none.bmp", "", ""), EFOpenError);
  EXPECT_EQ(PixelOf(*box->GetStatePicture(0), 0, 0), static_cast<COLORREF>(ChkColor(0)));
  EXPECT_TRUE(box->LoadUnchecked(ExeDir(), "ko_cr.bmp", "", "", ""));
  EXPECT_EQ(PixelOf(*box->GetStatePicture(0), 0, 0), static_cast<COLORREF>(clTeal));
  EXPECT_THROW(box->LoadChecked("", "ko_cr.bmp", "", "", ""), ERangeError);
}

TEST_F(KoCheck, CopyingAnAppearanceCopiesAllThreeGroups)
{
  KoCheckBox* source = AddCheckBox("source", 20, {0, 5, 10});
  KoCheckBox* target = AddCheckBox("target", 60, AllTwelve());
  KoChkBoxAppearance* own = target->GetAppearance();
  target->SetAppearance(source->GetAppearance());
  EXPECT_EQ(target->GetAppearance(), own);
  for (int i = 0; i < 12; ++i) {
    const bool present = i == 0 || i == 5 || i == 10;
    EXPECT_EQ(target->IsStateEmpty(i), !present) << i;
    if (present) {
      EXPECT_EQ(PixelOf(*target->GetStatePicture(i), 0, 0), static_cast<COLORREF>(ChkColor(i))) << i;
    }
  }
  // One group at a time, into the group of the same name.
  KoCheckBox* third = AddCheckBox("third", 100, {});
  third->GetAppearance()->SetGray(source->GetAppearance()->GetGray());
  EXPECT_FALSE(third->IsStateEmpty(10));
  EXPECT_TRUE(third->IsStateEmpty(0));

  EXPECT_THROW(target->GetAppearance()->Assign(source->GetAppearance()->GetCheck()), EInvalidCast);
  EXPECT_THROW(source->GetAppearance()->GetCheck()->Assign(target->GetAppearance()), EInvalidCast);
  EXPECT_THROW(target->SetAppearance(nullptr), EConvertError);
}

TEST_F(KoCheck, CheckBoxesReadBackFromTheirText)
{
  KoCheckBox::Register();
  EXPECT_EQ(PalettePageOf("KoCheckBox"), "KoComponents");
  const TPublishedClass* table = FindPublishedClass("KoCheckBox");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->FindProperty("OnDblClick"), nullptr) << "a check box takes no double clicks";
  KoCheckBox fresh(nullptr);
  for (const char* name : {"Checked", "AllowGrayed", "State", "ShowMouseOver", "ClicksDisabled", "Transparent"}) {
    const TPropertyInfo* property = table->FindProperty(name);
    ASSERT_NE(property, nullptr) << name;
    EXPECT_TRUE(property->IsDefault(&fresh)) << name;
  }

  const struct {
    const char* what;
    std::function<void(KoCheckBox*)> set;
    std::vector<std::string> lines;
  } cases[] = {
      {"fresh", [](KoCheckBox*) {}, {}},
      {"checked", [](KoCheckBox* b) { b->SetChecked(true); }, {"Checked = true", "State = cbChecked"}},
      {"grayed, allowed", [](KoCheckBox* b) { b->SetAllowGrayed(true); b->SetState(cbGrayed); },
       {"AllowGrayed = true", "State = cbGrayed"}},
      {"no clicks, no hover", [](KoCheckBox* b) { b->SetClicksDisabled(true); b->SetShowMouseOver(false); },
       {"ShowMouseOver = false", "ClicksDisabled = true"}},
  };
  for (const auto& c : cases) {
    KoCheckBox box(nullptr);
    box.SetName("box");
    c.set(&box);
    const std::string text = WriteComponentText(&box);
    for (const std::string& line : c.lines)
      EXPECT_NE(text.find(line), std::string::npos) << c.what << ": " << line << " missing from\n" << text;
    for (const char* name : {"Checked", "AllowGrayed", "State", "ShowMouseOver", "ClicksDisabled"}) {
      bool expected = false;
      for (const std::string& line : c.lines)
        expected = expected || line.rfind(std::string(name) + " ", 0) == 0;
      EXPECT_EQ(text.find(std::string(name) + " = ") != std::string::npos, expected) << c.what << ": " << name;
    }
    KoCheckBox copy(nullptr);
    ReadComponentText(&copy, text);
    EXPECT_EQ(WriteComponentText(&copy), text) << c.what;
    EXPECT_EQ(copy.GetState(), box.GetState()) << c.what;
    EXPECT_EQ(copy.GetClicksDisabled(), box.GetClicksDisabled()) << c.what;
  }
}
