#pragma once
// A picture display put into a control: an image control whose picture is the surface the figures draw
// on. The display takes no mouse input, so everything the pointer does reaches the control it sits in.
#include "Graphics/Figure/BmpFigure.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "Classes.h"
#include "Colors.h"
#include "ExtCtrls.h"
#include "GraphicObjects.h"
#include "WinControl.h"

#include <exception>
#include <memory>

namespace orvo {

template <typename Saver>
class ImageLayer {
public:
  // What the layer paints on: the display's drawing surface, the background colour that new and erased
  // areas get, and the size painted so far.
  struct PainterRecord {
    Saver Surface;
    TColor Background;
    int Width;
    int Height;
  };

  // The display is made with `owner` and put into `parent` at (0, 0), 0 x 0 until Resize.
  ImageLayer(TComponent* owner, TWinControl* parent) : m_image(new TImage(owner)), m_life(m_image)
  {
    TBitmap* picture = m_image->GetPicture()->GetBitmap();
    picture->SetWidth(0);
    picture->SetHeight(0);
    m_image->SetBounds(0, 0, 0, 0);
    picture->SetPixelFormat(ScreenDisplayPixelFormat());
    m_image->SetParent(parent);
    // Fixed, and black until a picture brings its own: a fresh display holds the colour that streams as
    // the default.
    picture->SetTransparentColor(clBlack);
    m_record = std::make_unique<PainterRecord>(
        PainterRecord{Saver(m_image->GetCanvas()), kBackground, m_image->GetWidth(), m_image->GetHeight()});
    m_image->SetEnabled(false);
  }

  ~ImageLayer()
  {
    // While its owner is being destroyed, the owner frees the display with its other components.
    if (m_life.Alive() && !m_image->IsDestroying())
      delete m_image;
  }

  ImageLayer(const ImageLayer&) = delete;
  ImageLayer& operator=(const ImageLayer&) = delete;

  static constexpr TColor kBackground = 0xFFFFFF;

  TImage* Image() const { return m_image; }
  TBitmap* Picture() const { return m_image->GetPicture()->GetBitmap(); }
  TCanvas* Canvas() const { return m_record->Surface.Canvas(); }
  TColor Background() const { return m_record->Background; }
  void SetBackground(TColor color) { m_record->Background = color; }

  // The picture and the display take the new size; what the picture gains is filled with the background.
  void Resize(int width, int height)
  {
    TBitmap* picture = Picture();
    picture->SetWidth(width);
    picture->SetHeight(height);
    m_image->SetBounds(m_image->GetLeft(), m_image->GetTop(), width, height);
    PainterRecord& record = *m_record;
    if (width > record.Width)
      FillBackground(MakeRect(record.Width, 0, width, height));
    if (height > record.Height)
      FillBackground(MakeRect(0, record.Height, record.Width, height));
    record.Width = width;
    record.Height = height;
  }

  int Left() const { return m_image->GetLeft(); }
  int Top() const { return m_image->GetTop(); }
  int Width() const { return Picture()->GetWidth(); }
  int Height() const { return Picture()->GetHeight(); }
  void MoveBy(int dx, int dy)
  {
    m_image->SetBounds(m_image->GetLeft() + dx, m_image->GetTop() + dy, m_image->GetWidth(), m_image->GetHeight());
  }

  bool GetTransparent() const { return m_image->GetTransparent(); }
  void SetTransparent(bool transparent) { m_image->SetTransparent(transparent); }
  // As a plain RGB value.
  TColor GetTransparentColor() const { return ColorToRgbPart(Picture()->GetTransparentColor()); }
  void SetTransparentColor(TColor color) { Picture()->SetTransparentColor(ColorToRgbPart(color)); }

  void Repaint() { m_image->Repaint(); }

  // While one lives, drawing on the layer's picture does not invalidate the display each time; the last
  // to go shows the display at once (its parent paints its area now, as a paint of that area would) and
  // leaves the update region alone. Nested composers show it once.
  class TComposer {
  public:
    explicit TComposer(ImageLayer& layer) : m_layer(layer)
    {
      if (m_layer.m_composers++ == 0) {
        m_layer.m_quietPicture = m_layer.Picture();
        m_layer.m_quietChange = m_layer.m_quietPicture->OnChange;
        m_layer.m_quietPicture->OnChange = nullptr;
      }
    }
    ~TComposer() noexcept(false)
    {
      if (--m_layer.m_composers > 0)
        return;
      m_layer.m_quietPicture->OnChange = m_layer.m_quietChange;
      if (std::uncaught_exceptions() > m_uncaught)
        m_layer.m_image->Invalidate();  // whatever was drawn before the failure is shown the usual way
      else
        m_layer.Show();
    }
    TComposer(const TComposer&) = delete;
    TComposer& operator=(const TComposer&) = delete;

  private:
    ImageLayer& m_layer;
    int m_uncaught = std::uncaught_exceptions();
  };

private:
  void Show()
  {
    TWinControl* parent = m_image->GetParent();
    if (!parent || !m_image->GetVisible())
      return;
    const TRect bounds = m_image->GetBoundsRect();
    parent->PaintNow(bounds, !m_image->GetControlStyle().Contains(csOpaque));
  }

  void FillBackground(const TRect& rect)
  {
    TCanvas* canvas = Canvas();
    TBrush* brush = canvas->GetBrush();
    const TBrushStyle style = brush->GetStyle();
    const TColor color = brush->GetColor();
    brush->SetStyle(bsSolid);
    brush->SetColor(m_record->Background);
    canvas->FillRect(rect);
    brush->SetStyle(style);
    brush->SetColor(color);
  }

  TImage* m_image;
  TLifeToken m_life;
  std::unique_ptr<PainterRecord> m_record;
  int m_composers = 0;
  TBitmap* m_quietPicture = nullptr;
  TNotifyEvent m_quietChange;
};

} // namespace orvo
