#pragma once
// A picture button with a caption drawn over its picture, in a colour that follows the button's look and
// nudged right and down while the button is pressed.
#include "KoButton.h"

#include "Geometry.h"

#include <memory>
#include <string>

class KoButtonTx : public KoButton {
public:
  explicit KoButtonTx(TComponent* AOwner);
  ~KoButtonTx() override;

  // How far the pressed caption's rectangle moves its left and top edges; the caption, centred, moves half
  // as far. Takes effect at the next press.
  void SetDisp(int x, int y);
  int GetDispX() const { return FDispX; }
  int GetDispY() const { return FDispY; }
  // Where the caption is centred, in client coordinates.
  void SetTextBounds(int left, int top, int width, int height);
  TRect GetTextRect() const { return FTextRect; }
  // The caption breaks into lines (top-aligned) instead of being clipped at the sides.
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool wordWrap);

  // The caption rectangle becomes the control's whole client area.
  void SetBounds(int left, int top, int width, int height) override;
  void ShowBitmap(int index) override;
  void ShowSunken() override;
  void Repaint() override;
  void SetText(const std::string& text) override;

  KoThreeStateFontColor* GetFontColors() const { return FFontColors.get(); }
  // Copies the colours of `value` into this button's.
  void SetFontColors(KoThreeStateFontColor* value);
  // The caption colour of the requested look, as a plain RGB value.
  TColor GetFontColorOfCurState() const;

  // Puts the class on the palette page "KoComponentsTx".
  static void Register();

protected:
  // The picture on show again, then the caption over it.
  void DoRepaint();
  void DrawText();
  void FontChange(TObject* Sender);
  void FontColorChange(TObject* Sender);

private:
  int FDispX = 2;
  int FDispY = 2;
  bool FSunkenPending = false;
  TRect FTextRect{0, 0, 0, 0};
  TNotifyEvent FPrevFontChange;
  std::unique_ptr<KoThreeStateFontColor> FFontColors;
  bool FWordWrap = false;
};
