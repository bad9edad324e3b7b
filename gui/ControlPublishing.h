#pragma once
// The framework members a control class may publish. TControl and TWinControl publish nothing of their
// own: each class names here the members it offers, so a base may keep a member unpublished that a
// subclass publishes. The defaults are those the base constructors give.
#include "Control.h"
#include "Menus.h"
#include "Published.h"
#include "SysUtils.h"
#include "WinControl.h"

#include <initializer_list>
#include <string>
#include <type_traits>

namespace published_detail {

// The members only windowed controls have; false when `member` is none of them.
template <typename C>
bool PublishWindowedMember(TPublisher<C>& table, const std::string& member)
{
  constexpr bool windowed = std::is_base_of_v<TWinControl, C>;
  const bool known = member == "TabOrder" || member == "TabStop" || member == "OnEnter" || member == "OnExit" ||
                     member == "OnKeyDown" || member == "OnKeyPress" || member == "OnKeyUp";
  if (!known)
    return false;
  if constexpr (!windowed) {
    throw EPropertyError(member + " is a member of windowed controls only, which " +
                         TClassInfo::Of<C>().Name() + " is not");
  } else {
    if (member == "TabOrder")
      table.Property("TabOrder", &C::GetTabOrder, &C::SetTabOrder, NoDefault);
    else if (member == "TabStop")
      table.Property("TabStop", &C::GetTabStop, &C::SetTabStop, false);
    else if (member == "OnEnter")
      table.Event("OnEnter", &C::OnEnter);
    else if (member == "OnExit")
      table.Event("OnExit", &C::OnExit);
    else if (member == "OnKeyDown")
      table.Event("OnKeyDown", &C::OnKeyDown);
    else if (member == "OnKeyPress")
      table.Event("OnKeyPress", &C::OnKeyPress);
    else
      table.Event("OnKeyUp", &C::OnKeyUp);
    return true;
  }
}

// The event members every control has; false when `member` is none of them.
template <typename C>
bool PublishControlEvent(TPublisher<C>& table, const std::string& member)
{
  if (member == "OnClick")
    table.Event("OnClick", &C::OnClick);
  else if (member == "OnContextPopup")
    table.Event("OnContextPopup", &C::OnContextPopup);
  else if (member == "OnDblClick")
    table.Event("OnDblClick", &C::OnDblClick);
  else if (member == "OnMouseDown")
    table.Event("OnMouseDown", &C::OnMouseDown);
  else if (member == "OnMouseMove")
    table.Event("OnMouseMove", &C::OnMouseMove);
  else if (member == "OnMouseUp")
    table.Event("OnMouseUp", &C::OnMouseUp);
  else if (member == "OnResize")
    table.Event("OnResize", &C::OnResize);
  else
    return false;
  return true;
}

} // namespace published_detail

// Publishes Left and Top (default 0), and Width and Height with the size C's constructor gives.
template <typename C>
void PublishBounds(TPublisher<C>& table, int width, int height)
{
  static_assert(std::is_base_of_v<TControl, C>, "bounds are a control's");
  table.Property("Left", &C::GetLeft, &C::SetLeft, 0)
      .Property("Top", &C::GetTop, &C::SetTop, 0)
      .Property("Width", &C::GetWidth, &C::SetWidth, width)
      .Property("Height", &C::GetHeight, &C::SetHeight, height);
}

// Publishes the named members, in the order given: Align, Anchors, Caption, Color, Constraints, Enabled,
// Font, HelpContext, Hint, ParentColor, ParentFont, ParentShowHint, PopupMenu, ShowHint, Visible, the
// events OnClick, OnContextPopup, OnDblClick, OnMouseDown, OnMouseMove, OnMouseUp and OnResize, and for
// windowed controls TabOrder, TabStop, OnEnter, OnExit, OnKeyDown, OnKeyPress and OnKeyUp. Color, Font
// and ShowHint are kept in text only while they are the control's own (not its parent's). An unknown
// name, or a windowed control's member for another control, raises EPropertyError.
template <typename C>
void PublishControlMembers(TPublisher<C>& table, std::initializer_list<const char*> names)
{
  static_assert(std::is_base_of_v<TControl, C>, "these are a control's members");
  for (const char* name : names) {
    const std::string member = name;
    if (member == "Align")
      table.Property("Align", &C::GetAlign, &C::SetAlign, alNone);
    else if (member == "Anchors")
      table.Property("Anchors", &C::GetAnchors, &C::SetAnchors, TAnchors{akLeft, akTop});
    else if (member == "Caption")
      table.Property("Caption", &C::GetText, &C::SetText, "");
    else if (member == "Color")
      table.Color("Color", &C::GetColor, &C::SetColor, clBtnFace).StoredWhen(&TControl::IsColorStored);
    else if (member == "Constraints")
      table.Object("Constraints", &C::GetConstraints, &C::SetConstraints);
    else if (member == "Enabled")
      table.Property("Enabled", &C::GetEnabled, &C::SetEnabled, true);
    else if (member == "Font")
      table.Object("Font", &C::GetFont, &C::SetFont).StoredWhen(&TControl::IsFontStored);
    else if (member == "HelpContext")
      table.Property("HelpContext", &C::GetHelpContext, &C::SetHelpContext, 0);
    else if (member == "Hint")
      table.Property("Hint", &C::GetHint, &C::SetHint, "");
    else if (member == "ParentColor")
      table.Property("ParentColor", &C::GetParentColor, &C::SetParentColor, true);
    else if (member == "ParentFont")
      table.Property("ParentFont", &C::GetParentFont, &C::SetParentFont, true);
    else if (member == "ParentShowHint")
      table.Property("ParentShowHint", &C::GetParentShowHint, &C::SetParentShowHint, true);
    else if (member == "PopupMenu")
      table.Reference("PopupMenu", &C::GetPopupMenu, &C::SetPopupMenu);
    else if (member == "ShowHint")
      table.Property("ShowHint", &C::GetShowHint, &C::SetShowHint, false).StoredWhen(&TControl::IsShowHintStored);
    else if (member == "Visible")
      table.Property("Visible", &C::GetVisible, &C::SetVisible, true);
    else if (!published_detail::PublishControlEvent(table, member) &&
             !published_detail::PublishWindowedMember(table, member))
      throw EPropertyError(member + " is no framework member a control can publish");
  }
}
