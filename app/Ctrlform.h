#pragma once
// The level dialog: a borderless window lying exactly over the main window, its face keyed away so that
// only the level's name, the restart question and the buttons show, drawn over the main window's picture.
#include "CtrlformAccess.h"
#include "DialogKeys.h"
#include "KoShapedWindow.h"

#include "Classes.h"
#include "Forms.h"

#include <windows.h>

#include <string>
#include <vector>

class KoButton;
class KoButtonTx;
class KoFourStateAppearance;
class TBitmap;
class TImage;
class TLabel;

// Makes the skin picture `fileName` (in the resource folder) look as if drawn on the main window's
// current picture at (left, top): each colour is the premultiplied skin colour blended over the
// background by the skin's alpha; the result is opaque colour with alpha 0, for ordinary drawing on the
// keyed dialog. `target` takes the result. A missing file raises EFOpenError; one that does not decode
// leaves `target` empty.
void ComposeSkin(const std::string& fileName, TBitmap* target, int left, int top);
// The same with the file's full path and the background given.
void ComposeSkinFile(const std::wstring& path, TBitmap* target, TBitmap& background, int left, int top);
void ComposeSkinFile(const std::string& path, TBitmap* target, TBitmap& background, int left, int top);
// The blend of ComposeSkin on a premultiplied 32-bit skin. Skin pixels beyond the background's edges are
// blended over black (nothing is read outside it); they lie outside the dialog's window as well.
void BlendSkin(TBitmap& skin, TBitmap& background, int left, int top);
// ComposeSkin into the raised, sunken, focused and disabled pictures of `appearance`, for each name that
// is not empty, in that order.
void LoadButtonSkins(KoFourStateAppearance* appearance, int left, int top, const std::string& raised,
                     const std::string& sunken, const std::string& focused, const std::string& disabled);

// The dialog's two modes, told apart by the OK button's caption.
constexpr const char* kRestartQuestion = "The setting needs a system restart,\nDo you want to apply it?";
// The label's text when the BIOS holds a level that is not one of the levels (or offers none).
constexpr const char* kUnknownLevel = "Unknown level";

class TControlForm : public TForm {
public:
  explicit TControlForm(TComponent* AOwner);
  ~TControlForm() override;

  // One step of a fade: the window's constant alpha, switched on when asked. At alpha 1 (the start of a
  // fade-in) the raised pictures follow the main window's current picture first.
  void SetOpacity(BYTE alpha, bool enableAlpha);
  // Pushes the main window's picture to the screen, then composes the buttons' pictures over it again; all
  // four looks unless `normalOnly`.
  void ReloadSkins(bool normalOnly);
  // The buttons' pressed, focused and disabled looks, when start-up left them for after the first frame.
  void ComposeLaterLooks();
  // Lays the dialog out again at the current skin scale (the main window's picture already in it): face,
  // fonts, places and every button picture.
  void Rescale();

  // Brings the dialog to the front with the keyboard focus, as far as the system's foreground rules let
  // this program: shown at the request of a program in front, it comes in front; otherwise it waits.
  void TakeFocus();
  // The focused button shows that it has the focus at once (the dialog was called up with the keyboard);
  // otherwise that shows from the first key on.
  void ShowFocusCues();

  DWORD GetCurrentLevel() const { return FCurrentLevel; }
  DWORD GetSelectedLevel() const { return FSelectedLevel; }
  TsLayeredFormMaker& GetShapeMaker() { return FShapeMaker; }
  // What screen readers learn of the dialog, and its captions under a high-contrast theme.
  TControlFormAccess& GetAccess() { return FAccess; }

  // Components of the form.
  TImage* Background = nullptr;
  TLabel* CpuLabel = nullptr;
  TLabel* MsgLabel = nullptr;
  KoButtonTx* OkButton = nullptr;
  KoButtonTx* CancelButton = nullptr;
  KoButton* PrevButton = nullptr;
  KoButton* NextButton = nullptr;

protected:
  void CreateParams(TCreateParams& Params) override;

private:
  struct TButtonPlace {
    KoButton* Button;
    int Left; // at 96 ppi
    int Top;
    const char* Raised;
    const char* Others[3]; // sunken, focused, disabled; empty where the button has none
  };
  std::vector<TButtonPlace> ButtonPlaces() const;
  void CreateComponents();
  // The buttons and labels at their places for the current scale, with the buttons' raised looks, and their
  // other looks unless `laterLooks` (their files are then only checked, and ComposeLaterLooks makes them).
  void PlaceComponents(bool laterLooks = false);
  // The face in the key colour, at the size of the current scale.
  void FillFace();
  // The selected level's name (or that it is unknown), underlined when it is the level the BIOS holds.
  void ShowSelectedLevel();
  // Back to the level the BIOS holds.
  void ShowBiosLevel();
  // The BIOS refused the level: the dialog shows what it holds, and says so.
  void LevelRefused();
  void SetNormalMode();
  void SetQuestionMode();
  // The selection moved: label style, caption, next frame, pictures.
  void SelectionStepped();

  void FormShow(TObject* Sender);
  void FormActivate(TObject* Sender);
  void PrevButtonClick(TObject* Sender);
  void NextButtonClick(TObject* Sender);
  void OkButtonClick(TObject* Sender);
  void CancelButtonClick(TObject* Sender);

  TsLayeredFormMaker FShapeMaker;
  TDialogKeys FKeys;

public:
  // Display text of each level, index = level. Its size also bounds the levels other programs may apply.
  std::vector<std::string> LevelNames;

private:
  bool FLaterLooksPending = false;
  DWORD FCurrentLevel = 0;
  DWORD FSelectedLevel = 0;
  TControlFormAccess FAccess{*this};
};

// The level dialog, made second by start-up.
extern TControlForm* ControlForm;
