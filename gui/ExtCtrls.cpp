#include "ExtCtrls.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"

#include <cstdint>

namespace {

// The picture is kept in text as its bitmap data (a picture holding an icon cannot be written).
const bool kImagePublished = [] {
  auto table = PublishClass<TImage>();
  PublishBounds(table, 105, 105);
  PublishControlMembers(table, {"Align", "Anchors", "Constraints", "Enabled", "HelpContext", "Hint",
                                "ParentShowHint", "PopupMenu", "ShowHint", "Visible"});
  table.Property("AutoSize", &TImage::GetAutoSize, &TImage::SetAutoSize, false)
      .Property("Center", &TImage::GetCenter, &TImage::SetCenter, false)
      .Picture("Picture", &TImage::GetPicture, &TImage::SetPicture)
      .Property("Proportional", &TImage::GetProportional, &TImage::SetProportional, false)
      .Property("Stretch", &TImage::GetStretch, &TImage::SetStretch, false)
      .Property("Transparent", &TImage::GetTransparent, &TImage::SetTransparent, false);
  PublishControlMembers(table, {"OnClick", "OnContextPopup", "OnDblClick", "OnMouseDown", "OnMouseMove",
                                "OnMouseUp"});
  RegisterOnPalette("Controls", {TCreatableClass::Of<TImage>()});
  return true;
}();

} // namespace

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>())
{
  FPicture->OnChange = TNotifyEvent(this, &TImage::PictureChanged);
  SetBounds(FLeft, FTop, 105, 105);
  UpdateOpaque();
}

TImage::~TImage()
{
  FPicture->OnChange = nullptr;
}

TCanvas* TImage::GetCanvas()
{
  TGraphic* graphic = FPicture->GetGraphic();
  if (!graphic) {
    TBitmap* bitmap = FPicture->GetBitmap();
    bitmap->SetSize(GetWidth(), GetHeight());
    return bitmap->GetCanvas();
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic))
    return bitmap->GetCanvas();
  throw EInvalidOperation("Can only modify an image if it contains a bitmap");
}

void TImage::SetAutoSize(bool autoSize)
{
  if (autoSize == FAutoSize)
    return;
  FAutoSize = autoSize;
  AdjustSize();
}

void TImage::SetTransparent(bool transparent)
{
  if (transparent == FTransparent)
    return;
  FTransparent = transparent;
  PictureChanged(this);
}

void TImage::SetStretch(bool stretch)
{
  if (stretch == FStretch)
    return;
  FStretch = stretch;
  PictureChanged(this);
}

void TImage::SetProportional(bool proportional)
{
  if (proportional == FProportional)
    return;
  FProportional = proportional;
  PictureChanged(this);
}

void TImage::SetCenter(bool center)
{
  if (center == FCenter)
    return;
  FCenter = center;
  PictureChanged(this);
}

TRect TImage::DestRect() const
{
  int width = FPicture->GetWidth();
  int height = FPicture->GetHeight();
  const int clientWidth = GetClientWidth();
  const int clientHeight = GetClientHeight();
  if (FStretch || (FProportional && (width > clientWidth || height > clientHeight))) {
    if (FProportional && width > 0 && height > 0) {
      // Fit the side that reaches the control's edge first; 64 bits, as the products can be large.
      if (int64_t{clientWidth} * height > int64_t{clientHeight} * width) {
        width = static_cast<int>(int64_t{clientHeight} * width / height);
        height = clientHeight;
      } else {
        height = static_cast<int>(int64_t{clientWidth} * height / width);
        width = clientWidth;
      }
    } else {
      width = clientWidth;
      height = clientHeight;
    }
  }
  TRect rect = Rect(0, 0, width, height);
  if (FCenter)
    OffsetRect(&rect, (clientWidth - width) / 2, (clientHeight - height) / 2);
  return rect;
}

void TImage::Paint()
{
  TGraphic* graphic = FPicture->GetGraphic();
  if (!graphic || graphic->Empty())
    return;
  TGraphicControl::GetCanvas()->StretchDraw(DestRect(), graphic);
}

bool TImage::CanResize(int& NewWidth, int& NewHeight)
{
  if (FAutoSize && FPicture->GetWidth() > 0 && FPicture->GetHeight() > 0) {
    NewWidth = FPicture->GetWidth();
    NewHeight = FPicture->GetHeight();
  }
  return TGraphicControl::CanResize(NewWidth, NewHeight);
}

void TImage::Resize()
{
  UpdateOpaque();
  TGraphicControl::Resize();
}

void TImage::PictureChanged(TObject* /*Sender*/)
{
  // The image's flag rules; icons carry their own mask. Setting an unchanged flag raises nothing, so the
  // notification this may cause comes back here only once.
  TGraphic* graphic = FPicture->GetGraphic();
  if (graphic && !dynamic_cast<TIcon*>(graphic))
    graphic->SetTransparent(FTransparent);
  AdjustSize();
  UpdateOpaque();
  Invalidate();
}

void TImage::AdjustSize()
{
  if (FAutoSize && FPicture->GetWidth() > 0 && FPicture->GetHeight() > 0)
    SetBounds(FLeft, FTop, FPicture->GetWidth(), FPicture->GetHeight());
}

// The parent need not paint behind the image when the picture covers all of it with no hole.
void TImage::UpdateOpaque()
{
  const TGraphic* graphic = FPicture->GetGraphic();
  bool opaque = graphic && !graphic->Empty() && !graphic->GetTransparent();
  if (opaque) {
    const TRect dest = DestRect();
    opaque = dest.left <= 0 && dest.top <= 0 && dest.right >= GetClientWidth() && dest.bottom >= GetClientHeight();
  }
  TControlStyle style = GetControlStyle();
  if (opaque)
    style.Include(csOpaque);
  else
    style.Exclude(csOpaque);
  SetControlStyle(style);
}
