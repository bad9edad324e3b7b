// Window regions cut out of a 345 x 348 picture (the main skin's size), beside the system building the
// same region from its finished rectangles in one call.
#include "Bench.h"

#include "Bitmap.h"
#include "Graphics/WinRegion.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 345;
constexpr int kHeight = 348;
constexpr TColor kKey = 0xFF00FF;

void PutPixel(TBitmap& bitmap, int x, int y, uint32_t bgra)
{
  auto* row = static_cast<uint32_t*>(bitmap.ScanLine(y));
  row[x] = bgra;
}

// A panel with rounded corners and an antialiased rim, keyed away outside: the shape of a real skin.
void SoftOutline(TBitmap& bitmap)
{
  constexpr double kInset = 10;
  constexpr double kRadius = 24;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      // Distance outside a rounded rectangle (negative inside).
      const double cx = std::max(kInset + kRadius, std::min(kWidth - kInset - kRadius, x + 0.5));
      const double cy = std::max(kInset + kRadius, std::min(kHeight - kInset - kRadius, y + 0.5));
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) - kRadius;
      uint32_t pixel;
      if (d >= 1.0) {
        pixel = 0xFFFF00FF;  // the key
      } else if (d > -1.0) {
        const auto shade = static_cast<uint32_t>(128 + 60 * d);  // the rim's blend
        pixel = 0xFF000000 | shade << 16 | shade << 8 | shade;
      } else {
        const auto shade = static_cast<uint32_t>(200 + 50 * y / kHeight);
        pixel = 0xFF000000 | shade << 16 | shade << 8 | shade;
      }
      PutPixel(bitmap, x, y, pixel);
    }
}

// Every other pixel keyed: the most runs, and the most rectangles, a picture can have.
void Checkerboard(TBitmap& bitmap)
{
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      PutPixel(bitmap, x, y, (x + y) % 2 ? 0xFFC0C0C0 : 0xFFFF00FF);
}

// The region's rectangles as RGNDATA, for the system to build it again.
std::vector<uint8_t> RegionBytes(HRGN region)
{
  std::vector<uint8_t> bytes(GetRegionData(region, 0, nullptr));
  GetRegionData(region, static_cast<DWORD>(bytes.size()), reinterpret_cast<RGNDATA*>(bytes.data()));
  return bytes;
}

// `slowRuns`: the run count of the rows whose work or baseline takes seconds on this picture.
void Measure(bench::TContext& context, const std::string& pictureName, void (*paint)(TBitmap&), int slowRuns)
{
  TBitmap picture;
  picture.SetPixelFormat(pf32bit);
  picture.SetSize(kWidth, kHeight);
  paint(picture);

  orvo::WinRegion region;
  region.FromBitmap(picture, kKey);
  const std::vector<uint8_t> bytes = RegionBytes(region.Handle());
  const auto* data = reinterpret_cast<const RGNDATA*>(bytes.data());
  const std::string rects = std::to_string(data->rdh.nCount) + " rects";

  auto fromBitmap = [&] { region.FromBitmap(picture, kKey); };
  auto byRuns = [&] { region.FromBitmapByRuns(picture, kKey); };
  auto rebuild = [&] { TRegionHandle copy(ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()), data)); };
  auto duplicate = [&] { TRegionHandle copy = region.Duplicate(); };
  // The scan works on 24 bits per pixel; a 32-bit picture goes there and back on every call.
  auto roundTrip = [&] {
    picture.SetPixelFormat(pf24bit);
    picture.SetPixelFormat(pf32bit);
  };

  const std::string name = "FromBitmap, " + pictureName;
  context.Compare(name, fromBitmap, "ExtCreateRegion of its " + rects, rebuild, slowRuns);
  context.Compare(name, fromBitmap, "copy of the region (RGN_COPY)", duplicate);
  context.Compare(name, fromBitmap, "32-24-32 bit round trip", roundTrip);
  context.Compare("run by run, " + pictureName, byRuns, "copy of the region (RGN_COPY)", duplicate, slowRuns);
}

void RunRegion(bench::TContext& context)
{
  Measure(context, "soft outline", &SoftOutline, 0);
  Measure(context, "checkerboard", &Checkerboard, 3);
}

const bench::TRegistration registration("region", &RunRegion);

} // namespace
