#include "Component/LED.h"

#include "Component/LED/ShapeLED.h"
#include "Graphics/FigureBase.h"

#include <array>

namespace orvo {

Figure* LED::PlacedFigure()
{
  Figure* figure = GetFigure();
  if (figure && (figure->Left() != m_x || figure->Top() != m_y))
    figure->MoveBy(m_x - figure->Left(), m_y - figure->Top());
  return figure;
}

int LED::Width() const
{
  const Figure* figure = GetFigure();
  return figure ? figure->Width() : 0;
}

int LED::Height() const
{
  const Figure* figure = GetFigure();
  return figure ? figure->Height() : 0;
}

} // namespace orvo

// --- segment LEDs ---

namespace orvo {

namespace {

// Lit flags of the digit states 1 to 10 (the digits 0 to 9), segments in glyph table order: top, upper
// right, lower right, bottom, lower left, upper left, middle.
constexpr std::array<std::array<int, 7>, 10> kDigitSegments = {{
    {1, 1, 1, 1, 1, 1, 0},
    {0, 1, 1, 0, 0, 0, 0},
    {1, 1, 0, 1, 1, 0, 1},
    {1, 1, 1, 1, 0, 0, 1},
    {0, 1, 1, 0, 0, 1, 1},
    {1, 0, 1, 1, 0, 1, 1},
    {1, 0, 1, 1, 1, 1, 1},
    {1, 1, 1, 0, 0, 0, 0},
    {1, 1, 1, 1, 1, 1, 1},
    {1, 1, 1, 1, 0, 1, 1},
}};

class TDigitType : public LedType {
public:
  int StateCount() const override { return 12; }
  int Lit(int state, int figure) const override
  {
    KO_ASSERT(figure >= 0 && figure < 7);
    if (state <= kBlankDigitState)
      return 0;
    if (state >= StateCount() - 1)
      return 1;
    return kDigitSegments[static_cast<size_t>(state - 1)][static_cast<size_t>(figure)];
  }
};

// Two states, every figure unlit or every figure lit.
template <int Figures>
class TAllOrNothingType : public LedType {
public:
  int StateCount() const override { return 2; }
  int Lit(int state, int figure) const override
  {
    KO_ASSERT(figure >= 0 && figure < Figures);
    return state == 1 ? 1 : 0;
  }
};

// The glyphs of the built-in style: figure count, box, then each figure (all polygons: kind 0, point
// count, points).
constexpr int32_t kDigitTable[] = {
    7,  0, 0, 18, 22,
    0, 4, 4, 2, 12, 2, 12, 3, 4, 3,      // top
    0, 4, 14, 4, 15, 4, 15, 9, 14, 9,    // upper right
    0, 4, 14, 12, 15, 12, 15, 17, 14, 17, // lower right
    0, 4, 4, 18, 12, 18, 12, 19, 4, 19,  // bottom
    0, 4, 2, 12, 3, 12, 3, 17, 2, 17,    // lower left
    0, 4, 2, 4, 3, 4, 3, 9, 2, 9,        // upper left
    0, 4, 4, 10, 12, 10, 12, 11, 4, 11,  // middle
};

constexpr int32_t kPointTable[] = {
    1, 0, 0, 6, 27,
    0, 4, 2, 22, 4, 22, 4, 24, 2, 24,
};

constexpr int32_t kDegreeTable[] = {
    4, 0, 0, 9, 27,
    0, 4, 2, 2, 8, 2, 8, 3, 2, 3,
    0, 4, 1, 3, 3, 3, 3, 9, 1, 9,
    0, 4, 6, 3, 8, 3, 8, 6, 6, 6,
    0, 6, 6, 7, 8, 7, 8, 11, 2, 11, 2, 10, 6, 10,
};

constexpr int32_t kLetterCTable[] = {
    4, 0, 0, 19, 27,
    0, 5, 4, 4, 5, 3, 17, 3, 15, 5, 5, 5,
    0, 8, 2, 5, 3, 5, 4, 6, 4, 12, 3, 13, 2, 13, 1, 12, 1, 6,
    0, 8, 1, 16, 2, 15, 3, 15, 4, 16, 4, 21, 3, 22, 2, 22, 1, 21,
    0, 5, 4, 23, 5, 22, 15, 22, 17, 24, 5, 24,
};

constexpr int32_t kRpmTable[] = {
    16, 0, 0, 47, 27,
    0, 4, 2, 12, 9, 12, 8, 13, 3, 13,
    0, 4, 10, 13, 9, 14, 9, 17, 10, 17,
    0, 4, 1, 13, 2, 14, 2, 17, 1, 17,
    0, 4, 1, 19, 2, 20, 2, 22, 1, 23,
    0, 4, 3, 18, 9, 18, 9, 19, 3, 19,
    0, 3, 8, 20, 10, 23, 6, 20,
    0, 4, 14, 13, 15, 14, 15, 17, 14, 17,
    0, 4, 15, 12, 23, 12, 22, 13, 16, 13,
    0, 4, 23, 14, 23, 17, 24, 17, 24, 13,
    0, 4, 16, 18, 23, 18, 23, 19, 16, 19,
    0, 4, 14, 19, 14, 24, 15, 23, 15, 19,
    0, 4, 27, 13, 27, 17, 28, 16, 28, 14,
    0, 4, 27, 19, 27, 24, 28, 23, 28, 20,
    0, 8, 28, 12, 44, 12, 43, 13, 37, 13, 37, 24, 36, 24, 36, 13, 29, 13,
    0, 4, 44, 14, 44, 16, 45, 17, 45, 13,
    0, 4, 44, 20, 44, 23, 45, 24, 45, 19,
};

// Reads a glyph table front to back; running past its end is a table error.
class TTableReader {
public:
  explicit TTableReader(std::span<const int32_t> table) : m_table(table) {}
  int32_t Next()
  {
    KO_ASSERT(m_next < m_table.size());
    return m_table[m_next++];
  }
  TPoint NextPoint(int dx)
  {
    const int32_t x = Next();
    return Point(x + dx, Next());
  }

private:
  std::span<const int32_t> m_table;
  size_t m_next = 0;
};

template <typename Shape>
std::unique_ptr<ScalableLED> ShapeLed(Shape shape, ShapePainter* painter, const LedColorPair& colors)
{
  using TFigure = ShapeFigureAdapter<Shape, ShapePainter>;
  auto led = std::make_unique<SolidShapeLED<TFigure>>(std::make_unique<TFigure>(std::move(shape), painter), colors);
  led->SetPosition(led->GetFigure()->Left(), led->GetFigure()->Top());
  return led;
}

// One figure of a table, moved right by dx.
std::unique_ptr<ScalableLED> ReadFigure(TTableReader& reader, int dx, ShapePainter* painter,
                                        const LedColorPair& colors)
{
  const int32_t kind = reader.Next();
  switch (kind) {
  case 0: {
    const int32_t count = reader.Next();
    KO_ASSERT(count > 0);
    std::vector<TPoint> points;
    for (int32_t i = 0; i < count; ++i)
      points.push_back(reader.NextPoint(dx));
    return ShapeLed(PolygonShape(std::move(points)), painter, colors);
  }
  case 1:
  case 2: {
    const TPoint a = reader.NextPoint(dx);
    const TPoint b = reader.NextPoint(dx);
    const TRect box = MakeRect(a.x, a.y, b.x, b.y);
    if (kind == 1)
      return ShapeLed(RectangleShape(box), painter, colors);
    return ShapeLed(EllipseShape(box), painter, colors);
  }
  case 3: {
    const TPoint a = reader.NextPoint(dx);
    const TPoint b = reader.NextPoint(dx);
    const int32_t cornerWidth = reader.Next();
    const int32_t cornerHeight = reader.Next();
    return ShapeLed(RoundRectShape(MakeRect(a.x, a.y, b.x, b.y), cornerWidth, cornerHeight), painter, colors);
  }
  case 4: {
    const TPoint centre = reader.NextPoint(dx);
    return ShapeLed(CircleShape(centre.x, centre.y, reader.Next()), painter, colors);
  }
  case 5: {
    const TPoint corner = reader.NextPoint(dx);
    return ShapeLed(SquareShape(corner.x, corner.y, reader.Next()), painter, colors);
  }
  default:
    KO_ASSERT(false);
    return nullptr;
  }
}

} // namespace

const LedType& DigitLedType()
{
  static const TDigitType type;
  return type;
}

const LedType& PointLedType()
{
  static const TAllOrNothingType<1> type;
  return type;
}

const LedType& FourFigureLedType()
{
  static const TAllOrNothingType<4> type;
  return type;
}

const LedType& SixteenFigureLedType()
{
  static const TAllOrNothingType<16> type;
  return type;
}

// --- CompositeScalableLED ---

CompositeScalableLED::CompositeScalableLED(int x, int y, int boxWidth, int boxHeight, const LedType& type)
    : m_boxWidth(boxWidth), m_boxHeight(boxHeight), m_type(&type), m_figure(x, y, x + boxWidth, y + boxHeight)
{
  SetPosition(x, y);
}

void CompositeScalableLED::AddChild(std::unique_ptr<ScalableLED> child)
{
  m_figure.Add(child->GetScalableFigure());
  m_children.push_back(std::move(child));
}

void CompositeScalableLED::SetState(int state)
{
  KO_ASSERT(state >= 0 && state < StateCount());
  if (state == m_state)
    return;
  m_state = state;
  for (size_t i = 0; i < m_children.size(); ++i)
    m_children[i]->SetState(m_type->Lit(state, static_cast<int>(i)));
}

void CompositeScalableLED::Refresh()
{
  for (const auto& child : m_children)
    child->Refresh();
}

void CompositeScalableLED::SetColors(const LedColorPair& colors)
{
  for (const auto& child : m_children)
    child->SetColors(colors);
}

// --- collectors ---

BasicLED_Collector::~BasicLED_Collector()
{
  // The group refers to the glyphs' figures: it goes first.
  m_figure.reset();
}

void BasicLED_Collector::Replace(std::vector<GlyphLED> leds, int width, int height)
{
  m_figure.reset();
  m_LEDs = std::move(leds);
  m_width = width;
  m_height = height;
  m_figure = std::make_unique<CompositeScalableFig>(0, 0, width, height);
  for (const GlyphLED& led : m_LEDs)
    m_figure->Add(led->GetScalableFigure());
}

// --- factory and builders ---

GlyphLED ShapeLedFatory::Make(std::span<const int32_t> table, const LedType& type, int x, ShapePainter* painter,
                              const LedColorPair& colors)
{
  TTableReader reader(table);
  const int32_t figures = reader.Next();
  const int32_t left = reader.Next();
  const int32_t top = reader.Next();
  const int32_t right = reader.Next();
  const int32_t bottom = reader.Next();
  auto glyph = std::make_unique<CompositeScalableLED>(x + left, top, right - left, bottom - top, type);
  for (int32_t i = 0; i < figures; ++i)
    glyph->AddChild(ReadFigure(reader, x, painter, colors));
  return glyph;
}

GlyphLED Builder::MakeFor(char character, int x, ShapePainter* target, const LedColorPair& colors) const
{
  switch (character) {
  case '8':
  case 'D':
  case 'H':
  case 'M':
  case 'S':
  case 'Y':
  case 'd':
  case 'h':
  case 'm':
  case 's':
  case 'y':
    return MakeDigit(x, target, colors);
  case '.':
    return MakePoint(x, target, colors);
  case '^':
    return MakeDegree(x, target, colors);
  case 'C':
    return MakeLetterC(x, target, colors);
  case '&':
    return MakeRpm(x, target, colors);
  default:
    return nullptr;
  }
}

std::span<const int32_t> Builder_r7_s::Table(GlyphKind kind)
{
  switch (kind) {
  case GlyphKind::Digit:
    return kDigitTable;
  case GlyphKind::Point:
    return kPointTable;
  case GlyphKind::Degree:
    return kDegreeTable;
  case GlyphKind::LetterC:
    return kLetterCTable;
  case GlyphKind::Rpm:
    break;
  }
  return kRpmTable;
}

GlyphLED Builder_r7_s::MakeDigit(int x, ShapePainter* target, const LedColorPair& colors) const
{
  return ShapeLedFatory::Make(kDigitTable, DigitLedType(), x, target, colors);
}

GlyphLED Builder_r7_s::MakePoint(int x, ShapePainter* target, const LedColorPair& colors) const
{
  return ShapeLedFatory::Make(kPointTable, PointLedType(), x, target, colors);
}

GlyphLED Builder_r7_s::MakeDegree(int x, ShapePainter* target, const LedColorPair& colors) const
{
  return ShapeLedFatory::Make(kDegreeTable, FourFigureLedType(), x, target, colors);
}

GlyphLED Builder_r7_s::MakeLetterC(int x, ShapePainter* target, const LedColorPair& colors) const
{
  return ShapeLedFatory::Make(kLetterCTable, FourFigureLedType(), x, target, colors);
}

GlyphLED Builder_r7_s::MakeRpm(int x, ShapePainter* target, const LedColorPair& colors) const
{
  return ShapeLedFatory::Make(kRpmTable, SixteenFigureLedType(), x, target, colors);
}

const Builder* BuilderOfStyle(int style)
{
  static const Builder_r7_s rectangle7;
  return style == 0 ? &rectangle7 : nullptr;
}

} // namespace orvo
