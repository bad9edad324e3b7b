#pragma once
// A picture button with a caption drawn over its picture, in a colour that follows the button's look and
// nudged right and down while the button is pressed.
#include "KoButton.h"
#include "KoCaptioned.h"

class KoButtonTx : public KoCaptioned<KoButton, KoThreeStateFontColor> {
public:
  explicit KoButtonTx(TComponent* AOwner);

  // The caption breaks into lines (top-aligned) instead of being clipped at the sides.
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool wordWrap);

  void ShowSunken() override;
  void Repaint() override;

  // Puts the class on the palette page "KoComponentsTx".
  static void Register();

protected:
  TColor ColorOfState(int state) const override;
  UINT CaptionFormat() const override;

private:
  bool FWordWrap = false;
};
