#include "Component/TBmpLEDCtrl.h"

#include "Component/LED/BmpLED.h"
#include "Graphics/Figure/BmpFigure.h"
#include "Graphics/SimplePainter.h"

#include "GraphicsFixture.h"
#include "PaintFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using orvo::TBmpLEDCtrl;

namespace {

constexpr COLORREF kGreen = RGB(0, 160, 0);

// A painter over any canvas, for the figure and LED classes on their own.
struct TCanvasPainter {
  TCanvas* Target;
  TColor Fill = clWhite;
  TCanvas* Canvas() const { return Target; }
  TColor Background() const { return Fill; }
};

// A 32 x 32 white target with its own canvas.
struct TTarget {
  TTarget()
  {
    Bitmap.SetPixelFormat(pf24bit);
    Bitmap.SetSize(32, 32);
    Fill(Bitmap, clWhite);
  }
  TBitmap Bitmap;
};

void SolidPicture(TBitmap& bitmap, int width, int height, TColor color)
{
  FillBitmap(bitmap, width, height, color);
}

COLORREF DisplayPixel(const TBmpLEDCtrl& holder, int x, int y)
{
  return PixelOf(*holder.Display()->GetPicture()->GetBitmap(), x, y);
}

class BitmapHolder : public TPaintTest {
protected:
  // A holder with `count` states, state i a 20 x 20 picture of kColors[i], its display sized to them.
  std::unique_ptr<TBmpLEDCtrl> ColouredHolder(int count)
  {
    auto holder = std::make_unique<TBmpLEDCtrl>(Form, Form, count);
    holder->Resize(20, 20);
    for (int i = 0; i < count; ++i) {
      TBitmap picture;
      SolidPicture(picture, 20, 20, kColors[i]);
      holder->SetBitmap(&picture, i);
    }
    return holder;
  }

  static constexpr TColor kColors[] = {clRed, clBlue, static_cast<TColor>(kGreen)};
};

} // namespace

TEST_F(BitmapHolder, StartsWithEmptyStatesAndAnEmptyDisplayThatIgnoresTheMouse)
{
  Form->SetName("form");
  Log.WatchMouse(Form);
  TBmpLEDCtrl holder(Form, Form, 3);

  EXPECT_EQ(holder.StateCount(), 3);
  EXPECT_EQ(holder.GetState(), 0);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(holder.GetBitmap(i)->Empty()) << "state " << i;
  TImage* display = holder.Display();
  EXPECT_EQ(display->GetParent(), Form);
  EXPECT_EQ(display->GetBoundsRect(), Rect(0, 0, 0, 0));
  EXPECT_EQ(holder.GetWidth(), 0);
  EXPECT_EQ(holder.GetHeight(), 0);
  EXPECT_EQ(display->GetPicture()->GetBitmap()->GetPixelFormat(), orvo::ScreenDisplayPixelFormat());
  EXPECT_EQ(display->GetPicture()->GetBitmap()->GetTransparentMode(), tmFixed);
  EXPECT_EQ(holder.GetTransparentColor(), clBlack);

  // Sized and showing a picture, it still lets every click through to the control it sits in.
  holder.Resize(40, 30);
  ClickAt(Form->GetHandle(), 10, 10);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down form L 10,10", "up form L 10,10", "click form"}));
}

TEST(BitmapHolderFormat, PaletteScreensGetSixteenColourPicturesOthersTrueColour)
{
  const struct {
    int bits;
    TPixelFormat format;
  } cases[] = {{1, pf4bit}, {4, pf4bit}, {5, pf24bit}, {8, pf24bit}, {16, pf24bit}, {24, pf24bit}, {32, pf24bit}};
  for (const auto& c : cases)
    EXPECT_EQ(orvo::DisplayPixelFormat(c.bits), c.format) << c.bits << " bits per pixel";
}

TEST_F(BitmapHolder, DrawsAStateOnlyWhenItChanges)
{
  auto holder = ColouredHolder(3);
  EXPECT_EQ(DisplayPixel(*holder, 10, 10), kRed) << "state 0, drawn when its picture arrived";

  holder->SetState(1);
  EXPECT_EQ(DisplayPixel(*holder, 10, 10), kBlue);
  // A mark over the display survives a request for the state on show.
  holder->GetCanvas()->SetPixel(3, 3, clYellow);
  holder->SetState(1);
  EXPECT_EQ(DisplayPixel(*holder, 3, 3), kYellow);
  holder->SetState(2);
  EXPECT_EQ(DisplayPixel(*holder, 3, 3), kGreen);
  EXPECT_EQ(holder->GetState(), 2);

  // The window shows what the display holds.
  EXPECT_EQ(Pixels().At(10, 10), kGreen);
}

TEST_F(BitmapHolder, RedrawsWhenThePictureOnShowChangesAndOnlyThen)
{
  auto holder = ColouredHolder(3);
  holder->SetState(1);
  holder->GetCanvas()->SetPixel(3, 3, clYellow);

  Fill(*holder->GetBitmap(2), clBlack);
  EXPECT_EQ(DisplayPixel(*holder, 3, 3), kYellow) << "another state's picture changed";

  Fill(*holder->GetBitmap(1), clFuchsia);
  EXPECT_EQ(DisplayPixel(*holder, 3, 3), kMagenta);
  EXPECT_EQ(Pixels().At(10, 10), kMagenta);

  // Redraw covers what was drawn over the picture.
  holder->GetCanvas()->SetPixel(4, 4, clYellow);
  holder->Redraw();
  EXPECT_EQ(DisplayPixel(*holder, 4, 4), kMagenta);
}

TEST_F(BitmapHolder, ResizeMakesWhatTheDisplayGainsWhite)
{
  auto holder = ColouredHolder(1);
  holder->Resize(40, 20);
  EXPECT_EQ(holder->GetWidth(), 40);
  EXPECT_EQ(holder->Display()->GetWidth(), 40);
  EXPECT_EQ(DisplayPixel(*holder, 19, 10), kRed);
  EXPECT_EQ(DisplayPixel(*holder, 20, 10), kWhite);
  EXPECT_EQ(DisplayPixel(*holder, 39, 19), kWhite);

  holder->Resize(40, 35);
  EXPECT_EQ(DisplayPixel(*holder, 10, 19), kRed);
  EXPECT_EQ(DisplayPixel(*holder, 10, 20), kWhite);
  EXPECT_EQ(DisplayPixel(*holder, 39, 34), kWhite);

  // Drawn again, the state covers its own area only.
  holder->Redraw();
  EXPECT_EQ(DisplayPixel(*holder, 10, 10), kRed);
  EXPECT_EQ(DisplayPixel(*holder, 30, 30), kWhite);
}

TEST_F(BitmapHolder, MovesItsDisplayAndReportsTheTransparentColourAsPlainRgb)
{
  auto holder = ColouredHolder(2);
  holder->MoveBy(15, 5);
  EXPECT_EQ(holder->GetLeft(), 15);
  EXPECT_EQ(holder->GetTop(), 5);
  EXPECT_EQ(Pixels().At(20, 10), kRed);
  EXPECT_EQ(Pixels().At(5, 2), kWhite) << "the form shows where the display was";

  holder->SetTransparentColor(0x7F000000 | clRed);
  EXPECT_EQ(holder->GetTransparentColor(), clRed);
  holder->SetTransparent(true);
  EXPECT_TRUE(holder->GetTransparent());
  EXPECT_EQ(Pixels().At(20, 10), kWhite) << "the red picture is keyed away";
}

TEST_F(BitmapHolder, PreconditionsFailWithTheirAssertions)
{
  TThrowingAsserts asserts;
  auto holder = ColouredHolder(3);
  using TPainter = TBmpLEDCtrl::Painter;
  const struct {
    const char* expression;
    const char* file;
    std::function<void()> call;
  } cases[] = {
      {"state >= 0 && state < StateCount()", "BmpLED.h", [&] { holder->SetState(3); }},
      {"state >= 0 && state < StateCount()", "BmpLED.h", [&] { holder->SetState(-1); }},
      {"index < (int) m_bitmaps.size()", "BmpLED.h", [&] { holder->GetBitmap(3); }},
      {"stateCount > 0", "TBmpLEDCtrl.cpp", [&] { TBmpLEDCtrl none(Form, Form, 0); }},
      {"m_pBitmaps", "BmpLED.h", [] { orvo::detail::BitmapLEDHelper<TPainter>(nullptr, nullptr).StateCount(); }},
      {"m_state >= 0 && m_state < StateCount()", "BmpLED.h",
       [] {
         orvo::detail::BitmapLEDHelper<TPainter>::Bitmaps bitmaps(1);
         orvo::detail::BitmapLEDHelper<TPainter>(&bitmaps, nullptr).Refresh();
       }},
      {"m_painterPtr", "BmpFigure.h", [] { orvo::TBitmapFigure<TPainter>(nullptr).Draw(); }},
      {"m_painterPtr", "BmpFigure.h", [] { orvo::TBitmapFigure<TPainter>(nullptr).Erase(); }},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.expression << " did not fail";
    } catch (const TAssertionFailure& failure) {
      const std::string expected = std::string("Assertion failed: ") + c.expression + ", file " + c.file + ", line ";
      EXPECT_EQ(std::string(failure.what()).substr(0, expected.size()), expected);
    }
  }
  EXPECT_EQ(holder->GetState(), 0) << "a refused state changes nothing";
}

TEST_F(BitmapHolder, TheDisplayGoesWithTheHolderOrWithItsOwnerWhicheverIsFirst)
{
  {
    TBmpLEDCtrl holder(Form, Form, 2);
    EXPECT_EQ(Form->ControlCount(), 1);
  }
  EXPECT_EQ(Form->ControlCount(), 0) << "the holder freed its display";

  auto* owner = new TComponent(nullptr);
  auto holder = std::make_unique<TBmpLEDCtrl>(owner, Form, 2);
  EXPECT_EQ(owner->ComponentCount(), 1);
  delete owner;
  EXPECT_EQ(Form->ControlCount(), 0) << "the owner freed the display";
  holder.reset();  // must not free it again
}

TEST_F(BitmapHolder, LeavesNoGdiObjectsBehind)
{
  auto cycle = [&] {
    auto holder = ColouredHolder(3);
    holder->SetState(2);
    holder->SetState(1);
    holder->Resize(30, 30);
    holder->Redraw();
    UpdateWindow(Form->GetHandle());
  };
  cycle();
  const int before = GdiObjectCount();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 20; ++i)
    cycle();
  EXPECT_EQ(GdiObjectCount(), before);
}

TEST(BitmapFigure, DrawsACopyOfItsPictureOneToOneAtItsPosition)
{
  TTarget target;
  TCanvasPainter painter{target.Bitmap.GetCanvas()};
  orvo::TBitmapFigure<TCanvasPainter> figure(&painter);
  EXPECT_EQ(figure.Width(), 0);
  EXPECT_EQ(figure.Height(), 0);
  figure.Draw();  // nothing to draw
  EXPECT_EQ(PixelOf(target.Bitmap, 0, 0), kWhite);

  TBitmap source;
  SolidPicture(source, 10, 6, clBlue);
  figure.SetBitmap(&source);
  Fill(source, clRed);  // the figure keeps its own copy
  figure.MoveBy(5, 4);
  figure.Draw();
  EXPECT_EQ(target.Bitmap.GetCanvas()->GetCopyMode(), static_cast<DWORD>(SRCCOPY));
  EXPECT_EQ(PixelOf(target.Bitmap, 5, 4), kBlue);
  EXPECT_EQ(PixelOf(target.Bitmap, 14, 9), kBlue);
  EXPECT_EQ(PixelOf(target.Bitmap, 15, 9), kWhite);
  EXPECT_EQ(PixelOf(target.Bitmap, 14, 10), kWhite);
  EXPECT_EQ(PixelOf(target.Bitmap, 4, 4), kWhite);
  // The loan of the section did not take it from the figure.
  EXPECT_NE(figure.GetBitmap()->GetHandle(), nullptr);
  EXPECT_EQ(PixelOf(*figure.GetBitmap(), 0, 0), kBlue);
}

TEST(BitmapFigure, ErasesItsAreaToTheBackgroundAndLeavesTheBrushAsItWas)
{
  TTarget target;
  TCanvasPainter painter{target.Bitmap.GetCanvas(), clYellow};
  orvo::TBitmapFigure<TCanvasPainter> figure(&painter);
  figure.Erase();  // no bitmap, nothing to erase
  EXPECT_EQ(PixelOf(target.Bitmap, 0, 0), kWhite);

  TBitmap source;
  SolidPicture(source, 8, 8, clBlue);
  figure.SetBitmap(&source);
  figure.MoveBy(2, 3);
  figure.Draw();
  // Drawing prepares a solid brush; erasing puts back whatever it finds.
  TBrush* brush = target.Bitmap.GetCanvas()->GetBrush();
  EXPECT_EQ(brush->GetStyle(), bsSolid);
  brush->SetColor(clGreen);
  brush->SetStyle(bsCross);
  figure.Erase();
  EXPECT_EQ(PixelOf(target.Bitmap, 2, 3), kYellow);
  EXPECT_EQ(PixelOf(target.Bitmap, 9, 10), kYellow);
  EXPECT_EQ(PixelOf(target.Bitmap, 10, 10), kWhite);
  EXPECT_EQ(brush->GetColor(), clGreen);
  EXPECT_EQ(brush->GetStyle(), bsCross);
}

TEST(BitmapLED, PlacesItsFigureAtItsPositionAndKeepsOneBitmapPerState)
{
  TTarget target;
  TCanvasPainter painter{target.Bitmap.GetCanvas()};
  orvo::TBitmapLED<TCanvasPainter> led(&painter, 2);
  EXPECT_EQ(led.StateCount(), 2);
  EXPECT_EQ(led.GetState(), 0);
  SolidPicture(*led.GetBitmap(1), 4, 4, clBlue);

  led.SetPosition(7, 3);
  orvo::Figure* figure = led.PlacedFigure();
  EXPECT_EQ(figure->Left(), 7);
  EXPECT_EQ(figure->Top(), 3);
  figure->MoveBy(-7, 10);
  EXPECT_EQ(led.PlacedFigure()->Left(), 7) << "moved back to the LED's position";
  EXPECT_EQ(led.PlacedFigure()->Top(), 3);

  EXPECT_EQ(led.Width(), 0) << "state 0 is empty";
  led.SetState(1);
  EXPECT_EQ(led.Width(), 4);
  led.PlacedFigure()->Draw();
  EXPECT_EQ(PixelOf(target.Bitmap, 7, 3), kBlue);

  led.RemoveBitmapsFrom(1);
  EXPECT_EQ(led.StateCount(), 1);
}

TEST(SimplePainter, FillsInOneColourForPenAndBrushAlike)
{
  struct TLayer {
    TCanvas* Target;
    TCanvas* Canvas() const { return Target; }
    TColor Background() const { return clAqua; }
  };
  TTarget target;
  TLayer layer{target.Bitmap.GetCanvas()};
  orvo::SimplePainter<TLayer> painter(&layer);
  EXPECT_EQ(painter.GetColor(), -1) << "no colour chosen yet";
  EXPECT_EQ(painter.Background(), clAqua);
  painter.SetColor(clMaroon);
  EXPECT_EQ(painter.GetColor(), clMaroon);
  EXPECT_EQ(target.Bitmap.GetCanvas()->GetPen()->GetColor(), clMaroon);
  EXPECT_EQ(target.Bitmap.GetCanvas()->GetBrush()->GetColor(), clMaroon);
}
