#include "Icon.h"

#include "Canvas.h"
#include "SysUtils.h"

#include <cstdint>
#include <vector>

namespace {

const char kInvalidIcon[] = "Icon image is not valid";

// Icon files are read whole; a real one is far smaller.
constexpr size_t kMaxIconFileBytes = 16u << 20;

}  // namespace

TIcon::TIcon()
{
  FTransparent = true;
}

TIcon::~TIcon() = default;

void TIcon::Adopt(HICON icon)
{
  FHandle.Reset(icon);
  FWidth = 0;
  FHeight = 0;
  if (!icon)
    return;
  ICONINFO info{};
  if (!GetIconInfo(icon, &info))
    return;
  TBitmapHandle colorBits(info.hbmColor);
  TBitmapHandle maskBits(info.hbmMask);
  BITMAP bitmap{};
  if (colorBits && GetObjectA(colorBits.Get(), sizeof(bitmap), &bitmap)) {
    FWidth = bitmap.bmWidth;
    FHeight = bitmap.bmHeight;
  } else if (maskBits && GetObjectA(maskBits.Get(), sizeof(bitmap), &bitmap)) {
    // A monochrome icon keeps its AND and XOR masks one above the other.
    FWidth = bitmap.bmWidth;
    FHeight = bitmap.bmHeight / 2;
  }
}

void TIcon::Assign(TPersistent* source)
{
  auto* icon = dynamic_cast<TIcon*>(source);
  if (!icon) {
    TGraphic::Assign(source);
    return;
  }
  if (icon == this)
    return;
  HICON copy = nullptr;
  if (icon->FHandle) {
    copy = CopyIcon(icon->FHandle.Get());
    if (!copy)
      throw EOutOfResources();
  }
  Adopt(copy);
  Changed();
}

void TIcon::SetWidth(int)
{
  throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHeight(int)
{
  throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHandle(HICON icon)
{
  if (icon == FHandle.Get())
    return;
  Adopt(icon);
  Changed();
}

TIconHandle TIcon::ExtractHandle()
{
  TIconHandle icon(FHandle.Extract());
  FWidth = 0;
  FHeight = 0;
  if (icon)
    Changed();
  return icon;
}

void TIcon::LoadFromStream(TStream* stream)
{
  const std::vector<uint8_t> data = ReadAll(stream, kMaxIconFileBytes, kInvalidIcon);
  auto get16 = [&](size_t at) { return static_cast<unsigned>(data[at] | (data[at + 1] << 8)); };
  auto get32 = [&](size_t at) {
    return static_cast<uint32_t>(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16)) |
           (static_cast<uint32_t>(data[at + 3]) << 24);
  };
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries.
  if (data.size() < 6 + 16 || get16(0) != 0 || get16(2) != 1 || get16(4) == 0)
    throw EInvalidGraphic(kInvalidIcon);
  const size_t count = get16(4);
  if (6 + 16 * count > data.size())
    throw EInvalidGraphic(kInvalidIcon);
  const uint32_t bytes = get32(6 + 8);
  const uint32_t offset = get32(6 + 12);
  if (bytes < 40 || offset > data.size() || bytes > data.size() - offset)
    throw EInvalidGraphic(kInvalidIcon);
  HICON icon = CreateIconFromResourceEx(const_cast<uint8_t*>(data.data() + offset), bytes, TRUE, 0x00030000, 0, 0,
                                        LR_DEFAULTCOLOR);
  if (!icon)
    throw EInvalidGraphic(kInvalidIcon);
  Adopt(icon);
  Changed();
}

void TIcon::SaveToFile(const std::string&)
{
  throw EInvalidGraphicOperation("Saving icons is not supported");
}

void TIcon::Draw(TCanvas* canvas, const TRect& rect)
{
  if (!FHandle || !canvas)
    return;
  HDC dest = canvas->GetHandle();
  if (!dest)
    return;
  DrawIconEx(dest, rect.left, rect.top, FHandle.Get(), RectWidth(rect), RectHeight(rect), 0, nullptr, DI_NORMAL);
}
