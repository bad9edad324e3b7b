#pragma once
// The level dialog for everyone: what a screen reader learns of it (the level's name as static text, the
// restart question as an alert, the four buttons) with a word when either changes, and captions in the
// system's colours while a high-contrast theme is on.
#include "KoAccessible.h"

#include "Classes.h"
#include "Colors.h"
#include "Messages.h"
#include "WindowHooks.h"

#include <windows.h>

#include <string>

class KoButton;
class TControlForm;
class TLabel;

// Whether a high-contrast theme is on: the system's setting, unless a test put another answer in place.
bool HighContrastOn();
using THighContrastQuery = bool (*)();
// Puts `query` in place of the system's setting (null: the system's again); returns what it replaces.
THighContrastQuery SetHighContrastQuery(THighContrastQuery query);

// The dialog's children as readers number them.
enum TControlFormChild : long {
  kLevelChild = 1,
  kQuestionChild,
  kOkChild,
  kCancelChild,
  kPrevChild,
  kNextChild,
};

class TControlFormAccess : public KoAccessibleSource {
public:
  explicit TControlFormAccess(TControlForm& form) : m_form(form) {}
  ~TControlFormAccess() override;
  TControlFormAccess(const TControlFormAccess&) = delete;
  TControlFormAccess& operator=(const TControlFormAccess&) = delete;

  // Once the components exist: names the image buttons, answers the window's WM_GETOBJECT and follows
  // the contrast setting from now on.
  void Attach();
  // The level's name may have changed: readers hear a new one.
  void LevelShown();
  // The restart question came up (readers are alerted) or went.
  void QuestionShown();
  void QuestionHidden();
  // Takes the system's colours for the captions while a high-contrast theme is on, the skins' colours
  // otherwise.
  void FollowContrast();
  bool HighContrast() const { return m_highContrast; }

  HWND AccWindow() const override;
  long AccChildCount() const override { return kNextChild; }
  IDispatch* AccChildObject(long child) override;
  std::wstring AccName(long child) const override;
  long AccRole(long child) const override;
  long AccState(long child) const override;
  RECT AccBounds(long child) const override;

private:
  bool WindowMessage(TMessage& Message);
  TLabel* LabelOf(long child) const;
  KoButton* ButtonOf(long child) const;
  void ApplyContrast();

  TControlForm& m_form;
  KoAccessibleHost m_host{this};
  bool m_attached = false;
  std::string m_announcedLevel;
  bool m_questionShown = false;
  bool m_highContrast = false;
  // The labels' own colours, back when the theme goes.
  TColor m_levelColor = clNone;
  TColor m_questionColor = clNone;
};
