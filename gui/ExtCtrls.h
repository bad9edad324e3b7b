#pragma once
// The image control: a graphic control that shows a picture.
#include "Control.h"
#include "Graphics.h"

#include <memory>

// Shows its picture (a bitmap or an icon) on its parent. Mouse input is the control's like any graphic
// control's; a disabled image takes none and lets it through to its parent, which is how a picture
// display that must not react to the mouse is made.
class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;

  // The picture shown; any change to it (a new graphic, drawing on its bitmap) repaints the image.
  TPicture* GetPicture() const { return FPicture.get(); }
  // Copies `picture`'s graphic.
  void SetPicture(TPicture* picture) { FPicture->Assign(picture); }

  // The canvas of the picture's bitmap, for drawing into the picture (which then repaints). A picture
  // holding nothing first gets a bitmap of the control's size; one holding an icon raises
  // EInvalidOperation. This is not the canvas the control paints with.
  TCanvas* GetCanvas();

  // The control takes the size of its picture, now and whenever the picture changes, and keeps it.
  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool autoSize);
  // The picture's transparent colour is not painted, so the parent shows through there.
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool transparent);
  // The picture is stretched over the whole control.
  bool GetStretch() const { return FStretch; }
  void SetStretch(bool stretch);
  // Stretching (and shrinking a picture larger than the control) keeps the picture's proportions.
  bool GetProportional() const { return FProportional; }
  void SetProportional(bool proportional);
  // The picture is centred in the control instead of drawn at its top-left corner.
  bool GetCenter() const { return FCenter; }
  void SetCenter(bool center);

  // Where the picture is drawn, in client coordinates.
  TRect DestRect() const;

protected:
  void Paint() override;
  // With AutoSize and a picture, the control keeps the picture's size.
  bool CanResize(int& NewWidth, int& NewHeight) override;
  void Resize() override;

private:
  void PictureChanged(TObject* Sender);
  void AdjustSize();
  void UpdateOpaque();

  std::unique_ptr<TPicture> FPicture;
  bool FAutoSize = false;
  bool FTransparent = false;
  bool FStretch = false;
  bool FProportional = false;
  bool FCenter = false;
};
