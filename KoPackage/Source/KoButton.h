#pragma once
// A push button made of four pictures: raised, sunken, focused (also while the pointer is over it) and
// disabled. A click hands its modal result to its form; Space clicks it too.
#include "KoControl.h"

#include "Form.h"

#include <memory>
#include <string>

class KoButton : public KoCustomControl {
public:
  explicit KoButton(TComponent* AOwner);
  ~KoButton() override;

  // Loads the four pictures from Windows bitmap files in `folder`; an empty name leaves that picture as it
  // is. A file that cannot be read changes no picture and raises the reader's error.
  bool LoadBitmap(const std::string& folder, const std::string& raised, const std::string& sunken,
                  const std::string& focused, const std::string& disabled);

  KoFourStateAppearance* GetAppearance() const { return FAppearance.get(); }
  // Copies the pictures of `value` into this button's.
  void SetAppearance(KoFourStateAppearance* value);
  // Given to the parent form on a click, 0 included.
  TModalResult GetModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult value) { FModalResult = value; }

  void ShowSunken() override { ShowBitmap(1); }
  void ShowFocused() override { ShowBitmap(2); }
  void ShowDisabled() override { ShowBitmap(3); }

  // A push button to screen readers; its default action presses it as a click does.
  long AccRole(long /*child*/) const override { return ROLE_SYSTEM_PUSHBUTTON; }
  std::wstring AccDefaultAction(long /*child*/) const override { return L"Press"; }
  bool AccDoDefaultAction(long child) override;
  // BM_CLICK clicks the button as it does a standard one, when the pointer could: enabled and on the screen.
  void WndProc(TMessage& Message) override;

  // Puts the class on the palette page "KoComponents".
  static void Register();

protected:
  void Click() override;
  void KeyPress(char& Key) override;

private:
  bool CanBeClicked() const;

  std::unique_ptr<KoFourStateAppearance> FAppearance;
  TModalResult FModalResult = mrNone;
};
