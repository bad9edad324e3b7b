#include "ExtCtrls.h"
#include "GraphicsFixture.h"
#include "PaintFixture.h"

namespace {


class Image : public TPaintTest {
protected:
  TImage* NewImage(TRect bounds)
  {
    auto* image = new TImage(Form);
    image->SetName("image");
    image->SetBoundsRect(bounds);
    image->SetParent(Form);
    return image;
  }
};

} // namespace

TEST_F(Image, PaintsItsPictureAtItsPlaceOnTheParent)
{
  TImage* image = NewImage(Bounds(20, 10, 30, 20));
  TBitmap picture;
  FillBitmap(picture, 30, 20, clRed, Rect(15, 0, 30, 20), clBlue);
  image->GetPicture()->SetBitmap(&picture);

  const TClientPixels pixels = Pixels();
  EXPECT_EQ(pixels.At(20, 10), kRed);
  EXPECT_EQ(pixels.At(34, 29), kRed);
  EXPECT_EQ(pixels.At(35, 10), kBlue);
  EXPECT_EQ(pixels.At(49, 29), kBlue);
  EXPECT_EQ(pixels.At(19, 10), kWhite);
  EXPECT_EQ(pixels.At(50, 10), kWhite);
  EXPECT_EQ(pixels.At(20, 30), kWhite);
}

TEST_F(Image, TransparentLeavesThePicturesTransparentColourUnpainted)
{
  TImage* image = NewImage(Bounds(10, 10, 40, 40));
  TBitmap picture;
  // Magenta frame (its bottom-left pixel gives the transparent colour), red middle.
  FillBitmap(picture, 40, 40, clFuchsia, Rect(10, 10, 30, 30), clRed);
  image->GetPicture()->SetBitmap(&picture);

  TClientPixels pixels = Pixels();
  EXPECT_EQ(pixels.At(12, 12), kMagenta) << "opaque by default";

  image->SetTransparent(true);
  pixels = Pixels();
  EXPECT_EQ(pixels.Count(kMagenta), 0);
  EXPECT_EQ(pixels.At(12, 12), kWhite);
  EXPECT_EQ(pixels.Count(kRed, Rect(20, 20, 40, 40)), 400);
  EXPECT_FALSE(image->GetControlStyle().Contains(csOpaque)) << "the parent must paint behind the holes";

  // A fixed transparent colour instead of the corner's.
  image->GetPicture()->GetBitmap()->SetTransparentColor(clRed);
  pixels = Pixels();
  EXPECT_EQ(pixels.Count(kRed), 0);
  EXPECT_EQ(pixels.At(12, 12), kMagenta);
  EXPECT_EQ(pixels.At(25, 25), kWhite);
}

TEST_F(Image, AutoSizeTakesAndKeepsThePicturesSize)
{
  TImage* image = NewImage(Bounds(5, 6, 100, 100));
  TBitmap picture;
  FillBitmap(picture, 30, 20, clRed);
  image->GetPicture()->SetBitmap(&picture);
  EXPECT_EQ(image->GetWidth(), 100) << "no AutoSize: the control keeps its size";

  image->SetAutoSize(true);
  EXPECT_EQ(image->GetBoundsRect(), Bounds(5, 6, 30, 20));
  image->SetBounds(7, 8, 200, 200);
  EXPECT_EQ(image->GetBoundsRect(), Bounds(7, 8, 30, 20)) << "moves, but keeps the picture's size";

  image->GetPicture()->GetBitmap()->SetSize(50, 40);
  EXPECT_EQ(image->GetBoundsRect(), Bounds(7, 8, 50, 40)) << "follows the picture";
  const TClientPixels pixels = Pixels();
  EXPECT_EQ(pixels.At(7 + 49, 8 + 39), kWhite) << "new pixels of the bitmap are white";
  EXPECT_EQ(pixels.At(7, 8), kRed);

  // An empty picture leaves the size alone.
  image->GetPicture()->GetBitmap()->SetSize(0, 0);
  EXPECT_EQ(image->GetWidth(), 50);
}

TEST_F(Image, DrawingOnItsCanvasRepaintsIt)
{
  TImage* image = NewImage(Bounds(10, 10, 40, 30));
  // An empty picture gets a bitmap of the control's size to draw on.
  TCanvas* canvas = image->GetCanvas();
  EXPECT_EQ(image->GetPicture()->GetWidth(), 40);
  EXPECT_EQ(image->GetPicture()->GetHeight(), 30);
  EXPECT_EQ(Pixels().At(20, 20), kWhite);

  canvas->GetBrush()->SetColor(clBlue);
  canvas->FillRect(Rect(0, 0, 40, 30));
  EXPECT_EQ(Pixels().Count(kBlue), 40 * 30);
  canvas->SetPixel(0, 0, clRed);
  EXPECT_EQ(Pixels().At(10, 10), kRed);
}

TEST_F(Image, CanvasNeedsABitmap)
{
  TImage* image = NewImage(Bounds(0, 0, 16, 16));
  HICON icon = LoadIcon(nullptr, IDI_APPLICATION);
  image->GetPicture()->GetIcon()->SetHandle(CopyIcon(icon));
  EXPECT_THROW(image->GetCanvas(), EInvalidOperation);
}

TEST_F(Image, StretchCentreAndProportionalPlaceThePicture)
{
  TImage* image = NewImage(Bounds(0, 0, 100, 50));
  TBitmap picture;
  FillBitmap(picture, 20, 10, clRed);
  image->GetPicture()->SetBitmap(&picture);
  EXPECT_EQ(image->DestRect(), Rect(0, 0, 20, 10));

  image->SetCenter(true);
  EXPECT_EQ(image->DestRect(), Rect(40, 20, 60, 30));
  TClientPixels pixels = Pixels();
  EXPECT_EQ(pixels.BoundsOf(kRed), Rect(40, 20, 60, 30));

  image->SetStretch(true);
  pixels = Pixels();
  EXPECT_EQ(pixels.Count(kRed, Rect(0, 0, 100, 50)), 100 * 50);
  EXPECT_TRUE(image->GetControlStyle().Contains(csOpaque)) << "covers itself: nothing needs painting behind";

  image->SetProportional(true); // 2:1 into 100 x 50 fills it exactly
  EXPECT_EQ(image->DestRect(), Rect(0, 0, 100, 50));
  image->SetBounds(0, 0, 100, 100);
  EXPECT_EQ(image->DestRect(), Rect(0, 25, 100, 75));
  EXPECT_FALSE(image->GetControlStyle().Contains(csOpaque));
  image->SetStretch(false);
  image->GetPicture()->GetBitmap()->SetSize(400, 100); // larger than the control: shrunk in proportion
  EXPECT_EQ(image->DestRect(), Rect(0, 37, 100, 62));
}

TEST_F(Image, ClickOnTheImageReachesItsEvents)
{
  Form->SetName("form");
  TImage* image = NewImage(Bounds(20, 30, 40, 20));
  Log.WatchMouse(image);
  Log.WatchMouse(Form);

  ClickAt(Form->GetHandle(), 25, 35);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down image L 5,5", "up image L 5,5", "click image"}));
}

TEST_F(Image, DisabledImageLetsTheMouseThroughToItsParent)
{
  Form->SetName("form");
  TImage* image = NewImage(Bounds(20, 30, 40, 20));
  image->SetEnabled(false);
  Log.WatchMouse(image);
  Log.WatchMouse(Form);

  ClickAt(Form->GetHandle(), 25, 35);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down form L 25,35", "up form L 25,35", "click form"}));

  // Still painted while it takes no input.
  TBitmap picture;
  FillBitmap(picture, 40, 20, clBlue);
  image->GetPicture()->SetBitmap(&picture);
  EXPECT_EQ(Pixels().Count(kBlue), 40 * 20);
}

TEST_F(Image, RepaintingLeaksNoGdiObjects)
{
  TImage* image = NewImage(Bounds(0, 0, 40, 40));
  TBitmap picture;
  FillBitmap(picture, 40, 40, clFuchsia, Rect(10, 10, 30, 30), clRed);
  image->GetPicture()->SetBitmap(&picture);
  image->SetTransparent(true);
  // Objects made once and kept (the canvas's DC, cached fonts) come in the warm-up round.
  const int rounds = 200;
  int before = 0;
  for (int i = 0; i < rounds; ++i) {
    if (i == 10)
      before = GdiObjectCount();
    image->SetStretch(i % 2 == 0);
    image->GetCanvas()->SetPixel(20, 20, i % 2 ? clRed : clBlue);
    UpdateWindow(Form->GetHandle());
  }
  ASSERT_GT(before, 0);
  EXPECT_LE(GdiObjectCount(), before);
}
