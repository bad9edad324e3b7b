#pragma once
// The screen and the forms on it.
#include "Classes.h"
#include "GlobalObject.h"

#include <vector>

class TCustomForm;

class TScreen : public TComponent {
public:
  explicit TScreen(TComponent* AOwner = nullptr);

  int GetWidth() const;
  int GetHeight() const;
  int GetPixelsPerInch() const;
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TCustomForm* Forms(int index) const;
  // The form that is (or was last) the active window, or null.
  TCustomForm* GetActiveForm() const { return FActiveForm; }

private:
  friend class TCustomForm;
  std::vector<TCustomForm*> FForms;
  TCustomForm* FActiveForm = nullptr;
};

// The screen object, made on first use.
extern TGlobalObject<TScreen> Screen;
