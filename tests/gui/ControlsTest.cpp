#include "FormsFixture.h"

#include <algorithm>

namespace {

// A form with three focusable boxes side by side: a (0), b (1), c (2) in tab order.
class TBoxForm : public TForm {
public:
  explicit TBoxForm(TComponent* owner) : TForm(owner)
  {
    SetBorderStyle(bsNone);
    SetBounds(50, 50, 200, 100);
    A = new TTestBox(this, this, "a", 0, 0);
    B = new TTestBox(this, this, "b", 50, 0);
    C = new TTestBox(this, this, "c", 100, 0);
  }
  TTestBox* A;
  TTestBox* B;
  TTestBox* C;
};

class Controls : public TWindowTest {
protected:
  void SetUp() override
  {
    Form = new TBoxForm(App.Get());
    Form->SetName("form");
  }
  // Shows the form and waits until it is the active window.
  void ShowForm()
  {
    Form->Show();
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == Form->GetHandle(); }));
  }
  TBoxForm* Form = nullptr;
  TEventLog Log;
};

TEST_F(Controls, TabMovesTheFocusInTabOrderSkippingWhatCannotTakeIt)
{
  ShowForm();
  Log.WatchKeys(Form->A);
  Log.WatchKeys(Form->B);
  Log.WatchKeys(Form->C);
  Form->C->SetTabOrder(1); // a, c, b
  EXPECT_EQ(Form->B->GetTabOrder(), 2);

  Form->A->SetFocus();
  ASSERT_TRUE(Form->A->Focused());
  EXPECT_EQ(Form->GetActiveControl(), Form->A);
  Log.Clear();

  SendMessageA(Form->A->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_TRUE(Form->C->Focused());
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"exit a", "enter c"})) << "no key event for a Tab that moves";

  SetKeyHeld(VK_SHIFT, true);
  SendMessageA(Form->C->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
  SetKeyHeld(VK_SHIFT, false);
  EXPECT_TRUE(Form->A->Focused()) << "Shift+Tab goes back";

  // b loses its tab stop, c is disabled: from a, Tab wraps round to a itself, so the focus stays.
  Form->B->SetTabStop(false);
  Form->C->SetEnabled(false);
  SendMessageA(Form->A->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_TRUE(Form->A->Focused());
  Form->B->SetTabStop(true);
  Form->B->SetVisible(false);
  SendMessageA(Form->A->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_TRUE(Form->A->Focused()) << "an invisible control takes no focus";
  Form->B->SetVisible(true);
  SendMessageA(Form->A->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_TRUE(Form->B->Focused());

  EXPECT_THROW(Form->C->SetFocus(), EInvalidOperation);
  EXPECT_FALSE(Form->C->CanFocus());
}

TEST_F(Controls, ActivatingTheFormFocusesTheFirstTabStop)
{
  Form->A->SetTabStop(false);
  ShowForm();
  EXPECT_TRUE(PumpUntil([&] { return Form->B->Focused(); }));
  EXPECT_EQ(Form->GetActiveControl(), Form->B);
}

TEST_F(Controls, KeyboardMessagesRaiseKeyEventsAndAHandlerCanSwallowThem)
{
  ShowForm();
  Log.WatchKeys(Form->A);
  Form->A->SetFocus();
  Log.Clear();
  const HWND box = Form->A->GetHandle();
  SendMessageA(box, WM_KEYDOWN, 'A', 0);
  SendMessageA(box, WM_CHAR, 'a', 0);
  SendMessageA(box, WM_KEYUP, 'A', 0);
  SetKeyHeld(VK_CONTROL, true);
  SendMessageA(box, WM_KEYDOWN, VK_SPACE, 0);
  SetKeyHeld(VK_CONTROL, false);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"keydown a 65", "keypress a a", "keyup a 65", "keydown a 32 ctrl"}));

  // The Tab character of a focus move is not delivered; a control that wants Tab gets it as a key.
  Log.Clear();
  SendMessageA(box, WM_CHAR, '\t', 0);
  EXPECT_TRUE(Log.Entries.empty());
  struct TTabWanter : TTestBox {
    using TTestBox::TTestBox;
    void WndProc(TMessage& message) override
    {
      if (message.Msg == WM_GETDLGCODE) {
        message.Result = DLGC_WANTTAB;
        return;
      }
      TTestBox::WndProc(message);
    }
  };
  auto* wanter = new TTabWanter(Form, Form, "w", 150, 50);
  Log.WatchKeys(wanter);
  wanter->SetFocus();
  Log.Clear();
  SendMessageA(wanter->GetHandle(), WM_KEYDOWN, VK_TAB, 0);
  SendMessageA(wanter->GetHandle(), WM_CHAR, '\t', 0);
  EXPECT_TRUE(wanter->Focused());
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"keydown w 9", "keypress w \t"}));
}

TEST_F(Controls, ThePressedControlCapturesTheMouseAndAReleaseInsideIsAClick)
{
  Log.WatchMouse(Form->A);
  const HWND box = Form->A->GetHandle();

  SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 6));
  EXPECT_EQ(GetCapture(), box);
  EXPECT_TRUE(Form->A->GetMouseCapture());
  SendMessageA(box, WM_LBUTTONUP, 0, At(7, 8));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down a L 5,6", "up a L 7,8", "click a"}));

  // Released outside: the mouse-up still comes, the click does not.
  Log.Clear();
  SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 6));
  SendMessageA(box, WM_LBUTTONUP, 0, At(-3, 50));
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down a L 5,6", "up a L -3,50"}));

  // A release without a press on the control, and the right button, never click.
  Log.Clear();
  SendMessageA(box, WM_LBUTTONUP, 0, At(5, 5));
  SendMessageA(box, WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
  EXPECT_EQ(GetCapture(), box);
  SendMessageA(box, WM_RBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"up a L 5,5", "down a R 5,5", "up a R 5,5"}));

  // Capture taken away while the button is held: no click comes of the press.
  Log.Clear();
  SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  SetCapture(Form->B->GetHandle());
  ReleaseCapture();
  SendMessageA(box, WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down a L 5,5", "up a L 5,5"}));
}

TEST_F(Controls, DoubleClicksOnlyWithTheStyleOtherwiseTwoClicks)
{
  Log.WatchMouse(Form->A);
  const HWND box = Form->A->GetHandle();
  EXPECT_TRUE(GetClassLongA(box, GCL_STYLE) & CS_DBLCLKS);
  auto doubleClick = [&] {
    ClickAt(box, 3, 4);
    SendMessageA(box, WM_LBUTTONDBLCLK, MK_LBUTTON, At(3, 4));
    SendMessageA(box, WM_LBUTTONUP, 0, At(3, 4));
  };
  ASSERT_TRUE(Form->A->GetControlStyle().Contains(csDoubleClicks));
  doubleClick();
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down a L 3,4", "up a L 3,4", "click a", "dblclick a",
                                                   "down a L 3,4 double", "up a L 3,4"}));

  Log.Clear();
  Form->A->SetControlStyle(Form->A->GetControlStyle() - TControlStyle{csDoubleClicks});
  doubleClick();
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down a L 3,4", "up a L 3,4", "click a", "down a L 3,4",
                                                   "up a L 3,4", "click a"}));
}

TEST_F(Controls, ADisabledControlGetsNoInputAndGivesUpTheFocus)
{
  ShowForm();
  Log.WatchMouse(Form->A);
  Log.WatchKeys(Form->A);
  Form->A->SetFocus();
  Log.Clear();

  Form->A->SetEnabled(false);
  const HWND box = Form->A->GetHandle();
  EXPECT_FALSE(IsWindowEnabled(box));
  EXPECT_FALSE(Form->A->Focused());
  EXPECT_EQ(GetFocus(), Form->GetHandle());
  ClickAt(box, 5, 5);
  SendMessageA(box, WM_KEYDOWN, 'A', 0);
  SendMessageA(box, WM_CHAR, 'a', 0);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"exit a"}));

  Form->A->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(box));
  ClickAt(box, 5, 5);
  EXPECT_EQ(Log.Entries.back(), "click a");
}

TEST_F(Controls, TheParentRoutesMouseInputToItsTopmostEnabledGraphicChild)
{
  auto* lower = new TSolidGraphic(Form, Form, "lower", Bounds(10, 40, 40, 40), clRed);
  auto* upper = new TSolidGraphic(Form, Form, "upper", Bounds(30, 60, 40, 40), clBlue);
  Log.WatchMouse(lower);
  Log.WatchMouse(upper);
  Log.WatchMouse(Form);
  const HWND form = Form->GetHandle();

  ClickAt(form, 35, 65); // both overlap here
  ClickAt(form, 15, 45); // lower only
  ClickAt(form, 150, 90); // no child
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down upper L 5,5", "up upper L 5,5", "click upper",
                                                   "down lower L 5,5", "up lower L 5,5", "click lower",
                                                   "down form L 150,90", "up form L 150,90", "click form"}));
  EXPECT_EQ(Form->ControlAtPos(Point(35, 65), false), upper);

  // The press captures the mouse for the child through the parent's window: a release far outside still
  // reaches it, in its own coordinates, and is no click.
  Log.Clear();
  SendMessageA(form, WM_LBUTTONDOWN, MK_LBUTTON, At(35, 65));
  EXPECT_EQ(GetCapture(), form);
  EXPECT_EQ(GetCaptureControl(), upper);
  SendMessageA(form, WM_LBUTTONUP, 0, At(150, 5));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down upper L 5,5", "up upper L 120,-55"}));

  // A disabled or invisible child lets the input through to what lies below it.
  Log.Clear();
  upper->SetEnabled(false);
  ClickAt(form, 35, 65);
  ClickAt(form, 65, 95); // upper only
  upper->SetEnabled(true);
  upper->SetVisible(false);
  ClickAt(form, 35, 65);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down lower L 25,25", "up lower L 25,25", "click lower",
                                                   "down form L 65,95", "up form L 65,95", "click form",
                                                   "down lower L 25,25", "up lower L 25,25", "click lower"}));
}

TEST_F(Controls, ACanvasHeldOutsidePaintingFollowsItsControlWhenItMoves)
{
  auto* graphic = new TSolidGraphic(Form, Form, "graphic", Bounds(10, 40, 40, 40), clRed);
  auto* box = new TTestBox(Form, Form, "box", 100, 10);
  Form->HandleNeeded();
  struct TCase {
    const char* what;
    TControl* control;
    TCanvas* canvas;
    // Where the canvas's origin lies in the window its DC draws on.
    bool ownWindow;
  };
  const TCase cases[] = {
      {"a graphic control, drawing on its parent's window", graphic, graphic->GetCanvas(), false},
      {"a windowed control", box, box->GetCanvas(), true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto expectDrawsOn = [&](TRect bounds) {
      HDC dc = c.canvas->GetHandle();
      POINT origin{};
      GetWindowOrgEx(dc, &origin);
      // The clipping the canvas set, in the window's coordinates.
      TRegionHandle clip(CreateRectRgn(0, 0, 0, 0));
      ASSERT_EQ(GetClipRgn(dc, clip.Get()), 1);
      RECT box{};
      GetRgnBox(clip.Get(), &box);
      const TRect expected = c.ownWindow ? Rect(0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top) : bounds;
      EXPECT_EQ(origin.x, -expected.left);
      EXPECT_EQ(origin.y, -expected.top);
      EXPECT_EQ(box, expected) << "clipped to the control";
    };
    expectDrawsOn(c.control->GetBoundsRect());
    c.control->SetBounds(c.control->GetLeft() + 50, c.control->GetTop() + 20, 30, 25);
    expectDrawsOn(c.control->GetBoundsRect());
    FreeDeviceContexts();
  }
}

TEST_F(Controls, GraphicChildrenPaintInZOrderAtTheirOwnOriginAndOpaqueOnesAreNotErased)
{
  Form->SetColor(clWhite);
  auto* lower = new TSolidGraphic(Form, Form, "lower", Bounds(10, 40, 40, 40), clRed);
  auto* upper = new TSolidGraphic(Form, Form, "upper", Bounds(30, 60, 40, 40), clBlue);
  Form->HandleNeeded();

  // Green where nothing paints.
  auto greenTarget = [](TBitmap& target) {
    target.SetPixelFormat(pf24bit);
    target.SetSize(200, 100);
    HDC dc = target.GetCanvas()->GetHandle();
    TBrushHandle green(CreateSolidBrush(RGB(0, 255, 0)));
    const RECT all{0, 0, 200, 100};
    FillRect(dc, &all, green.Get());
    return dc;
  };
  auto paint = [&](TColor* lowerPixel, TColor* overlapPixel, TColor* background) {
    TBitmap target;
    HDC dc = greenTarget(target);
    Form->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dc));
    Form->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    *lowerPixel = GetPixel(dc, 12, 42);
    *overlapPixel = GetPixel(dc, 35, 65);
    *background = GetPixel(dc, 150, 10);
  };
  TColor lowerPixel = 0, overlap = 0, background = 0;
  paint(&lowerPixel, &overlap, &background);
  EXPECT_EQ(lowerPixel, clRed);
  EXPECT_EQ(overlap, clBlue);
  EXPECT_EQ(background, clWhite);

  upper->BringToFront();
  lower->BringToFront();
  paint(&lowerPixel, &overlap, &background);
  EXPECT_EQ(overlap, clRed) << "the last in z-order paints on top";

  // An opaque child's area is left to the child: erasing skips it.
  struct TNothing : TGraphicControl {
    using TGraphicControl::TGraphicControl;
  };
  auto* hole = new TNothing(Form);
  hole->SetBoundsRect(Bounds(150, 70, 20, 20));
  hole->SetControlStyle(hole->GetControlStyle() + TControlStyle{csOpaque});
  hole->SetParent(Form);
  TBitmap target;
  HDC dc = greenTarget(target);
  Form->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dc));
  EXPECT_EQ(GetPixel(dc, 155, 75), static_cast<COLORREF>(RGB(0, 255, 0)));
  EXPECT_EQ(GetPixel(dc, 145, 75), static_cast<COLORREF>(clWhite));
}

TEST_F(Controls, ADoubleBufferedFormPaintsItsChildrenOnTheScreen)
{
  Form->SetColor(clWhite);
  Form->SetDoubleBuffered(true);
  new TSolidGraphic(Form, Form, "g", Bounds(150, 40, 30, 30), clBlue);
  Form->Show();
  Form->Repaint();
  TWindowDC dc(Form->GetHandle());
  EXPECT_TRUE(PumpUntil([&] { return GetPixel(dc.Get(), 160, 50) == static_cast<COLORREF>(clBlue); }));
  EXPECT_EQ(GetPixel(dc.Get(), 190, 90), static_cast<COLORREF>(clWhite));
}

// A helper in the way the program's shapers work: it hooks a control's window procedure, passes on what
// it does not keep, and takes its hook out again.
struct TPressSwallower {
  TControl* Control = nullptr;
  TWndMethod Next;
  int Swallowed = 0;
  void Hook(TControl* control)
  {
    Control = control;
    Next = control->WindowProc.Hook(TWndMethod(this, &TPressSwallower::Proc));
  }
  void Unhook() { Control->WindowProc.Unhook(TWndMethod(this, &TPressSwallower::Proc)); }
  void Proc(TMessage& message)
  {
    if (message.Msg == WM_LBUTTONDOWN) {
      ++Swallowed;
      message.Result = 0;
      return;
    }
    Next(message);
  }
};

TEST_F(Controls, TheWindowProcedureCanBeHookedAndPutBack)
{
  Log.WatchMouse(Form->A);
  const HWND box = Form->A->GetHandle();
  TPressSwallower hook;
  hook.Hook(Form->A);
  ClickAt(box, 5, 5);
  EXPECT_EQ(hook.Swallowed, 1);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"up a L 5,5"})) << "the rest still reaches the control";
  EXPECT_EQ(Form->A->Perform(WM_GETDLGCODE), 0) << "unhooked messages get the default handling";

  hook.Unhook();
  EXPECT_EQ(Form->A->WindowProc.HookCount(), 0);
  Log.Clear();
  ClickAt(box, 5, 5);
  EXPECT_EQ(hook.Swallowed, 1);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down a L 5,5", "up a L 5,5", "click a"}));
}

// Two helpers on one control, taken out in the order they were put in: neither loses the other.
TEST_F(Controls, HooksOfTwoHelpersSurviveBeingTakenOutOfOrder)
{
  struct TCounter {
    explicit TCounter(TControl* control) : Control(control) {}
    TControl* Control;
    TWndMethod Next;
    int Seen = 0;
    void Hook() { Next = Control->WindowProc.Hook(TWndMethod(this, &TCounter::Proc)); }
    void Unhook() { Control->WindowProc.Unhook(TWndMethod(this, &TCounter::Proc)); }
    void Proc(TMessage& message)
    {
      if (message.Msg == WM_LBUTTONDOWN)
        ++Seen;
      Next(message);
    }
  };
  Log.WatchMouse(Form->A);
  const HWND box = Form->A->GetHandle();
  TCounter first(Form->A), second(Form->A);
  first.Hook();
  second.Hook();
  first.Unhook();
  ClickAt(box, 5, 5);
  EXPECT_EQ(first.Seen, 0);
  EXPECT_EQ(second.Seen, 1);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down a L 5,5", "up a L 5,5", "click a"}));
  second.Unhook();
  ClickAt(box, 5, 5);
  EXPECT_EQ(second.Seen, 1);
  EXPECT_EQ(Log.Entries.size(), 6u);
}

namespace {
struct TSizeRules {
  int CanResizeCalls = 0;
  int Resizes = 0;
  bool Allow = true;
  void CanResize(TObject*, int& width, int& height, bool& resize)
  {
    ++CanResizeCalls;
    resize = Allow;
    width = std::min(width, 100); // at most 100 wide
    (void)height;
  }
  void Resized(TObject*) { ++Resizes; }
};
} // namespace

TEST_F(Controls, ResizingAsksCanResizeAndReportsResizeForGraphicAndWindowedControls)
{
  auto* graphic = new TSolidGraphic(Form, Form, "g", Bounds(0, 40, 20, 20), clRed);
  Form->HandleNeeded();
  for (TControl* control : {static_cast<TControl*>(graphic), static_cast<TControl*>(Form->A)}) {
    SCOPED_TRACE(control->Name());
    TSizeRules rules;
    control->OnCanResize = TCanResizeEvent(&rules, &TSizeRules::CanResize);
    control->OnResize = TNotifyEvent(&rules, &TSizeRules::Resized);
    control->SetBounds(5, 45, 150, 25);
    EXPECT_EQ(control->GetBoundsRect(), Bounds(5, 45, 100, 25)) << "the handler cut the width";
    EXPECT_EQ(rules.Resizes, 1);
    control->SetLeft(7);
    EXPECT_EQ(rules.Resizes, 1) << "a move is no resize";
    EXPECT_EQ(rules.CanResizeCalls, 1);
    rules.Allow = false;
    control->SetBounds(9, 45, 50, 50);
    EXPECT_EQ(control->GetBoundsRect(), Bounds(9, 45, 100, 25)) << "refused: moved but not sized";
    EXPECT_EQ(rules.Resizes, 1);
  }
  RECT window{};
  GetWindowRect(Form->A->GetHandle(), &window);
  EXPECT_EQ(window.right - window.left, 100);
}

TEST_F(Controls, ChildrenFollowTheParentsFontAndColourUntilGivenTheirOwn)
{
  Form->GetFont()->SetHeight(-20);
  Form->SetColor(clYellow);
  EXPECT_EQ(Form->A->GetFont()->GetHeight(), -20);
  EXPECT_EQ(Form->A->GetColor(), clYellow);

  TFont own;
  own.SetHeight(-9);
  Form->B->SetFont(&own);
  Form->B->SetColor(clRed);
  Form->GetFont()->SetHeight(-30);
  Form->SetColor(clAqua);
  EXPECT_EQ(Form->A->GetFont()->GetHeight(), -30);
  EXPECT_EQ(Form->A->GetColor(), clAqua);
  EXPECT_EQ(Form->B->GetFont()->GetHeight(), -9);
  EXPECT_EQ(Form->B->GetColor(), clRed);
  EXPECT_FALSE(Form->B->GetParentFont());

  Form->B->SetParentFont(true);
  EXPECT_EQ(Form->B->GetFont()->GetHeight(), -30);
}

TEST_F(Controls, AControlLeavingItsParentLosesItsWindowAndIsNoLongerPaintedOrRouted)
{
  const HWND old = Form->A->GetHandle();
  auto* graphic = new TSolidGraphic(Form, Form, "g", Bounds(0, 40, 20, 20), clRed);
  EXPECT_EQ(Form->ControlCount(), 4);
  EXPECT_EQ(Form->Controls(0), graphic) << "graphic children first";
  Form->A->SetParent(nullptr);
  EXPECT_FALSE(IsWindow(old));
  EXPECT_FALSE(Form->A->HandleAllocated());
  graphic->SetParent(nullptr);
  EXPECT_EQ(Form->ControlCount(), 2);
  EXPECT_EQ(Form->ControlAtPos(Point(5, 45), false), nullptr);
  EXPECT_THROW(Form->Controls(2), EListError);
  delete graphic;
  delete Form->A;
  EXPECT_EQ(Form->ComponentCount(), 2);
}

// Frees the control that raised an event, as a program's handler may.
struct TFreer {
  TEventLog* Log;
  void Free(TObject* sender)
  {
    Log->Entries.push_back("free " + TEventLog::NameOf(sender));
    delete sender;
  }
  void Notify(TObject* sender) { Free(sender); }
  void Mouse(TObject* sender, TMouseButton, TShiftState, int, int) { Free(sender); }
  void Key(TObject* sender, WORD&, TShiftState) { Free(sender); }
  void Press(TObject* sender, char&) { Free(sender); }
};

TEST_F(Controls, AControlFreedInItsOwnHandlerIsNotTouchedAgain)
{
  TThrowingAsserts asserts;
  TFreer freer{&Log};
  struct TCase {
    const char* event;
    bool graphic;
    void (*arm)(TControl*, TFreer*);
    std::vector<std::pair<UINT, WPARAM>> messages;
    std::vector<std::string> expected;
  };
  const TCase cases[] = {
      {"OnMouseUp", false, [](TControl* c, TFreer* f) { c->OnMouseUp = TMouseEvent(f, &TFreer::Mouse); },
       {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}},
       {"down x L 5,5", "free x"}},
      {"OnMouseUp of a graphic control", true,
       [](TControl* c, TFreer* f) { c->OnMouseUp = TMouseEvent(f, &TFreer::Mouse); },
       {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}},
       {"down x L 5,5", "free x"}},
      {"OnDblClick", false, [](TControl* c, TFreer* f) { c->OnDblClick = TNotifyEvent(f, &TFreer::Notify); },
       {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}, {WM_LBUTTONDBLCLK, MK_LBUTTON}},
       {"down x L 5,5", "up x L 5,5", "click x", "free x"}},
      {"OnClick", false, [](TControl* c, TFreer* f) { c->OnClick = TNotifyEvent(f, &TFreer::Notify); },
       {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}},
       {"down x L 5,5", "up x L 5,5", "free x"}},
      {"OnKeyDown", false,
       [](TControl* c, TFreer* f) { static_cast<TWinControl*>(c)->OnKeyDown = TKeyEvent(f, &TFreer::Key); },
       {{WM_KEYDOWN, 'A'}},
       {"free x"}},
      {"OnKeyUp", false,
       [](TControl* c, TFreer* f) { static_cast<TWinControl*>(c)->OnKeyUp = TKeyEvent(f, &TFreer::Key); },
       {{WM_KEYUP, 'A'}},
       {"free x"}},
      {"OnKeyPress", false,
       [](TControl* c, TFreer* f) { static_cast<TWinControl*>(c)->OnKeyPress = TKeyPressEvent(f, &TFreer::Press); },
       {{WM_CHAR, 'a'}},
       {"free x"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.event);
    Log.Clear();
    Recorder.Boxes.clear();
    TControl* control = nullptr;
    HWND target = nullptr;
    if (c.graphic) {
      control = new TSolidGraphic(Form, Form, "x", Bounds(150, 50, 20, 20), clRed);
      target = Form->GetHandle();
    } else {
      auto* box = new TTestBox(Form, Form, "x", 150, 50);
      control = box;
      target = box->GetHandle();
    }
    const int before = Form->ComponentCount();
    Log.WatchMouse(control);
    c.arm(control, &freer);
    const LPARAM at = c.graphic ? At(155, 55) : At(5, 5);
    for (const auto& [msg, wParam] : c.messages)
      SendMessageA(target, msg, wParam, at);
    EXPECT_EQ(Log.Entries, c.expected);
    EXPECT_TRUE(Recorder.Boxes.empty()) << Recorder.Boxes.front().text;
    EXPECT_EQ(Form->ComponentCount(), before - 1);
    if (!c.graphic) {
      EXPECT_FALSE(IsWindow(target));
    }
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

// A form that shows what the controls tell it about the focus.
class TFocusWatchingForm : public TForm {
public:
  explicit TFocusWatchingForm(TComponent* owner) : TForm(owner)
  {
    SetBorderStyle(bsNone);
    SetBounds(50, 50, 200, 100);
    Panel = new TTestBox(this, this, "panel", 0, 0);
    Panel->SetBounds(0, 0, 120, 80);
    Inner = new TTestBox(this, Panel, "inner", 10, 10);
    Other = new TTestBox(this, this, "other", 150, 0);
  }
  std::vector<std::string> Told;
  TTestBox* Panel;
  TTestBox* Inner;
  TTestBox* Other;

protected:
  void SetFocusedControl(TWinControl* control) override
  {
    Told.push_back("focused " + control->Name());
    TForm::SetFocusedControl(control);
  }
  void DefocusControl(TWinControl* control, bool removing) override
  {
    Told.push_back((removing ? "removing " : "defocus ") + control->Name());
    TForm::DefocusControl(control, removing);
  }
};

TEST_F(Controls, FocusChangesReachTheFormThroughItsHooksFromAnyDepth)
{
  auto* form = new TFocusWatchingForm(App.Get());
  form->Show();
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == form->GetHandle(); }));
  form->Inner->SetFocus();
  EXPECT_EQ(form->GetActiveControl(), form->Inner);
  EXPECT_EQ(form->Told.back(), "focused inner");

  // Hiding the panel takes the focus from the control inside it.
  form->Told.clear();
  form->Panel->SetVisible(false);
  EXPECT_EQ(form->GetActiveControl(), nullptr);
  EXPECT_EQ(form->Told.front(), "defocus panel");

  form->Panel->SetVisible(true);
  form->Other->SetFocus();
  EXPECT_EQ(form->GetActiveControl(), form->Other);
  form->Told.clear();
  form->Inner->SetEnabled(false);
  EXPECT_EQ(form->GetActiveControl(), form->Other) << "another control's going does not touch it";

  form->Told.clear();
  form->Other->SetParent(nullptr);
  EXPECT_EQ(form->GetActiveControl(), nullptr);
  EXPECT_NE(std::find(form->Told.begin(), form->Told.end(), "removing other"), form->Told.end());

  form->Inner->SetEnabled(true);
  form->Inner->SetFocus();
  TWinControl* const inner = form->Inner;
  delete inner;
  EXPECT_NE(form->GetActiveControl(), inner) << "a destroyed control is forgotten";
  if (TWinControl* active = form->GetActiveControl()) {
    EXPECT_TRUE(active->Focused()) << "the system gave the focus to " << active->Name();
  }
}

TEST_F(Controls, AControlFreedInTheOnExitOfItsHidingOrDisablingIsNotTouchedAgain)
{
  TThrowingAsserts asserts;
  ShowForm();
  TFreer freer{&Log};
  for (bool hide : {true, false}) {
    SCOPED_TRACE(hide ? "hidden" : "disabled");
    auto* box = new TTestBox(Form, Form, "x", 150, 50);
    box->SetFocus();
    ASSERT_TRUE(box->Focused());
    box->OnExit = TNotifyEvent(&freer, &TFreer::Notify);
    const int before = Form->ComponentCount();
    Log.Clear();
    if (hide)
      box->SetVisible(false);
    else
      box->SetEnabled(false);
    EXPECT_EQ(Log.Entries, (std::vector<std::string>{"free x"}));
    EXPECT_EQ(Form->ComponentCount(), before - 1);
    EXPECT_TRUE(Recorder.Boxes.empty()) << Recorder.Boxes.front().text;
  }
}

TEST(Mouse, CursorPositionIsReadFromTheSystem)
{
  Mouse->SetCursorPos(Point(123, 234));
  POINT expected{};
  GetCursorPos(&expected);
  EXPECT_EQ(Mouse->GetCursorPos(), expected);
  EXPECT_EQ(Mouse->GetCursorPos(), Point(123, 234));
}

} // namespace
