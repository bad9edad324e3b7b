#include "ControlPublishing.h"

namespace published_detail {
namespace {

// The event members every control has; false when `member` is none of them.
bool PublishControlEvent(TPublisher<TControl>& table, const std::string& member)
{
  if (member == "OnClick")
    table.Event("OnClick", &TControl::OnClick);
  else if (member == "OnContextPopup")
    table.Event("OnContextPopup", &TControl::OnContextPopup);
  else if (member == "OnDblClick")
    table.Event("OnDblClick", &TControl::OnDblClick);
  else if (member == "OnMouseDown")
    table.Event("OnMouseDown", &TControl::OnMouseDown);
  else if (member == "OnMouseMove")
    table.Event("OnMouseMove", &TControl::OnMouseMove);
  else if (member == "OnMouseUp")
    table.Event("OnMouseUp", &TControl::OnMouseUp);
  else if (member == "OnResize")
    table.Event("OnResize", &TControl::OnResize);
  else
    return false;
  return true;
}

bool IsWindowedMember(const std::string& member)
{
  return member == "TabOrder" || member == "TabStop" || member == "OnEnter" || member == "OnExit" ||
         member == "OnKeyDown" || member == "OnKeyPress" || member == "OnKeyUp";
}

void PublishWindowedMember(TPublisher<TWinControl>& table, const std::string& member)
{
  if (member == "TabOrder")
    table.Property("TabOrder", &TWinControl::GetTabOrder, &TWinControl::SetTabOrder, NoDefault);
  else if (member == "TabStop")
    table.Property("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop, false);
  else if (member == "OnEnter")
    table.Event("OnEnter", &TWinControl::OnEnter);
  else if (member == "OnExit")
    table.Event("OnExit", &TWinControl::OnExit);
  else if (member == "OnKeyDown")
    table.Event("OnKeyDown", &TWinControl::OnKeyDown);
  else if (member == "OnKeyPress")
    table.Event("OnKeyPress", &TWinControl::OnKeyPress);
  else
    table.Event("OnKeyUp", &TWinControl::OnKeyUp);
}

void PublishControlMember(TPublisher<TControl>& table, const std::string& member)
{
  if (member == "Align")
    table.Property("Align", &TControl::GetAlign, &TControl::SetAlign, alNone);
  else if (member == "Anchors")
    table.Property("Anchors", &TControl::GetAnchors, &TControl::SetAnchors, TAnchors{akLeft, akTop});
  else if (member == "Caption")
    table.Property("Caption", &TControl::GetText, &TControl::SetText, "");
  else if (member == "Color")
    table.Color("Color", &TControl::GetColor, &TControl::SetColor, clBtnFace).StoredWhen(&TControl::IsColorStored);
  else if (member == "Constraints")
    table.Object("Constraints", &TControl::GetConstraints, &TControl::SetConstraints);
  else if (member == "Enabled")
    table.Property("Enabled", &TControl::GetEnabled, &TControl::SetEnabled, true);
  else if (member == "Font")
    table.Object("Font", &TControl::GetFont, &TControl::SetFont).StoredWhen(&TControl::IsFontStored);
  else if (member == "HelpContext")
    table.Property("HelpContext", &TControl::GetHelpContext, &TControl::SetHelpContext, 0);
  else if (member == "Hint")
    table.Property("Hint", &TControl::GetHint, &TControl::SetHint, "");
  else if (member == "ParentColor")
    table.Property("ParentColor", &TControl::GetParentColor, &TControl::SetParentColor, true);
  else if (member == "ParentFont")
    table.Property("ParentFont", &TControl::GetParentFont, &TControl::SetParentFont, true);
  else if (member == "ParentShowHint")
    table.Property("ParentShowHint", &TControl::GetParentShowHint, &TControl::SetParentShowHint, true);
  else if (member == "PopupMenu")
    table.Reference("PopupMenu", &TControl::GetPopupMenu, &TControl::SetPopupMenu);
  else if (member == "ShowHint")
    table.Property("ShowHint", &TControl::GetShowHint, &TControl::SetShowHint, false)
        .StoredWhen(&TControl::IsShowHintStored);
  else if (member == "Visible")
    table.Property("Visible", &TControl::GetVisible, &TControl::SetVisible, true);
  else if (IsWindowedMember(member))
    throw EPropertyError(member + " is a member of windowed controls only, which " + table.ClassName() +
                         " is not");
  else if (!PublishControlEvent(table, member))
    throw EPropertyError(member + " is no framework member a control can publish");
}

} // namespace

void PublishControlMembersOf(TPublisher<TControl>& table, std::initializer_list<const char*> names)
{
  for (const char* name : names)
    PublishControlMember(table, name);
}

void PublishControlMembersOf(TPublisher<TWinControl>& table, std::initializer_list<const char*> names)
{
  for (const char* name : names) {
    const std::string member = name;
    if (IsWindowedMember(member)) {
      PublishWindowedMember(table, member);
    } else {
      auto view = table.Through<TControl>();
      PublishControlMember(view, member);
      table.Continue(view);
    }
  }
}

} // namespace published_detail
