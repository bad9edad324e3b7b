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

// The members are TControl's and TWinControl's whatever the class (the overridden ones are virtual), so
// the name dispatch is compiled once for every control class.
void PublishControlMembersOf(TPublisher<TControl>& table, std::initializer_list<const char*> names);
void PublishControlMembersOf(TPublisher<TWinControl>& table, std::initializer_list<const char*> names);

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
  using TBase = std::conditional_t<std::is_base_of_v<TWinControl, C>, TWinControl, TControl>;
  auto view = table.template Through<TBase>();
  published_detail::PublishControlMembersOf(view, names);
  table.Continue(view);
}
