#pragma once
// The level dialog's keyboard. Left and Right step the level as Prev and Next do (while those can be
// pressed); Return presses the focused button, or OK when no button has the focus; Escape presses Cancel
// (No in the restart question). Tab and Shift+Tab move between the buttons (the form does that), and Space
// presses the focused button (the button does that).
#include "Classes.h"
#include "Control.h"

#include <windows.h>

class KoButton;
class TWinControl;

// The focus moves unseen while the user works with the pointer (a press takes it); it shows from the first
// key that moves it or steps the level on, as in the system's dialogs.
class TDialogKeys {
public:
  TDialogKeys() = default;
  ~TDialogKeys();
  TDialogKeys(const TDialogKeys&) = delete;
  TDialogKeys& operator=(const TDialogKeys&) = delete;

  struct TButtons {
    KoButton* Prev;
    KoButton* Next;
    KoButton* Ok;
    KoButton* Cancel;
  };

  // Takes the key events of the form and of its buttons; the form owns both this object and the buttons.
  void Attach(TWinControl* form, const TButtons& buttons);
  // Forgets keys that went down before: their release does not press anything.
  void Forget();
  // Whether the focused button shows its focused picture.
  void ShowFocus(bool shown);

private:
  void KeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
  void KeyUp(TObject* Sender, WORD& Key, TShiftState Shift);
  void KeyPress(TObject* Sender, char& Key);
  // The button Return presses: the focused one, else OK.
  KoButton* ReturnTarget() const;
  // Sees Tab, which the form takes before any key event, and the arrows.
  bool NavigationKey(TMessage& Message);
  template <typename TEach>
  void ForEachControl(TEach each) const;

  TWinControl* FForm = nullptr;
  TButtons FButtons{};
  // Return or Escape went down here and has not been released.
  WORD FHeld = 0;
  // Space is held; its auto-repeat is going on.
  bool FSpaceHeld = false;
  bool FSpaceRepeats = false;
};
