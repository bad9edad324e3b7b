#include "PictureText.h"

#include "Bitmap.h"
#include "Picture.h"

namespace {

constexpr size_t kBytesPerLine = 32;

int HexValue(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

} // namespace

std::vector<uint8_t> PictureData(TPersistent* picture)
{
  if (auto* holder = dynamic_cast<TPicture*>(picture)) {
    TGraphic* graphic = holder->GetGraphic();
    if (!graphic || graphic->Empty())
      return {};
    picture = graphic;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(picture))
    return bitmap->Empty() ? std::vector<uint8_t>() : bitmap->SaveToBytes();
  throw EPropertyError("a " + (picture ? picture->ClassName() : std::string("null picture")) +
                       " cannot be kept in text, only a bitmap");
}

std::unique_ptr<TPersistent> PictureFromData(const TClassInfo& valueClass, const std::vector<uint8_t>& data)
{
  auto bitmap = std::make_unique<TBitmap>();
  if (!data.empty()) {
    TBytesStream stream(data);
    bitmap->LoadFromStream(&stream);
  }
  if (valueClass.InheritsFrom(TClassInfo::Of<TBitmap>()))
    return bitmap;
  if (valueClass.InheritsFrom(TClassInfo::Of<TPicture>())) {
    auto picture = std::make_unique<TPicture>();
    if (!data.empty())
      picture->SetGraphic(bitmap.get());
    return picture;
  }
  throw EPropertyError("a " + valueClass.Name() + " cannot be read from text, only a bitmap or a picture");
}

std::unique_ptr<TPersistent> CopyPicture(TPersistent* picture)
{
  std::unique_ptr<TPersistent> copy;
  if (dynamic_cast<TPicture*>(picture))
    copy = std::make_unique<TPicture>();
  else if (dynamic_cast<TBitmap*>(picture))
    copy = std::make_unique<TBitmap>();
  else
    throw EPropertyError("a " + (picture ? picture->ClassName() : std::string("null picture")) +
                         " cannot be copied as a picture");
  copy->Assign(picture);
  return copy;
}

std::string HexLines(const std::vector<uint8_t>& data, const std::string& indent)
{
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(data.size() * 2 + (data.size() / kBytesPerLine + 1) * (indent.size() + 1));
  for (size_t i = 0; i < data.size(); ++i) {
    if (i % kBytesPerLine == 0)
      text += indent;
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
    if (i % kBytesPerLine == kBytesPerLine - 1 || i + 1 == data.size())
      text += '\n';
  }
  return text;
}

std::optional<std::vector<uint8_t>> BytesFromHex(const std::string& digits)
{
  if (digits.size() % 2 != 0)
    return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(digits.size() / 2);
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexValue(digits[i]);
    const int low = HexValue(digits[i + 1]);
    if (high < 0 || low < 0)
      return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return bytes;
}
