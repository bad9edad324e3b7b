#include "PublishedFixture.h"

#include "ComponentPalette.h"
#include "Published.h"

int TDemoCount::Live = 0;

TDemoLook::TDemoLook() : FEdge(std::make_unique<TDemoEdge>()), FGlyph(std::make_unique<TBitmap>()) {}

TDemoLook::~TDemoLook() = default;

void TDemoLook::SetHeight(int height)
{
  if (height == 0)
    throw EConvertError("A look cannot be 0 pixels high");
  FHeight = height;
}

TDemoLabel::TDemoLabel(TComponent* owner) : TDemoControl(owner), FLook(std::make_unique<TDemoLook>())
{
  SetWidth(80);
}

void TDemoLabel::SetLook(TDemoLook* look)
{
  FLook->SetColor(look->GetColor());
  FLook->SetHeight(look->GetHeight());
  FLook->FaceName = look->FaceName;
  FLook->Sides = look->Sides;
}

void TDemoLabel::Publish()
{
  PublishClass<TDemoLabel>()
      .Property("Caption", &TDemoLabel::GetText, &TDemoLabel::SetText, "")
      .Property("Align", &TDemoLabel::FAlign, &TDemoLabel::SetAlign, daNone)
      .Property("Anchors", &TDemoLabel::FAnchors, TDemoSides{dsLeft, dsTop})
      .Property("Level", &TDemoLabel::FLevel, NoDefault)
      .Property("Opacity", &TDemoLabel::FOpacity, 255)
      .Property("Width", &TDemoLabel::GetWidth, &TDemoLabel::SetWidth, 80)
      .Color("Color", &TDemoLabel::GetColor, &TDemoLabel::SetColor, clBtnFace)
      .Object("Look", &TDemoLabel::FLook, &TDemoLabel::SetLook)
      .Reference("PopupMenu", &TDemoLabel::GetPopupMenu, &TDemoLabel::SetPopupMenu)
      .Event("OnClick", &TDemoLabel::OnClick)
      .Event("OnMouseDown", &TDemoLabel::OnMouseDown);
}

namespace {

const bool kEnumsPublished = PublishEnum<TDemoAlign>({"daNone", "daTop", "daBottom", "daClient"}) &&
                             PublishEnum<TDemoSide>({"dsLeft", "dsTop", "dsRight", "dsBottom"}) &&
                             PublishEnum<TDemoLevel>({{"dlLow", dlLow}, {"dlMiddle", dlMiddle},
                                                      {"dlHigh", dlHigh}});

const auto kEdgeTable = PublishClass<TDemoEdge>()
                            .Property("Width", &TDemoEdge::Width, 1)
                            .Color("Color", &TDemoEdge::Color, clBlack);

const auto kLookTable = PublishClass<TDemoLook>()
                            .Color("Color", &TDemoLook::GetColor, &TDemoLook::SetColor, clWindowText)
                            .Property("Height", &TDemoLook::GetHeight, &TDemoLook::SetHeight, -11)
                            .Property("FaceName", &TDemoLook::FaceName, "Tahoma")
                            .Property("Sides", &TDemoLook::Sides, TDemoSides{dsLeft, dsTop})
                            .Object("Edge", &TDemoLook::GetEdge)
                            .Picture("Glyph", &TDemoLook::GetGlyph);

const auto kMenuTable = PublishClass<TDemoMenu>()
                            .Property("AutoPopup", &TDemoMenu::AutoPopup, true)
                            .Property("Title", &TDemoMenu::Title, "")
                            .Event("OnPopup", &TDemoMenu::OnPopup);

const auto kControlTable = PublishClass<TDemoControl>()
                               .Property("Left", &TDemoControl::GetLeft, &TDemoControl::SetLeft, 0)
                               .Property("Top", &TDemoControl::GetTop, &TDemoControl::SetTop, 0)
                               .Property("Width", &TDemoControl::GetWidth, &TDemoControl::SetWidth, 0)
                               .Property("Height", &TDemoControl::GetHeight, &TDemoControl::SetHeight, 0)
                               .Property("Visible", &TDemoControl::GetVisible, &TDemoControl::SetVisible, true)
                               .Property("Tag", &TDemoControl::Tag, 0);

const bool kLabelPublished = (TDemoLabel::Publish(), true);

const auto kPanelTable = PublishClass<TDemoPanel>()
                             .Property("Caption", &TDemoPanel::GetText, &TDemoPanel::SetText, "")
                             .Property("Left", &TDemoPanel::GetLeft, &TDemoPanel::SetLeft, 0)
                             .Property("Top", &TDemoPanel::GetTop, &TDemoPanel::SetTop, 0)
                             .Property("Width", &TDemoPanel::GetWidth, &TDemoPanel::SetWidth, 0)
                             .Property("Height", &TDemoPanel::GetHeight, &TDemoPanel::SetHeight, 0)
                             .Color("Color", &TDemoPanel::GetColor, &TDemoPanel::SetColor, clBtnFace)
                             .Property("TabStop", &TDemoPanel::GetTabStop, &TDemoPanel::SetTabStop, false)
                             .Event("OnClick", &TDemoPanel::OnClick);

const auto kFormTable = PublishClass<TDemoForm>()
                            .Method("FormClick", &TDemoForm::FormClick)
                            .Method("LabelClick", &TDemoForm::LabelClick)
                            .Method("LabelMouseDown", &TDemoForm::LabelMouseDown);

const bool kPaletteFilled = [] {
  RegisterOnPalette("Demo", {TCreatableClass::Of<TDemoPanel>(), TCreatableClass::Of<TDemoLabel>()});
  RegisterCreatable(TCreatableClass::Of<TDemoMenu>());
  return true;
}();

} // namespace
