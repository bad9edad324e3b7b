#include "Canvas.h"

#include "Bitmap.h"
#include "GraphicsFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

TEST(Canvas, DrawingCallsLeaveTheDeviceContextAsFound)
{
  TBitmap surface;
  surface.SetPixelFormat(pf32bit);
  surface.SetSize(64, 64);
  // A DC that someone else owns, with objects and modes of its own.
  TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
  TBitmapHandle target(CreateCompatibleBitmap(dc.Get(), 64, 64));
  TSelectObject selectTarget(dc.Get(), target.Get());
  TPenHandle ownPen(CreatePen(PS_DOT, 1, RGB(1, 2, 3)));
  TBrushHandle ownBrush(CreateSolidBrush(RGB(4, 5, 6)));
  TFontHandle ownFont(CreateFontA(-9, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));
  TSelectObject selectPen(dc.Get(), ownPen.Get());
  TSelectObject selectBrush(dc.Get(), ownBrush.Get());
  TSelectObject selectFont(dc.Get(), ownFont.Get());
  SetROP2(dc.Get(), R2_MASKPEN);
  SetBkMode(dc.Get(), TRANSPARENT);
  SetBkColor(dc.Get(), RGB(7, 8, 9));
  SetTextColor(dc.Get(), RGB(10, 11, 12));
  SetStretchBltMode(dc.Get(), HALFTONE);

  TBitmap picture;
  MakePattern(picture, 8, 8);
  picture.SetTransparent(true);

  TCanvas canvas;
  canvas.SetHandle(dc.Get());
  canvas.GetPen()->SetColor(clRed);
  canvas.GetPen()->SetMode(pmXor);
  canvas.GetBrush()->SetColor(clBlue);
  canvas.GetFont()->SetStyle({fsBold});
  canvas.SetCopyMode(SRCINVERT);
  const TPoint triangle[] = {{1, 1}, {20, 1}, {10, 15}};
  const std::vector<std::pair<const char*, std::function<void()>>> calls = {
      {"Rectangle", [&] { canvas.Rectangle(1, 1, 20, 20); }},
      {"Ellipse", [&] { canvas.Ellipse(Rect(2, 2, 30, 20)); }},
      {"RoundRect", [&] { canvas.RoundRect(1, 1, 30, 30, 5, 5); }},
      {"Polygon", [&] { canvas.Polygon(triangle, 3); }},
      {"Polyline", [&] { canvas.Polyline(triangle, 3); }},
      {"FillRect", [&] { canvas.FillRect(Rect(0, 0, 5, 5)); }},
      {"FrameRect", [&] { canvas.FrameRect(Rect(0, 0, 5, 5)); }},
      {"LineTo", [&] { canvas.MoveTo(0, 0); canvas.LineTo(30, 30); }},
      {"TextOut", [&] { canvas.TextOut(2, 2, "Text"); }},
      {"TextRect", [&] { canvas.TextRect(Rect(0, 0, 20, 10), 0, 0, "Clipped text"); }},
      {"TextExtent", [&] { canvas.TextExtent("Text"); }},
      {"SetPixel", [&] { canvas.SetPixel(3, 3, clLime); }},
      {"CopyRect", [&] { canvas.CopyRect(Rect(0, 0, 16, 16), surface.GetCanvas(), Rect(0, 0, 8, 8)); }},
      {"Draw", [&] { canvas.Draw(4, 4, &picture); }},
      {"StretchDraw", [&] { canvas.StretchDraw(Rect(0, 0, 30, 30), &picture); }},
  };
  for (const auto& [name, call] : calls) {
    call();
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_PEN), ownPen.Get()) << name;
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), ownBrush.Get()) << name;
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_FONT), ownFont.Get()) << name;
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), target.Get()) << name;
    EXPECT_EQ(GetROP2(dc.Get()), R2_MASKPEN) << name;
    EXPECT_EQ(GetBkMode(dc.Get()), TRANSPARENT) << name;
    EXPECT_EQ(GetBkColor(dc.Get()), RGB(7, 8, 9)) << name;
    EXPECT_EQ(GetTextColor(dc.Get()), RGB(10, 11, 12)) << name;
    EXPECT_EQ(GetStretchBltMode(dc.Get()), HALFTONE) << name;
    EXPECT_EQ(canvas.GetCopyMode(), static_cast<DWORD>(SRCINVERT)) << name;
  }
  canvas.SetHandle(nullptr);
}

TEST(Canvas, PenAndBrushChangesTakeEffectAtTheNextCall)
{
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(40, 20);
  Fill(bitmap, clWhite);
  TCanvas* canvas = bitmap.GetCanvas();
  canvas->GetPen()->SetColor(clBlack);
  canvas->GetBrush()->SetColor(clRed);
  canvas->Rectangle(0, 0, 10, 10);
  EXPECT_EQ(PixelOf(bitmap, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(PixelOf(bitmap, 5, 5), RGB(255, 0, 0));

  canvas->GetPen()->SetColor(clBlue);
  canvas->GetBrush()->SetColor(clLime);
  canvas->Rectangle(10, 0, 20, 10);
  EXPECT_EQ(PixelOf(bitmap, 10, 0), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(bitmap, 15, 5), RGB(0, 255, 0));

  // A clear brush outlines only.
  canvas->GetBrush()->SetStyle(bsClear);
  canvas->Rectangle(20, 0, 30, 10);
  EXPECT_EQ(PixelOf(bitmap, 20, 0), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(bitmap, 25, 5), RGB(255, 255, 255));

  // A clear pen fills only.
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetPen()->SetStyle(psClear);
  canvas->Rectangle(30, 0, 40, 10);
  EXPECT_EQ(PixelOf(bitmap, 30, 0), RGB(0, 255, 0));

  // An XOR pen undoes itself.
  canvas->GetPen()->SetStyle(psSolid);
  canvas->GetPen()->SetMode(pmXor);
  canvas->GetPen()->SetColor(clWhite);
  canvas->MoveTo(0, 15);
  canvas->LineTo(40, 15);
  EXPECT_EQ(PixelOf(bitmap, 5, 15), RGB(0, 0, 0));
  canvas->MoveTo(0, 15);
  canvas->LineTo(40, 15);
  EXPECT_EQ(PixelOf(bitmap, 5, 15), RGB(255, 255, 255));
}

TEST(Canvas, FrameRectAndPolygonDrawOutlinesOnly)
{
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(30, 30);
  Fill(bitmap, clWhite);
  TCanvas* canvas = bitmap.GetCanvas();
  canvas->GetBrush()->SetColor(clRed);
  canvas->FrameRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(PixelOf(bitmap, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(bitmap, 9, 9), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(bitmap, 5, 5), RGB(255, 255, 255));

  canvas->GetBrush()->SetStyle(bsClear);
  canvas->GetPen()->SetColor(clBlue);
  const TPoint triangle[] = {{10, 10}, {29, 10}, {20, 29}};
  canvas->Polygon(triangle, 3);
  EXPECT_EQ(PixelOf(bitmap, 10, 10), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(bitmap, 20, 29), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(bitmap, 20, 15), RGB(255, 255, 255));  // inside: untouched
}

TEST(Canvas, TextFollowsFontAndBrush)
{
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(120, 40);
  TCanvas* canvas = bitmap.GetCanvas();
  canvas->GetFont()->SetName("Arial");
  canvas->GetFont()->SetHeight(-16);
  canvas->GetFont()->SetColor(clRed);
  EXPECT_GT(canvas->TextWidth("W"), 0);
  EXPECT_GT(canvas->TextWidth("WWW"), canvas->TextWidth("W"));
  const int small = canvas->TextHeight("Wg");
  canvas->GetFont()->SetHeight(-30);
  EXPECT_GT(canvas->TextHeight("Wg"), small);
  canvas->GetFont()->SetHeight(-16);

  auto count = [&](COLORREF colour) {
    int n = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 120; ++x)
        n += PixelOf(bitmap, x, y) == colour;
    return n;
  };
  // Opaque cells take the brush's colour.
  Fill(bitmap, clWhite);
  canvas->GetBrush()->SetColor(clYellow);
  canvas->TextOut(2, 2, "Wide");
  EXPECT_GT(count(RGB(255, 255, 0)), 0);
  EXPECT_GT(count(RGB(255, 0, 0)), 0);

  // A clear brush leaves the cells alone.
  Fill(bitmap, clWhite);
  canvas->GetBrush()->SetStyle(bsClear);
  canvas->TextOut(2, 2, "Wide");
  EXPECT_EQ(count(RGB(255, 255, 0)), 0);
  EXPECT_GT(count(RGB(255, 0, 0)), 0);

  // TextRect clips to its rectangle.
  Fill(bitmap, clWhite);
  canvas->GetBrush()->SetStyle(bsClear);
  canvas->TextRect(Rect(0, 0, 10, 40), 2, 2, "WWWWWWWW");
  int outside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 10; x < 120; ++x)
      outside += PixelOf(bitmap, x, y) != RGB(255, 255, 255);
  EXPECT_EQ(outside, 0);
}

TEST(Canvas, PixelsCopyRectAndEvents)
{
  TBitmap source;
  source.SetPixelFormat(pf24bit);
  source.SetSize(10, 10);
  Fill(source, clRed);
  source.GetCanvas()->SetPixel(9, 9, clBtnFace);
  EXPECT_EQ(PixelOf(source, 9, 9), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(source.GetCanvas()->GetPixel(50, 50), -1);  // outside: CLR_INVALID

  TBitmap dest;
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(20, 20);
  Fill(dest, clWhite);
  TCanvas* canvas = dest.GetCanvas();
  EXPECT_EQ(canvas->GetCopyMode(), static_cast<DWORD>(SRCCOPY));
  TCounter changing, changed;
  canvas->OnChanging = changing.Event();
  canvas->OnChange = changed.Event();
  canvas->CopyRect(Rect(0, 0, 10, 10), source.GetCanvas(), Rect(0, 0, 10, 10));
  EXPECT_EQ(PixelOf(dest, 5, 5), RGB(255, 0, 0));
  canvas->SetCopyMode(NOTSRCCOPY);
  canvas->CopyRect(Rect(10, 10, 20, 20), source.GetCanvas(), Rect(0, 0, 10, 10));
  EXPECT_EQ(PixelOf(dest, 15, 15), RGB(0, 255, 255));
  // Stretching copies colours without blending.
  canvas->SetCopyMode(SRCCOPY);
  canvas->CopyRect(Rect(0, 10, 5, 15), source.GetCanvas(), Rect(0, 0, 10, 10));
  EXPECT_EQ(PixelOf(dest, 2, 12), RGB(255, 0, 0));
  EXPECT_EQ(changing.Count, 3);
  EXPECT_EQ(changed.Count, 3);
  EXPECT_EQ(changed.LastSender, canvas);

  // Queries are not changes.
  canvas->TextExtent("x");
  canvas->GetPixel(0, 0);
  canvas->MoveTo(1, 1);
  EXPECT_EQ(canvas->GetPenPos(), Point(1, 1));
  EXPECT_EQ(changed.Count, 3);
}

TEST(Canvas, WithoutADeviceContextDrawingIsRefused)
{
  TCanvas canvas;
  EXPECT_FALSE(canvas.HandleAllocated());
  EXPECT_THROW(canvas.Rectangle(0, 0, 1, 1), EInvalidGraphicOperation);
  EXPECT_THROW(canvas.TextOut(0, 0, "x"), EInvalidGraphicOperation);
}
