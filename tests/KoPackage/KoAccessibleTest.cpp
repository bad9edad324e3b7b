// The skinned buttons as a screen reader meets them: push buttons with names and states, pressed by their
// default action as by a click, announcing a new caption. (Their plain face is seen on the level dialog.)
#include "KoFixture.h"

#include "AccessibleProbe.h"

#include <functional>
#include <string>
#include <vector>

namespace {

class KoAccessibility : public TKoFormTest {
protected:
  TComScope Com;
};

} // namespace

TEST_F(KoAccessibility, ButtonsAnswerAsPushButtonsWithTheirNamesAndStates)
{
  ShowActive();
  const struct {
    const char* what;
    std::function<void(KoButton*)> prepare;
    std::string name;
    long present; // state flags that must be set
    long absent;  // and those that must not
  } cases[] = {
      {"an image button is named by the program",
       [](KoButton* b) { b->SetAccessibleName("Next level"); }, "Next level", STATE_SYSTEM_FOCUSABLE,
       STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_FOCUSED},
      {"a text button is named by its caption, without the key mark",
       [](KoButton* b) { b->SetText("&Cancel"); }, "Cancel", STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_UNAVAILABLE},
      {"a given name wins over the caption",
       [](KoButton* b) {
         b->SetText("OK");
         b->SetAccessibleName("Apply");
       },
       "Apply", 0, 0},
      {"disabled: unavailable, not focusable", [](KoButton* b) { b->SetEnabled(false); }, "",
       STATE_SYSTEM_UNAVAILABLE, STATE_SYSTEM_FOCUSABLE},
      {"hidden: invisible", [](KoButton* b) { b->SetVisible(false); }, "", STATE_SYSTEM_INVISIBLE, 0},
      {"with the focus: focused", [](KoButton* b) { b->SetFocus(); }, "", STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE,
       0},
  };
  for (const auto& c : cases) {
    auto* button = AddButton<KoButtonTx>("b", 10, 10);
    c.prepare(button);
    PumpPending();
    const TAccessibleProbe probe(button->GetHandle());
    ASSERT_TRUE(probe) << c.what << ": " << std::hex << probe.Result();
    EXPECT_EQ(probe.Role(), ROLE_SYSTEM_PUSHBUTTON) << c.what;
    EXPECT_EQ(probe.Name(), c.name) << c.what;
    EXPECT_EQ(probe.State() & c.present, c.present) << c.what;
    EXPECT_EQ(probe.State() & c.absent, 0) << c.what;
    EXPECT_EQ(probe.DefaultAction(), "Press") << c.what;
    delete button;
  }
}

TEST_F(KoAccessibility, TheDefaultActionClicksOnlyWhereAPointerCould)
{
  const struct {
    const char* what;
    std::function<void(KoButton*)> prepare;
    bool clicks;
  } cases[] = {
      {"enabled and shown", [](KoButton*) {}, true},
      {"disabled", [](KoButton* b) { b->SetEnabled(false); }, false},
      {"hidden", [](KoButton* b) { b->SetVisible(false); }, false},
      {"on a hidden form", [this](KoButton*) { Form->Hide(); }, false},
  };
  for (const auto& c : cases) {
    Form->Show();
    auto* button = AddButton("b", 10, 10);
    Log.Clear();
    Log.WatchMouse(button);
    c.prepare(button);
    const TAccessibleProbe probe(button->GetHandle());
    EXPECT_EQ(SUCCEEDED(probe.DoDefaultAction()), c.clicks) << c.what;
    // A program's BM_CLICK is held to the same rules.
    SendMessageA(button->GetHandle(), BM_CLICK, 0, 0);
    PumpPending();
    EXPECT_EQ(Log.Entries, std::vector<std::string>(c.clicks ? 2 : 0, "click b")) << c.what;
    delete button;
  }
}

TEST_F(KoAccessibility, ANewCaptionIsAnnouncedAndAGoneButtonAnswersDisconnected)
{
  auto* button = AddButton<KoButtonTx>("b", 10, 10);
  button->SetText("OK");
  const HWND window = button->GetHandle();
  TAccessibleProbe probe(window);
  ASSERT_TRUE(probe);
  {
    TWinEventRecorder names(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, GetCurrentProcessId());
    ASSERT_TRUE(names.Hooked());
    button->SetText("Yes");
    PumpPending();
    EXPECT_EQ(names.Of(EVENT_OBJECT_NAMECHANGE),
              (std::vector<TWinEventRecorder::TEvent>{{EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF}}));
  }
  EXPECT_EQ(probe.Name(), "Yes");
  delete button;
  VARIANT self{};
  self.vt = VT_I4;
  BSTR name = nullptr;
  EXPECT_EQ(probe.Get()->get_accName(self, &name), CO_E_OBJNOTCONNECTED);
}
