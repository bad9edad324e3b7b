// The picture layer: substitution of empty pictures, the size and shape that picture 0 gives, the
// transparent colour, erasing, and the chain of change handlers on the pictures.
#include "KoFixture.h"

#include <functional>
#include <string>
#include <vector>

namespace {

// The window region of a window as rectangles; "none" when it has no region.
std::string WindowRegionText(HWND window)
{
  TRegionHandle region(CreateRectRgn(0, 0, 0, 0));
  if (GetWindowRgn(window, region.Get()) == ERROR)
    return "none";
  RECT box{};
  const int kind = GetRgnBox(region.Get(), &box);
  std::string text = kind == NULLREGION ? "empty" : kind == SIMPLEREGION ? "simple" : "complex";
  return text + " " + std::to_string(box.left) + "," + std::to_string(box.top) + "," + std::to_string(box.right) +
         "," + std::to_string(box.bottom);
}

std::string RegionBoxText(HRGN region)
{
  RECT box{};
  const int kind = GetRgnBox(region, &box);
  std::string text = kind == NULLREGION ? "empty" : kind == SIMPLEREGION ? "simple" : "complex";
  return text + " " + std::to_string(box.left) + "," + std::to_string(box.top) + "," + std::to_string(box.right) +
         "," + std::to_string(box.bottom);
}

class KoPictures : public TKoFormTest {
protected:
  // A button on the form with no pictures yet.
  KoButton* BareButton(int left = 20, int top = 20)
  {
    auto* button = new KoButton(Form);
    button->SetName("bare");
    button->SetBounds(left, top, 40, 24);
    button->SetParent(Form);
    button->HandleNeeded();
    return button;
  }
};

} // namespace

TEST_F(KoPictures, PictureZeroStandsInForEveryEmptyLook)
{
  KoButton* button = BareButton();
  TBitmap raised;
  MakePicture(raised, 40, 24, kLookColors[lkRaised]);
  button->GetAppearance()->SetRaisedBmp(&raised);
  button->SetTabStop(true);
  ShowActive();

  const struct {
    const char* what;
    std::function<void()> act;
    TLook requested;
  } cases[] = {
      {"hovered", [&] { PointAt(button, 5, 5); }, lkFocused},
      {"pressed", [&] { ButtonDown(button, 5, 5); }, lkSunken},
      {"released and focused", [&] { ButtonUp(button, 5, 5); }, lkFocused},
      {"disabled", [&] { button->SetEnabled(false); }, lkDisabled},
  };
  for (const auto& c : cases) {
    c.act();
    EXPECT_EQ(button->GetRequestedState(), c.requested) << c.what;
    EXPECT_EQ(button->GetShownState(), 0) << c.what;
    EXPECT_EQ(PixelsOf(button).At(20, 12), static_cast<COLORREF>(kLookColors[lkRaised])) << c.what;
  }
}

TEST_F(KoPictures, APictureArrivingForTheRequestedLookIsShownAtOnce)
{
  KoButton* button = BareButton();
  TBitmap picture;
  MakePicture(picture, 40, 24, kLookColors[lkRaised]);
  button->GetAppearance()->SetRaisedBmp(&picture);
  Form->Show();
  PointAt(button, 5, 5);
  ButtonDown(button, 5, 5);
  ASSERT_EQ(button->GetShownState(), 0);

  MakePicture(picture, 40, 24, kLookColors[lkSunken]);
  button->GetAppearance()->SetSunkenBmp(&picture);
  EXPECT_EQ(button->GetShownState(), lkSunken);
  EXPECT_EQ(PixelsOf(button).At(20, 12), static_cast<COLORREF>(kLookColors[lkSunken]));

  // The focused look has no picture of its own; when its picture goes, a shown look falls back again.
  ButtonUp(button, 5, 5);
  EXPECT_EQ(button->GetShownState(), 0);
  ButtonDown(button, 5, 5);
  EXPECT_EQ(button->GetShownState(), lkSunken) << "the next press shows the new picture";
  button->GetStatePicture(lkSunken)->SetSize(0, 0);
  EXPECT_EQ(button->GetShownState(), 0);
  EXPECT_EQ(PixelsOf(button).At(20, 12), static_cast<COLORREF>(kLookColors[lkRaised]));
}

TEST_F(KoPictures, WithNoPicturesATransparentButtonHasNoActiveAreaButTheKeyboardStillPressesIt)
{
  KoButton* button = BareButton();
  button->SetTransparent(true);
  button->SetTabStop(true);
  Log.WatchHover(button);
  Log.WatchMouse(button);
  ShowActive();

  EXPECT_EQ(RegionBoxText(button->ActiveArea()), "empty 0,0,0,0");
  EXPECT_EQ(WindowRegionText(button->GetHandle()), "none");
  PointAt(button, 5, 5);
  ButtonDown(button, 5, 5);
  EXPECT_FALSE(button->MouseInside());
  EXPECT_FALSE(button->MousePressed());
  EXPECT_EQ(button->GetRequestedState(), lkRaised);
  ButtonUp(button, 5, 5);

  button->SetFocus();
  KeyDown(button, VK_SPACE);
  EXPECT_EQ(button->GetRequestedState(), lkSunken);
  EXPECT_EQ(button->GetShownState(), 0) << "the empty picture 0 stands in";
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down bare L 5,5", "up bare L 5,5", "click bare"}))
      << "the framework's events only";
}

namespace {

// Substitutes between its two empty states for ever, as a subclass's table of stand-ins might.
class TCircularControl : public KoCustomControl {
public:
  explicit TCircularControl(TComponent* owner) : KoCustomControl(owner, false, 3) {}
  int Substitute(int index) override { return index == 1 ? 2 : 1; }
};

} // namespace

TEST_F(KoPictures, StandInsThatGoRoundInACircleEndAtPictureZero)
{
  TCircularControl control(Form);
  TBitmap picture;
  MakePicture(picture, 20, 10, clTeal);
  control.SetStatePicture(&picture, 0);
  control.ShowBitmap(1);
  EXPECT_EQ(control.GetRequestedState(), 1);
  EXPECT_EQ(control.GetShownState(), 0);
  control.SetStatePicture(&picture, 2);
  EXPECT_EQ(control.GetShownState(), 0) << "state 2 is not the one asked for";
  control.ShowBitmap(1);
  EXPECT_EQ(control.GetShownState(), 2) << "1 is empty, its stand-in 2 is not";
}

TEST_F(KoPictures, PictureZeroGivesTheSizeAndKeepsIt)
{
  KoButton* button = BareButton();
  button->SetBounds(10, 10, 100, 90);
  EXPECT_EQ(button->GetBoundsRect(), Rect(10, 10, 110, 100)) << "no picture: any size";

  TBitmap picture;
  MakePicture(picture, 40, 24, kLookColors[lkRaised]);
  button->SetStatePicture(&picture, 0);
  EXPECT_EQ(button->GetBoundsRect(), Rect(10, 10, 50, 34));
  EXPECT_EQ(button->Pictures()->GetWidth(), 40);

  const struct {
    const char* what;
    std::function<void()> act;
    TRect bounds;
  } cases[] = {
      {"SetBounds", [&] { button->SetBounds(15, 12, 80, 80); }, Rect(15, 12, 55, 36)},
      {"SetWidth", [&] { button->SetWidth(200); }, Rect(15, 12, 55, 36)},
      {"the window sized by the system",
       [&] { SetWindowPos(button->GetHandle(), nullptr, 0, 0, 7, 7, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE); },
       Rect(15, 12, 55, 36)},
      {"a bigger picture 0",
       [&] {
         MakePicture(picture, 50, 30, kLookColors[lkSunken]);
         button->SetStatePicture(&picture, 0);
       },
       Rect(15, 12, 65, 42)},
      {"a picture for another state", [&] { button->SetStatePicture(&picture, 2); }, Rect(15, 12, 65, 42)},
  };
  for (const auto& c : cases) {
    c.act();
    EXPECT_EQ(button->GetBoundsRect(), c.bounds) << c.what;
    RECT window{};
    GetWindowRect(button->GetHandle(), &window);
    EXPECT_EQ(window.right - window.left, c.bounds.right - c.bounds.left) << c.what;
  }
}

TEST_F(KoPictures, TheShapeAndActiveAreaComeFromPictureZerosKeyColour)
{
  KoButton* button = BareButton();
  TBitmap picture;
  MakePicture(picture, 40, 24, kLookColors[lkRaised], 6);
  button->SetStatePicture(&picture, 0);
  EXPECT_EQ(button->GetTransparentColor(), kKeyColor) << "the picture's bottom-left pixel";

  const struct {
    const char* what;
    std::function<void()> act;
    const char* windowRegion;
    const char* activeArea;
  } cases[] = {
      {"opaque", [] {}, "none", "simple 0,0,40,24"},
      {"transparent", [&] { button->SetTransparent(true); }, "simple 6,0,40,24", "simple 6,0,40,24"},
      {"keyed on the face colour", [&] { button->SetTransparentColor(kLookColors[lkRaised]); }, "simple 0,0,6,24",
       "simple 0,0,6,24"},
      {"keyed on a system colour", [&] { button->SetTransparentColor(clBtnFace); }, "simple 0,0,40,24",
       "simple 0,0,40,24"},
      {"a new picture 0 brings its own key",
       [&] {
         MakePicture(picture, 30, 20, kLookColors[lkFocused], 10);
         button->SetStatePicture(&picture, 0);
       },
       "simple 10,0,30,20", "simple 10,0,30,20"},
      {"the window made again", [&] { button->RecreateWnd(); }, "simple 10,0,30,20", "simple 10,0,30,20"},
      {"the same key pixels on another face: the shape stays",
       [&] {
         MakePicture(picture, 30, 20, kLookColors[lkSunken], 10);
         button->SetStatePicture(&picture, 0);
       },
       "simple 10,0,30,20", "simple 10,0,30,20"},
      {"other key pixels at the same size",
       [&] {
         MakePicture(picture, 30, 20, kLookColors[lkSunken], 12);
         button->SetStatePicture(&picture, 0);
       },
       "simple 12,0,30,20", "simple 12,0,30,20"},
      {"opaque again", [&] { button->SetTransparent(false); }, "none", "simple 0,0,30,20"},
  };
  for (const auto& c : cases) {
    c.act();
    EXPECT_EQ(WindowRegionText(button->GetHandle()), c.windowRegion) << c.what;
    EXPECT_EQ(RegionBoxText(button->ActiveArea()), c.activeArea) << c.what;
  }
  EXPECT_EQ(button->GetTransparentColor(), kKeyColor);
  button->SetTransparentColor(clBtnFace);
  EXPECT_EQ(button->GetTransparentColor(), ColorToRGB(clBtnFace)) << "resolved, top byte clear";
}

TEST_F(KoPictures, KeyedPixelsAreNeitherShownNorHit)
{
  KoButton* button = BareButton();
  TBitmap picture;
  MakePicture(picture, 40, 24, kLookColors[lkRaised], 6);
  button->SetStatePicture(&picture, 0);
  button->SetTransparent(true);
  Form->Show();
  const TClientPixels pixels(Form->GetHandle());
  EXPECT_EQ(pixels.At(22, 30), kWhite) << "the form shows through the key columns";
  EXPECT_EQ(pixels.At(30, 30), static_cast<COLORREF>(kLookColors[lkRaised]));
  EXPECT_FALSE(button->HitTest(3, 10));
  EXPECT_TRUE(button->HitTest(6, 10));
  EXPECT_FALSE(button->HitTest(40, 10));
}

TEST_F(KoPictures, AShapeSetBeforeTheWindowExistsIsAppliedWhenItIsMade)
{
  auto* button = new KoButton(Form);
  button->SetBounds(20, 20, 40, 24);
  TBitmap picture;
  MakePicture(picture, 40, 24, kLookColors[lkRaised], 6);
  button->SetStatePicture(&picture, 0);
  button->SetTransparent(true);
  EXPECT_FALSE(button->HandleAllocated()) << "nothing here asks for the window";
  button->SetParent(Form);
  Form->Show();
  ASSERT_TRUE(PumpUntil([&] { return button->HandleAllocated(); }));
  EXPECT_EQ(WindowRegionText(button->GetHandle()), "simple 6,0,40,24");
}

TEST_F(KoPictures, InDesignModeTheWindowKeepsItsShapeAndErasesLikeAnyControl)
{
  KoButton* button = BareButton();
  TBitmap picture;
  MakePicture(picture, 40, 24, kLookColors[lkRaised], 6);
  button->SetStatePicture(&picture, 0);

  // A DC over a black bitmap, to see whether erasing painted.
  TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
  TBitmap target;
  FillBitmap(target, 40, 24, clBlack);
  target.Dormant();
  const TSelectObject selected(dc.Get(), target.GetHandle());
  const auto erase = [&] {
    return SendMessageA(button->GetHandle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
  };
  EXPECT_EQ(erase(), 1);
  EXPECT_EQ(GetPixel(dc.Get(), 20, 12), RGB(0, 0, 0)) << "answered without erasing";

  button->SetDesigning(true);
  button->SetTransparent(true);
  EXPECT_EQ(WindowRegionText(button->GetHandle()), "none") << "design mode leaves the window region alone";
  EXPECT_EQ(RegionBoxText(button->ActiveArea()), "simple 6,0,40,24");
  button->SetColor(clRed);
  erase();
  EXPECT_EQ(GetPixel(dc.Get(), 20, 12), RGB(255, 0, 0)) << "the framework erased";
}

TEST_F(KoPictures, DrawingIntoThePictureOnShowReachesTheScreenThroughTheHoldersHandler)
{
  KoButton* button = AddButton("b", 20, 20);
  Form->Show();
  TBitmap* raised = button->GetStatePicture(lkRaised);
  EXPECT_NE(raised->OnChange, TNotifyEvent(button->Pictures(), &orvo::TBmpLEDCtrl::BitmapChanged))
      << "the control's own handler is in front";

  raised->GetCanvas()->GetBrush()->SetColor(clNavy);
  raised->GetCanvas()->FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(PixelsOf(button).At(5, 5), RGB(0, 0, 0x80));
  // A picture not on show changes nothing on screen.
  button->GetStatePicture(lkSunken)->GetCanvas()->GetBrush()->SetColor(clMaroon);
  button->GetStatePicture(lkSunken)->GetCanvas()->FillRect(Rect(0, 0, 40, 24));
  EXPECT_EQ(PixelsOf(button).At(20, 20), static_cast<COLORREF>(kLookColors[lkRaised]));
}

TEST_F(KoPictures, ControlsLeaveNoGdiObjectsOrWindowsBehind)
{
  Form->Show();
  const auto cycle = [&] {
    auto* button = AddButton<KoButtonTx>("t", 20, 20);
    button->SetCaption("OK");
    button->SetTransparent(true);
    PointAt(button, 30, 10);
    ButtonDown(button, 30, 10);
    ButtonUp(button, 30, 10);
    UpdateWindow(Form->GetHandle());
    delete button;
  };
  cycle();
  const int gdi = GdiObjectCount();
  const int user = ThreadWindowCount();
  ASSERT_GT(gdi, 0);
  ASSERT_GT(user, 0);
  for (int i = 0; i < 20; ++i)
    cycle();
  EXPECT_EQ(GdiObjectCount(), gdi);
  EXPECT_EQ(ThreadWindowCount(), user);
}

TEST_F(KoPictures, HoverAndPressCyclesLeaveTheObjectCountsAsTheyWere)
{
  auto* button = AddButton<KoButtonTx>("t", 20, 20);
  button->SetCaption("OK");
  button->SetTransparent(true);
  Form->Show();
  const HWND window = button->GetHandle();
  const auto cycle = [&] {
    PointAt(button, 30, 10);
    UpdateWindow(window);
    SendMessageA(window, WM_MOUSELEAVE, 0, 0);
    UpdateWindow(window);
    ButtonDown(button, 30, 10);
    UpdateWindow(window);
    ButtonUp(button, 30, 10);
    UpdateWindow(window);
  };
  cycle();
  const int gdi = GdiObjectCount();
  const int user = ThreadWindowCount();
  for (int i = 0; i < 300; ++i)
    cycle();
  EXPECT_EQ(GdiObjectCount(), gdi);
  EXPECT_EQ(ThreadWindowCount(), user);
  EXPECT_EQ(button->GetRequestedState(), lkRaised) << "released after the pointer had left";
}
