#pragma once
// The picture holder of the skinned controls: one bitmap per state of the control, and a picture display
// inside the control that shows the current state's bitmap.
#include "Component/LED.h"
#include "Component/LED/BmpLED.h"
#include "Graphics/ImageLayer.h"
#include "Graphics/SimplePainter.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "Classes.h"
#include "Colors.h"
#include "ExtCtrls.h"
#include "WinControl.h"

#include <memory>

namespace orvo {

class TBmpLEDCtrl : public LEDCtrl {
public:
  using Layer = ImageLayer<NullSaver<TCanvas*>>;
  using Painter = SimplePainter<Layer>;

  // The display is made with `owner` and put into `parent`; `stateCount` (at least 1) empty bitmaps, each
  // with the holder's change handler.
  TBmpLEDCtrl(TComponent* owner, TWinControl* parent, int stateCount);
  ~TBmpLEDCtrl() override;

  int StateCount() const override;
  int GetState() const override;
  // Shows a state; nothing happens for the one on show.
  void SetState(int state) override;
  // Draws the state on show again and shows the display at once.
  void Redraw() override;
  // What is drawn on the display while the result lives is shown once, when it goes (see
  // ImageLayer::TComposer): a state and what a control draws over it reach the screen together.
  Layer::TComposer Compose() { return Layer::TComposer(*m_layer); }
  // Moves the display within its parent.
  void MoveBy(int dx, int dy) override;
  int GetLeft() const override;
  int GetTop() const override;
  // The size of the display's picture.
  int GetWidth() const override;
  int GetHeight() const override;

  // The live bitmap of a state, owned here.
  TBitmap* GetBitmap(int index) const;
  // Copies `bitmap` into a state's bitmap, which raises that bitmap's change notification.
  void SetBitmap(TBitmap* bitmap, int index);

  // The display layer: the size of its picture (what it gains is white), the surface it is drawn on, and
  // whether the picture's transparent colour is left out when the display paints.
  void Resize(int width, int height);
  TCanvas* GetCanvas() const;
  bool GetTransparent() const;
  void SetTransparent(bool transparent);
  // A plain RGB value.
  TColor GetTransparentColor() const;
  void SetTransparentColor(TColor color);

  // The display itself.
  TImage* Display() const;
  // The holder's change handler of the state bitmaps: a change of the state on show is drawn.
  void BitmapChanged(TObject* Sender);

private:
  int IndexOf(const TObject* bitmap) const;

  std::unique_ptr<Layer> m_layer;
  std::unique_ptr<Painter> m_painter;
  std::unique_ptr<TBitmapLED<Painter>> m_led;
};

} // namespace orvo
