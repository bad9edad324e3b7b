#include "Picture.h"

#include "Bitmap.h"
#include "Icon.h"
#include "SysUtils.h"

#include <windows.h>

#include <memory>
#include <string>

TPicture::TPicture() = default;

TPicture::~TPicture()
{
  if (FGraphic)
    FGraphic->OnChange = nullptr;
}

void TPicture::Hold(std::unique_ptr<TGraphic> graphic)
{
  if (FGraphic)
    FGraphic->OnChange = nullptr;
  FGraphic = std::move(graphic);
  if (FGraphic)
    FGraphic->OnChange = TNotifyEvent(this, &TPicture::GraphicChanged);
  Changed();
}

void TPicture::GraphicChanged(TObject*)
{
  Changed();
}

void TPicture::Changed()
{
  OnChange(this);
}

TBitmap* TPicture::GetBitmap()
{
  if (!dynamic_cast<TBitmap*>(FGraphic.get()))
    Hold(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(FGraphic.get());
}

void TPicture::SetBitmap(TBitmap* bitmap)
{
  GetBitmap()->Assign(bitmap);
}

TIcon* TPicture::GetIcon()
{
  if (!dynamic_cast<TIcon*>(FGraphic.get()))
    Hold(std::make_unique<TIcon>());
  return static_cast<TIcon*>(FGraphic.get());
}

void TPicture::SetIcon(TIcon* icon)
{
  GetIcon()->Assign(icon);
}

void TPicture::SetGraphic(TGraphic* graphic)
{
  if (graphic == FGraphic.get())
    return;
  if (!graphic) {
    Hold(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy;
  if (dynamic_cast<TBitmap*>(graphic))
    copy = std::make_unique<TBitmap>();
  else if (dynamic_cast<TIcon*>(graphic))
    copy = std::make_unique<TIcon>();
  else
    throw EInvalidCast();
  copy->Assign(graphic);
  Hold(std::move(copy));
}

void TPicture::Assign(TPersistent* source)
{
  if (!source) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
    if (picture != this)
      SetGraphic(picture->GetGraphic());
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::LoadFromFile(const std::string& fileName)
{
  const std::string name = ExtractFileName(fileName);
  const size_t dot = name.find_last_of('.');
  const bool icon = dot != std::string::npos && lstrcmpiA(name.c_str() + dot, ".ico") == 0;
  std::unique_ptr<TGraphic> graphic;
  if (icon)
    graphic = std::make_unique<TIcon>();
  else
    graphic = std::make_unique<TBitmap>();
  graphic->LoadFromFile(fileName);
  Hold(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName)
{
  if (FGraphic)
    FGraphic->SaveToFile(fileName);
}
