#include "FormsFixture.h"

#include <map>
#include <string>
#include <vector>

namespace {

std::string Text(const TRect& r)
{
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

// A borderless form (client area = bounds) of 200 x 100 with aligned and anchored children, windowed
// (boxes) and graphic.
class Layout : public TWindowTest {
protected:
  void SetUp() override
  {
    Form = new TForm(App.Get());
    Form->SetName("form");
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(50, 50, 200, 100);
  }

  TControl* Graphic(const std::string& name, TRect bounds)
  {
    return new TSolidGraphic(Form, Form, name, bounds, clGreen);
  }
  TControl* Windowed(const std::string& name, TRect bounds)
  {
    auto* box = new TTestBox(Form, Form, name, bounds.left, bounds.top);
    box->SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    return box;
  }
  // The bounds of every named control, as the controls report them and, for windowed ones, as their
  // windows have them.
  std::map<std::string, std::string> Placed() const
  {
    std::map<std::string, std::string> placed;
    for (int i = 0; i < Form->ControlCount(); ++i) {
      TControl* control = Form->Controls(i);
      placed[control->Name()] = Text(control->GetBoundsRect());
      auto* windowed = dynamic_cast<TWinControl*>(control);
      if (windowed && windowed->HandleAllocated()) {
        RECT window{};
        GetWindowRect(windowed->GetHandle(), &window);
        MapWindowPoints(nullptr, Form->GetHandle(), reinterpret_cast<POINT*>(&window), 2);
        if (Text(window) != placed[control->Name()])
          placed[control->Name()] += " (window " + Text(window) + ")";
      }
    }
    return placed;
  }
  void ShowForm()
  {
    Form->Show();
    ASSERT_TRUE(PumpUntil([&] {
      for (int i = 0; i < Form->ControlCount(); ++i) {
        auto* windowed = dynamic_cast<TWinControl*>(Form->Controls(i));
        if (windowed && !windowed->HandleAllocated())
          return false;
      }
      return true;
    }));
  }

  TForm* Form = nullptr;
};

} // namespace

TEST_F(Layout, AlignedAndAnchoredChildrenFollowTheParentsClientArea)
{
  Graphic("top", Bounds(0, 0, 50, 10))->SetAlign(alTop);
  Windowed("bottom", Bounds(0, 0, 50, 20))->SetAlign(alBottom);
  TControl* left = Graphic("left", Bounds(0, 0, 30, 10));
  left->GetConstraints()->SetMaxHeight(50);
  left->SetAlign(alLeft);
  Windowed("right", Bounds(0, 0, 40, 10))->SetAlign(alRight);
  Graphic("client", Bounds(0, 0, 5, 5))->SetAlign(alClient);
  Graphic("corner", Bounds(150, 60, 20, 10))->SetAnchors({akRight, akBottom});
  Windowed("stretch", Bounds(50, 30, 100, 15))->SetAnchors({akLeft, akTop, akRight});
  Graphic("middle", Bounds(90, 40, 20, 20))->SetAnchors({});
  Graphic("fixed", Bounds(90, 40, 20, 20));
  ShowForm();

  struct TCase {
    int width;
    int height;
    std::map<std::string, std::string> expected;
  };
  const TCase cases[] = {
      {200, 100, {{"top", "0,0 200x10"}, {"bottom", "0,80 200x20"}, {"left", "0,10 30x50"},
                  {"right", "160,10 40x70"}, {"client", "30,10 130x70"}, {"corner", "150,60 20x10"},
                  {"stretch", "50,30 100x15"}, {"middle", "90,40 20x20"}, {"fixed", "90,40 20x20"}}},
      {300, 150, {{"top", "0,0 300x10"}, {"bottom", "0,130 300x20"}, {"left", "0,10 30x50"},
                  {"right", "260,10 40x120"}, {"client", "30,10 230x120"}, {"corner", "250,110 20x10"},
                  {"stretch", "50,30 200x15"}, {"middle", "140,65 20x20"}, {"fixed", "90,40 20x20"}}},
      {100, 60, {{"top", "0,0 100x10"}, {"bottom", "0,40 100x20"}, {"left", "0,10 30x30"},
                 {"right", "60,10 40x30"}, {"client", "30,10 30x30"}, {"corner", "50,20 20x10"},
                 {"stretch", "50,30 0x15"}, {"middle", "40,20 20x20"}, {"fixed", "90,40 20x20"}}},
      // Back where it started: nothing has drifted.
      {200, 100, {{"top", "0,0 200x10"}, {"bottom", "0,80 200x20"}, {"left", "0,10 30x50"},
                  {"right", "160,10 40x70"}, {"client", "30,10 130x70"}, {"corner", "150,60 20x10"},
                  {"stretch", "50,30 100x15"}, {"middle", "90,40 20x20"}, {"fixed", "90,40 20x20"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    Form->SetBounds(50, 50, c.width, c.height);
    EXPECT_EQ(Placed(), c.expected);
  }

  // The frame dragged by the system (a size change that does not come from SetBounds) lays out too.
  SetWindowPos(Form->GetHandle(), nullptr, 0, 0, 300, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(Placed()["right"], "260,10 40x120");
  EXPECT_EQ(Placed()["corner"], "250,110 20x10");
}

TEST_F(Layout, AlignedControlsTakeTheirEdgesInZOrderAndMakeRoomForEachOther)
{
  TControl* first = Graphic("first", Bounds(0, 0, 10, 10));
  TControl* second = Graphic("second", Bounds(0, 0, 10, 20));
  TControl* box = Windowed("box", Bounds(0, 0, 10, 30));
  TControl* rest = Graphic("rest", Bounds(0, 0, 1, 1));
  for (TControl* control : {first, second, box})
    control->SetAlign(alTop);
  rest->SetAlign(alClient);
  ShowForm();
  struct TCase {
    const char* name;
    std::function<void()> change;
    std::vector<std::string> expected; // first, second, box, rest
  };
  const TCase cases[] = {
      {"in order", [] {}, {"0,0 200x10", "0,10 200x20", "0,30 200x30", "0,60 200x40"}},
      {"brought to the front", [&] { first->BringToFront(); },
       {"0,20 200x10", "0,0 200x20", "0,30 200x30", "0,60 200x40"}},
      {"a new height", [&] { second->SetHeight(5); }, {"0,5 200x10", "0,0 200x5", "0,15 200x30", "0,45 200x55"}},
      {"an attempt to move it is undone", [&] { box->SetBounds(70, 70, 20, 30); },
       {"0,5 200x10", "0,0 200x5", "0,15 200x30", "0,45 200x55"}},
      {"hidden", [&] { second->Hide(); }, {"0,0 200x10", "0,0 200x5", "0,10 200x30", "0,40 200x60"}},
      {"shown", [&] { second->Show(); }, {"0,5 200x10", "0,0 200x5", "0,15 200x30", "0,45 200x55"}},
      {"no longer aligned", [&] { second->SetAlign(alNone); },
       {"0,0 200x10", "0,0 200x5", "0,10 200x30", "0,40 200x60"}},
      {"gone", [&] { delete box; box = nullptr; }, {"0,0 200x10", "0,0 200x5", "", "0,10 200x90"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.change();
    std::vector<std::string> actual;
    for (TControl* control : {first, second, box, rest})
      actual.push_back(control ? Text(control->GetBoundsRect()) : "");
    EXPECT_EQ(actual, c.expected);
  }
}

TEST_F(Layout, ScalingMovesAnchoredControlsOnceNotAgainForTheParentsNewSize)
{
  TControl* stretch = Graphic("stretch", Bounds(10, 10, 180, 20));
  stretch->SetAnchors({akLeft, akTop, akRight});
  TControl* corner = Windowed("corner", Bounds(150, 60, 40, 30));
  corner->SetAnchors({akRight, akBottom});
  Form->ScaleBy(2, 1);
  EXPECT_EQ(Text(Form->GetClientRect()), "0,0 400x200");
  EXPECT_EQ(Text(stretch->GetBoundsRect()), "20,20 360x40");
  EXPECT_EQ(Text(corner->GetBoundsRect()), "300,120 80x60");
  // And from the scaled state on, the anchors work as before.
  Form->SetBounds(50, 50, 500, 200);
  EXPECT_EQ(Text(stretch->GetBoundsRect()), "20,20 460x40");
  EXPECT_EQ(Text(corner->GetBoundsRect()), "400,120 80x60");
}

TEST_F(Layout, ConstraintsLimitEverySizeChange)
{
  struct TCase {
    const char* name;
    int minWidth, minHeight, maxWidth, maxHeight;
    TRect requested;
    std::string expected;
  };
  const TCase cases[] = {
      {"none", 0, 0, 0, 0, Bounds(1, 2, 3, 4), "1,2 3x4"},
      {"too small", 20, 10, 0, 0, Bounds(1, 2, 3, 4), "1,2 20x10"},
      {"too large", 0, 0, 50, 40, Bounds(1, 2, 300, 400), "1,2 50x40"},
      {"inside", 20, 10, 50, 40, Bounds(1, 2, 30, 30), "1,2 30x30"},
      {"one side only", 0, 10, 0, 0, Bounds(1, 2, 3, 4), "1,2 3x10"},
  };
  for (const char* kind : {"graphic", "windowed"}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(kind) + ": " + c.name);
      TControl* control = std::string(kind) == "graphic" ? Graphic("c", Bounds(0, 0, 25, 25))
                                                          : Windowed("c", Bounds(0, 0, 25, 25));
      control->GetConstraints()->SetMinWidth(c.minWidth);
      control->GetConstraints()->SetMinHeight(c.minHeight);
      control->GetConstraints()->SetMaxWidth(c.maxWidth);
      control->GetConstraints()->SetMaxHeight(c.maxHeight);
      control->SetBoundsRect(c.requested);
      EXPECT_EQ(Text(control->GetBoundsRect()), c.expected);
      delete control;
    }
  }
}

TEST_F(Layout, NewConstraintsApplyAtOnceAndNeverContradictEachOther)
{
  TControl* control = Windowed("c", Bounds(0, 0, 25, 25));
  ShowForm();
  TSizeConstraints* limits = control->GetConstraints();
  limits->SetMinWidth(40);
  limits->SetMaxHeight(10);
  EXPECT_EQ(Text(control->GetBoundsRect()), "0,0 40x10");
  // A minimum above the maximum moves the maximum, and the other way round.
  limits->SetMaxWidth(60);
  limits->SetMinWidth(80);
  EXPECT_EQ(limits->GetMaxWidth(), 80);
  limits->SetMaxWidth(30);
  EXPECT_EQ(limits->GetMinWidth(), 30);
  EXPECT_EQ(Text(control->GetBoundsRect()), "0,0 30x10");
  EXPECT_THROW(limits->SetMinHeight(-1), ERangeError);
  EXPECT_EQ(limits->GetMinHeight(), 0);
}

TEST_F(Layout, ATopLevelFormsFrameCannotBeDraggedPastItsConstraints)
{
  Form->SetBorderStyle(bsSizeable);
  Form->GetConstraints()->SetMinWidth(150);
  Form->GetConstraints()->SetMinHeight(120);
  Form->GetConstraints()->SetMaxWidth(400);
  Form->GetConstraints()->SetMaxHeight(300);
  ShowForm();
  MINMAXINFO info{};
  info.ptMaxTrackSize = {2000, 2000};
  info.ptMaxSize = {2000, 2000};
  SendMessageA(Form->GetHandle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 150);
  EXPECT_EQ(info.ptMinTrackSize.y, 120);
  EXPECT_EQ(info.ptMaxTrackSize.x, 400);
  EXPECT_EQ(info.ptMaxTrackSize.y, 300);
  EXPECT_EQ(info.ptMaxSize.x, 400);

  // A size the system sets (as a dragged frame does) is limited too.
  SetWindowPos(Form->GetHandle(), nullptr, 0, 0, 20, 900, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT window{};
  GetWindowRect(Form->GetHandle(), &window);
  EXPECT_EQ(window.right - window.left, 150);
  EXPECT_EQ(window.bottom - window.top, 300);
  EXPECT_EQ(Form->GetWidth(), 150);
}
