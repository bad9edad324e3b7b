// The bar: where the indicator is placed and drawn, drags through real messages and through the display's
// own pointer, the order and the adjusted values of the drag's events, and its properties in text.
#include "KoFixture.h"

#include "KoBar.h"

#include "ComponentPalette.h"
#include "ComponentText.h"
#include "Published.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// A form whose methods the bar's events name in text.
class TKoBarDialog : public TForm {
public:
  explicit TKoBarDialog(TComponent* owner) : TForm(owner) {}
  void BarScroll(TObject*, int&, bool) {}
  void BarIndicate(TObject*, int&) {}
  void BarStart(TObject*) {}
};

namespace {

const auto kBarDialogTable = PublishClass<TKoBarDialog>()
                                 .Method("BarScroll", &TKoBarDialog::BarScroll)
                                 .Method("BarIndicate", &TKoBarDialog::BarIndicate)
                                 .Method("BarStart", &TKoBarDialog::BarStart);

constexpr TColor kTrack = kLookColors[lkRaised];
constexpr TColor kTrackHot = kLookColors[lkFocused];
constexpr TColor kKnob = 0x2020C8;

// Records the drag's events beside the framework's, and lets a step adjust the values they carry.
struct TBarLog : TEventLog {
  std::function<void(int&)> AdjustScroll;
  std::function<void(int&)> AdjustIndicate;

  void Start(TObject* sender) { Entries.push_back("start " + NameOf(sender)); }
  void End(TObject* sender) { Entries.push_back("end " + NameOf(sender)); }
  void Scroll(TObject*, int& disp, bool direction)
  {
    Entries.push_back("scroll " + std::to_string(disp) + (direction ? " on" : " back"));
    if (AdjustScroll)
      AdjustScroll(disp);
  }
  void Indicate(TObject*, int& disp)
  {
    Entries.push_back("indicate " + std::to_string(disp));
    if (AdjustIndicate)
      AdjustIndicate(disp);
  }
  void Watch(KoBar* bar)
  {
    WatchMouse(bar);
    bar->OnMouseMove = TMouseMoveEvent(static_cast<TEventLog*>(this), &TEventLog::Move);
    bar->OnStartScroll = TNotifyEvent(this, &TBarLog::Start);
    bar->OnEndScroll = TNotifyEvent(this, &TBarLog::End);
    bar->OnScroll = TKoBarScrollEvent(this, &TBarLog::Scroll);
    bar->OnIndicate = TKoBarIndicateEvent(this, &TBarLog::Indicate);
  }
};

std::string Describe(const RECT& r)
{
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

class KoBarDrag : public TKoFormTest {
protected:
  // A bar of `width` x `height` (normal and focused pictures) on the form with an indicator of
  // knobWidth x knobHeight centred on `origin`.
  KoBar* AddBar(TScrollBarKind kind, int left, int top, int width, int height, int knobWidth, int knobHeight,
                TPoint origin, int length = 20)
  {
    auto* bar = new KoBar(Form);
    bar->SetName("bar");
    bar->SetParent(Form);
    bar->SetBounds(left, top, width, height);
    TBitmap picture;
    MakePicture(picture, width, height, kTrack);
    bar->GetAppearance()->SetNormalBmp(&picture);
    MakePicture(picture, width, height, kTrackHot);
    bar->GetAppearance()->SetFocusedBmp(&picture);
    MakePicture(picture, knobWidth, knobHeight, kKnob);
    bar->SetIndicator(&picture);
    bar->SetKind(kind);
    bar->SetLength(length);
    bar->GetOrigin()->SetX(origin.x);
    bar->GetOrigin()->SetY(origin.y);
    bar->HandleNeeded();
    return bar;
  }

  static TRect Knob(KoBar* bar) { return bar->IndicatorImage()->GetBoundsRect(); }
  static std::string KnobOnScreen(KoBar* bar) { return Describe(PixelsOf(bar).BoundsOf(static_cast<COLORREF>(kKnob))); }

  static void Move(KoBar* bar, int x, int y, WPARAM keys = MK_LBUTTON)
  {
    SendMessageA(bar->GetHandle(), WM_MOUSEMOVE, keys, At(x, y));
  }

  struct TStep {
    const char* what;
    std::function<void()> act;
    int pos;
    std::vector<std::string> entries;
  };
  void Run(KoBar* bar, const std::vector<TStep>& steps)
  {
    for (const TStep& step : steps) {
      Events.Clear();
      step.act();
      EXPECT_EQ(bar->GetScrollPos(), step.pos) << step.what;
      EXPECT_EQ(Events.Entries, step.entries) << step.what;
    }
  }

  TBarLog Events;
};

} // namespace

TEST_F(KoBarDrag, TheIndicatorIsCentredOnTheOriginAndMovedAlongItsAxisByThePosition)
{
  const struct {
    TScrollBarKind kind;
    TPoint origin;
    int knobWidth, knobHeight;
    int pos;
    TRect expected;
  } cases[] = {
      {sbHorizontal, {10, 5}, 8, 6, 0, {6, 2, 14, 8}},
      {sbHorizontal, {10, 5}, 8, 6, 20, {26, 2, 34, 8}},
      {sbVertical, {10, 5}, 8, 6, 20, {6, 22, 14, 28}},
      {sbHorizontal, {10, 5}, 7, 5, 3, {10, 3, 17, 8}},  // halves rounded down
      {sbHorizontal, {10, 5}, 8, 6, 50, {56, 2, 64, 8}}, // beyond Length: kept as set
      {sbHorizontal, {10, 5}, 8, 6, -4, {2, 2, 10, 8}},  // below 0: kept as set
      {sbVertical, {30, 40}, 9, 9, -10, {26, 26, 35, 35}},
  };
  for (const auto& c : cases) {
    KoBar* bar = AddBar(c.kind, 20, 20, 120, 60, c.knobWidth, c.knobHeight, c.origin);
    Form->Show();
    Events.Watch(bar);
    bar->SetScrollPos(c.pos);
    const std::string what = Describe(c.expected);
    EXPECT_EQ(Describe(Knob(bar)), what);
    EXPECT_EQ(Events.Entries, (std::vector<std::string>{"indicate " + std::to_string(
                                                            c.kind == sbVertical ? c.expected.top : c.expected.left)}))
        << what << ": a program's position raises no OnScroll";
    RECT visible{};
    const RECT knob{c.expected.left, c.expected.top, c.expected.right, c.expected.bottom};
    const RECT client{0, 0, 120, 60};
    IntersectRect(&visible, &knob, &client);
    EXPECT_EQ(KnobOnScreen(bar), Describe(visible)) << what;
    delete bar;
    Events.Clear();
  }
}

TEST_F(KoBarDrag, EveryPlacementFollowsTheOriginTheIndicatorsSizeAndTheAxis)
{
  KoBar* bar = AddBar(sbHorizontal, 20, 20, 120, 60, 8, 6, {10, 5});
  Form->Show();
  bar->SetScrollPos(20);
  Events.Watch(bar);
  TBitmap bigger;
  MakePicture(bigger, 12, 10, kKnob);
  const struct {
    const char* what;
    std::function<void()> act;
    TRect knob;
  } steps[] = {
      {"a larger indicator: centred on the same place", [&] { bar->SetIndicator(&bigger); }, {24, 0, 36, 10}},
      {"Origin.X", [&] { bar->GetOrigin()->SetX(40); }, {54, 0, 66, 10}},
      {"Origin.Y", [&] { bar->GetOrigin()->SetY(20); }, {54, 15, 66, 25}},
      {"vertical", [&] { bar->SetKind(sbVertical); }, {34, 35, 46, 45}},
      {"Length moves nothing", [&] { bar->SetLength(5); }, {34, 35, 46, 45}},
      {"an origin copied in", [&] { bar->SetOrigin(bar->GetOrigin()); }, {34, 35, 46, 45}},
  };
  for (const auto& step : steps) {
    Events.Clear();
    step.act();
    EXPECT_EQ(Describe(Knob(bar)), Describe(step.knob)) << step.what;
    EXPECT_EQ(Events.Entries.size(), 1u) << step.what << ": one placement";
    EXPECT_EQ(KnobOnScreen(bar), Describe(step.knob)) << step.what;
  }
  EXPECT_THROW(bar->GetOrigin()->Assign(bar->GetAppearance()), EInvalidCast);
  EXPECT_THROW(bar->SetOrigin(nullptr), EConvertError);
  EXPECT_EQ(bar->GetOrigin()->GetX(), 40);
}

TEST_F(KoBarDrag, OnIndicateDecidesWhereTheIndicatorIsDrawn)
{
  KoBar* bar = AddBar(sbHorizontal, 20, 20, 200, 20, 10, 10, {10, 10}, 150);
  Form->Show();
  Events.Watch(bar);
  const struct {
    const char* what;
    std::function<void(int&)> adjust;
    int pos;
    int left;
  } cases[] = {
      {"left alone", nullptr, 37, 42},
      {"snapped to tens", [](int& d) { d = d / 10 * 10; }, 37, 40},
      {"moved 30 further", [](int& d) { d += 30; }, 37, 72},
      {"held at the start", [](int& d) { d = 0; }, 120, 0},
  };
  for (const auto& c : cases) {
    Events.AdjustIndicate = c.adjust;
    bar->SetScrollPos(c.pos);
    EXPECT_EQ(bar->GetScrollPos(), c.pos) << c.what << ": the position is not changed";
    EXPECT_EQ(KnobOnScreen(bar), Describe(RECT{c.left, 5, c.left + 10, 15})) << c.what;
  }
}

TEST_F(KoBarDrag, ADragReportsItsStepsClampedToTheLengthInOrder)
{
  // Pressed on the indicator, whose input the bar takes in its own coordinates, or on the bar itself.
  for (const int pressX : {10, 100}) {
    KoBar* bar = AddBar(sbHorizontal, 20, 20, 200, 20, 8, 8, {10, 10});
    Events.Watch(bar);
    Form->Show();
    const std::string at = std::to_string(pressX);
    const auto x = [&](int dx) { return std::to_string(pressX + dx); };
    Run(bar, {
                 {"press", [&] { ButtonDown(bar, pressX, 10); }, 0, {"start bar", "down bar L " + at + ",10"}},
                 {"30 right: held at the end", [&] { Move(bar, pressX + 30, 10); }, 20,
                  {"scroll 20 on", "indicate 26", "move bar " + x(30) + ",10"}},
                 {"5 back: at once", [&] { Move(bar, pressX + 25, 10); }, 15,
                  {"scroll 15 back", "indicate 21", "move bar " + x(25) + ",10"}},
                 {"not moving: still a step", [&] { Move(bar, pressX + 25, 10); }, 15,
                  {"scroll 15 on", "indicate 21", "move bar " + x(25) + ",10"}},
                 {"across the bar, only y", [&] { Move(bar, pressX + 25, 40); }, 15,
                  {"scroll 15 on", "indicate 21", "move bar " + x(25) + ",40"}},
                 {"far back: held at 0", [&] { Move(bar, pressX - 100, 10); }, 0,
                  {"scroll 0 back", "indicate 6", "move bar " + x(-100) + ",10"}},
                 // Released inside the bar after a press on the bar itself: the framework's click too.
                 {"release", [&] { ButtonUp(bar, pressX - 100, 10); }, 0,
                  pressX == 10 ? std::vector<std::string>{"end bar", "up bar L -90,10"}
                               : std::vector<std::string>{"end bar", "up bar L 0,10", "click bar"}},
                 {"moves after the release", [&] { Move(bar, pressX, 10, 0); }, 0, {"move bar " + at + ",10"}},
             });
    EXPECT_EQ(KnobOnScreen(bar), "6,6,14,14");
    delete bar;
  }
}

TEST_F(KoBarDrag, AVerticalBarFollowsThePointersY)
{
  KoBar* bar = AddBar(sbVertical, 20, 20, 20, 150, 12, 6, {10, 10}, 100);
  Events.Watch(bar);
  Form->Show();
  Run(bar, {
               {"press", [&] { ButtonDown(bar, 10, 10); }, 0, {"start bar", "down bar L 10,10"}},
               {"40 down, 30 right", [&] { Move(bar, 40, 50); }, 40, {"scroll 40 on", "indicate 47", "move bar 40,50"}},
               {"30 right only", [&] { Move(bar, 70, 50); }, 40, {"scroll 40 on", "indicate 47", "move bar 70,50"}},
               {"release", [&] { ButtonUp(bar, 70, 50); }, 40, {"end bar", "up bar L 70,50"}},
           });
  EXPECT_EQ(KnobOnScreen(bar), "4,47,16,53");
}

TEST_F(KoBarDrag, OnScrollMaySnapThePositionBeyondTheLength)
{
  KoBar* bar = AddBar(sbHorizontal, 20, 20, 200, 20, 8, 8, {10, 10}, 22);
  Events.Watch(bar);
  Events.AdjustScroll = [](int& d) { d = (d + 4) / 5 * 5; };
  Form->Show();
  Run(bar, {
               {"press", [&] { ButtonDown(bar, 10, 10); }, 0, {"start bar", "down bar L 10,10"}},
               {"7 right: 10", [&] { Move(bar, 17, 10); }, 10, {"scroll 7 on", "indicate 16", "move bar 17,10"}},
               {"3 more: 13 becomes 15", [&] { Move(bar, 20, 10); }, 15,
                {"scroll 13 on", "indicate 21", "move bar 20,10"}},
               {"20 more: 22 becomes 25, beyond the length", [&] { Move(bar, 40, 10); }, 25,
                {"scroll 22 on", "indicate 31", "move bar 40,10"}},
               {"1 back: the length, 22, is below the old 25", [&] { Move(bar, 39, 10); }, 25,
                {"scroll 22 back", "indicate 31", "move bar 39,10"}},
               {"release", [&] { ButtonUp(bar, 39, 10); }, 25, {"end bar", "up bar L 39,10"}},
           });
}

TEST_F(KoBarDrag, AnyButtonsReleaseEndsTheDragAndOnlyTheLeftButtonStartsOne)
{
  KoBar* bar = AddBar(sbHorizontal, 20, 20, 200, 20, 8, 8, {10, 10});
  Events.Watch(bar);
  Form->Show();
  const HWND window = bar->GetHandle();
  Run(bar, {
               {"right press: no drag", [&] { SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, At(10, 10)); }, 0,
                {"down bar R 10,10"}},
               {"moving with it", [&] { Move(bar, 20, 10, MK_RBUTTON); }, 0, {"move bar 20,10"}},
               {"right release", [&] { SendMessageA(window, WM_RBUTTONUP, 0, At(20, 10)); }, 0, {"up bar R 20,10"}},
               {"left press", [&] { ButtonDown(bar, 10, 10); }, 0, {"start bar", "down bar L 10,10"}},
               {"a step", [&] { Move(bar, 15, 10); }, 5, {"scroll 5 on", "indicate 11", "move bar 15,10"}},
               {"right release during the left drag",
                [&] { SendMessageA(window, WM_RBUTTONUP, MK_LBUTTON, At(15, 10)); }, 5, {"end bar", "up bar R 15,10"}},
               {"the left button still held: no step", [&] { Move(bar, 30, 10); }, 5, {"move bar 30,10"}},
               {"left release: no second end", [&] { ButtonUp(bar, 30, 10); }, 5, {"up bar L 30,10"}},
           });
  EXPECT_FALSE(bar->IsDraging());
}

TEST_F(KoBarDrag, APressOutsideTheBarsActiveAreaStartsNoDragEvenOnTheIndicator)
{
  auto* bar = new KoBar(Form);
  bar->SetName("bar");
  bar->SetParent(Form);
  TBitmap picture;
  MakePicture(picture, 100, 20, kTrack, 10);  // the first ten columns are the key colour
  bar->GetAppearance()->SetNormalBmp(&picture);
  bar->SetTransparentColor(kKeyColor);
  bar->SetTransparent(true);
  MakePicture(picture, 8, 8, kKnob);
  bar->SetIndicator(&picture);
  bar->GetOrigin()->SetX(8);
  bar->GetOrigin()->SetY(10);
  bar->SetBounds(20, 20, 100, 20);
  Events.Watch(bar);
  Form->Show();
  ASSERT_EQ(Describe(Knob(bar)), "4,6,12,14");
  Run(bar, {
               {"on the indicator, outside the area", [&] { ButtonDown(bar, 6, 10); }, 0, {"down bar L 6,10"}},
               {"moving", [&] { Move(bar, 30, 10); }, 0, {"move bar 30,10"}},
               {"release", [&] { ButtonUp(bar, 30, 10); }, 0, {"up bar L 30,10"}},
               {"on the indicator, inside", [&] { ButtonDown(bar, 11, 10); }, 0, {"start bar", "down bar L 11,10"}},
               {"a step", [&] { Move(bar, 20, 10); }, 9, {"scroll 9 on", "indicate 13", "move bar 20,10"}},
               {"release", [&] { ButtonUp(bar, 20, 10); }, 9, {"end bar", "up bar L 20,10"}},
           });
}

TEST_F(KoBarDrag, ANegativeLengthHoldsEveryStepAtZero)
{
  KoBar* bar = AddBar(sbHorizontal, 20, 20, 200, 20, 8, 8, {10, 10}, -5);
  bar->SetScrollPos(12);
  Events.Watch(bar);
  Form->Show();
  Run(bar, {
               {"press", [&] { ButtonDown(bar, 18, 10); }, 12, {"start bar", "down bar L 18,10"}},
               {"further on", [&] { Move(bar, 30, 10); }, 0, {"scroll 0 back", "indicate 6", "move bar 30,10"}},
               {"back", [&] { Move(bar, 10, 10); }, 0, {"scroll 0 on", "indicate 6", "move bar 10,10"}},
               {"release", [&] { ButtonUp(bar, 10, 10); }, 0, {"end bar", "up bar L 10,10"}},
           });
}

TEST_F(KoBarDrag, ADragWhoseReleaseWentElsewhereEndsAtTheNextMessage)
{
  KoBar* bar = AddBar(sbHorizontal, 20, 20, 200, 20, 8, 8, {10, 10});
  Events.Watch(bar);
  Form->Show();
  const struct {
    const char* what;
    std::function<void()> loseCapture;
  } cases[] = {
      {"the capture taken away", [] { ReleaseCapture(); }},
      {"disabled and enabled again", [&] {
         bar->SetEnabled(false);
         bar->SetEnabled(true);
       }},
      {"another window takes the capture", [&] { SetCapture(Other->GetHandle()); ReleaseCapture(); }},
  };
  for (const auto& c : cases) {
    bar->SetScrollPos(0);
    ButtonDown(bar, 10, 10);
    Move(bar, 14, 10);
    ASSERT_EQ(bar->GetScrollPos(), 4) << c.what;
    c.loseCapture();
    Events.Clear();
    Move(bar, 30, 10, 0);
    EXPECT_EQ(Events.Entries, (std::vector<std::string>{"end bar", "move bar 30,10"})) << c.what;
    EXPECT_EQ(bar->GetScrollPos(), 4) << c.what << ": no step without the button";
    EXPECT_FALSE(bar->IsDraging()) << c.what;
  }
  // Lost, then pressed again: the old drag ends before the new one starts.
  ButtonDown(bar, 10, 10);
  ReleaseCapture();
  Events.Clear();
  ButtonDown(bar, 12, 10);
  EXPECT_EQ(Events.Entries, (std::vector<std::string>{"end bar", "start bar", "down bar L 12,10"}));
  ButtonUp(bar, 12, 10);
}

TEST_F(KoBarDrag, TheDisplaysOwnPointerDragsTheIndicatorAcrossTheBar)
{
  KoBar* bar = AddBar(sbHorizontal, 20, 80, 200, 20, 10, 16, {10, 10}, 150);
  Events.Watch(bar);
  ShowActive();
  const TPoint start = bar->ClientToScreen(Point(10, 10));
  const auto pointer = [&](int dx) {
    return RunXdotool({"mousemove", std::to_string(start.x + dx), std::to_string(start.y)});
  };
  ASSERT_TRUE(pointer(0));
  ASSERT_TRUE(PumpUntil([&] { return bar->MouseInside(); }));
  Events.Clear();
  ASSERT_TRUE(RunXdotool({"mousedown", "1"}));
  ASSERT_TRUE(PumpUntil([&] { return bar->IsDraging(); }));
  const struct {
    int dx;
    int pos;
  } steps[] = {{40, 40}, {200, 150}, {190, 140}, {-30, 0}, {60, 90}};
  for (const auto& step : steps) {
    ASSERT_TRUE(pointer(step.dx));
    EXPECT_TRUE(PumpUntil([&] { return bar->GetScrollPos() == step.pos; })) << step.dx << ": " << bar->GetScrollPos();
    EXPECT_EQ(KnobOnScreen(bar), Describe(RECT{5 + step.pos, 2, 15 + step.pos, 18})) << step.dx;
  }
  ASSERT_TRUE(RunXdotool({"mouseup", "1"}));
  EXPECT_TRUE(PumpUntil([&] { return !bar->IsDraging(); }));
  ASSERT_GE(Events.Entries.size(), 4u);
  EXPECT_EQ(Events.Entries[0], "start bar");
  EXPECT_EQ(Events.Entries[1], "down bar L 10,10");
  EXPECT_NE(std::find(Events.Entries.begin(), Events.Entries.end(), "end bar"), Events.Entries.end());
  EXPECT_EQ(bar->GetScrollPos(), 90);
}

namespace {

// Frees the bar from one of its events.
struct TBarFreer {
  KoBar* Bar = nullptr;
  void Free(TObject*) { delete Bar; }
  void FreeScroll(TObject*, int&, bool) { delete Bar; }
  void FreeIndicate(TObject*, int&) { delete Bar; }
};

} // namespace

TEST_F(KoBarDrag, AHandlerThatFreesTheBarEndsTheMessagePath)
{
  const struct {
    const char* event;
    std::function<void(KoBar*, TBarFreer*)> wire;
    std::function<void(KoBar*)> act;
  } cases[] = {
      {"OnStartScroll", [](KoBar* b, TBarFreer* f) { b->OnStartScroll = TNotifyEvent(f, &TBarFreer::Free); },
       [](KoBar* b) { ButtonDown(b, 10, 10); }},
      {"OnScroll", [](KoBar* b, TBarFreer* f) { b->OnScroll = TKoBarScrollEvent(f, &TBarFreer::FreeScroll); },
       [](KoBar* b) {
         ButtonDown(b, 100, 10);
         Move(b, 105, 10);
       }},
      {"OnIndicate of a step",
       [](KoBar* b, TBarFreer* f) {
         ButtonDown(b, 10, 10);
         b->OnIndicate = TKoBarIndicateEvent(f, &TBarFreer::FreeIndicate);
       },
       [](KoBar* b) { Move(b, 15, 10); }},
      {"OnEndScroll", [](KoBar* b, TBarFreer* f) { b->OnEndScroll = TNotifyEvent(f, &TBarFreer::Free); },
       [](KoBar* b) {
         ButtonDown(b, 10, 10);
         ButtonUp(b, 10, 10);
       }},
  };
  Form->Show();
  const int before = Form->ControlCount();
  for (const auto& c : cases) {
    KoBar* bar = AddBar(sbHorizontal, 20, 20, 200, 20, 8, 8, {10, 10});
    TBarFreer freer{bar};
    c.wire(bar, &freer);
    c.act(bar);
    EXPECT_TRUE(PumpUntil([&] { return Form->ControlCount() == before; })) << c.event;
  }
}

TEST_F(KoBarDrag, BarsReadBackFromTheirTextLengthZeroIncluded)
{
  KoBar::Register();
  EXPECT_EQ(PalettePageOf("KoBar"), "KoComponents");
  const TPublishedClass* table = FindPublishedClass("KoBar");
  ASSERT_NE(table, nullptr);
  KoBar fresh(nullptr);
  for (const char* name : {"Length", "ScrollPos", "Kind", "ShowMouseOver", "Transparent"})
    EXPECT_TRUE(table->FindProperty(name)->IsDefault(&fresh)) << name;
  EXPECT_EQ(table->FindProperty("Indicator")->Kind(), TPropertyKind::Picture);
  EXPECT_NE(table->FindProperty("OnDblClick"), nullptr);
  EXPECT_NE(table->FindProperty("Appearance"), nullptr);

  const struct {
    const char* what;
    std::function<void(KoBar*, TKoBarDialog*)> set;
    std::vector<std::string> lines;
  } cases[] = {
      {"fresh", [](KoBar*, TKoBarDialog*) {}, {}},
      {"length 0", [](KoBar* b, TKoBarDialog*) { b->SetLength(0); }, {"Length = 0"}},
      {"vertical, placed", [](KoBar* b, TKoBarDialog*) {
         b->SetKind(sbVertical);
         b->SetLength(140);
         b->SetScrollPos(-3);
         b->GetOrigin()->SetX(7);
         b->GetOrigin()->SetY(9);
       },
       {"Kind = sbVertical", "Length = 140", "ScrollPos = -3", "Origin.X = 7", "Origin.Y = 9"}},
      {"events", [](KoBar* b, TKoBarDialog* d) {
         b->OnScroll = TKoBarScrollEvent(d, &TKoBarDialog::BarScroll);
         b->OnIndicate = TKoBarIndicateEvent(d, &TKoBarDialog::BarIndicate);
         b->OnStartScroll = TNotifyEvent(d, &TKoBarDialog::BarStart);
       },
       {"OnStartScroll = BarStart", "OnScroll = BarScroll", "OnIndicate = BarIndicate"}},
  };
  for (const auto& c : cases) {
    auto* dialog = new TKoBarDialog(App.Get());
    dialog->SetName("Dialog");
    auto* bar = new KoBar(dialog);
    bar->SetName("Bar");
    bar->SetParent(dialog);
    c.set(bar, dialog);
    const std::string text = WriteComponentText(dialog);
    for (const std::string& line : c.lines)
      EXPECT_NE(text.find(line), std::string::npos) << c.what << ": " << line << " missing from\n" << text;
    for (const char* absent : {"Indicator", "Bmp", "OnEndScroll"})
      EXPECT_EQ(text.find(absent), std::string::npos) << c.what << ": " << absent << " written in\n" << text;
    if (c.lines.empty()) {
      EXPECT_EQ(text.find("Length"), std::string::npos) << "the constructor's 20 is the default";
    }

    auto* copyForm = new TKoBarDialog(App.Get());
    copyForm->SetName("Dialog");
    ReadComponentText(copyForm, text);
    EXPECT_EQ(WriteComponentText(copyForm), text) << c.what;
    auto* copy = dynamic_cast<KoBar*>(copyForm->FindComponent("Bar"));
    ASSERT_NE(copy, nullptr) << c.what;
    EXPECT_EQ(copy->GetLength(), bar->GetLength()) << c.what;
    EXPECT_EQ(copy->GetScrollPos(), bar->GetScrollPos()) << c.what;
    EXPECT_EQ(Describe(Knob(copy)), Describe(Knob(bar))) << c.what;
    delete dialog;
    delete copyForm;
  }
}

TEST_F(KoBarDrag, EachStepIsOnTheScreenAtOnceTheOldPlaceShowingTheBarAgain)
{
  KoBar* bar = AddBar(sbHorizontal, 20, 20, 120, 30, 8, 10, Point(10, 15), 40);
  Form->Show();
  PumpPending();
  ButtonDown(bar, 10, 15);
  for (int x = 11; x <= 16; ++x) {
    Move(bar, x, 15);
    // Whatever the system would still paint later is dropped: the pixels must already be there.
    ValidateRect(bar->GetHandle(), nullptr);
    const TClientPixels pixels(bar->GetHandle());
    EXPECT_EQ(Describe(pixels.BoundsOf(static_cast<COLORREF>(kKnob))), Describe(Knob(bar))) << x;
    EXPECT_EQ(pixels.Count(static_cast<COLORREF>(kKnob)), 8 * 10) << x << ": no trail behind";
  }
  ButtonUp(bar, 16, 15);
}
