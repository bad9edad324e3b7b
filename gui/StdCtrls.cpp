#include "StdCtrls.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Handles.h"
#include "Published.h"

namespace {

const bool kLabelEnumsPublished =
    PublishEnum<TAlignment>({"taLeftJustify", "taRightJustify", "taCenter"}) &&
    PublishEnum<TTextLayout>({"tlTop", "tlCenter", "tlBottom"}) &&
    PublishEnum<TCheckBoxState>({"cbUnchecked", "cbChecked", "cbGrayed"});

const bool kLabelPublished = [] {
  auto table = PublishClass<TLabel>();
  PublishBounds(table, 65, 17);
  PublishControlMembers(table, {"Align", "Anchors", "Caption", "Color", "Constraints", "Enabled", "Font",
                                "HelpContext", "Hint", "ParentColor", "ParentFont", "ParentShowHint",
                                "PopupMenu", "ShowHint", "Visible"});
  table.Property("Alignment", &TLabel::GetAlignment, &TLabel::SetAlignment, taLeftJustify)
      .Property("AutoSize", &TLabel::GetAutoSize, &TLabel::SetAutoSize, true)
      .Property("Layout", &TLabel::GetLayout, &TLabel::SetLayout, tlTop)
      .Property("ShowAccelChar", &TLabel::GetShowAccelChar, &TLabel::SetShowAccelChar, true)
      .Property("Transparent", &TLabel::GetTransparent, &TLabel::SetTransparent, false)
      .Property("WordWrap", &TLabel::GetWordWrap, &TLabel::SetWordWrap, false);
  PublishControlMembers(table, {"OnClick", "OnContextPopup", "OnDblClick", "OnMouseDown", "OnMouseMove",
                                "OnMouseUp"});
  RegisterOnPalette("Controls", {TCreatableClass::Of<TLabel>()});
  return true;
}();

} // namespace

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
  SetControlStyle(GetControlStyle() + TControlStyle{csOpaque});
  SetBounds(FLeft, FTop, 65, 17);
}

TLabel::~TLabel() = default;

void TLabel::SetAlignment(TAlignment alignment)
{
  if (alignment == FAlignment)
    return;
  FAlignment = alignment;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout layout)
{
  if (layout == FLayout)
    return;
  FLayout = layout;
  Invalidate();
}

void TLabel::SetAutoSize(bool autoSize)
{
  if (autoSize == FAutoSize)
    return;
  FAutoSize = autoSize;
  AdjustBounds();
}

void TLabel::SetWordWrap(bool wordWrap)
{
  if (wordWrap == FWordWrap)
    return;
  FWordWrap = wordWrap;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetTransparent(bool transparent)
{
  if (transparent == FTransparent)
    return;
  FTransparent = transparent;
  TControlStyle style = GetControlStyle();
  if (transparent)
    style.Exclude(csOpaque);
  else
    style.Include(csOpaque);
  SetControlStyle(style);
  Invalidate();
}

void TLabel::SetShowAccelChar(bool show)
{
  if (show == FShowAccelChar)
    return;
  FShowAccelChar = show;
  AdjustBounds();
  Invalidate();
}

UINT TLabel::TextFlags() const
{
  static const UINT kAlignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  return DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0u) | kAlignments[FAlignment];
}

void TLabel::DoDrawText(HDC dc, TRect& rect, UINT flags)
{
  std::string text = GetCaption();
  // An empty caption still measures one line, so that an auto-sized label does not vanish.
  if ((flags & DT_CALCRECT) && (text.empty() || (FShowAccelChar && text == "&")))
    text += ' ';
  if (!FShowAccelChar)
    flags |= DT_NOPREFIX;
  TSaveDC saved(dc);
  TSelectObject font(dc, GetFont()->GetHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToColorRef(GetEnabled() ? GetFont()->GetColor() : clGrayText));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
}

void TLabel::Paint()
{
  TCanvas* canvas = GetCanvas();
  TRect rect = GetClientRect();
  if (!FTransparent) {
    canvas->GetBrush()->SetColor(GetColor());
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->FillRect(rect);
  }
  HDC dc = canvas->GetHandle();
  const UINT flags = TextFlags();
  if (FLayout != tlTop) {
    // DrawText centres vertically only single lines; measure the block and move it instead.
    TRect measured = rect;
    DoDrawText(dc, measured, flags | DT_CALCRECT);
    const int spare = (rect.bottom - rect.top) - (measured.bottom - measured.top);
    OffsetRect(&rect, 0, FLayout == tlBottom ? spare : spare / 2);
  }
  DoDrawText(dc, rect, flags);
}

void TLabel::Loaded()
{
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::AdjustBounds()
{
  if (!FAutoSize || IsLoading())
    return;
  TWindowDC screen(nullptr);
  if (!screen)
    return; // no DC to measure with: the size stays until the next change
  TRect rect = GetClientRect();
  DoDrawText(screen.Get(), rect, TextFlags() | DT_CALCRECT);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  int left = GetLeft();
  if (FAlignment == taRightJustify)
    left += GetWidth() - width;
  SetBounds(left, GetTop(), width, height);
}

void TLabel::TextChanged()
{
  AdjustBounds();
  TGraphicControl::TextChanged();
}

void TLabel::FontChanged()
{
  AdjustBounds();
  TGraphicControl::FontChanged();
}
