#include "Graphic.h"

void TGraphic::SetTransparent(bool transparent)
{
  if (transparent == FTransparent)
    return;
  FTransparent = transparent;
  Changed();
}

void TGraphic::LoadFromFile(const std::string& fileName)
{
  TFileStream stream(fileName);
  LoadFromStream(&stream);
}

void TGraphic::Changed()
{
  OnChange(this);
}

std::vector<uint8_t> TGraphic::ReadAll(TStream* stream, size_t limit, const char* invalid)
{
  std::vector<uint8_t> data;
  std::vector<uint8_t> chunk(65536);
  for (;;) {
    const long count = stream->Read(chunk.data(), static_cast<long>(chunk.size()));
    if (count <= 0)
      break;
    if (data.size() + static_cast<size_t>(count) > limit)
      throw EInvalidGraphic(invalid);
    data.insert(data.end(), chunk.begin(), chunk.begin() + count);
  }
  return data;
}

EFCreateError::EFCreateError(const std::string& path) : Exception("Cannot create file " + path) {}
