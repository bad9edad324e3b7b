#pragma once
// Small classes with published tables, for the table, component text and palette tests. Their tables are
// declared in PublishedFixture.cpp, the way a class's own unit declares them.
#include "Classes.h"
#include "Controls.h"
#include "Graphics.h"
#include "SysUtils.h"

#include <memory>
#include <string>

enum TDemoAlign { daNone, daTop, daBottom, daClient };
enum TDemoSide { dsLeft, dsTop, dsRight, dsBottom };
using TDemoSides = TSet<TDemoSide>;
// Values with gaps, named one by one.
enum TDemoLevel { dlLow = 1, dlMiddle = 5, dlHigh = 10 };

// Counts the live demo components, so a test can see that nothing was left behind.
struct TDemoCount {
  static int Live;
};

// A second-level companion object (a border inside a look).
class TDemoEdge : public TPersistent {
public:
  int Width = 1;
  TColor Color = clBlack;
};

// An owned companion object, like a font or an appearance. A height of 0 is refused by its setter.
class TDemoLook : public TPersistent {
public:
  TDemoLook();
  ~TDemoLook() override;

  TColor GetColor() const { return FColor; }
  void SetColor(TColor color)
  {
    FColor = color;
    ++ColorWrites;
  }
  int GetHeight() const { return FHeight; }
  void SetHeight(int height);
  TDemoEdge* GetEdge() const { return FEdge.get(); }
  TBitmap* GetGlyph() const { return FGlyph.get(); }

  std::string FaceName = "Tahoma";
  TDemoSides Sides{dsLeft, dsTop};
  int ColorWrites = 0;

private:
  TColor FColor = clWindowText;
  int FHeight = -11;
  std::unique_ptr<TDemoEdge> FEdge;
  std::unique_ptr<TBitmap> FGlyph;
};

// A component that is no control, like a popup menu.
class TDemoMenu : public TComponent {
public:
  explicit TDemoMenu(TComponent* owner) : TComponent(owner) { ++TDemoCount::Live; }
  ~TDemoMenu() override { --TDemoCount::Live; }

  bool AutoPopup = true;
  std::string Title;
  TNotifyEvent OnPopup;
};

// A graphic control base with the position published.
class TDemoControl : public TGraphicControl {
public:
  explicit TDemoControl(TComponent* owner) : TGraphicControl(owner) { ++TDemoCount::Live; }
  ~TDemoControl() override { --TDemoCount::Live; }

  int Tag = 0;
};

// A label-like control: its table adds its own properties, publishes base members the base did not, and
// declares Width again with another default. Its fields are protected, so its table is declared by a
// static member function.
class TDemoLabel : public TDemoControl {
public:
  explicit TDemoLabel(TComponent* owner);

  TDemoAlign GetAlign() const { return FAlign; }
  void SetAlign(TDemoAlign align)
  {
    FAlign = align;
    ++AlignWrites;
  }
  TDemoLook* GetLook() const { return FLook.get(); }
  // Copies the look into the label's own.
  void SetLook(TDemoLook* look);
  TDemoMenu* GetPopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TDemoMenu* menu) { FPopupMenu = menu; }
  TDemoSides GetAnchors() const { return FAnchors; }

  int AlignWrites = 0;

  static void Publish();

protected:
  TDemoAlign FAlign = daNone;
  TDemoSides FAnchors{dsLeft, dsTop};
  TDemoLevel FLevel = dlMiddle;
  unsigned char FOpacity = 255;
  std::unique_ptr<TDemoLook> FLook;
  TDemoMenu* FPopupMenu = nullptr;
};

// A windowed container.
class TDemoPanel : public TWinControl {
public:
  explicit TDemoPanel(TComponent* owner) : TWinControl(owner) { ++TDemoCount::Live; }
  ~TDemoPanel() override { --TDemoCount::Live; }
};

// A root with published methods for events, like a form.
class TDemoForm : public TDemoPanel {
public:
  explicit TDemoForm(TComponent* owner = nullptr) : TDemoPanel(owner) {}

  void FormClick(TObject*) {}
  void LabelClick(TObject*) {}
  void LabelMouseDown(TObject*, TMouseButton, TShiftState, int, int) {}
  void Unpublished(TObject*) {}
};

// A program's own form without a table of its own: it uses TDemoForm's.
class TDemoMainForm : public TDemoForm {
public:
  using TDemoForm::TDemoForm;
};

// A class whose table nobody declares, on no palette page.
class TDemoHidden : public TComponent {
public:
  using TComponent::TComponent;
};
