#pragma once
// Segment LEDs drawn as filled vector figures: one figure per segment, lit or unlit; glyphs (a digit, a
// decimal point, ...) grouping the segments of one character; the glyphs of one display; and the tables
// and builders that make glyphs from a glyph description.
#include "Component/LED.h"
#include "Graphics/FigureBase.h"
#include "Graphics/ImageLayer.h"
#include "Graphics/Shape.h"
#include "Graphics/SimplePainter.h"

#include "Assertion.h"
#include "Canvas.h"
#include "Colors.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace orvo {

// The painter of a segment display: the display's picture, reached through its image layer.
using ShapeLayer = ImageLayer<NullSaver<TCanvas*>>;
using ShapePainter = SimplePainter<ShapeLayer>;

// A colour as the LEDs hold it: red, green, blue and opacity bytes, which read as one value are a COLORREF
// with the opacity in the top byte.
constexpr uint32_t OpaqueLedColor(TColor rgb)
{
  return 0xFF000000u | (static_cast<uint32_t>(rgb) & 0xFFFFFFu);
}
// The colour drawn: without the opacity byte, which GDI would take for a palette flag.
constexpr TColor LedColorRgb(uint32_t color)
{
  return static_cast<TColor>(color & 0xFFFFFFu);
}

// Unlit figures are drawn in the dark colour, lit ones in the light colour.
struct LedColorPair {
  uint32_t DarkColor = OpaqueLedColor(RGB(14, 38, 62));
  uint32_t LightColor = OpaqueLedColor(RGB(10, 240, 10));
};

// What the states of a glyph family mean: for a state and a figure of the glyph, whether that figure is lit.
// State 0 is always all unlit, the last state all lit.
class LedType {
public:
  LedType() = default;
  virtual ~LedType() = default;
  LedType(const LedType&) = delete;
  LedType& operator=(const LedType&) = delete;

  virtual int StateCount() const = 0;
  // 1 when the figure is lit in that state, else 0.
  virtual int Lit(int state, int figure) const = 0;
};

// Seven segments in the order top, upper right, lower right, bottom, lower left, upper left, middle. State
// 0 is blank, states 1 to 10 show the digits 0 to 9, state 11 lights everything.
const LedType& DigitLedType();
// Unlit and lit.
const LedType& PointLedType();
// The degree sign and the letter C: all unlit or all lit.
const LedType& FourFigureLedType();
// The letters RPM: all unlit or all lit.
const LedType& SixteenFigureLedType();

constexpr int kBlankDigitState = 0;
// The state that shows `digit` (0 to 9).
constexpr int DigitState(int digit)
{
  return digit + 1;
}

// An LED whose figure can be scaled. Refresh draws the current state again.
class ScalableLED : public LED {
public:
  virtual ScalableFigure* GetScalableFigure() const = 0;
  Figure* GetFigure() const override { return GetScalableFigure(); }
  // The colours of the unlit and lit states from the next drawing on.
  virtual void SetColors(const LedColorPair& colors) = 0;
};

// One filled figure, unlit (state 0) or lit (state 1), drawn in its state's colour whenever the state changes.
template <typename FigureClass>
class SolidShapeLED : public ScalableLED {
public:
  SolidShapeLED(std::unique_ptr<FigureClass> figure, const LedColorPair& colors) : m_figure(std::move(figure))
  {
    SetColors(colors);
  }

  int StateCount() const override { return static_cast<int>(sizeof(m_colors) / sizeof(m_colors[0])); }
  int GetState() const override { return m_state; }
  void SetState(int state) override
  {
    KO_ASSERT(state >= 0 && state < StateCount());
    if (state == m_state)
      return;
    m_state = state;
    Refresh();
  }
  void Refresh() override
  {
    if (m_state < 0)
      return;
    m_figure->GetPainter()->SetColor(LedColorRgb(m_colors[m_state]));
    m_figure->Draw();
  }
  void SetColors(const LedColorPair& colors) override
  {
    m_colors[0] = colors.DarkColor;
    m_colors[1] = colors.LightColor;
  }
  ScalableFigure* GetScalableFigure() const override { return m_figure.get(); }
  FigureClass* GetShapeFigure() const { return m_figure.get(); }

private:
  std::unique_ptr<FigureClass> m_figure;
  uint32_t m_colors[2] = {};
  int m_state = -1;
};

// One glyph: its segment LEDs in table order, whose figures it groups in a box of the size it is designed
// at. Its states are its type's; a new glyph has none yet (-1), so its first SetState always draws.
class CompositeScalableLED : public ScalableLED {
public:
  CompositeScalableLED(int x, int y, int boxWidth, int boxHeight, const LedType& type);

  // The child's figure must lie inside the glyph's box.
  void AddChild(std::unique_ptr<ScalableLED> child);
  size_t ChildCount() const { return m_children.size(); }
  ScalableLED* Child(size_t index) const { return m_children[index].get(); }
  int BoxWidth() const { return m_boxWidth; }
  int BoxHeight() const { return m_boxHeight; }
  const LedType& Type() const { return *m_type; }

  int StateCount() const override { return m_type->StateCount(); }
  int GetState() const override { return m_state; }
  // Gives each child its lit flag for the new state; nothing happens for the current state.
  void SetState(int state) override;
  void Refresh() override;
  void SetColors(const LedColorPair& colors) override;
  ScalableFigure* GetScalableFigure() const override { return &m_figure; }

private:
  int m_boxWidth;
  int m_boxHeight;
  const LedType* m_type;
  int m_state = -1;
  std::vector<std::unique_ptr<ScalableLED>> m_children;
  // Declared after the children, so that it goes before the figures it refers to.
  mutable CompositeScalableFig m_figure;
};

using GlyphLED = std::unique_ptr<CompositeScalableLED>;

// The glyphs of one display, in order, and their total width and height.
class LED_Collector {
public:
  size_t Count() const { return m_LEDs.size(); }
  CompositeScalableLED* LEDAt(size_t indexOfLED) const
  {
    KO_ASSERT(indexOfLED < m_LEDs.size());
    return m_LEDs[indexOfLED].get();
  }
  int Width() const { return m_width; }
  int Height() const { return m_height; }

protected:
  std::vector<GlyphLED> m_LEDs;
  int m_width = 0;
  int m_height = 0;
};

// The group of the glyphs' figures, which scales the display as a whole.
class ScalableLED_Collector {
public:
  // Null before the first glyphs arrive.
  CompositeScalableFig* Figure() const { return m_figure.get(); }

protected:
  std::unique_ptr<CompositeScalableFig> m_figure;
};

class BasicLED_Collector : public LED_Collector, public ScalableLED_Collector {
public:
  BasicLED_Collector() = default;
  BasicLED_Collector(const BasicLED_Collector&) = delete;
  BasicLED_Collector& operator=(const BasicLED_Collector&) = delete;
  ~BasicLED_Collector();

  // The glyphs become `leds`, laid out in a box of width x height from (0, 0): the reference layout the
  // display is scaled from.
  void Replace(std::vector<GlyphLED> leds, int width, int height);
};

// Glyph tables: the number of figures F; the glyph box (0, 0, width, height); then F times a figure kind
// and its data. Kinds: 0 polygon (n, then n points x, y), 1 rectangle (two points), 2 ellipse (two points,
// its box), 3 rounded rectangle (three points: two corners and the corners' width and height), 4 circle
// (centre x, centre y, radius), 5 square (left, top, side).
class ShapeLedFatory {
public:
  // The glyph of `table` with its box's left edge at x; each figure becomes one child LED, lit and unlit
  // in `colors`.
  static GlyphLED Make(std::span<const int32_t> table, const LedType& type, int x, ShapePainter* painter,
                       const LedColorPair& colors);
};

enum class GlyphKind { Digit, Point, Degree, LetterC, Rpm };

// Makes the glyphs of one style, each placed at x.
class Builder {
public:
  Builder() = default;
  virtual ~Builder() = default;
  Builder(const Builder&) = delete;
  Builder& operator=(const Builder&) = delete;

  virtual GlyphLED MakeDigit(int x, ShapePainter* target, const LedColorPair& colors) const = 0;
  virtual GlyphLED MakePoint(int x, ShapePainter* target, const LedColorPair& colors) const = 0;
  virtual GlyphLED MakeDegree(int x, ShapePainter* target, const LedColorPair& colors) const = 0;
  virtual GlyphLED MakeLetterC(int x, ShapePainter* target, const LedColorPair& colors) const = 0;
  virtual GlyphLED MakeRpm(int x, ShapePainter* target, const LedColorPair& colors) const = 0;

  // The glyph a format character stands for; null for a character that makes none. Digits: 8 D H M S Y
  // and their lower case; '.' the decimal point, '^' the degree sign, 'C' the letter C, '&' the letters RPM.
  GlyphLED MakeFor(char character, int x, ShapePainter* target, const LedColorPair& colors) const;
};

// The built-in style: rectangular seven-segment digits.
class Builder_r7_s : public Builder {
public:
  GlyphLED MakeDigit(int x, ShapePainter* target, const LedColorPair& colors) const override;
  GlyphLED MakePoint(int x, ShapePainter* target, const LedColorPair& colors) const override;
  GlyphLED MakeDegree(int x, ShapePainter* target, const LedColorPair& colors) const override;
  GlyphLED MakeLetterC(int x, ShapePainter* target, const LedColorPair& colors) const override;
  GlyphLED MakeRpm(int x, ShapePainter* target, const LedColorPair& colors) const override;

  // The glyph table of a kind.
  static std::span<const int32_t> Table(GlyphKind kind);
};

// The builder of a style; null for a style that has none (only style 0 has one).
const Builder* BuilderOfStyle(int style);

} // namespace orvo
