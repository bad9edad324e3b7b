#pragma once
// Icons: an HICON with the picture interface.
#include "Classes.h"
#include "Geometry.h"
#include "Graphic.h"
#include "Handles.h"

#include <windows.h>

#include <string>

class TCanvas;

// An icon from a .ico file; owns its HICON.
class TIcon : public TGraphic {
public:
  TIcon();
  ~TIcon() override;
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  // A copy of another icon (CopyIcon); nothing raises EConvertError, another class EInvalidCast.
  void Assign(TPersistent* source) override;

  bool Empty() const override { return !FHandle; }
  int GetWidth() const override { return FWidth; }
  int GetHeight() const override { return FHeight; }
  // An icon's size comes from its image: setting it raises EInvalidGraphicOperation.
  void SetWidth(int width) override;
  void SetHeight(int height) override;

  HICON GetHandle() const { return FHandle.Get(); }
  // Adopts an icon: from now on this object owns it.
  void SetHandle(HICON icon);
  void SetHandle(TIconHandle&& icon) { SetHandle(icon.Extract()); }
  // Hands the icon over to the caller; this object becomes empty.
  TIconHandle ExtractHandle();

  // The first image of a .ico file; broken files raise EInvalidGraphic ("Icon image is not valid").
  void LoadFromStream(TStream* stream) override;
  // Not offered: raises EInvalidGraphicOperation.
  void SaveToFile(const std::string& fileName) override;

  void Draw(TCanvas* canvas, const TRect& rect) override;

private:
  void Adopt(HICON icon);

  TIconHandle FHandle;
  int FWidth = 0;
  int FHeight = 0;
};
