#include "Graphics.h"

#include "GraphicsFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

// The graphics units together: GDI objects are counted, and none may leak.

TEST(GdiResources, TheCounterSeesObjects)
{
  auto bitmapWithCanvas = [](const std::function<void()>& whileAlive) {
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    bitmap.GetCanvas()->GetHandle();
    whileAlive();
  };
  bitmapWithCanvas([] {});  // the system sets up what the first memory DC needs, once
  const int before = GdiObjectCount();
  ASSERT_GT(before, 0);
  bitmapWithCanvas([&] { EXPECT_GE(GdiObjectCount(), before + 2); });  // the DIB section and the memory DC
  EXPECT_EQ(GdiObjectCount(), before);
}

TEST(GdiResources, LongLoopsLeakNothing)
{
  TTempFile iconFile(".ico");
  WriteBytes(iconFile.Path(), IconFile());
  TIcon icon;
  icon.LoadFromFile(iconFile.Path());
  TBitmap shared;
  shared.SetPixelFormat(pf24bit);
  shared.SetSize(32, 32);

  // A canvas over a DC that someone else owns, drawn on thousands of times with changing objects.
  TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
  TBitmapHandle target(CreateCompatibleBitmap(dc.Get(), 40, 40));
  TSelectObject select(dc.Get(), target.Get());
  TCanvas canvas;
  canvas.SetHandle(dc.Get());

  const TPoint triangle[] = {{0, 0}, {10, 0}, {5, 8}};
  auto cycle = [&](int i) {
    canvas.GetPen()->SetColor(static_cast<TColor>(i * 12345 & 0xFFFFFF));
    canvas.GetPen()->SetWidth(1 + i % 3);
    canvas.GetBrush()->SetColor(static_cast<TColor>(i * 54321 & 0xFFFFFF));
    canvas.GetBrush()->SetStyle(i % 2 ? bsSolid : bsDiagCross);
    canvas.GetFont()->SetHeight(-8 - i % 5);
    canvas.Rectangle(0, 0, 10, 10);
    canvas.Ellipse(0, 0, 10, 10);
    canvas.RoundRect(0, 0, 10, 10, 3, 3);
    canvas.Polygon(triangle, 3);
    canvas.FillRect(Rect(0, 0, 4, 4));
    canvas.FrameRect(Rect(0, 0, 4, 4));
    canvas.MoveTo(0, 0);
    canvas.LineTo(9, 9);
    canvas.TextOut(0, 0, "abc");
    canvas.TextRect(Rect(0, 0, 5, 5), 0, 0, "abc");
    canvas.TextWidth("abc");
    canvas.CopyRect(Rect(0, 0, 8, 8), shared.GetCanvas(), Rect(0, 0, 16, 16));

    TBitmap bitmap;
    bitmap.SetPixelFormat(i % 2 ? pf32bit : pf24bit);
    bitmap.SetSize(16, 12);
    bitmap.GetCanvas()->GetBrush()->SetColor(clRed);
    bitmap.GetCanvas()->Rectangle(0, 0, 8, 8);
    bitmap.GetCanvas()->TextOut(1, 1, "x");
    bitmap.SetPixelFormat(pf8bit);
    bitmap.SetPixelFormat(pf1bit);
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(20, 10);
    TBitmap copy;
    copy.Assign(&bitmap);
    copy.SetTransparent(true);
    canvas.Draw(1, 1, &copy);
    canvas.StretchDraw(Rect(0, 0, 30, 30), &copy);
    canvas.Draw(2, 2, &icon);
    shared.GetCanvas()->Draw(0, 0, &copy);
    TBitmap adopter;
    adopter.SetHandle(copy.ExtractHandle());
    adopter.SetHandle(bitmap.ExtractHandle());
    TBitmap borrower;
    borrower.Borrow(adopter.GetHandle());
    borrower.GetCanvas()->SetPixel(0, 0, clRed);
    adopter.GetCanvas()->SetPixel(1, 1, clBlue);
    adopter.Dormant();
    TIcon iconCopy;
    iconCopy.Assign(&icon);
    TPicture picture;
    picture.GetBitmap()->Assign(&adopter);
    picture.SetIcon(&iconCopy);
  };
  // The first rounds create what the system keeps for the process (fonts, caches).
  for (int i = 0; i < 10; ++i)
    cycle(i);
  const int before = GdiObjectCount();
  for (int i = 0; i < 1000; ++i)
    cycle(i);
  EXPECT_EQ(GdiObjectCount(), before);
  canvas.SetHandle(nullptr);
}
