#pragma once
// The label: a graphic control that shows a caption.
#include "Control.h"
#include "Graphics.h"

#include <windows.h>

#include <string>

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// A check box's three states; grayed is neither checked nor unchecked.
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
enum TTextLayout { tlTop, tlCenter, tlBottom };

// Shows its caption on its parent in its font. A line break ("\n") in the caption starts a new line; an
// ampersand underlines the next character unless ShowAccelChar is off. A disabled label draws its text in
// the system's grey-text colour.
class TLabel : public TGraphicControl {
public:
  explicit TLabel(TComponent* AOwner);
  ~TLabel() override;

  // Horizontal placement of each line.
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment alignment);
  // Vertical placement of the whole text.
  TTextLayout GetLayout() const { return FLayout; }
  void SetLayout(TTextLayout layout);
  // The control fits its text: its size follows every change of caption, font and wrapping. A
  // right-aligned label keeps its right edge, the others their left edge.
  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool autoSize);
  // Long lines break at word boundaries within the control's width (with AutoSize: only the height
  // follows the text).
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool wordWrap);
  // Only the text is painted and the parent shows around it; otherwise the control is filled with Color.
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool transparent);
  bool GetShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool show);

  // Sizes the control to its text when AutoSize is on (not while loading: the size read from text is
  // kept until everything that decides it has been read).
  void AdjustBounds();

protected:
  void Loaded() override;
  void Paint() override;
  // Draws (or with DT_CALCRECT measures) the caption on `dc` in the label's font and text colour.
  virtual void DoDrawText(HDC dc, TRect& rect, UINT flags);

  void TextChanged() override;
  void FontChanged() override;

private:
  UINT TextFlags() const;

  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FAutoSize = true;
  bool FWordWrap = false;
  bool FTransparent = false;
  bool FShowAccelChar = true;
};
