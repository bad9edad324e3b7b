#pragma once
// A brick with a caption drawn over its picture on one line, in a colour that follows the brick's look.
#include "KoBrick.h"

#include "Geometry.h"

#include <memory>
#include <string>

class KoBrickTx : public KoBrick {
public:
  explicit KoBrickTx(TComponent* AOwner);
  ~KoBrickTx() override;

  // How far a sunken caption's rectangle would move its left and top edges. A brick is never shown sunken,
  // so this is kept for the text controls' common interface only.
  void SetDisp(int x, int y);
  int GetDispX() const { return FDispX; }
  int GetDispY() const { return FDispY; }
  // Where the caption is centred, in client coordinates.
  void SetTextBounds(int left, int top, int width, int height);
  TRect GetTextRect() const { return FTextRect; }

  // The caption rectangle becomes the control's whole client area.
  void SetBounds(int left, int top, int width, int height) override;
  void ShowBitmap(int index) override;
  void Repaint() override;
  void SetText(const std::string& text) override;

  KoTwoStateFontColor* GetFontColors() const { return FFontColors.get(); }
  // Copies the colours of `value` into this brick's.
  void SetFontColors(KoTwoStateFontColor* value);
  // The caption colour of the requested look, as a plain RGB value.
  TColor GetFontColorOfCurState() const;

  // Puts the class on the palette page "KoComponentsTx".
  static void Register();

protected:
  // The picture on show again, the caption over it, and the window painted now.
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
  std::unique_ptr<KoTwoStateFontColor> FFontColors;
};
