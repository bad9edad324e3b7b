#include "Screen.h"

#include "Form.h"
#include "SysApi.h"

#include <cstdlib>

namespace {

void DestroyScreen()
{
  Screen.DestroyMade();
}

TScreen* MakeScreen()
{
  auto* screen = new TScreen();
  std::atexit(&DestroyScreen);
  return screen;
}

} // namespace

TGlobalObject<TScreen> Screen(&MakeScreen);

// --- TScreen ---

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

int TScreen::GetWidth() const
{
  return SysApi().GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::GetHeight() const
{
  return SysApi().GetSystemMetrics(SM_CYSCREEN);
}

int TScreen::GetPixelsPerInch() const
{
  return ScreenPixelsPerInch();
}

TCustomForm* TScreen::Forms(int index) const
{
  if (index < 0 || index >= FormCount())
    throw EListError(index);
  return FForms[static_cast<size_t>(index)];
}
