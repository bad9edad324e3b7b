#pragma once
// A brick with a caption drawn over its picture on one line, in a colour that follows the brick's look. A
// brick is never shown sunken, so the caption's displacement never takes effect.
#include "KoBrick.h"
#include "KoCaptioned.h"

class KoBrickTx : public KoCaptioned<KoBrick, KoTwoStateFontColor> {
public:
  explicit KoBrickTx(TComponent* AOwner);

  // Puts the class on the palette page "KoComponentsTx".
  static void Register();

protected:
  TColor ColorOfState(int state) const override;
};
