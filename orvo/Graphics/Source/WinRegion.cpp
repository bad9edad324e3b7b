#include "Graphics/WinRegion.h"

#include "Assertion.h"
#include "Bitmap.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace orvo {

namespace {

struct TKey {
  uint8_t Red;
  uint8_t Green;
  uint8_t Blue;
};

TKey SplitKey(TColor keyColor)
{
  const auto value = static_cast<uint32_t>(keyColor);
  return TKey{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16)};
}

// Holds a bitmap the scan cannot read as it is in 24 bits per pixel for one scope and puts its own format
// back, also when the scan is left by an exception.
class T24BitScope {
public:
  explicit T24BitScope(TBitmap& bitmap)
      : m_bitmap(bitmap), m_format(bitmap.GetPixelFormat()), m_restored(WinRegion::ScansInPlace(bitmap))
  {
    if (!m_restored)
      m_bitmap.SetPixelFormat(pf24bit);
  }
  ~T24BitScope()
  {
    if (m_restored)
      return;
    try {
      m_bitmap.SetPixelFormat(m_format);
    } catch (...) {
      // Already unwinding from the scan's own failure, which is the one to report.
    }
  }
  T24BitScope(const T24BitScope&) = delete;
  T24BitScope& operator=(const T24BitScope&) = delete;

  // On the normal path a failure to convert back is reported.
  void Restore()
  {
    if (m_restored)
      return;
    m_restored = true;
    m_bitmap.SetPixelFormat(m_format);
  }

private:
  TBitmap& m_bitmap;
  TPixelFormat m_format;
  bool m_restored;
};

// Calls visit(left, y, right) for every run of the key colour in a 24- or 32-bit bitmap, top row first,
// each row left to right.
template <typename Visit>
void ForEachKeyRun(TBitmap& bitmap, const TKey& key, Visit&& visit)
{
  const int width = bitmap.GetWidth();
  const int height = bitmap.GetHeight();
  if (width <= 0)
    return;
  const int step = bitmap.GetPixelFormat() == pf32bit ? 4 : 3;
  for (int y = 0; y < height; ++y) {
    const auto* start = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    const uint8_t* end = start + step * static_cast<size_t>(width);
    const uint8_t* cursor = start;
    while (cursor != end) {
      const uint8_t* runStart = WinRegion::FindColorRun(cursor, end, key.Red, key.Green, key.Blue, step);
      if (cursor != runStart)
        visit(static_cast<int>((runStart - start) / step), y, static_cast<int>((cursor - start) / step));
    }
  }
}

// Gathers one-pixel-high rectangles, given top row first and left to right, into one region. The system
// may merge the rectangles of a region description one by one, each in time proportional to the region
// built so far, so a region is made per small piece of rectangles and the pieces are joined the way a
// binary counter carries: pieces of equal size merge, which keeps the cost near-linear in the number of
// rectangles and at most a few dozen regions alive at once.
class TRunUnion {
public:
  void Add(int left, int top, int right)
  {
    m_rects.push_back(RECT{left, top, right, top + 1});
    if (m_rects.size() == kPieceSize)
      Flush();
  }

  // The union of everything added; null when nothing was.
  TRegionHandle Take()
  {
    Flush();
    while (m_pieces.size() > 1)
      MergeTop();
    return m_pieces.empty() ? TRegionHandle() : std::move(m_pieces.back().Region);
  }

private:
  struct TPiece {
    int Level;  // made of 2^Level flushed pieces
    TRegionHandle Region;
  };

  static constexpr size_t kPieceSize = 16;

  void Flush()
  {
    if (m_rects.empty())
      return;
    RECT bounds = m_rects.front();
    for (const RECT& rect : m_rects) {
      bounds.left = std::min(bounds.left, rect.left);
      bounds.right = std::max(bounds.right, rect.right);
      bounds.bottom = std::max(bounds.bottom, rect.bottom);
    }
    const size_t rectBytes = m_rects.size() * sizeof(RECT);
    m_buffer.resize(sizeof(RGNDATAHEADER) + rectBytes);
    RGNDATAHEADER header{};
    header.dwSize = sizeof(RGNDATAHEADER);
    header.iType = RDH_RECTANGLES;
    header.nCount = static_cast<DWORD>(m_rects.size());
    header.nRgnSize = static_cast<DWORD>(rectBytes);
    header.rcBound = bounds;
    std::memcpy(m_buffer.data(), &header, sizeof(header));
    std::memcpy(m_buffer.data() + sizeof(header), m_rects.data(), rectBytes);
    HRGN hrgn = ExtCreateRegion(nullptr, static_cast<DWORD>(m_buffer.size()),
                                reinterpret_cast<const RGNDATA*>(m_buffer.data()));
    KO_ASSERT(hrgn != NULL);
    m_pieces.push_back(TPiece{0, TRegionHandle(hrgn)});
    m_rects.clear();
    while (m_pieces.size() > 1 && m_pieces[m_pieces.size() - 2].Level == m_pieces.back().Level)
      MergeTop();
  }

  // Joins the last piece into the one before it.
  void MergeTop()
  {
    TPiece last = std::move(m_pieces.back());
    m_pieces.pop_back();
    TPiece& into = m_pieces.back();
    const int combineResult = CombineRgn(into.Region.Get(), into.Region.Get(), last.Region.Get(), RGN_OR);
    KO_ASSERT(combineResult != ERROR);
    into.Level = std::max(into.Level, last.Level) + 1;
  }

  std::vector<RECT> m_rects;
  std::vector<TPiece> m_pieces;
  // Bytes of the last piece's RGNDATA; a byte vector's storage is aligned for the header.
  std::vector<uint8_t> m_buffer;
};

} // namespace

WinRegion::WinRegion()
{
  HRGN hrgn = CreateRectRgn(0, 0, 0, 0);
  KO_ASSERT(hrgn != NULL);
  m_hrgn.Reset(hrgn);
}

void WinRegion::SetRect(int left, int top, int right, int bottom)
{
  const BOOL result = SetRectRgn(m_hrgn.Get(), left, top, right, bottom);
  KO_ASSERT(result != 0);
}

void WinRegion::Subtract(const WinRegion& other)
{
  const int combineResult = CombineRgn(m_hrgn.Get(), m_hrgn.Get(), other.m_hrgn.Get(), RGN_DIFF);
  KO_ASSERT(combineResult != ERROR);
}

TRegionHandle WinRegion::Duplicate() const
{
  HRGN hrgn = CreateRectRgn(0, 0, 0, 0);
  KO_ASSERT(hrgn != NULL);
  TRegionHandle copy(hrgn);
  const int combineResult = CombineRgn(copy.Get(), m_hrgn.Get(), nullptr, RGN_COPY);
  KO_ASSERT(combineResult != ERROR);
  return copy;
}

void WinRegion::FromBitmap(TBitmap& bitmap, TColor keyColor)
{
  const TKey key = SplitKey(keyColor);
  SetRect(0, 0, bitmap.GetWidth(), bitmap.GetHeight());
  T24BitScope format(bitmap);
  TRunUnion runs;
  ForEachKeyRun(bitmap, key, [&](int left, int y, int right) { runs.Add(left, y, right); });
  format.Restore();
  TRegionHandle keyArea = runs.Take();
  if (!keyArea)
    return;
  const int combineResult = CombineRgn(m_hrgn.Get(), m_hrgn.Get(), keyArea.Get(), RGN_DIFF);
  KO_ASSERT(combineResult != ERROR);
}

void WinRegion::FromBitmapByRuns(TBitmap& bitmap, TColor keyColor)
{
  const TKey key = SplitKey(keyColor);
  SetRect(0, 0, bitmap.GetWidth(), bitmap.GetHeight());
  T24BitScope format(bitmap);
  ForEachKeyRun(bitmap, key, [&](int left, int y, int right) {
    WinRegion run;
    run.SetRect(left, y, right, y + 1);
    Subtract(run);
  });
  format.Restore();
}

bool WinRegion::ScansInPlace(const TBitmap& bitmap)
{
  const TPixelFormat format = bitmap.GetPixelFormat();
  return format == pf24bit || format == pf32bit;
}

int WinRegion::ApplyToWindow(HWND hwnd, const WinRegion& region, bool redraw)
{
  TRegionHandle copy = region.Duplicate();
  const int result = SetWindowRgn(hwnd, copy.Get(), redraw ? TRUE : FALSE);
  if (result != 0)
    copy.Extract();  // the window owns it now
  return result;
}

const uint8_t* WinRegion::FindColorRun(const uint8_t*& cursor, const uint8_t* end, uint8_t red, uint8_t green,
                                       uint8_t blue, int step)
{
  // A partial pixel before `end` never matches, and the cursor never passes `end`.
  auto isKey = [&] { return end - cursor >= 3 && cursor[0] == blue && cursor[1] == green && cursor[2] == red; };
  auto advance = [&] { cursor = step > 0 && end - cursor > step ? cursor + step : end; };
  while (cursor < end && !isKey())
    advance();
  const uint8_t* runStart = cursor;
  while (cursor < end && isKey())
    advance();
  return runStart;
}

} // namespace orvo
