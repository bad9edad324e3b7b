#include "KoButtonTx.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"

#include <windows.h>

KoButtonTx::KoButtonTx(TComponent* AOwner) : KoCaptioned(AOwner) {}

void KoButtonTx::SetWordWrap(bool wordWrap)
{
  FWordWrap = wordWrap;
  DoRepaint();
}

void KoButtonTx::ShowSunken()
{
  SetSunkenPending();
  KoButton::ShowSunken();
}

void KoButtonTx::Repaint()
{
  DoRepaint();
  // Not the picture layer's repaint: that would draw the picture over the caption again.
  TWinControl::Repaint();
}

TColor KoButtonTx::ColorOfState(int state) const
{
  switch (state) {
  case 1:
    return GetFontColors()->GetSunken();
  case 2:
    return GetFontColors()->GetFocused();
  case 3:
    return GetFontColors()->GetDisabled() == -1 ? clGrayText : GetFontColors()->GetDisabled();
  default:
    return -1;
  }
}

UINT KoButtonTx::CaptionFormat() const
{
  return FWordWrap ? DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOFULLWIDTHCHARBREAK
                   : DT_CENTER | DT_VCENTER | DT_SINGLELINE;
}

void KoButtonTx::Register()
{
  RegisterOnPalette("KoComponentsTx", {TCreatableClass::Of<KoButtonTx>()});
}

namespace {

const bool kButtonTxPublished = [] {
  auto table = PublishClass<KoButtonTx>();
  PublishControlMembers(table, {"Font", "Caption"});
  table.Object("FontColors", &KoButtonTx::GetFontColors, &KoButtonTx::SetFontColors);
  return true;
}();

} // namespace
