#include "KoNumLed_imp.h"

#include "Assertion.h"
#include "Canvas.h"
#include "GraphicObjects.h"
#include "SysUtils.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

// The decimal digits of a whole number of any size, as far as a read-out can show them: the magnitude's
// last 18 digits. A number too large for a double (a very long fraction part) counts as 0.
uint64_t LastDigits(double whole)
{
  const double magnitude = std::fmod(std::fabs(whole), 1e18);
  return std::isfinite(magnitude) ? static_cast<uint64_t>(magnitude) : 0;
}

} // namespace

TSize FitToLayout(int width, int height, int layoutWidth, int layoutHeight)
{
  const int64_t w = std::max(width, 0);
  const int64_t h = std::max(height, 0);
  const int64_t layoutW = layoutWidth;
  const int64_t layoutH = layoutHeight;
  // Each side the other's proportional part, rounded down.
  const int64_t heightOfWidth = layoutH * w / layoutW;
  const int64_t widthOfHeight = layoutW * h / layoutH;
  // A size that has the proportions already is kept: fitted again, the rounding would take a pixel off
  // each time a fitted read-out's bounds are applied again (a move, a new format, reading it from text).
  if (h == heightOfWidth || w == widthOfHeight)
    return TSize{static_cast<LONG>(w), static_cast<LONG>(h)};
  // The factor min(w / layoutW, h / layoutH), in whole numbers.
  if (w * layoutH <= h * layoutW)
    return TSize{static_cast<LONG>(w), static_cast<LONG>(heightOfWidth)};
  return TSize{static_cast<LONG>(widthOfHeight), static_cast<LONG>(h)};
}

KoNumLed_imp::KoNumLed_imp(TControl* owner, TWinControl* parent, int width, int height)
    : m_layer(std::make_unique<orvo::ShapeLayer>(owner, parent)),
      m_painter(std::make_unique<orvo::ShapePainter>(m_layer.get())), m_owner(owner), m_dateTime(Now().Value())
{
  m_layer->SetBackground(clBlack);
  m_layer->Resize(std::max(width, 0), std::max(height, 0));
  SetFormat("8888");
}

KoNumLed_imp::~KoNumLed_imp() = default;

// --- format, mode and flags ---

bool KoNumLed_imp::SetFormat(const std::string& format)
{
  if (format == m_format)
    return true;
  return Build(format, m_style);
}

bool KoNumLed_imp::SetStyle(KoNumLedStyle style)
{
  if (!orvo::BuilderOfStyle(style))
    return false;
  if (!Build(m_format, style))
    return false;
  m_style = style;
  return true;
}

bool KoNumLed_imp::Build(const std::string& format, KoNumLedStyle style)
{
  const orvo::Builder* builder = orvo::BuilderOfStyle(style);
  if (!builder)
    return false;
  std::vector<orvo::GlyphLED> glyphs;
  int width = 0;
  int height = 0;
  for (char character : format) {
    orvo::GlyphLED glyph = builder->MakeFor(character, width, m_painter.get(), m_colors);
    if (!glyph)
      return false;
    width += glyph->BoxWidth();
    height = std::max(height, glyph->BoxHeight());
    glyphs.push_back(std::move(glyph));
  }
  if (glyphs.empty())
    return false;

  m_collector.Replace(std::move(glyphs), width, height);
  m_format = format;
  m_states.resize(m_collector.Count());
  for (size_t i = 0; i < m_states.size(); ++i)
    m_states[i] = m_collector.LEDAt(i)->StateCount() - 1;
  m_onFlags.resize(m_collector.Count(), true);
  // The glyphs take the display's size (refitted to the new layout), and the control the display's.
  Resize(Width(), Height());
  if (m_owner)
    m_owner->TControl::SetBounds(m_owner->GetLeft(), m_owner->GetTop(), Width(), Height());
  RenderValue();
  return true;
}

void KoNumLed_imp::SetType(KoNumLedType type)
{
  m_mode = type;
  RenderValue();
}

void KoNumLed_imp::SetZeroLeading(bool zeroLeading)
{
  m_zeroLeading = zeroLeading;
  RenderValue();
}

bool KoNumLed_imp::GetTransparent() const
{
  return m_layer->GetTransparent();
}

void KoNumLed_imp::SetTransparent(bool transparent)
{
  m_layer->SetTransparent(transparent);
}

// --- colours ---

void KoNumLed_imp::SetLightColor(TColor color)
{
  m_colors.LightColor = orvo::OpaqueLedColor(color);
  RefreshGlyphColors();
}

void KoNumLed_imp::SetDarkColor(TColor color)
{
  m_colors.DarkColor = orvo::OpaqueLedColor(color);
  RefreshGlyphColors();
}

void KoNumLed_imp::RefreshGlyphColors()
{
  for (size_t i = 0; i < m_collector.Count(); ++i)
    m_collector.LEDAt(i)->SetColors(m_colors);
  Repaint();
}

TColor KoNumLed_imp::GetBackgroundColor() const
{
  return orvo::ColorToRgbPart(m_layer->Background());
}

void KoNumLed_imp::SetBackgroundColor(TColor color)
{
  m_layer->SetBackground(orvo::ColorToRgbPart(ColorToRGB(color)));
  Resize(Width(), Height());
}

TColor KoNumLed_imp::GetTransparentColor() const
{
  return m_layer->GetTransparentColor();
}

void KoNumLed_imp::SetTransparentColor(TColor color)
{
  m_layer->SetTransparentColor(ColorToRGB(color));
}

// --- values ---

void KoNumLed_imp::SetValue(double value)
{
  if (m_mode != nledFloat || value == m_value)
    return;
  if (!std::isfinite(value))
    throw EConvertError("The read-out shows numbers only, not " + std::to_string(value));
  m_value = value;
  RenderValue();
}

void KoNumLed_imp::SetValue(TDateTime value)
{
  if ((m_mode != nledTime && m_mode != nledDate) || value.Value() == m_dateTime)
    return;
  // Raises EConvertError before anything is stored.
  int year, month, day;
  DecodeDate(value, year, month, day);
  m_dateTime = value.Value();
  RenderValue();
}

bool KoNumLed_imp::GetValue(double& value) const
{
  if (m_mode != nledFloat)
    return false;
  value = m_value;
  return true;
}

bool KoNumLed_imp::GetValue(TDateTime& value) const
{
  if (m_mode != nledTime && m_mode != nledDate)
    return false;
  value = TDateTime(m_dateTime);
  return true;
}

void KoNumLed_imp::RenderValue()
{
  if (m_mode == nledFloat)
    RenderNumber();
  else
    RenderDateTime();
  const orvo::ShapeLayer::TComposer composer(*m_layer);
  ApplyStates();
}

void KoNumLed_imp::RenderNumber()
{
  const size_t length = m_format.size();
  // Positions from 1; p is the first decimal point's, or one past the end.
  const size_t p = std::min(m_format.find('.'), length) + 1;
  int fractionDigits = 0;
  for (size_t b = p + 1; b <= length; ++b)
    fractionDigits += m_format[b - 1] == '8' ? 1 : 0;
  uint64_t c = LastDigits(std::floor(m_value * std::pow(10.0, fractionDigits) + 0.5));
  bool integerPlaced = false;
  for (size_t b = length; b >= 1; --b) {
    if (m_format[b - 1] != '8')
      continue;
    const int digit = static_cast<int>(c % 10);
    const bool shown = b > p || digit != 0 || c / 10 != 0 || m_zeroLeading || !integerPlaced;
    m_states[b - 1] = shown ? orvo::DigitState(digit) : orvo::kBlankDigitState;
    if (b < p)
      integerPlaced = true;
    c /= 10;
  }
}

void KoNumLed_imp::RenderDateTime()
{
  const TDateTime value(m_dateTime);
  // Hour or year, minute or month, second or day, by the letters that take their digits.
  int parts[3] = {0, 0, 0};
  const char* letters = "HMS";
  if (m_mode == nledTime) {
    int millisecond = 0;
    DecodeTime(value, parts[0], parts[1], parts[2], millisecond);
  } else {
    DecodeDate(value, parts[0], parts[1], parts[2]);
    letters = "YMD";
  }
  for (size_t b = m_format.size(); b >= 1; --b) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(m_format[b - 1])));
    for (int part = 0; part < 3; ++part) {
      if (letter == letters[part]) {
        m_states[b - 1] = orvo::DigitState(parts[part] % 10);
        parts[part] /= 10;
      }
    }
  }
}

// --- glyphs on and off ---

void KoNumLed_imp::On(unsigned n)
{
  const size_t count = m_collector.Count();
  const orvo::ShapeLayer::TComposer composer(*m_layer);
  if (n == 0) {
    m_onFlags.assign(count, true);
    for (size_t i = 0; i < count; ++i) {
      orvo::CompositeScalableLED* glyph = m_collector.LEDAt(i);
      glyph->SetState(glyph->StateCount() - 1);
    }
  } else if (n <= count) {
    m_onFlags[n - 1] = true;
    m_collector.LEDAt(n - 1)->SetState(m_states[n - 1]);
  }
}

void KoNumLed_imp::Off(unsigned n)
{
  const size_t count = m_collector.Count();
  const orvo::ShapeLayer::TComposer composer(*m_layer);
  if (n == 0) {
    m_onFlags.assign(count, false);
    for (size_t i = 0; i < count; ++i)
      m_collector.LEDAt(i)->SetState(0);
  } else if (n <= count) {
    m_onFlags[n - 1] = false;
    m_collector.LEDAt(n - 1)->SetState(0);
  }
}

void KoNumLed_imp::ApplyStates()
{
  for (size_t i = 0; i < m_collector.Count(); ++i)
    m_collector.LEDAt(i)->SetState(m_onFlags[i] ? m_states[i] : 0);
}

// --- drawing and size ---

void KoNumLed_imp::Clear()
{
  TCanvas* canvas = m_layer->Canvas();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(m_layer->Background());
  canvas->FillRect(Rect(0, 0, Width(), Height()));
}

void KoNumLed_imp::Repaint()
{
  // Each figure drawn would invalidate the display on its own; it is shown once, with all of them.
  const orvo::ShapeLayer::TComposer composer(*m_layer);
  Clear();
  ApplyStates();
  for (size_t i = 0; i < m_collector.Count(); ++i) {
    orvo::CompositeScalableLED* glyph = m_collector.LEDAt(i);
    glyph->SetColors(m_colors);
    glyph->Refresh();
  }
}

void KoNumLed_imp::Resize(int width, int height)
{
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (m_keepRatio) {
    KO_ASSERT(Figure()->OriginalWidth() > 0 && Figure()->OriginalHeight() > 0);
    const TSize fitted = FitToLayout(width, height, Figure()->OriginalWidth(), Figure()->OriginalHeight());
    width = fitted.cx;
    height = fitted.cy;
  }
  m_layer->Resize(width, height);
  if (Figure())
    Figure()->Scale(width, height);
  Repaint();
}
