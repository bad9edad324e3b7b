#pragma once
// A picture control that follows the pointer, the focus and enabling but is never pressed: a normal, a
// focused (also while the pointer is over it) and a disabled picture. It still raises the framework's click
// and double click.
#include "KoControl.h"

#include <memory>
#include <string>

// Three pictures from state `baseIndex` on. Reading one gives the control's own bitmap; writing one copies.
class KoThreeStateAppearance : public KoCtrlAppearance {
public:
  KoThreeStateAppearance(KoCustomControl* control, int baseIndex) : KoCtrlAppearance(control), FBaseIndex(baseIndex)
  {
  }

  TBitmap* GetNormalBmp() const { return GetStatePicture(FBaseIndex); }
  void SetNormalBmp(TBitmap* bitmap) { SetStatePicture(bitmap, FBaseIndex); }
  TBitmap* GetFocusedBmp() const { return GetStatePicture(FBaseIndex + 1); }
  void SetFocusedBmp(TBitmap* bitmap) { SetStatePicture(bitmap, FBaseIndex + 1); }
  TBitmap* GetDisabledBmp() const { return GetStatePicture(FBaseIndex + 2); }
  void SetDisabledBmp(TBitmap* bitmap) { SetStatePicture(bitmap, FBaseIndex + 2); }

  bool LoadBitmaps(const std::string& folder, const std::string& normal, const std::string& focused,
                   const std::string& disabled);

protected:
  void AssignTo(TPersistent* destination) override;

private:
  int FBaseIndex;
};

class KoBrick : public KoCustomControl {
public:
  explicit KoBrick(TComponent* AOwner);
  ~KoBrick() override;

  // Loads the three pictures from Windows bitmap files in `folder`; an empty name leaves that picture as
  // it is. A file that cannot be read changes no picture and raises the reader's error.
  bool LoadBitmap(const std::string& folder, const std::string& normal, const std::string& focused,
                  const std::string& disabled);

  KoThreeStateAppearance* GetAppearance() const { return FAppearance.get(); }
  // Copies the pictures of `value` into this brick's.
  void SetAppearance(KoThreeStateAppearance* value);

  // A brick is never pressed: its sunken look is the normal picture.
  void ShowFocused() override { ShowBitmap(1); }
  void ShowDisabled() override { ShowBitmap(2); }

  // Puts the class on the palette page "KoComponents".
  static void Register();

private:
  std::unique_ptr<KoThreeStateAppearance> FAppearance;
};
