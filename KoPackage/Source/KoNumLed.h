#pragma once
// The numeric LED read-out: a number, a time of day or a date as segment glyphs, lit figures in a light
// colour and unlit ones in a dark colour on a background. The control paints nothing itself: its display,
// an image, sits in the same parent at the control's place and size and takes no mouse input, so the
// pointer over the read-out reaches the control.
#include "KoNumLed_imp.h"

#include "Classes.h"
#include "Colors.h"
#include "Control.h"
#include "DateUtils.h"
#include "ExtCtrls.h"
#include "WinControl.h"

#include <memory>
#include <string>

class KoNumLed;

// The read-out's four colours. Reading one gives a plain RGB value.
class KoLedColors : public TPersistent {
public:
  explicit KoLedColors(KoNumLed* control) : FControl(control) {}
  KoLedColors(const KoLedColors&) = delete;
  KoLedColors& operator=(const KoLedColors&) = delete;

  // Lit and unlit figures: the low 24 bits of the value, a system colour taken as it stands.
  TColor GetLightColor() const;
  void SetLightColor(TColor color);
  TColor GetDarkColor() const;
  void SetDarkColor(TColor color);
  // The display's background; a system colour is resolved to its current value.
  TColor GetBackgroundColor() const;
  void SetBackgroundColor(TColor color);
  // The display picture's transparent colour, system colours resolved; nothing is redrawn.
  TColor GetTransparentColor() const;
  void SetTransparentColor(TColor color);

protected:
  // Only into another KoLedColors (else EInvalidCast): its four colours through its setters.
  void AssignTo(TPersistent* destination) override;

private:
  KoNumLed* FControl;
};

class KoNumLed : public TControl {
public:
  explicit KoNumLed(TComponent* AOwner);
  ~KoNumLed() override;

  KoNumLedType GetType() const { return FEngine->GetType(); }
  void SetType(KoNumLedType type) { FEngine->SetType(type); }
  KoNumLedStyle GetStyle() const { return FEngine->GetStyle(); }
  void SetStyle(KoNumLedStyle style);
  // Digits left of the point show their leading zeros.
  bool GetZeroLeading() const { return FEngine->GetZeroLeading(); }
  void SetZeroLeading(bool zeroLeading) { FEngine->SetZeroLeading(zeroLeading); }
  // One character per glyph (see KoNumLed_imp::SetFormat). A format that makes no glyph for some character
  // raises EConvertError and changes nothing.
  const std::string& GetFormat() const { return FEngine->GetFormat(); }
  void SetFormat(const std::string& format);
  KoLedColors* GetLedColors() const { return FLedColors.get(); }
  // Copies the colours of `value`.
  void SetLedColors(KoLedColors* value) { FLedColors->Assign(value); }
  bool GetTransparent() const { return FEngine->GetTransparent(); }
  void SetTransparent(bool transparent) { FEngine->SetTransparent(transparent); }
  // The display keeps the glyph layout's proportions inside the bounds it is given, and the control takes
  // the display's size.
  bool GetKeepRatio() const { return FEngine->GetKeepRatio(); }
  void SetKeepRatio(bool keepRatio);

  // A number shows in mode nledFloat, a date-time in nledTime and nledDate; see KoNumLed_imp.
  void SetValue(const double& value) { FEngine->SetValue(value); }
  void SetValue(const TDateTime& value) { FEngine->SetValue(value); }
  bool GetValue(double& value) const { return FEngine->GetValue(value); }
  bool GetValue(TDateTime& value) const { return FEngine->GetValue(value); }
  // Glyph n (from 1; 0 for all) on or off.
  void On(unsigned n) { FEngine->On(n); }
  void Off(unsigned n) { FEngine->Off(n); }

  void Repaint() override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetParent(TWinControl* parent) override;

  KoNumLed_imp* Engine() const { return FEngine.get(); }
  TImage* Display() const { return FEngine->Display(); }

  // Puts the class on the palette page "KoComponents".
  static void Register();

protected:
  // The display shows and hides with the control.
  void VisibleChanged() override;

private:
  std::unique_ptr<KoNumLed_imp> FEngine;
  std::unique_ptr<KoLedColors> FLedColors;
};
