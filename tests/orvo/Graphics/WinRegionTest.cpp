#include "Graphics/WinRegion.h"

#include "Bitmap.h"
#include "GraphicsFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using orvo::WinRegion;

namespace {

constexpr TColor kKey = 0xFF00FF;  // magenta, the skins' key colour
constexpr TColor kOther = 0x336699;

// The rectangles of a region as the system keeps them (banded, merged).
std::vector<RECT> RectsOf(HRGN region)
{
  const DWORD size = GetRegionData(region, 0, nullptr);
  if (size == 0)
    return {};
  std::vector<uint8_t> buffer(size);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (GetRegionData(region, size, data) != size)
    return {};
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  return std::vector<RECT>(rects, rects + data->rdh.nCount);
}

std::string Describe(const std::vector<RECT>& rects)
{
  std::string text;
  for (const RECT& r : rects)
    text += "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
            std::to_string(r.bottom) + ")";
  return text.empty() ? "empty" : text;
}

// A picture drawn with letters: '#' the key, '.' another colour, 'r' 'g' 'b' the key off by one in red,
// green or blue.
void Paint(TBitmap& bitmap, const std::vector<std::string>& rows, TPixelFormat format = pf24bit)
{
  const int height = static_cast<int>(rows.size());
  const int width = height ? static_cast<int>(rows[0].size()) : 0;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height && width > 0; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < width; ++x) {
      uint32_t color = static_cast<uint32_t>(kOther);
      switch (rows[y][x]) {
      case '#': color = kKey; break;
      case 'r': color = kKey - 1; break;
      case 'g': color = kKey + 0x100; break;
      case 'b': color = kKey - 0x10000; break;
      }
      row[3 * x] = static_cast<uint8_t>(color >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(color >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(color);
    }
  }
  bitmap.SetPixelFormat(format);
}

// Every pixel of the picture (and a border around it) is inside the region exactly when it is not a key
// pixel of the picture.
::testing::AssertionResult CoversNonKeyPixels(HRGN region, const std::vector<std::string>& rows)
{
  const int height = static_cast<int>(rows.size());
  const int width = height ? static_cast<int>(rows[0].size()) : 0;
  for (int y = -1; y <= height; ++y)
    for (int x = -1; x <= width; ++x) {
      const bool inside = x >= 0 && y >= 0 && x < width && y < height && rows[y][x] != '#';
      if ((PtInRegion(region, x, y) != FALSE) != inside)
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << (inside ? " missing" : " extra");
    }
  return ::testing::AssertionSuccess();
}

struct TShapeCase {
  const char* Name;
  std::vector<std::string> Rows;
  TColor Key;
  std::vector<RECT> Expected;
};

const std::vector<TShapeCase>& ShapeCases()
{
  static const std::vector<TShapeCase> cases = {
      {"NoKeyPixel", {"....", "...."}, kKey, {{0, 0, 4, 2}}},
      {"AllKey", {"###", "###"}, kKey, {}},
      {"RunsOfRowTwo", {".....", ".....", "##..#"}, kKey, {{0, 0, 5, 2}, {2, 2, 4, 3}}},
      {"KeyWithFlagByte", {".....", ".....", "##..#"}, kKey | clTransparentFlag, {{0, 0, 5, 2}, {2, 2, 4, 3}}},
      {"OffByOneStays", {"#rgb#"}, kKey, {{1, 0, 4, 1}}},
      {"Hole", {"...", ".#.", "..."}, kKey, {{0, 0, 3, 1}, {0, 1, 1, 2}, {2, 1, 3, 2}, {0, 2, 3, 3}}},
      {"SameRunsMergeDownwards", {"#..#", "#..#", "...."}, kKey, {{1, 0, 3, 2}, {0, 2, 4, 3}}},
      {"OnePixel", {"."}, kKey, {{0, 0, 1, 1}}},
      {"OnePixelKey", {"#"}, kKey, {}},
      {"ZeroWidth", {"", "", ""}, kKey, {}},
      {"ZeroSize", {}, kKey, {}},
  };
  return cases;
}

using TBuild = void (WinRegion::*)(TBitmap&, TColor);

struct TBuildKind {
  const char* Name;
  TBuild Build;
};

const TBuildKind kBuilds[] = {{"one pass", &WinRegion::FromBitmap}, {"run by run", &WinRegion::FromBitmapByRuns}};

} // namespace

// --- The shape cut out of a picture --------------------------------------------------------------------

TEST(WinRegionShape, KeyPixelsAreCutOut)
{
  for (const TBuildKind& build : kBuilds)
    for (TPixelFormat format : {pf24bit, pf32bit})
      for (const TShapeCase& c : ShapeCases()) {
        SCOPED_TRACE(std::string(build.Name) + " " + c.Name + (format == pf32bit ? " 32-bit" : " 24-bit"));
        TBitmap bitmap;
        Paint(bitmap, c.Rows, format);
        WinRegion region;
        region.SetRect(-50, -50, 500, 500);  // replaced, not added to
        (region.*build.Build)(bitmap, c.Key);
        EXPECT_EQ(Describe(RectsOf(region.Handle())), Describe(c.Expected));
        EXPECT_TRUE(CoversNonKeyPixels(region.Handle(), c.Rows));
        EXPECT_EQ(bitmap.GetPixelFormat(), format);
      }
}

TEST(WinRegionShape, PixelFormatIsPutBack)
{
  for (const TBuildKind& build : kBuilds)
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf16bit}) {
      TBitmap bitmap;
      Paint(bitmap, {".#.", "#.#"}, format);
      WinRegion region;
      (region.*build.Build)(bitmap, kKey);
      EXPECT_EQ(bitmap.GetPixelFormat(), format) << build.Name;
    }
}

// The one-pass build must give the very region the plain run-by-run subtraction gives, rectangle for
// rectangle, including pictures large enough to be gathered in several pieces.
TEST(WinRegionShape, OnePassEqualsRunByRunOnSeededPictures)
{
  std::mt19937 random(20240611u);
  for (int picture = 0; picture < 80; ++picture) {
    const bool large = picture % 10 == 0;
    const int width = large ? 90 + static_cast<int>(random() % 40) : 1 + static_cast<int>(random() % 40);
    const int height = large ? 60 + static_cast<int>(random() % 40) : 1 + static_cast<int>(random() % 40);
    const unsigned density = random() % 101;
    const unsigned pattern = random() % 4;
    std::vector<std::string> rows(static_cast<size_t>(height), std::string(static_cast<size_t>(width), '.'));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        bool key = random() % 100 < density;
        if (pattern == 1)
          key = (x + y) % 2 == 0;  // checkerboard: the most runs a picture can have
        else if (pattern == 2)
          key = key && (x / 3) % 2 == 0;  // columns: rows repeat and bands merge
        rows[y][x] = key ? '#' : '.';
      }
    SCOPED_TRACE("picture " + std::to_string(picture) + ": " + std::to_string(width) + "x" + std::to_string(height));
    TBitmap bitmap;
    Paint(bitmap, rows);
    WinRegion onePass;
    onePass.FromBitmap(bitmap, kKey);
    WinRegion byRuns;
    byRuns.FromBitmapByRuns(bitmap, kKey);
    const std::vector<RECT> expected = RectsOf(byRuns.Handle());
    const std::vector<RECT> actual = RectsOf(onePass.Handle());
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
      ASSERT_EQ(actual[i], expected[i]) << "rectangle " << i;
    ASSERT_TRUE(CoversNonKeyPixels(onePass.Handle(), rows));
  }
}

TEST(WinRegionShape, BuildingLeavesNoGdiObjectBehind)
{
  TBitmap bitmap;
  std::vector<std::string> checkerboard(80, std::string(120, '#'));
  for (size_t y = 0; y < checkerboard.size(); ++y)
    for (size_t x = y % 2; x < checkerboard[y].size(); x += 2)
      checkerboard[y][x] = '.';
  Paint(bitmap, checkerboard);
  WinRegion region;
  region.FromBitmap(bitmap, kKey);  // the bitmap's canvas and DIB exist from here on
  const int before = GdiObjectCount();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 5; ++i) {
    region.FromBitmap(bitmap, kKey);
    region.FromBitmapByRuns(bitmap, kKey);
  }
  EXPECT_EQ(GdiObjectCount(), before);
}

// --- The key-colour run scanner ------------------------------------------------------------------------

TEST(WinRegionScan, FindColorRunFindsTheNextRunAndStopsAtTheEnd)
{
  struct TCase {
    const char* Pixels;  // '#' key, '.' other, '-' a lone byte (a partial pixel never matches)
    int Step;
    int From;       // all three in pixels
    int RunStart;
    int CursorEnd;
  };
  const TCase cases[] = {
      {"..##.", 3, 0, 2, 4}, {"..##.", 3, 4, 5, 5}, {"##...", 3, 0, 0, 2}, {".....", 3, 0, 5, 5},
      {"#.#.#", 4, 1, 2, 3}, {"", 3, 0, 0, 0},       {"#--", 3, 1, 2, 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Pixels) + " step " + std::to_string(c.Step) + " from " + std::to_string(c.From));
    std::vector<uint8_t> bytes;
    for (const char* p = c.Pixels; *p; ++p) {
      if (*p == '-') {
        bytes.push_back(0x30);
        continue;
      }
      bytes.insert(bytes.end(), {static_cast<uint8_t>(*p == '#' ? 0x30 : 0x31), 0x20, 0x10});  // B, G, R
      if (c.Step == 4)
        bytes.push_back(0x99);
    }
    const uint8_t* begin = bytes.data();
    const uint8_t* end = begin + bytes.size();
    const uint8_t* cursor = begin + c.From * c.Step;
    const uint8_t* start = WinRegion::FindColorRun(cursor, end, 0x10, 0x20, 0x30, c.Step);
    EXPECT_EQ(start - begin, std::min<ptrdiff_t>(c.RunStart * c.Step, end - begin));
    EXPECT_EQ(cursor - begin, std::min<ptrdiff_t>(c.CursorEnd * c.Step, end - begin));
  }
}

// --- Handing the shape to windows ----------------------------------------------------------------------

namespace {

// The window's region as the system holds it.
std::string WindowShape(HWND window)
{
  TRegionHandle probe(CreateRectRgn(0, 0, 0, 0));
  return GetWindowRgn(window, probe.Get()) == ERROR ? "none" : Describe(RectsOf(probe.Get()));
}

} // namespace

TEST(WinRegionWindow, EachApplyGivesTheWindowItsOwnCopyAndNoneIsLeaked)
{
  const std::unique_ptr<HWND__, decltype(&DestroyWindow)> window(
      CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 10, 10, 40, 30, nullptr, nullptr, nullptr, nullptr),
      &DestroyWindow);
  ASSERT_TRUE(window);
  TBitmap bitmap;
  Paint(bitmap, {"#..#", "...."});
  WinRegion region;
  region.FromBitmap(bitmap, kKey);

  EXPECT_NE(WinRegion::ApplyToWindow(window.get(), region, false), 0);
  EXPECT_EQ(WindowShape(window.get()), "(1,0,3,1)(0,1,4,2)");
  region.SetRect(0, 0, 2, 2);  // the window holds a copy: this does not reach it
  EXPECT_EQ(WindowShape(window.get()), "(1,0,3,1)(0,1,4,2)");
  EXPECT_NE(WinRegion::ApplyToWindow(window.get(), region, true), 0);
  EXPECT_EQ(WindowShape(window.get()), "(0,0,2,2)");
  WinRegion corner;  // and the object's own region stays usable
  corner.SetRect(0, 0, 1, 1);
  region.Subtract(corner);
  EXPECT_EQ(Describe(RectsOf(region.Handle())), "(1,0,2,1)(0,1,2,2)");
  EXPECT_EQ(WindowShape(window.get()), "(0,0,2,2)");

  const int before = GdiObjectCount();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 20; ++i)
    ASSERT_NE(WinRegion::ApplyToWindow(window.get(), region, false), 0);
  EXPECT_EQ(GdiObjectCount(), before);  // the system frees each copy it replaces
  HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(WinRegion::ApplyToWindow(gone, region, false), 0);
  EXPECT_EQ(GdiObjectCount(), before);  // a refused copy is freed here
}

// --- GDI failures are assertions -----------------------------------------------------------------------

TEST(WinRegionAssertions, FailedCallsReportTheirExpressions)
{
  struct TCase {
    const char* Name;
    void (*Operation)(WinRegion& broken, WinRegion& healthy);
    const char* Expression;
  };
  const TCase cases[] = {
      {"SetRect", [](WinRegion& r, WinRegion&) { r.SetRect(0, 0, 4, 4); }, "result != 0"},
      {"Subtract into", [](WinRegion& r, WinRegion& ok) { r.Subtract(ok); }, "combineResult != ERROR"},
      {"Subtract from", [](WinRegion& r, WinRegion& ok) { ok.Subtract(r); }, "combineResult != ERROR"},
      {"Duplicate", [](WinRegion& r, WinRegion&) { r.Duplicate(); }, "combineResult != ERROR"},
      {"FromBitmap",
       [](WinRegion& r, WinRegion&) {
         TBitmap bitmap;
         Paint(bitmap, {"#."});
         r.FromBitmap(bitmap, kKey);
       },
       "result != 0"},
  };
  TThrowingAsserts throwing;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WinRegion broken;
    WinRegion healthy;
    healthy.SetRect(0, 0, 2, 2);
    // The system's region goes away behind the object's back, so the next call on it fails.
    DeleteObject(broken.Handle());
    try {
      c.Operation(broken, healthy);
      ADD_FAILURE() << "no assertion";
    } catch (const TAssertionFailure& failure) {
      const std::string expected = std::string("Assertion failed: ") + c.Expression + ", file WinRegion.cpp, line ";
      EXPECT_EQ(std::string(failure.what()).substr(0, expected.size()), expected);
    }
  }
}
