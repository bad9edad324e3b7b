#include "Graphics.h"

#include "GraphicsFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Counts OnChange / OnChanging notifications.
struct TCounter : TObject {
  int Count = 0;
  TObject* LastSender = nullptr;
  void Notify(TObject* sender)
  {
    ++Count;
    LastSender = sender;
  }
  TNotifyEvent Event() { return TNotifyEvent(this, &TCounter::Notify); }
};

// 0x00BBGGRR of a pixel, read through the canvas.
COLORREF PixelOf(TBitmap& bitmap, int x, int y)
{
  return static_cast<COLORREF>(bitmap.GetCanvas()->GetPixel(x, y));
}

void Fill(TBitmap& bitmap, TColor color)
{
  bitmap.GetCanvas()->GetBrush()->SetColor(color);
  bitmap.GetCanvas()->GetBrush()->SetStyle(bsSolid);
  bitmap.GetCanvas()->FillRect(Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight()));
}

// A 24-bit bitmap whose every pixel has its own colour.
void MakePattern(TBitmap& bitmap, int width, int height)
{
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 37 + y);
      row[3 * x + 1] = static_cast<uint8_t>(y * 53 + 7);
      row[3 * x + 2] = static_cast<uint8_t>(x * y * 11 + 3);
    }
  }
}

// B, G, R bytes of a pixel as 0x00RRGGBB.
uint32_t Bgr(const uint8_t* pixel) { return pixel[0] | (pixel[1] << 8) | (pixel[2] << 16); }

// A 16 x 16, 32-bit icon file: left half red, right half blue, fully opaque.
std::vector<uint8_t> IconFile()
{
  std::vector<uint8_t> out;
  auto put16 = [&](uint32_t v) { Put16(out, v); };
  auto put32 = [&](uint32_t v) { Put32(out, v); };
  const uint32_t imageBytes = 40 + 16 * 16 * 4 + 16 * 4;
  put16(0);
  put16(1);
  put16(1);
  out.push_back(16);
  out.push_back(16);
  out.push_back(0);
  out.push_back(0);
  put16(1);
  put16(32);
  put32(imageBytes);
  put32(22);
  put32(40);
  put32(16);
  put32(32);  // colour and mask, one above the other
  put16(1);
  put16(32);
  for (int i = 0; i < 6; ++i)
    put32(0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool left = x < 8;
      out.push_back(left ? 0 : 255);
      out.push_back(0);
      out.push_back(left ? 255 : 0);
      out.push_back(255);
    }
  }
  for (int i = 0; i < 16 * 4; ++i)
    out.push_back(0);
  return out;
}

}  // namespace

// --- colours and graphics objects ---

TEST(Colors, SystemColoursResolveAndPlainColoursPassThrough)
{
  EXPECT_EQ(clGrayText, static_cast<TColor>(0x80000011u));
  EXPECT_EQ(ColorToRGB(clBtnFace), static_cast<TColor>(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(ColorToRGB(clGrayText), static_cast<TColor>(GetSysColor(COLOR_GRAYTEXT)));
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
  EXPECT_EQ(ColorToRGB(0x02123456), 0x02123456);  // flags of a plain colour stay
  EXPECT_EQ(ColorToColorRef(0x02123456), 0x123456u);
  EXPECT_EQ(clNone, 0x1FFFFFFF);
  EXPECT_EQ(clDefault, 0x20000000);
}

TEST(Font, SizeFollowsHeightThroughPixelsPerInch)
{
  TFont font;
  font.SetPixelsPerInch(96);
  font.SetHeight(-16);
  EXPECT_EQ(font.GetSize(), 12);
  font.SetSize(9);
  EXPECT_EQ(font.GetHeight(), -12);
  font.SetPixelsPerInch(120);
  font.SetSize(9);
  EXPECT_EQ(font.GetHeight(), -15);
}

TEST(Font, ChangesNotifyOnceAndRecreateTheHandle)
{
  TFont font;
  TCounter counter;
  font.OnChange = counter.Event();
  LOGFONTA before{};
  ASSERT_TRUE(GetObjectA(font.GetHandle(), sizeof(before), &before));
  EXPECT_EQ(before.lfWeight, FW_NORMAL);

  font.SetStyle({fsBold, fsUnderline});
  font.SetStyle({fsBold, fsUnderline});  // unchanged: no notification
  font.SetHeight(-20);
  font.SetColor(clRed);
  EXPECT_EQ(counter.Count, 3);
  EXPECT_EQ(counter.LastSender, &font);

  LOGFONTA after{};
  ASSERT_TRUE(GetObjectA(font.GetHandle(), sizeof(after), &after));
  EXPECT_EQ(after.lfWeight, FW_BOLD);
  EXPECT_TRUE(after.lfUnderline);
  EXPECT_FALSE(after.lfItalic);
  EXPECT_EQ(after.lfHeight, -20);
}

TEST(Font, AssignCopiesEverythingAndRejectsOtherClasses)
{
  TFont source;
  source.SetName("Arial");
  source.SetHeight(-20);
  source.SetColor(clBlue);
  source.SetStyle({fsItalic});
  source.SetCharset(ANSI_CHARSET);
  TFont dest;
  TCounter counter;
  dest.OnChange = counter.Event();
  dest.Assign(&source);
  EXPECT_EQ(dest.GetName(), "Arial");
  EXPECT_EQ(dest.GetHeight(), -20);
  EXPECT_EQ(dest.GetColor(), clBlue);
  EXPECT_EQ(dest.GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(dest.GetCharset(), ANSI_CHARSET);
  EXPECT_EQ(counter.Count, 1);

  TPen pen;
  EXPECT_THROW(dest.Assign(&pen), EInvalidCast);
  EXPECT_THROW(dest.Assign(nullptr), EConvertError);
  EXPECT_EQ(dest.GetHeight(), -20);
  EXPECT_EQ(counter.Count, 1);
}

TEST(PenAndBrush, HandlesFollowTheirProperties)
{
  TPen pen;
  pen.SetColor(clRed);
  pen.SetWidth(3);
  LOGPEN logPen{};
  ASSERT_TRUE(GetObjectA(pen.GetHandle(), sizeof(logPen), &logPen));
  EXPECT_EQ(logPen.lopnColor, RGB(255, 0, 0));
  EXPECT_EQ(logPen.lopnWidth.x, 3);
  pen.SetStyle(psClear);
  EXPECT_EQ(pen.GetHandle(), GetStockObject(NULL_PEN));

  TBrush brush;
  brush.SetColor(clBtnFace);
  LOGBRUSH logBrush{};
  ASSERT_TRUE(GetObjectA(brush.GetHandle(), sizeof(logBrush), &logBrush));
  EXPECT_EQ(logBrush.lbColor, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_SOLID));
  brush.SetStyle(bsCross);
  ASSERT_TRUE(GetObjectA(brush.GetHandle(), sizeof(logBrush), &logBrush));
  EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_HATCHED));
  brush.SetStyle(bsClear);
  EXPECT_EQ(brush.GetHandle(), GetStockObject(NULL_BRUSH));

  TBrush copy;
  TCounter counter;
  copy.OnChange = counter.Event();
  copy.Assign(&brush);
  EXPECT_EQ(copy.GetStyle(), bsClear);
  EXPECT_EQ(copy.GetColor(), clBtnFace);
  EXPECT_EQ(counter.Count, 1);
  TPen penCopy;
  penCopy.Assign(&pen);
  EXPECT_EQ(penCopy.GetWidth(), 3);
  EXPECT_THROW(penCopy.Assign(&brush), EInvalidCast);
}

// --- canvas ---

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
  TBmpSpec spec;
  spec.Height = -3;
  spec.Width = 1;
  spec.BitCount = 24;
  spec.Pixels = {0, 0, 255, 0, /**/ 0, 255, 0, 0, /**/ 255, 0, 0, 0};
  TTempFile file(".bmp");
  WriteBytes(file.Path(), BuildBmp(spec));
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
  HBITMAP released = nullptr;
  step("release", 1, [&] { released = bitmap.ReleaseHandle(); });
  step("handle", 1, [&] { bitmap.SetHandle(released); });
  EXPECT_EQ(counter.LastSender, &bitmap);
}

TEST(Bitmap, HandlesCanBeReleasedAndAdopted)
{
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(6, 3);
  Fill(bitmap, clRed);
  bitmap.GetCanvas();  // the DC holds the DIB; releasing must take it out first
  TBitmapHandle released(bitmap.ReleaseHandle());
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
  bitmap.SetHandle(dib);
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
  bitmap.SetHandle(ddb);
  EXPECT_EQ(bitmap.GetWidth(), 5);
  EXPECT_EQ(bitmap.GetHeight(), 4);
  EXPECT_EQ(GetObjectA(bitmap.GetHandle(), sizeof(section), &section), static_cast<int>(sizeof(section)));
  EXPECT_EQ(PixelOf(bitmap, 4, 3), RGB(0, 255, 0));
  EXPECT_EQ(GetObjectType(ddb), 0u);  // the original was freed

  bitmap.SetHandle(nullptr);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(Bitmap, AHandleLentToAnotherBitmapDrawsAndComesBack)
{
  for (bool topDown : {false, true}) {
    TBitmap owner;
    if (topDown) {
      TBmpSpec spec;
      spec.Width = 2;
      spec.Height = -2;
      spec.BitCount = 32;
      spec.Pixels = {0, 0, 255, 0, 0, 0, 255, 0, /**/ 255, 0, 0, 0, 255, 0, 0, 0};  // red over blue
      TBytesStream stream(BuildBmp(spec));
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
    borrower.SetHandle(owner.GetHandle());
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(2, 2);
    target.GetCanvas()->CopyRect(Rect(0, 0, 2, 2), borrower.GetCanvas(), Rect(0, 0, 2, 2));
    EXPECT_EQ(PixelOf(target, 0, 0), RGB(255, 0, 0)) << topDown;
    EXPECT_EQ(PixelOf(target, 1, 1), RGB(0, 0, 255)) << topDown;
    borrower.GetCanvas()->SetPixel(1, 1, clLime);
    EXPECT_EQ(borrower.ReleaseHandle(), owner.GetHandle());

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
  TBmpSpec spec;
  spec.Width = 2;
  spec.Height = 2;
  spec.BitCount = 8;
  spec.Palette = {Rgb(1, 1, 1)};
  spec.Pixels = {0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> bytes = BuildBmp(spec);
  bytes[1] = 'N';  // wrong magic
  broken.push_back(bytes);
  bytes = BuildBmp(spec);
  bytes.resize(bytes.size() - 3);  // truncated pixels
  broken.push_back(bytes);
  bytes = BuildBmp(spec);
  bytes.resize(30);  // truncated header
  broken.push_back(bytes);
  spec.Width = 30000;  // absurd size for a tiny file
  spec.Height = 30000;
  broken.push_back(BuildBmp(spec));
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

// --- icon ---

TEST(Icon, LoadsDrawsAndCopies)
{
  TTempFile file(".ico");
  WriteBytes(file.Path(), IconFile());
  TIcon icon;
  TCounter counter;
  icon.OnChange = counter.Event();
  EXPECT_TRUE(icon.Empty());
  icon.LoadFromFile(file.Path());
  EXPECT_EQ(counter.Count, 1);
  ASSERT_FALSE(icon.Empty());
  EXPECT_EQ(icon.GetWidth(), 16);
  EXPECT_EQ(icon.GetHeight(), 16);

  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(20, 20);
  Fill(target, clWhite);
  target.GetCanvas()->Draw(2, 2, &icon);
  EXPECT_EQ(PixelOf(target, 4, 4), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(target, 15, 10), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(target, 19, 19), RGB(255, 255, 255));

  TIcon copy;
  copy.Assign(&icon);
  EXPECT_NE(copy.GetHandle(), icon.GetHandle());
  EXPECT_EQ(copy.GetWidth(), 16);
  TIconHandle taken(icon.ReleaseHandle());
  EXPECT_TRUE(icon.Empty());
  taken.Reset();
  Fill(target, clWhite);
  target.GetCanvas()->Draw(0, 0, &copy);  // the copy outlives the original
  EXPECT_EQ(PixelOf(target, 1, 1), RGB(255, 0, 0));

  TBitmap bitmap;
  EXPECT_THROW(copy.Assign(&bitmap), EInvalidCast);
  EXPECT_THROW(copy.SetWidth(32), EInvalidGraphicOperation);
}

TEST(Icon, MissingAndBrokenFilesRaiseAndChangeNothing)
{
  TTempFile good(".ico");
  WriteBytes(good.Path(), IconFile());
  TIcon icon;
  icon.LoadFromFile(good.Path());
  const HICON handle = icon.GetHandle();

  EXPECT_THROW(icon.LoadFromFile(ExeDir() + "missing.ico"), EFOpenError);
  std::vector<std::vector<uint8_t>> broken;
  std::vector<uint8_t> bytes = IconFile();
  bytes[2] = 2;  // a cursor directory
  broken.push_back(bytes);
  bytes = IconFile();
  bytes.resize(100);  // the image is cut off
  broken.push_back(bytes);
  bytes = IconFile();
  bytes[21] = 0x7F;  // offset far beyond the file
  broken.push_back(bytes);
  broken.push_back({0, 0, 1, 0});
  for (const auto& file : broken) {
    TTempFile temp(".ico");
    WriteBytes(temp.Path(), file);
    try {
      icon.LoadFromFile(temp.Path());
      ADD_FAILURE() << "a broken icon was accepted";
    } catch (const EInvalidGraphic& error) {
      EXPECT_EQ(error.Message(), "Icon image is not valid");
    }
    EXPECT_EQ(icon.GetHandle(), handle);
    EXPECT_EQ(icon.GetWidth(), 16);
  }
}

// --- picture ---

TEST(Picture, HoldsOneGraphicAndReportsItsChanges)
{
  TPicture picture;
  TCounter counter;
  picture.OnChange = counter.Event();
  EXPECT_EQ(picture.GetGraphic(), nullptr);
  TBitmap* bitmap = picture.GetBitmap();
  EXPECT_EQ(picture.GetBitmap(), bitmap);
  const int afterCreation = counter.Count;
  bitmap->SetSize(8, 6);
  EXPECT_EQ(counter.Count, afterCreation + 1);
  EXPECT_EQ(picture.GetWidth(), 8);
  EXPECT_EQ(picture.GetHeight(), 6);

  TPicture copy;
  copy.Assign(&picture);
  ASSERT_NE(copy.GetGraphic(), nullptr);
  EXPECT_NE(copy.GetGraphic(), picture.GetGraphic());
  EXPECT_EQ(copy.GetWidth(), 8);

  TTempFile file(".ico");
  WriteBytes(file.Path(), IconFile());
  picture.LoadFromFile(file.Path());
  EXPECT_NE(dynamic_cast<TIcon*>(picture.GetGraphic()), nullptr);
  EXPECT_EQ(picture.GetWidth(), 16);
  EXPECT_THROW(picture.LoadFromFile(ExeDir() + "missing.bmp"), EFOpenError);
  EXPECT_NE(dynamic_cast<TIcon*>(picture.GetGraphic()), nullptr);  // unchanged after the failure
  picture.Assign(nullptr);
  EXPECT_EQ(picture.GetGraphic(), nullptr);
}

// --- resources ---

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
    adopter.SetHandle(copy.ReleaseHandle());
    adopter.SetHandle(bitmap.ReleaseHandle());
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
