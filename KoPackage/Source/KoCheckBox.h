#pragma once
// A check box drawn from pictures: a group of four looks (raised, sunken, focused, disabled) for each
// check state (unchecked, checked, grayed). A click, or Space, moves the state on; an empty look falls back
// to its group's raised picture, and an empty group raised picture to the unchecked raised one.
#include "KoControl.h"

#include "StdCtrls.h"

#include <memory>
#include <string>

class KoCheckBox;

// The three picture groups of a check box, each a four-look appearance: Uncheck from state 0, Check from
// 4, Gray from 8.
class KoChkBoxAppearance : public TPersistent {
public:
  explicit KoChkBoxAppearance(KoCheckBox* checkBox);
  ~KoChkBoxAppearance() override;
  KoChkBoxAppearance(const KoChkBoxAppearance&) = delete;
  KoChkBoxAppearance& operator=(const KoChkBoxAppearance&) = delete;

  KoFourStateAppearance* GetCheck() const { return FCheck.get(); }
  KoFourStateAppearance* GetUncheck() const { return FUncheck.get(); }
  KoFourStateAppearance* GetGray() const { return FGray.get(); }
  // Copy the pictures of `value` into the group.
  void SetCheck(KoFourStateAppearance* value);
  void SetUncheck(KoFourStateAppearance* value);
  void SetGray(KoFourStateAppearance* value);

protected:
  void AssignTo(TPersistent* destination) override;

private:
  std::unique_ptr<KoFourStateAppearance> FCheck;
  std::unique_ptr<KoFourStateAppearance> FUncheck;
  std::unique_ptr<KoFourStateAppearance> FGray;
};

class KoCheckBox : public KoCustomControl {
public:
  // First state of each group.
  static constexpr int kUncheckedBase = 0;
  static constexpr int kCheckedBase = 4;
  static constexpr int kGrayedBase = 8;

  explicit KoCheckBox(TComponent* AOwner);
  ~KoCheckBox() override;

  // Load a group's four pictures from Windows bitmap files in `folder`; an empty name leaves that picture
  // as it is. A file that cannot be read changes no picture and raises the reader's error.
  bool LoadUnchecked(const std::string& folder, const std::string& raised, const std::string& sunken,
                     const std::string& focused, const std::string& disabled);
  bool LoadChecked(const std::string& folder, const std::string& raised, const std::string& sunken,
                   const std::string& focused, const std::string& disabled);
  bool LoadGrayed(const std::string& folder, const std::string& raised, const std::string& sunken,
                  const std::string& focused, const std::string& disabled);

  bool GetChecked() const override { return FState == cbChecked; }
  void SetChecked(bool checked) override;
  // Any state is taken, grayed too without AllowGrayed; the look stays and the group changes. No event.
  TCheckBoxState GetState() const { return FState; }
  void SetState(TCheckBoxState state);
  // The click cycle passes through grayed: unchecked, grayed, checked.
  bool GetAllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool allowGrayed) { FAllowGrayed = allowGrayed; }

  KoChkBoxAppearance* GetAppearance() const { return FAppearance.get(); }
  // Copies the twelve pictures of `value` into this check box's.
  void SetAppearance(KoChkBoxAppearance* value);

  // Shows a look (0 raised, 1 sunken, 2 focused, 3 disabled) of the current state's group.
  void ShowChkboxBmp(int look);
  void ShowRaised() override { ShowChkboxBmp(0); }
  void ShowSunken() override { ShowChkboxBmp(1); }
  void ShowFocused() override { ShowChkboxBmp(2); }
  void ShowDisabled() override { ShowChkboxBmp(3); }
  // An empty look stands in with its group's raised picture, an empty group raised picture with state 0.
  int Substitute(int index) override;

  // Puts the class on the palette page "KoComponents".
  static void Register();

protected:
  void Click() override;
  void KeyPress(char& Key) override;
  // The change handler of all twelve pictures: a group raised picture that stands in for the requested
  // look has changed, so the look is resolved again; then the picture layer's own handling.
  void BitmapChanged(TObject* Sender);

private:
  TCheckBoxState FState = cbUnchecked;
  std::unique_ptr<KoChkBoxAppearance> FAppearance;
  bool FAllowGrayed = false;
  TNotifyEvent FPrevPictureChange;
};
