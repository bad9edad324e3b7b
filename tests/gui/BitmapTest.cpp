#include "Bitmap.h"

#include "Dib.h"
#include "GraphicObjects.h"
#include "GraphicsFixture.h"
#include "Handles.h"
#include "Icon.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// --- bitmap: formats ---

TEST(Bitmap, ConversionBetween24And32BitsIsPixelExact)
{
  TBitmap bitmap;
  MakePattern(bitmap, 7, 5);  // odd width: padded rows
  std::vector<uint32_t> original;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      original.push_back(Bgr(static_cast<uint8_t*>(bitmap.ScanLine(y)) + 3 * x));

  bitmap.SetPixelFormat(pf32bit);
  EXPECT_EQ(bitmap.GetPixelFormat(), pf32bit);
  EXPECT_EQ(bitmap.BytesPerLine(), 28);
  for (int y = 0; y < 5; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < 7; ++x) {
      EXPECT_EQ(Bgr(row + 4 * x), original[static_cast<size_t>(y * 7 + x)]);
      EXPECT_EQ(row[4 * x + 3], 0);  // no alpha in a 24-bit picture
      row[4 * x + 3] = 200;
    }
  }
  bitmap.SetPixelFormat(pf24bit);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ(Bgr(static_cast<uint8_t*>(bitmap.ScanLine(y)) + 3 * x), original[static_cast<size_t>(y * 7 + x)]);
}

TEST(Bitmap, PureColoursSurvivePaletteFormats)
{
  const TColor colours[] = {clBlack, clMaroon, clGreen,  clOlive, clNavy, clPurple, clTeal, clGray,
                            clSilver, clRed,   clLime,   clYellow, clBlue, clFuchsia, clAqua, clWhite};
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(16, 1);
  for (int x = 0; x < 16; ++x)
    bitmap.GetCanvas()->SetPixel(x, 0, colours[x]);

  for (TPixelFormat format : {pf8bit, pf4bit, pf15bit, pf32bit}) {
    TBitmap copy;
    copy.Assign(&bitmap);
    copy.SetPixelFormat(format);
    EXPECT_EQ(copy.GetPixelFormat(), format);
    copy.SetPixelFormat(pf24bit);
    for (int x = 0; x < 16; ++x) {
      bool fullChannels = true;
      for (int shift : {0, 8, 16}) {
        const int channel = (colours[x] >> shift) & 0xFF;
        fullChannels = fullChannels && (channel == 0 || channel == 255);
      }
      if (format == pf15bit && !fullChannels)
        continue;  // 5 bits per channel cannot hold 0x80 and 0xC0 exactly
      EXPECT_EQ(PixelOf(copy, x, 0), static_cast<COLORREF>(colours[x])) << format << " " << x;
    }
  }

  // Down to one bit: black and white stay, everything else takes the nearer of the two.
  TBitmap mono;
  mono.Assign(&bitmap);
  mono.SetMonochrome(true);
  EXPECT_TRUE(mono.GetMonochrome());
  EXPECT_EQ(mono.GetPixelFormat(), pf1bit);
  const std::vector<RGBQUAD> table = mono.ColorTable();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].rgbRed + table[0].rgbGreen + table[0].rgbBlue, 0);
  EXPECT_EQ(table[1].rgbRed + table[1].rgbGreen + table[1].rgbBlue, 3 * 255);
  mono.SetPixelFormat(pf24bit);
  EXPECT_EQ(PixelOf(mono, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(PixelOf(mono, 15, 0), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(mono, 8, 0), RGB(255, 255, 255));  // silver
  EXPECT_EQ(PixelOf(mono, 9, 0), RGB(0, 0, 0));        // red
  EXPECT_EQ(PixelOf(mono, 11, 0), RGB(255, 255, 255));  // yellow
}

TEST(Bitmap, FormatOfAnEmptyBitmapIsKeptForItsCreation)
{
  TBitmap bitmap;
  EXPECT_EQ(bitmap.GetPixelFormat(), pfDevice);
  EXPECT_TRUE(bitmap.Empty());
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(3, 3);
  EXPECT_EQ(bitmap.GetPixelFormat(), pf8bit);
  EXPECT_EQ(bitmap.ColorTable().size(), 256u);
  EXPECT_EQ(PixelOf(bitmap, 1, 1), RGB(255, 255, 255));

  TBitmap device;
  device.SetSize(2, 2);
  EXPECT_NE(device.GetPixelFormat(), pfDevice);  // resolved to the screen's depth
  if (ScreenBitsPerPixel() >= 24) {
    EXPECT_EQ(PixelFormatBits(device.GetPixelFormat()), std::min(32, ScreenBitsPerPixel()));
  }
  EXPECT_THROW(device.SetPixelFormat(pfCustom), EInvalidGraphicOperation);
}

TEST(Bitmap, ResizingKeepsTheTopLeftAndFillsWhite)
{
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit}) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(4, 4);
    Fill(bitmap, clBlack);
    bitmap.GetCanvas()->SetPixel(0, 0, clWhite);
    bitmap.SetSize(13, 2);
    EXPECT_EQ(bitmap.GetWidth(), 13);
    EXPECT_EQ(bitmap.GetHeight(), 2);
    EXPECT_EQ(PixelOf(bitmap, 0, 0), RGB(255, 255, 255)) << format;
    EXPECT_EQ(PixelOf(bitmap, 3, 1), RGB(0, 0, 0)) << format;
    EXPECT_EQ(PixelOf(bitmap, 4, 0), RGB(255, 255, 255)) << format;
    EXPECT_EQ(PixelOf(bitmap, 12, 1), RGB(255, 255, 255)) << format;
  }
  TBitmap bitmap;
  bitmap.SetSize(5, 5);
  bitmap.SetHeight(0);  // the width stays, the picture goes
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.GetWidth(), 5);
  EXPECT_EQ(bitmap.GetHeight(), 0);
  EXPECT_EQ(bitmap.GetHandle(), nullptr);
  EXPECT_THROW(bitmap.SetWidth(-1), EInvalidGraphicOperation);
}

TEST(Bitmap, ScanLineZeroIsTheTopRowInBothStorageOrders)
{
  // Created here: stored bottom-up.
  TBitmap created;
  created.SetPixelFormat(pf24bit);
  created.SetSize(2, 3);
  Fill(created, clWhite);
  created.GetCanvas()->SetPixel(0, 0, clRed);
  DIBSECTION section{};
  ASSERT_EQ(GetObjectA(created.GetHandle(), sizeof(section), &section), static_cast<int>(sizeof(section)));
  EXPECT_EQ(created.ScanLine(2), section.dsBm.bmBits);  // the bottom row is stored first
  EXPECT_EQ(Bgr(static_cast<uint8_t*>(created.ScanLine(0))), 0xFF0000u);  // B, G, R bytes of red
  EXPECT_EQ(Bgr(static_cast<uint8_t*>(created.ScanLine(2))), 0xFFFFFFu);

  // Loaded from a top-down file: stays top-down.
  TBmpLayout layout;
  layout.Height = -3;
  layout.Width = 1;
  layout.BitCount = 24;
  layout.Pixels = {0, 0, 255, 0, /**/ 0, 255, 0, 0, /**/ 255, 0, 0, 0};
  TTempFile file(".bmp");
  WriteBytes(file.Path(), BuildBmp(layout));
  TBitmap loaded;
  loaded.LoadFromFile(file.Path());
  ASSERT_EQ(GetObjectA(loaded.GetHandle(), sizeof(section), &section), static_cast<int>(sizeof(section)));
  EXPECT_EQ(loaded.ScanLine(0), section.dsBm.bmBits);  // the top row is stored first
  EXPECT_EQ(PixelOf(loaded, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(loaded, 0, 2), RGB(0, 0, 255));
  EXPECT_EQ(Bgr(static_cast<uint8_t*>(loaded.ScanLine(0))), 0xFF0000u);
  EXPECT_EQ(Bgr(static_cast<uint8_t*>(loaded.ScanLine(2))), 0x0000FFu);
  // Writing through ScanLine reaches the same pixel the canvas sees.
  static_cast<uint8_t*>(loaded.ScanLine(1))[0] = 0x40;
  EXPECT_EQ(PixelOf(loaded, 0, 1), RGB(0, 255, 0x40));
  // Converting keeps the row order right, and so does a copy.
  loaded.SetPixelFormat(pf32bit);
  EXPECT_EQ(Bgr(static_cast<uint8_t*>(loaded.ScanLine(0))), 0xFF0000u);
  TBitmap copy;
  copy.Assign(&loaded);
  EXPECT_EQ(Bgr(static_cast<uint8_t*>(copy.ScanLine(2))), 0x0000FFu);
  EXPECT_EQ(PixelOf(copy, 0, 2), RGB(0, 0, 255));

  EXPECT_THROW(loaded.ScanLine(-1), EInvalidGraphicOperation);
  EXPECT_THROW(loaded.ScanLine(3), EInvalidGraphicOperation);
  TBitmap empty;
  EXPECT_THROW(empty.ScanLine(0), EInvalidGraphicOperation);
}

// --- bitmap: transparency ---

TEST(Bitmap, TransparentColourRules)
{
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(3, 3);
  Fill(bitmap, clLime);
  bitmap.GetCanvas()->SetPixel(0, 2, RGB(10, 20, 30));
  EXPECT_EQ(bitmap.GetTransparentMode(), tmAuto);
  EXPECT_EQ(bitmap.GetTransparentColor(), 0x021E140A);  // bottom-left plus the flag
  bitmap.GetCanvas()->SetPixel(0, 2, clRed);
  EXPECT_EQ(bitmap.GetTransparentColor(), 0x020000FF);  // follows the picture

  bitmap.SetTransparentColor(clFuchsia);
  EXPECT_EQ(bitmap.GetTransparentMode(), tmFixed);
  EXPECT_EQ(bitmap.GetTransparentColor(), clFuchsia);

  bitmap.SetTransparentMode(tmAuto);
  EXPECT_EQ(bitmap.GetTransparentColor(), 0x020000FF);
  bitmap.SetTransparentMode(tmFixed);  // freezes the current colour
  bitmap.GetCanvas()->SetPixel(0, 2, clBlue);
  EXPECT_EQ(bitmap.GetTransparentColor(), 0x020000FF);
  bitmap.SetTransparentColor(clDefault);
  EXPECT_EQ(bitmap.GetTransparentMode(), tmAuto);
  EXPECT_EQ(bitmap.GetTransparentColor(), 0x02FF0000);

  // A monochrome bitmap reports white, whatever its corner holds.
  bitmap.SetMonochrome(true);
  Fill(bitmap, clBlack);
  EXPECT_EQ(bitmap.GetTransparentColor(), 0x02FFFFFF);
  TBitmap empty;
  EXPECT_EQ(empty.GetTransparentColor(), 0x02FFFFFF);
}

TEST(Bitmap, TransparentBitmapsLeaveTheirKeyColourOut)
{
  TBitmap sprite;
  sprite.SetPixelFormat(pf32bit);
  sprite.SetSize(4, 4);
  Fill(sprite, clRed);
  sprite.GetCanvas()->GetBrush()->SetColor(clBlue);
  sprite.GetCanvas()->FillRect(Rect(1, 1, 3, 3));
  // Alpha bytes must not spoil the key comparison.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      static_cast<uint8_t*>(sprite.ScanLine(y))[4 * x + 3] = 0x77;

  for (TPixelFormat targetFormat : {pf24bit, pf32bit, pf8bit}) {
    TBitmap target;
    target.SetPixelFormat(targetFormat);
    target.SetSize(12, 12);
    Fill(target, clLime);
    target.GetCanvas()->Draw(2, 2, &sprite);
    EXPECT_EQ(PixelOf(target, 2, 2), RGB(255, 0, 0)) << targetFormat;  // opaque by default

    Fill(target, clLime);
    sprite.SetTransparent(true);  // automatic key: the bottom-left red
    target.GetCanvas()->Draw(2, 2, &sprite);
    EXPECT_EQ(PixelOf(target, 2, 2), RGB(0, 255, 0)) << targetFormat;
    EXPECT_EQ(PixelOf(target, 5, 5), RGB(0, 255, 0)) << targetFormat;
    EXPECT_EQ(PixelOf(target, 3, 3), RGB(0, 0, 255)) << targetFormat;
    EXPECT_EQ(PixelOf(target, 4, 4), RGB(0, 0, 255)) << targetFormat;

    Fill(target, clLime);
    target.GetCanvas()->StretchDraw(Rect(0, 0, 8, 8), &sprite);
    EXPECT_EQ(PixelOf(target, 0, 0), RGB(0, 255, 0)) << targetFormat;
    EXPECT_EQ(PixelOf(target, 3, 3), RGB(0, 0, 255)) << targetFormat;
    EXPECT_EQ(PixelOf(target, 9, 9), RGB(0, 255, 0)) << targetFormat;

    sprite.SetTransparentColor(clBlue);  // now the middle is the hole
    Fill(target, clLime);
    target.GetCanvas()->Draw(0, 0, &sprite);
    EXPECT_EQ(PixelOf(target, 0, 0), RGB(255, 0, 0)) << targetFormat;
    EXPECT_EQ(PixelOf(target, 1, 1), RGB(0, 255, 0)) << targetFormat;
    sprite.SetTransparentMode(tmAuto);
    sprite.SetTransparent(false);
  }
}

// The 1:1 draw onto a device that maps its own origin (a graphic control painted on its parent, a double
// buffer of part of a window) and clips (a paint of part of a window): the key stays out where the picture
// lands, nothing outside the clip changes, and a picture of many runs (drawn another way) agrees.
TEST(Bitmap, TransparentDrawsLandWhereTheDeviceMapsThemAndStayInItsClip)
{
  const auto makeSprite = [](TBitmap& sprite, bool checkered) {
    sprite.SetPixelFormat(pf24bit);
    sprite.SetSize(40, 40);
    Fill(sprite, clRed);
    sprite.GetCanvas()->GetBrush()->SetColor(clBlue);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x)
        if (checkered ? (x + y) % 2 == 0 : x >= 10 && x < 30 && y >= 10 && y < 30)
          sprite.GetCanvas()->SetPixel(x, y, static_cast<TColor>(RGB(0, 0, 255)));
    sprite.SetTransparent(true);
    sprite.SetTransparentColor(clBlue);
  };
  const struct {
    const char* what;
    POINT windowOrigin;
    POINT viewportOrigin;
    RECT clip;  // in logical units; empty for none
    bool checkered;
  } cases[] = {
      {"plain", {0, 0}, {0, 0}, {}, false},
      {"window origin moved, as a graphic child paints", {-7, -3}, {0, 0}, {}, false},
      {"viewport origin moved", {0, 0}, {5, 9}, {}, false},
      {"both moved and clipped", {4, 2}, {-1, 6}, {10, 10, 30, 25}, false},
      {"many runs", {-7, -3}, {0, 0}, {}, true},
  };
  for (const auto& c : cases) {
    TBitmap sprite;
    makeSprite(sprite, c.checkered);
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(64, 64);
    Fill(target, clLime);
    const HDC dc = target.GetCanvas()->GetHandle();
    {
      const TSaveDC saved(dc);
      SetWindowOrgEx(dc, c.windowOrigin.x, c.windowOrigin.y, nullptr);
      SetViewportOrgEx(dc, c.viewportOrigin.x, c.viewportOrigin.y, nullptr);
      if (!IsRectEmpty(&c.clip))
        IntersectClipRect(dc, c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
      target.GetCanvas()->Draw(2, 2, &sprite);
    }
    // Where each sprite pixel lands on the bitmap, and whether the clip lets it through.
    const int dx = 2 - c.windowOrigin.x + c.viewportOrigin.x;
    const int dy = 2 - c.windowOrigin.y + c.viewportOrigin.y;
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const int sx = x - dx, sy = y - dy;
        const int lx = x + c.windowOrigin.x - c.viewportOrigin.x, ly = y + c.windowOrigin.y - c.viewportOrigin.y;
        const bool clipped = !IsRectEmpty(&c.clip) &&
                             (lx < c.clip.left || lx >= c.clip.right || ly < c.clip.top || ly >= c.clip.bottom);
        COLORREF expected = RGB(0, 255, 0);
        if (!clipped && sx >= 0 && sx < 40 && sy >= 0 && sy < 40 && PixelOf(sprite, sx, sy) != RGB(0, 0, 255))
          expected = RGB(255, 0, 0);
        if (PixelOf(target, x, y) != expected)
          ++wrong;
      }
    EXPECT_EQ(wrong, 0) << c.what;
  }
}

TEST(Bitmap, AssignWritesIntoItsOwnSectionOnly)
{
  const auto pattern = [](TBitmap& bitmap, TColor colour) {
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(6, 4);
    Fill(bitmap, colour);
    bitmap.GetCanvas()->SetPixel(5, 3, clWhite);
  };
  TBitmap source;
  pattern(source, clRed);
  source.SetTransparentColor(clLime);

  // A copy of the same layout: the source's pixels, key and a change notification.
  TBitmap own;
  pattern(own, clBlue);
  TCounter counter;
  own.OnChange = counter.Event();
  own.Assign(&source);
  EXPECT_EQ(PixelOf(own, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(own, 5, 3), RGB(255, 255, 255));
  EXPECT_EQ(own.GetTransparentColor(), clLime);
  EXPECT_EQ(counter.Count, 1);
  source.GetCanvas()->SetPixel(0, 0, clYellow);
  EXPECT_EQ(PixelOf(own, 0, 0), RGB(255, 0, 0)) << "still a copy";

  // A borrowed section belongs to its lender, whose pixels the copy must leave alone.
  TBitmap lender;
  pattern(lender, clBlue);
  TBitmap borrower;
  borrower.Borrow(lender.GetHandle());
  borrower.Assign(&source);
  EXPECT_EQ(PixelOf(lender, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(borrower, 0, 0), RGB(255, 255, 0));

  // Palette pictures of one size with other colour tables: the copy takes the source's table.
  TBitmap grey;
  grey.SetPixelFormat(pf8bit);
  grey.SetSize(6, 4);
  Fill(grey, static_cast<TColor>(RGB(10, 20, 30)));
  TBitmap paletted;
  paletted.SetPixelFormat(pf8bit);
  paletted.SetSize(6, 4);
  Fill(paletted, clFuchsia);
  paletted.Assign(&grey);
  EXPECT_EQ(PixelOf(paletted, 2, 2), PixelOf(grey, 2, 2));
}

// --- bitmap: copies, handles and notifications ---

TEST(Bitmap, AssignMakesAnIndependentCopy)
{
  TBitmap source;
  MakePattern(source, 5, 4);
  source.SetTransparent(true);
  source.SetTransparentColor(clLime);
  TBitmap dest;
  dest.SetPixelFormat(pf8bit);
  dest.SetSize(9, 9);
  TCounter counter;
  dest.OnChange = counter.Event();
  dest.Assign(&source);
  EXPECT_EQ(counter.Count, 1);
  EXPECT_EQ(dest.GetWidth(), 5);
  EXPECT_EQ(dest.GetHeight(), 4);
  EXPECT_EQ(dest.GetPixelFormat(), pf24bit);
  EXPECT_TRUE(dest.GetTransparent());
  EXPECT_EQ(dest.GetTransparentMode(), tmFixed);
  EXPECT_EQ(dest.GetTransparentColor(), clLime);
  EXPECT_NE(dest.GetHandle(), source.GetHandle());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(PixelOf(dest, x, y), PixelOf(source, x, y));

  const COLORREF before = PixelOf(dest, 1, 1);
  source.GetCanvas()->SetPixel(1, 1, RGB(1, 2, 3));
  source.SetSize(2, 2);
  EXPECT_EQ(PixelOf(dest, 1, 1), before);
  EXPECT_EQ(dest.GetWidth(), 5);

  // Nothing and other classes are refused, and the copy stays as it was.
  EXPECT_THROW(dest.Assign(nullptr), EConvertError);
  TFont font;
  EXPECT_THROW(dest.Assign(&font), EInvalidCast);
  TIcon icon;
  EXPECT_THROW(dest.Assign(&icon), EInvalidCast);
  EXPECT_EQ(dest.GetWidth(), 5);
  EXPECT_EQ(PixelOf(dest, 1, 1), before);
  EXPECT_EQ(counter.Count, 1);

  // An empty source empties the copy, keeping the source's size.
  TBitmap empty;
  empty.SetSize(7, 0);
  dest.Assign(&empty);
  EXPECT_TRUE(dest.Empty());
  EXPECT_EQ(dest.GetWidth(), 7);
  EXPECT_EQ(counter.Count, 2);
}

TEST(Bitmap, EveryChangeNotifies)
{
  TBitmap lender;
  lender.SetSize(3, 3);
  TBitmap bitmap;
  TCounter counter;
  bitmap.OnChange = counter.Event();
  int expected = 0;
  auto step = [&](const char* what, int more, const std::function<void()>& change) {
    change();
    expected += more;
    EXPECT_EQ(counter.Count, expected) << what;
  };
  step("format of an empty bitmap", 1, [&] { bitmap.SetPixelFormat(pf24bit); });
  step("size", 1, [&] { bitmap.SetSize(10, 10); });
  step("same size", 0, [&] { bitmap.SetSize(10, 10); });
  step("canvas drawing", 1, [&] { bitmap.GetCanvas()->Rectangle(0, 0, 5, 5); });
  step("pixel", 1, [&] { bitmap.GetCanvas()->SetPixel(1, 1, clRed); });
  step("text", 1, [&] { bitmap.GetCanvas()->TextOut(0, 0, "a"); });
  step("reading", 0, [&] { bitmap.GetCanvas()->GetPixel(1, 1); bitmap.GetTransparentColor(); });
  step("format", 1, [&] { bitmap.SetPixelFormat(pf32bit); });
  step("same format", 0, [&] { bitmap.SetPixelFormat(pf32bit); });
  step("transparent", 1, [&] { bitmap.SetTransparent(true); });
  step("transparent colour", 1, [&] { bitmap.SetTransparentColor(clRed); });
  step("monochrome", 1, [&] { bitmap.SetMonochrome(true); });
  step("dormant", 0, [&] { bitmap.Dormant(); });
  TBitmapHandle extracted;
  step("extract", 1, [&] { extracted = bitmap.ExtractHandle(); });
  step("extract from an empty bitmap", 0, [&] { bitmap.ExtractHandle(); });
  step("handle", 1, [&] { bitmap.SetHandle(std::move(extracted)); });
  step("borrow", 1, [&] { bitmap.Borrow(lender.GetHandle()); });
  step("borrow the same again", 0, [&] { bitmap.Borrow(lender.GetHandle()); });
  step("end of the loan", 1, [&] { bitmap.FreeImage(); });
  EXPECT_EQ(counter.LastSender, &bitmap);
}

TEST(Bitmap, HandlesCanBeExtractedAndAdopted)
{
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(6, 3);
  Fill(bitmap, clRed);
  bitmap.GetCanvas()->GetHandle();  // the DC holds the DIB; handing it over must take it out first
  TBitmapHandle released = bitmap.ExtractHandle();
  ASSERT_TRUE(released);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.GetWidth(), 0);
  DIBSECTION section{};
  ASSERT_EQ(GetObjectA(released.Get(), sizeof(section), &section), static_cast<int>(sizeof(section)));
  EXPECT_EQ(section.dsBm.bmWidth, 6);
  EXPECT_EQ(section.dsBmih.biBitCount, 24);
  {
    TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
    TSelectObject select(dc.Get(), released.Get());  // not selected anywhere else any more
    ASSERT_NE(select.Previous(), nullptr);
    EXPECT_EQ(GetPixel(dc.Get(), 2, 2), RGB(255, 0, 0));
  }

  // A top-down 8-bit DIB section keeps its layout and colour table.
  std::vector<uint8_t> infoBytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(infoBytes.data());
  info->bmiHeader = {static_cast<DWORD>(sizeof(BITMAPINFOHEADER)), 2, -2, 1, 8, BI_RGB, 0, 0, 0, 2, 0};
  info->bmiColors[0] = Rgb(0, 0, 255);
  info->bmiColors[1] = Rgb(255, 255, 0);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  static_cast<uint8_t*>(bits)[0] = 1;  // top-left yellow, the rest blue
  bitmap.SetHandle(TBitmapHandle(dib));
  EXPECT_EQ(bitmap.GetHandle(), dib);
  EXPECT_EQ(bitmap.GetPixelFormat(), pf8bit);
  ASSERT_GE(bitmap.ColorTable().size(), 2u);  // the system may pad the table to 256 entries
  EXPECT_EQ(bitmap.ColorTable()[0].rgbBlue, 255);
  EXPECT_EQ(bitmap.ColorTable()[1].rgbGreen, 255);
  EXPECT_EQ(PixelOf(bitmap, 0, 0), RGB(255, 255, 0));
  EXPECT_EQ(PixelOf(bitmap, 1, 1), RGB(0, 0, 255));
  EXPECT_EQ(static_cast<uint8_t*>(bitmap.ScanLine(0))[0], 1);

  // A device-dependent bitmap becomes a DIB section of ours.
  TWindowDC screen(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen.Get(), 5, 4);
  {
    TMemoryDC dc = TMemoryDC::CreateCompatible(screen.Get());
    TSelectObject select(dc.Get(), ddb);
    TBrushHandle green(CreateSolidBrush(RGB(0, 255, 0)));
    const RECT all{0, 0, 5, 4};
    FillRect(dc.Get(), &all, green.Get());
  }
  bitmap.SetHandle(TBitmapHandle(ddb));
  EXPECT_EQ(bitmap.GetWidth(), 5);
  EXPECT_EQ(bitmap.GetHeight(), 4);
  EXPECT_EQ(GetObjectA(bitmap.GetHandle(), sizeof(section), &section), static_cast<int>(sizeof(section)));
  EXPECT_EQ(PixelOf(bitmap, 4, 3), RGB(0, 255, 0));
  EXPECT_EQ(GetObjectType(ddb), 0u);  // the original was freed

  bitmap.SetHandle(TBitmapHandle());
  EXPECT_TRUE(bitmap.Empty());
}

TEST(Bitmap, ABorrowedSectionDrawsAndComesBack)
{
  for (bool topDown : {false, true}) {
    TBitmap owner;
    if (topDown) {
      TBmpLayout layout;
      layout.Width = 2;
      layout.Height = -2;
      layout.BitCount = 32;
      layout.Pixels = {0, 0, 255, 0, 0, 0, 255, 0, /**/ 255, 0, 0, 0, 255, 0, 0, 0};  // red over blue
      TBytesStream stream(BuildBmp(layout));
      owner.LoadFromStream(&stream);
    } else {
      owner.SetPixelFormat(pf32bit);
      owner.SetSize(2, 2);
      Fill(owner, clBlue);
      owner.GetCanvas()->GetBrush()->SetColor(clRed);
      owner.GetCanvas()->FillRect(Rect(0, 0, 2, 1));
    }
    owner.GetCanvas()->GetHandle();  // the owner's DC holds the DIB now
    const int objects = GdiObjectCount();

    TBitmap borrower;
    borrower.Borrow(owner.GetHandle());
    EXPECT_TRUE(borrower.Borrowed());
    EXPECT_FALSE(owner.Borrowed());
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(2, 2);
    target.GetCanvas()->CopyRect(Rect(0, 0, 2, 2), borrower.GetCanvas(), Rect(0, 0, 2, 2));
    EXPECT_EQ(PixelOf(target, 0, 0), RGB(255, 0, 0)) << topDown;
    EXPECT_EQ(PixelOf(target, 1, 1), RGB(0, 0, 255)) << topDown;
    borrower.GetCanvas()->SetPixel(1, 1, clLime);
    EXPECT_EQ(borrower.GetHandle(), owner.GetHandle());
    borrower.FreeImage();
    EXPECT_FALSE(borrower.Borrowed());

    // The owner draws again with its own DC and sees what was drawn through the loan.
    EXPECT_EQ(PixelOf(owner, 1, 1), RGB(0, 255, 0)) << topDown;
    owner.GetCanvas()->SetPixel(0, 1, clYellow);
    EXPECT_EQ(PixelOf(owner, 0, 1), RGB(255, 255, 0)) << topDown;
    target.SetSize(0, 0);
    EXPECT_EQ(GdiObjectCount(), objects);
  }
}

// --- bitmap: files ---

TEST(Bitmap, SavedFilesLoadBackInTheirFormat)
{
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(9, 5);
    Fill(bitmap, clWhite);
    bitmap.GetCanvas()->SetPixel(0, 0, clBlack);
    bitmap.GetCanvas()->SetPixel(8, 4, format == pf1bit ? clBlack : clBlue);
    TTempFile file(".bmp");
    bitmap.SaveToFile(file.Path());
    TBitmap loaded;
    loaded.LoadFromFile(file.Path());
    EXPECT_EQ(loaded.GetPixelFormat(), format);
    EXPECT_EQ(loaded.GetWidth(), 9);
    EXPECT_EQ(loaded.GetHeight(), 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 9; ++x)
        ASSERT_EQ(PixelOf(loaded, x, y), PixelOf(bitmap, x, y)) << format << " " << x << "," << y;
  }
  TBitmap empty;
  EXPECT_THROW(empty.SaveToFile("unused.bmp"), EInvalidGraphicOperation);
}

TEST(Bitmap, LoadsFromAStream)
{
  TBitmap source;
  MakePattern(source, 3, 3);
  TBytesStream stream(source.SaveToBytes());
  TBitmap loaded;
  loaded.LoadFromStream(&stream);
  EXPECT_EQ(PixelOf(loaded, 2, 1), PixelOf(source, 2, 1));
}

TEST(Bitmap, AMissingFileRaisesTheOpenError)
{
  TBitmap bitmap;
  const std::string path = ExeDir() + "no such picture.bmp";
  try {
    bitmap.LoadFromFile(path);
    ADD_FAILURE() << "no error";
  } catch (const EFOpenError& error) {
    EXPECT_EQ(error.Message(), "Cannot open file " + path);
  }
}

TEST(Bitmap, ABrokenFileLeavesTheBitmapAsItWas)
{
  TBitmap bitmap;
  MakePattern(bitmap, 4, 3);
  bitmap.GetCanvas();
  const COLORREF corner = PixelOf(bitmap, 3, 2);
  TCounter counter;
  bitmap.OnChange = counter.Event();

  std::vector<std::vector<uint8_t>> broken;
  TBmpLayout layout;
  layout.Width = 2;
  layout.Height = 2;
  layout.BitCount = 8;
  layout.Palette = {Rgb(1, 1, 1)};
  layout.Pixels = {0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> bytes = BuildBmp(layout);
  bytes[1] = 'N';  // wrong magic
  broken.push_back(bytes);
  bytes = BuildBmp(layout);
  bytes.resize(bytes.size() - 3);  // truncated pixels
  broken.push_back(bytes);
  bytes = BuildBmp(layout);
  bytes.resize(30);  // truncated header
  broken.push_back(bytes);
  layout.Width = 30000;  // absurd size for a tiny file
  layout.Height = 30000;
  broken.push_back(BuildBmp(layout));
  broken.push_back({});  // empty file

  for (const auto& file : broken) {
    TTempFile temp(".bmp");
    WriteBytes(temp.Path(), file);
    try {
      bitmap.LoadFromFile(temp.Path());
      ADD_FAILURE() << "a broken file was accepted";
    } catch (const EInvalidGraphic& error) {
      EXPECT_EQ(error.Message(), "Bitmap image is not valid");
    }
    EXPECT_EQ(bitmap.GetWidth(), 4);
    EXPECT_EQ(bitmap.GetHeight(), 3);
    EXPECT_EQ(bitmap.GetPixelFormat(), pf24bit);
    EXPECT_EQ(PixelOf(bitmap, 3, 2), corner);
  }
  EXPECT_EQ(counter.Count, 0);
}

// --- bitmap: who owns the DIB section ---

namespace {

// A 4 x 4, 32-bit bitmap, red with a blue pixel at (2, 2), its canvas's DC holding the section.
void MakeLender(TBitmap& bitmap)
{
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(4, 4);
  Fill(bitmap, clRed);
  bitmap.GetCanvas()->SetPixel(2, 2, clBlue);
}

}  // namespace

TEST(BitmapOwnership, ABorrowedSectionIsNeverFreedHoweverTheLoanEnds)
{
  const std::vector<std::pair<const char*, std::function<void(TBitmap&)>>> endings = {
      {"destruction", [](TBitmap&) {}},
      {"an exception while drawing through it",
       [](TBitmap& borrower) {
         borrower.GetCanvas()->SetPixel(0, 0, clLime);
         throw EInvalidGraphicOperation("thrown during the loan");
       }},
      {"a failed load", [](TBitmap& borrower) {
         TBytesStream broken({'B', 'M', 0, 0});
         borrower.LoadFromStream(&broken);
       }},
      {"a refused hand-over", [](TBitmap& borrower) { borrower.ExtractHandle(); }},
      {"FreeImage", [](TBitmap& borrower) { borrower.FreeImage(); }},
      {"a resize", [](TBitmap& borrower) { borrower.SetSize(8, 8); }},
      {"a new format", [](TBitmap& borrower) { borrower.SetPixelFormat(pf24bit); }},
      {"an assignment", [](TBitmap& borrower) {
         TBitmap other;
         other.SetSize(2, 2);
         borrower.Assign(&other);
       }},
      {"an adopted picture", [](TBitmap& borrower) {
         TBitmap other;
         other.SetSize(2, 2);
         borrower.SetHandle(other.ExtractHandle());
       }},
  };
  for (const auto& [name, ending] : endings) {
    TBitmap owner;
    MakeLender(owner);
    const HBITMAP handle = owner.GetHandle();
    const int objects = GdiObjectCount();
    try {
      TBitmap borrower;
      borrower.Borrow(handle);
      borrower.GetCanvas()->GetHandle();  // the borrower's DC holds the section now
      ending(borrower);
    } catch (const Exception&) {
    }
    ASSERT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP)) << name;
    EXPECT_EQ(owner.GetHandle(), handle) << name;
    EXPECT_EQ(PixelOf(owner, 2, 2), RGB(0, 0, 255)) << name;
    owner.GetCanvas()->SetPixel(3, 3, clYellow);
    EXPECT_EQ(PixelOf(owner, 3, 3), RGB(255, 255, 0)) << name;
    EXPECT_EQ(GdiObjectCount(), objects) << name;
  }
}

TEST(BitmapOwnership, ABorrowerCannotHandOverOrBorrowWhatIsNoSection)
{
  TBitmap owner;
  MakeLender(owner);
  TBitmap borrower;
  borrower.Borrow(owner.GetHandle());
  EXPECT_THROW(borrower.ExtractHandle(), EInvalidGraphicOperation);
  EXPECT_TRUE(borrower.Borrowed());
  EXPECT_EQ(borrower.GetHandle(), owner.GetHandle());
  EXPECT_EQ(PixelOf(borrower, 2, 2), RGB(0, 0, 255));

  // A device-dependent bitmap would have to be copied, and a copy is no loan.
  TWindowDC screen(nullptr);
  TBitmapHandle ddb(CreateCompatibleBitmap(screen.Get(), 3, 3));
  ASSERT_TRUE(ddb);
  EXPECT_THROW(borrower.Borrow(ddb.Get()), EInvalidGraphicOperation);
  EXPECT_EQ(GetObjectType(ddb.Get()), static_cast<DWORD>(OBJ_BITMAP));
  EXPECT_EQ(borrower.GetHandle(), owner.GetHandle());

  // A GDI object that is no bitmap at all.
  TBrushHandle brush(CreateSolidBrush(RGB(1, 2, 3)));
  EXPECT_THROW(borrower.Borrow(reinterpret_cast<HBITMAP>(brush.Get())), EInvalidGraphic);
  EXPECT_EQ(borrower.GetHandle(), owner.GetHandle());
}

TEST(BitmapOwnership, AdoptingTakesTheHandleUnlessItFails)
{
  // Adopted: freed with the bitmap.
  TBitmap source;
  MakeLender(source);
  TBitmapHandle handle = source.ExtractHandle();
  const HBITMAP raw = handle.Get();
  {
    TBitmap adopter;
    adopter.SetHandle(std::move(handle));
    EXPECT_FALSE(handle);
    EXPECT_FALSE(adopter.Borrowed());
    EXPECT_EQ(PixelOf(adopter, 2, 2), RGB(0, 0, 255));
  }
  EXPECT_EQ(GetObjectType(raw), 0u);

  // Refused: the caller's owner keeps the handle and the bitmap stays as it was.
  TBitmap bitmap;
  MakeLender(bitmap);
  const HBITMAP before = bitmap.GetHandle();
  TBrushHandle brush(CreateSolidBrush(RGB(1, 2, 3)));
  TBitmapHandle notABitmap(reinterpret_cast<HBITMAP>(brush.Extract()));
  EXPECT_THROW(bitmap.SetHandle(std::move(notABitmap)), EInvalidGraphic);
  EXPECT_TRUE(notABitmap);
  EXPECT_EQ(bitmap.GetHandle(), before);
  EXPECT_EQ(PixelOf(bitmap, 2, 2), RGB(0, 0, 255));

  // A second owner of the bitmap's own section is told off, not allowed to free it later.
  bitmap.SetHandle(TBitmapHandle(bitmap.GetHandle()));
  EXPECT_EQ(GetObjectType(before), static_cast<DWORD>(OBJ_BITMAP));
  EXPECT_EQ(PixelOf(bitmap, 2, 2), RGB(0, 0, 255));
}

TEST(BitmapOwnership, ALoanBecomesOwnershipWhenTheOwnerHandsTheSectionOver)
{
  TBitmap owner;
  MakeLender(owner);
  const HBITMAP raw = owner.GetHandle();
  {
    TBitmap borrower;
    borrower.Borrow(raw);
    TBitmapHandle handed = owner.ExtractHandle();
    EXPECT_TRUE(owner.Empty());
    borrower.SetHandle(std::move(handed));
    EXPECT_FALSE(borrower.Borrowed());
    EXPECT_EQ(borrower.GetHandle(), raw);
    EXPECT_EQ(PixelOf(borrower, 2, 2), RGB(0, 0, 255));
  }
  EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(Bitmap, DormantLetsAnotherDCSelectTheDrawnSection)
{
  TBitmap bitmap;
  MakeLender(bitmap);
  const HBITMAP handle = bitmap.GetHandle();
  TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
  ASSERT_TRUE(dc);
  {
    // While the canvas's DC holds it, no other DC gets it.
    TSelectObject refused(dc.Get(), handle);
    EXPECT_TRUE(refused.Previous() == nullptr || refused.Previous() == HGDI_ERROR);
  }
  const int objects = GdiObjectCount();
  bitmap.Dormant();
  EXPECT_EQ(GdiObjectCount(), objects - 1);  // the canvas's memory DC is gone
  EXPECT_EQ(bitmap.GetHandle(), handle);
  {
    TSelectObject select(dc.Get(), handle);
    ASSERT_NE(select.Previous(), nullptr);
    ASSERT_NE(select.Previous(), HGDI_ERROR);
    EXPECT_EQ(GetPixel(dc.Get(), 2, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc.Get(), 0, 0), RGB(255, 0, 0));
  }
  // The canvas selects the section again at its next use.
  bitmap.GetCanvas()->SetPixel(0, 0, clLime);
  EXPECT_EQ(PixelOf(bitmap, 0, 0), RGB(0, 255, 0));
  EXPECT_EQ(PixelOf(bitmap, 2, 2), RGB(0, 0, 255));
  EXPECT_EQ(GdiObjectCount(), objects);
}

// --- bitmap: bit-field layouts ---

namespace {

struct TBitFieldCase {
  const char* Name;
  uint16_t BitCount;
  Dib::TMasks Masks;
  TPixelFormat Format;  // what both the file and the section become
};

// A DIB section made from the same header and stored rows as a file.
TBitmapHandle SectionLike(const TBmpLayout& layout)
{
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof(header);
  header.bV5Width = layout.Width;
  header.bV5Height = layout.Height;
  header.bV5Planes = 1;
  header.bV5BitCount = layout.BitCount;
  header.bV5Compression = layout.Compression;
  header.bV5RedMask = layout.Masks[0];
  header.bV5GreenMask = layout.Masks[1];
  header.bV5BlueMask = layout.Masks[2];
  header.bV5AlphaMask = layout.Masks[3];
  void* bits = nullptr;
  TBitmapHandle section(
      CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (section && bits)
    std::memcpy(bits, layout.Pixels.data(), layout.Pixels.size());
  return section;
}

}  // namespace

TEST(Bitmap, TheFileReaderAndAnAdoptedSectionAgreeOnBitFields)
{
  const TBitFieldCase cases[] = {
      {"8-8-8-8, red highest", 32, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, pf32bit},
      {"8-8-8-8, red lowest", 32, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}, pf32bit},
      {"10-10-10-2", 32, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}, pf32bit},
      {"5-6-5", 16, {0xF800, 0x07E0, 0x001F, 0}, pf16bit},
      {"1-5-5-5", 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, pf15bit},
      {"4-4-4-4", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, pf24bit},
  };
  for (const TBitFieldCase& test : cases) {
    for (int height : {2, -2}) {
      const std::string name = std::string(test.Name) + (height < 0 ? ", top-down" : ", bottom-up");
      TBmpLayout layout;
      layout.HeaderSize = 124;
      layout.Width = 3;
      layout.Height = height;
      layout.BitCount = test.BitCount;
      layout.Compression = BI_BITFIELDS;
      layout.Masks = {test.Masks.Red, test.Masks.Green, test.Masks.Blue, test.Masks.Alpha};
      const size_t stride = static_cast<size_t>(Dib::Stride(3, test.BitCount));
      for (size_t i = 0; i < 2 * stride; ++i)
        layout.Pixels.push_back(static_cast<uint8_t>(i * 29 + 64));

      TBytesStream file(BuildBmp(layout));
      TBitmap loaded;
      loaded.LoadFromStream(&file);
      TBitmapHandle section = SectionLike(layout);
      ASSERT_TRUE(section) << name;
      TBitmap adopted;
      adopted.SetHandle(std::move(section));

      EXPECT_EQ(loaded.GetPixelFormat(), test.Format) << name;
      ASSERT_EQ(adopted.GetPixelFormat(), loaded.GetPixelFormat()) << name;
      ASSERT_EQ(adopted.GetWidth(), 3) << name;
      ASSERT_EQ(adopted.GetHeight(), 2) << name;
      const size_t used = static_cast<size_t>(3 * PixelFormatBits(test.Format) / 8);
      for (int y = 0; y < 2; ++y) {
        const auto* file = static_cast<const uint8_t*>(loaded.ScanLine(y));
        const auto* adoptedRow = static_cast<const uint8_t*>(adopted.ScanLine(y));
        EXPECT_EQ(std::vector<uint8_t>(adoptedRow, adoptedRow + used), std::vector<uint8_t>(file, file + used))
            << name << ", row " << y;
      }
    }
  }
}
