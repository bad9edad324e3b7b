#pragma once
// The holder of one picture (a bitmap or an icon) for an image control.
#include "Classes.h"
#include "Graphic.h"

#include <memory>
#include <string>

class TBitmap;
class TIcon;

// Holds one graphic (a bitmap or an icon) for an image control. Asking for Bitmap turns it into a bitmap.
class TPicture : public TPersistent {
public:
  TPicture();
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // Copies a picture's or a graphic's content; nothing clears it.
  void Assign(TPersistent* source) override;

  // The graphic as a bitmap; a picture holding no bitmap gets a new, empty one.
  TBitmap* GetBitmap();
  void SetBitmap(TBitmap* bitmap);
  // The graphic as an icon; a picture holding no icon gets a new, empty one.
  TIcon* GetIcon();
  void SetIcon(TIcon* icon);
  // The graphic held, possibly null.
  TGraphic* GetGraphic() const { return FGraphic.get(); }
  // Holds a copy of `graphic` (null clears).
  void SetGraphic(TGraphic* graphic);

  int GetWidth() const { return FGraphic ? FGraphic->GetWidth() : 0; }
  int GetHeight() const { return FGraphic ? FGraphic->GetHeight() : 0; }

  // ".ico" loads an icon, anything else a bitmap.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

  // Raised when the graphic changes or is replaced.
  TNotifyEvent OnChange;
  virtual void Changed();

private:
  void Hold(std::unique_ptr<TGraphic> graphic);
  void GraphicChanged(TObject* sender);

  std::unique_ptr<TGraphic> FGraphic;
};
