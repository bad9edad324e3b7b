#pragma once
// The painter the LED figures draw with: a drawing surface reached through a layer, the layer's background
// colour, and the colour of the shape being filled.
#include "Canvas.h"
#include "Colors.h"
#include "GraphicObjects.h"

#include <cstdint>

namespace orvo {

// Holds the canvas a layer draws on and keeps none of its state: each figure sets what it draws with.
template <typename CanvasPtr>
class NullSaver {
public:
  explicit NullSaver(CanvasPtr canvas) : m_canvas(canvas) {}

  CanvasPtr Canvas() const { return m_canvas; }
  void Save() {}
  void Restore() {}

private:
  CanvasPtr m_canvas;
};

// Draws on the surface of `Layer` (Canvas(), Background()), which it does not own.
template <typename Layer>
class SimplePainter {
public:
  explicit SimplePainter(Layer* layer) : m_layer(layer) {}
  SimplePainter(const SimplePainter&) = delete;
  SimplePainter& operator=(const SimplePainter&) = delete;

  Layer* GetLayer() const { return m_layer; }
  TCanvas* Canvas() const { return m_layer->Canvas(); }
  TColor Background() const { return m_layer->Background(); }

  // The colour filled shapes are drawn in: pen and brush alike, so a shape has no border of another
  // colour. -1 until one is chosen.
  int32_t GetColor() const { return m_color; }
  void SetColor(TColor color)
  {
    TCanvas* canvas = Canvas();
    canvas->GetPen()->SetColor(color);
    canvas->GetBrush()->SetColor(color);
    m_color = color;
  }

private:
  Layer* m_layer;
  int32_t m_color = -1;
};

} // namespace orvo
