// Shaped forms on the virtual display: what reaches the system, no style write or redraw unless something
// changed, the form's size and place, the earlier mouse handler, the erase guard, and objects that go first.
#include "ShapedWindowFixture.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>

namespace {

constexpr uint32_t kMagenta = 0xFFFF00FF;
constexpr TColor kMagentaKey = 0x02FF00FF;  // as the bitmap reports it

DWORD ExStyle(HWND window)
{
  return static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & (WS_EX_LAYERED | WS_EX_TRANSPARENT);
}

bool NeedsPainting(HWND window)
{
  return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}

std::unique_ptr<TsShapedFormMaker> MakeMaker(bool perPixel)
{
  if (!perPixel)
    return std::make_unique<TsLayeredFormMaker>();
  auto maker = std::make_unique<TsPerPixelLayeredFormMaker>();
  maker->SetUsePerPixelAlpha(true);
  return maker;
}

void SetAlpha(TsShapedFormMaker& maker, BYTE alpha)
{
  if (auto* layered = dynamic_cast<TsLayeredFormMaker*>(&maker))
    layered->SetAlpha(alpha);
  else
    static_cast<TsPerPixelLayeredFormMaker&>(maker).SetAlpha(alpha);
}

using ShapedForm = ShapedWindowTest;

TEST_F(ShapedForm, AttachShapesTheFormAndReapplyingKeepsItsPlaceWithoutStyleWritesOrRedraws)
{
  const struct {
    bool PerPixel;
    bool OnPanel;
  } cases[] = {{false, false}, {true, false}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "per-pixel " << c.PerPixel << ", on a panel " << c.OnPanel);
    MakeShapedForm(830, 430, c.OnPanel);
    static_cast<uint32_t*>(Image->GetPicture()->GetBitmap()->ScanLine(79))[0] = kMagenta;
    auto maker = MakeMaker(c.PerPixel);
    TMessageCounter counter(Form);
    ASSERT_TRUE(maker->Attach(Image));
    EXPECT_EQ(Form->GetBorderStyle(), bsNone);
    EXPECT_EQ(GetWindowLongA(Window(), GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_EQ(Form->GetClientWidth(), 120);
    EXPECT_EQ(Form->GetClientHeight(), 80);
    EXPECT_EQ(ExStyle(Window()), static_cast<DWORD>(WS_EX_LAYERED));
    EXPECT_EQ(maker->GetColorKey(), kMagentaKey);
    EXPECT_GE(counter.ExStyleWrites, 1);  // the counter sees writes

    SetWindowPos(Window(), nullptr, 851, 443, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpPending();
    counter.Counts.clear();
    counter.ExStyleWrites = 0;
    for (int alpha = 0; alpha <= 255; alpha += 51) {
      SetAlpha(*maker, static_cast<BYTE>(alpha));
      maker->Reapply();
    }
    const RECT place = WindowRect(Window());
    EXPECT_EQ(place.left, 851);
    EXPECT_EQ(place.top, 443);
    EXPECT_EQ(place.right - place.left, 120);
    EXPECT_EQ(counter.ExStyleWrites, 0);
    EXPECT_FALSE(NeedsPainting(Window()));
    PumpPending();
    EXPECT_EQ(counter.Counts[WM_NCPAINT] + counter.Counts[WM_WINDOWPOSCHANGING], 0);
    maker.reset();
    delete Form;
  }
}

TEST_F(ShapedForm, KeyAndAlphaReachTheSystemAndTurningBothOffRedrawsOnce)
{
  TLayeredCallRecorder recorder;
  MakeShapedForm(830, 430);
  TsLayeredFormMaker maker;
  ASSERT_TRUE(maker.Attach(Image));
  maker.SetAlpha(100);  // applied with the next change
  maker.SetUseAlpha(true);
  maker.SetUseColorKey(false);
  maker.Reapply();
  ASSERT_EQ(recorder.Calls.size(), 3u);
  const DWORD flags[] = {LWA_COLORKEY, LWA_COLORKEY | LWA_ALPHA, LWA_ALPHA};
  const BYTE alphas[] = {255, 100, 100};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(recorder.Calls[i].Key, static_cast<COLORREF>(maker.GetColorKey()));
    EXPECT_EQ(recorder.Calls[i].Flags, flags[i]);
    EXPECT_EQ(recorder.Calls[i].Alpha, alphas[i]);
  }

  PumpPending();
  TMessageCounter counter(Form);
  maker.SetUseAlpha(false);
  EXPECT_EQ(ExStyle(Window()), 0u);
  EXPECT_EQ(counter.ExStyleWrites, 1);
  EXPECT_TRUE(NeedsPainting(Window()));
  PumpPending();
  EXPECT_GE(counter.Counts[WM_NCPAINT], 1);
  maker.SetUseAlpha(false);
  EXPECT_EQ(counter.ExStyleWrites, 1);
  EXPECT_FALSE(NeedsPainting(Window()));
  EXPECT_EQ(recorder.Calls.size(), 3u);
}

TEST_F(ShapedForm, ThePictureReachesUpdateLayeredWindowWithTheBlendItsSettingsGive)
{
  const struct {
    const char* Name;
    TPixelFormat Format;
    bool PerPixel;
    bool UseAlpha;
    DWORD Flags;  // 0: no update, an ordinary window
    BYTE Alpha;
  } cases[] = {
      {"per-pixel", pf32bit, true, false, ULW_ALPHA, 255},
      {"per-pixel with alpha", pf32bit, true, true, ULW_ALPHA, 128},
      {"24 bits: keyed", pf24bit, true, false, ULW_COLORKEY, 255},
      {"alpha alone", pf24bit, false, true, ULW_ALPHA, 128},
  };
  MakeShapedForm(830, 430);
  TBitmap* picture = Image->GetPicture()->GetBitmap();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TLayeredCallRecorder recorder;
    picture->SetPixelFormat(c.Format);
    TsPerPixelLayeredFormMaker maker;
    maker.SetUsePerPixelAlpha(c.PerPixel);
    maker.SetAlpha(128);
    maker.SetUseAlpha(c.UseAlpha);
    ASSERT_TRUE(maker.Attach(Image));
    // Drawing selects the picture into its canvas's DC; the update must still get it.
    picture->GetCanvas()->SetPixel(0, 0, clRed);
    maker.Reapply();
    ASSERT_EQ(recorder.Calls.size(), 2u);
    const TLayeredCall& call = recorder.Calls.back();
    EXPECT_EQ(call.Flags, c.Flags);
    EXPECT_EQ(call.Alpha, c.Alpha);
    EXPECT_EQ(call.AlphaFormat, AC_SRC_ALPHA);
    EXPECT_EQ(call.Key, static_cast<COLORREF>(maker.GetColorKey()));
    EXPECT_EQ(call.Size.cx, 120);
    EXPECT_EQ(call.Destination.x, WindowRect(Window()).left);
    EXPECT_EQ(call.SourceBitmap, picture->GetHandle());
    EXPECT_EQ(ExStyle(Window()), static_cast<DWORD>(WS_EX_LAYERED));

    // Everything off: an ordinary window again, and no update.
    maker.SetUseColorKey(false);
    maker.SetUseAlpha(false);
    const size_t updates = recorder.Calls.size();
    maker.SetUsePerPixelAlpha(false);
    EXPECT_EQ(recorder.Calls.size(), updates);
    EXPECT_EQ(ExStyle(Window()), 0u);
  }
}

TEST_F(ShapedForm, FailedPreconditionsNameTheirExpression)
{
  MakeShapedForm(830, 430);
  TsLayeredFormMaker attached;
  ASSERT_TRUE(attached.Attach(Image));
  TNormalDrag drag;
  drag.Attach(Form, Image);
  DoNotEraseBkgnd guard;
  guard.Hook(Form);
  const struct {
    const char* Expression;
    std::function<void()> Break;
  } cases[] = {
      {"!IsAttached()", [&] { attached.Attach(Image); }},
      {"!IsAttached()", [&] { drag.Attach(Form, Image); }},
      {"m_control == NULL", [&] { guard.Hook(Form); }},
      {"m_form->Scaled == false", [&] { Form->Scaled = true; TsLayeredFormMaker().Attach(Image); }},
      {"IsAvailable()",
       [&] {
         const TUser32Lookup old = SetUser32Lookup([](const char*) -> FARPROC { return nullptr; });
         CsLayeredWindowMaker withoutFunction;
         SetUser32Lookup(old);
         withoutFunction.Apply(Window());
       }},
  };
  TThrowingAsserts asserts;
  for (const auto& c : cases) {
    const std::string expected = std::string("Assertion failed: ") + c.Expression + ", file KoShapedWindow.cpp";
    try {
      c.Break();
      ADD_FAILURE() << "no assertion: " << c.Expression;
    } catch (const TAssertionFailure& failure) {
      EXPECT_EQ(std::string(failure.what()).rfind(expected, 0), 0u) << failure.what();
    }
  }
  // The scaled form is told why first, in a box with no owner captioned with the form's name.
  ASSERT_EQ(Recorder.Boxes.size(), 1u);
  EXPECT_EQ(Recorder.Boxes[0].owner, nullptr);
  EXPECT_EQ(Recorder.Boxes[0].text, "Scaled is not set false");
  EXPECT_EQ(Recorder.Boxes[0].caption, "ShapedForm");
  EXPECT_EQ(Recorder.Boxes[0].type, static_cast<UINT>(MB_OK));
}

TEST_F(ShapedForm, TheEarlierMouseHandlerRunsAfterARightPressAndComesBackWhenDraggingEnds)
{
  MakeShapedForm(830, 430);
  Log.WatchMouse(Image);
  const TMouseEvent earlier = Image->OnMouseDown;
  auto maker = std::make_unique<TsLayeredFormMaker>();
  ASSERT_TRUE(maker->Attach(Image));
  const RECT before = WindowRect(Window());
  SendMessageA(Window(), WM_RBUTTONDOWN, MK_RBUTTON, At(20, 15));
  SendMessageA(Window(), WM_RBUTTONUP, 0, At(20, 15));
  ASSERT_FALSE(Log.Entries.empty());
  EXPECT_EQ(Log.Entries[0], "down Picture R 20,15");
  EXPECT_EQ(WindowRect(Window()).left, before.left);

  maker->SetDraggable(false);
  EXPECT_EQ(Image->OnMouseDown, earlier);
  maker->SetDraggable(true);
  EXPECT_NE(Image->OnMouseDown, earlier);
  maker.reset();
  EXPECT_EQ(Image->OnMouseDown, earlier);
}

TEST_F(ShapedForm, TheEraseGuardKeepsTheBackgroundUntilItGoes)
{
  MakeShapedForm(830, 430);
  TMessageCounter behind(Form);  // hooked first: sees what gets past the guard
  const int hooks = Form->WindowProc.HookCount();
  auto erase = [&] {
    TWindowDC dc(Window());
    return Form->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
  };
  auto maker = std::make_unique<TsPerPixelLayeredFormMaker>();
  ASSERT_TRUE(maker->Attach(Image));
  behind.Counts.clear();
  EXPECT_EQ(erase(), 1);
  Form->Perform(WM_USER + 7);
  EXPECT_EQ(behind.Counts[WM_ERASEBKGND], 0);
  EXPECT_EQ(behind.Counts[WM_USER + 7], 1);

  // A hook put in front later does not keep the guard from leaving.
  TMessageCounter front(Form);
  maker.reset();
  EXPECT_EQ(Form->WindowProc.HookCount(), hooks + 1);
  behind.Counts.clear();
  erase();
  EXPECT_EQ(behind.Counts[WM_ERASEBKGND], 1);
  EXPECT_EQ(front.Counts[WM_ERASEBKGND], 1);
}

// Storage of the test's own for an object that goes before its form maker: filled with a pattern of
// pointers to nowhere once the object is gone, which a form maker reaching for it would follow or change.
template <typename T>
struct TScribbledStorage {
  alignas(T) unsigned char Bytes[sizeof(T)];

  static unsigned char Pattern(size_t i) { return static_cast<unsigned char>(i * 13 + 1); }
  void Scribble()
  {
    for (size_t i = 0; i < sizeof Bytes; ++i)
      Bytes[i] = Pattern(i);
  }
  bool StillScribbled() const
  {
    for (size_t i = 0; i < sizeof Bytes; ++i)
      if (Bytes[i] != Pattern(i))
        return false;
    return true;
  }
};

TEST(ShapedFormLifetime, AFormAndImageThatGoFirstAreNotTouchedByTheirFormMaker)
{
  TSysRecorder recorder;
  static TScribbledStorage<TForm> formStorage;
  static TScribbledStorage<TImage> imageStorage;
  TForm* form = ::new (formStorage.Bytes) TForm(nullptr);
  form->Scaled = false;
  TImage* image = ::new (imageStorage.Bytes) TImage(nullptr);
  image->SetParent(form);
  MakeRingPicture(*image->GetPicture()->GetBitmap(), 30, 20, 2, 0xFF0000FF, 0);
  auto maker = std::make_unique<TsLayeredFormMaker>();
  ASSERT_TRUE(maker->Attach(image));

  image->~TImage();
  form->~TForm();
  imageStorage.Scribble();
  formStorage.Scribble();
  maker.reset();
  EXPECT_TRUE(imageStorage.StillScribbled());
  EXPECT_TRUE(formStorage.StillScribbled());
}

} // namespace
