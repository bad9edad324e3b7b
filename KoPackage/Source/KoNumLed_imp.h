#pragma once
// The numeric LED engine: a format text made into segment glyphs on a picture display, and a number, a time
// of day or a date shown on them in a lit and an unlit colour.
#include "Component/LED/ShapeLED.h"

#include "Colors.h"
#include "Control.h"
#include "DateUtils.h"
#include "ExtCtrls.h"
#include "WinControl.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the read-out shows: a number, a time of day or a date.
enum KoNumLedType { nledFloat, nledTime, nledDate };
// The glyph set; the built-in one is the only one.
enum KoNumLedStyle { nledRectangle7_s };

// The size within width x height that a layout of layoutWidth x layoutHeight takes when it keeps its
// proportions: both sides the layout's times min(width / layoutWidth, height / layoutHeight), truncated.
// A fitted size fits itself, so applying a read-out's own bounds again never shrinks it.
TSize FitToLayout(int width, int height, int layoutWidth, int layoutHeight);

class KoNumLed_imp {
public:
  // The display is made with `owner` as its owner and put into `parent` (none yet is allowed) with the
  // size width x height; the format is "8888" and the value 0.
  KoNumLed_imp(TControl* owner, TWinControl* parent, int width, int height);
  ~KoNumLed_imp();
  KoNumLed_imp(const KoNumLed_imp&) = delete;
  KoNumLed_imp& operator=(const KoNumLed_imp&) = delete;

  // A change of mode, style or zero-leading shows the value again.
  KoNumLedType GetType() const { return m_mode; }
  void SetType(KoNumLedType type);
  KoNumLedStyle GetStyle() const { return m_style; }
  // False, changing nothing, for a style without glyphs.
  bool SetStyle(KoNumLedStyle style);
  bool GetZeroLeading() const { return m_zeroLeading; }
  void SetZeroLeading(bool zeroLeading);
  // Takes effect at the next Resize.
  bool GetKeepRatio() const { return m_keepRatio; }
  void SetKeepRatio(bool keepRatio) { m_keepRatio = keepRatio; }
  // The last accepted format.
  const std::string& GetFormat() const { return m_format; }
  // A format is accepted only when every character makes a glyph: 8 D H M S Y and their lower case make
  // digits, '.' a decimal point, '^' a degree sign, 'C' the letter C and '&' the letters RPM. A refused
  // one changes nothing and gives false.
  bool SetFormat(const std::string& format);
  // The display leaves its transparent colour out.
  bool GetTransparent() const;
  void SetTransparent(bool transparent);

  // Lit and unlit figures: the low 24 bits of the value, a system colour taken as it stands.
  TColor GetLightColor() const { return orvo::LedColorRgb(m_colors.LightColor); }
  void SetLightColor(TColor color);
  TColor GetDarkColor() const { return orvo::LedColorRgb(m_colors.DarkColor); }
  void SetDarkColor(TColor color);
  // The display's background and its picture's transparent colour, system colours resolved.
  TColor GetBackgroundColor() const;
  void SetBackgroundColor(TColor color);
  TColor GetTransparentColor() const;
  void SetTransparentColor(TColor color);

  // A number is shown in mode nledFloat only, a date-time in nledTime and nledDate only, and only when it
  // differs from the one stored. A value that cannot be shown (not a number; a date-time outside the
  // years 1 to 9999) raises EConvertError and keeps the stored one.
  void SetValue(double value);
  void SetValue(TDateTime value);
  // The stored value of the matching mode; false, writing nothing, in the other modes.
  bool GetValue(double& value) const;
  bool GetValue(TDateTime& value) const;
  // Glyph n (from 1) shows its state again, or stays blank until On; 0 stands for every glyph, and On(0)
  // lights every figure without touching the states. Larger n change nothing.
  void On(unsigned n);
  void Off(unsigned n);

  // Clears the display, applies the glyph states and colours and draws every glyph.
  void Repaint();
  // The display and the glyphs take width x height, fitted to the layout with KeepRatio.
  void Resize(int width, int height);
  void MoveBy(int dx, int dy) { m_layer->MoveBy(dx, dy); }
  void SetParent(TWinControl* parent) { m_layer->Image()->SetParent(parent); }
  int Left() const { return m_layer->Left(); }
  int Top() const { return m_layer->Top(); }
  int Width() const { return m_layer->Width(); }
  int Height() const { return m_layer->Height(); }
  TImage* Display() const { return m_layer->Image(); }

  // The glyph layout's own size (the sum of the glyph widths, the tallest glyph).
  int LayoutWidth() const { return m_collector.Width(); }
  int LayoutHeight() const { return m_collector.Height(); }
  size_t GlyphCount() const { return m_collector.Count(); }
  // The state glyph `index` (from 0) shows.
  int ShownState(size_t index) const { return m_collector.LEDAt(index)->GetState(); }

private:
  orvo::CompositeScalableFig* Figure() const { return m_collector.Figure(); }
  bool Build(const std::string& format, KoNumLedStyle style);
  void RenderValue();
  void RenderNumber();
  void RenderDateTime();
  void ApplyStates();
  void Clear();
  void RefreshGlyphColors();

  std::unique_ptr<orvo::ShapeLayer> m_layer;
  std::unique_ptr<orvo::ShapePainter> m_painter;
  TControl* m_owner;
  orvo::BasicLED_Collector m_collector;
  orvo::LedColorPair m_colors;
  std::string m_format;
  KoNumLedType m_mode = nledFloat;
  KoNumLedStyle m_style = nledRectangle7_s;
  bool m_zeroLeading = false;
  bool m_keepRatio = false;
  std::vector<int32_t> m_states;
  std::vector<bool> m_onFlags;
  double m_value = 0;
  double m_dateTime;
};
