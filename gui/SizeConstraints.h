#pragma once
// The smallest and largest size a control may take.
#include "Classes.h"

// Limits on a control's width and height; 0 means no limit on that side. A minimum above the maximum of
// the same side moves that maximum up (and a maximum below the minimum moves the minimum down), so the
// limits never contradict each other. Every change raises OnChange; the control then takes a size inside
// the new limits.
class TSizeConstraints : public TPersistent {
public:
  int GetMinWidth() const { return FMinWidth; }
  int GetMinHeight() const { return FMinHeight; }
  int GetMaxWidth() const { return FMaxWidth; }
  int GetMaxHeight() const { return FMaxHeight; }
  // A negative limit raises ERangeError and changes nothing.
  void SetMinWidth(int value);
  void SetMinHeight(int value);
  void SetMaxWidth(int value);
  void SetMaxHeight(int value);

  // No limit at all.
  bool Empty() const { return FMinWidth == 0 && FMinHeight == 0 && FMaxWidth == 0 && FMaxHeight == 0; }
  // Brings a size inside the limits.
  void Constrain(int& width, int& height) const;

  void Assign(TPersistent* source) override;

  TNotifyEvent OnChange;

private:
  // Stores the four limits at once and raises OnChange when any of them changed.
  void Change(int minWidth, int minHeight, int maxWidth, int maxHeight);

  int FMinWidth = 0;
  int FMinHeight = 0;
  int FMaxWidth = 0;
  int FMaxHeight = 0;
};
