#include "KoBrickTx.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Published.h"

KoBrickTx::KoBrickTx(TComponent* AOwner) : KoCaptioned(AOwner) {}

TColor KoBrickTx::ColorOfState(int state) const
{
  switch (state) {
  case 1:
    return GetFontColors()->GetFocused();
  case 2:
    return GetFontColors()->GetDisabled() == -1 ? clGrayText : GetFontColors()->GetDisabled();
  default:
    return -1;
  }
}

void KoBrickTx::Register()
{
  RegisterOnPalette("KoComponentsTx", {TCreatableClass::Of<KoBrickTx>()});
}

namespace {

const bool kBrickTxPublished = [] {
  auto table = PublishClass<KoBrickTx>();
  PublishControlMembers(table, {"Font", "Caption"});
  table.Object("FontColors", &KoBrickTx::GetFontColors, &KoBrickTx::SetFontColors);
  return true;
}();

} // namespace
