#include "KoButtonTx.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Handles.h"
#include "Published.h"

#include <windows.h>

KoButtonTx::KoButtonTx(TComponent* AOwner) : KoButton(AOwner)
{
  FPrevFontChange = GetFont()->OnChange;
  GetFont()->OnChange = TNotifyEvent(this, &KoButtonTx::FontChange);
  FFontColors = std::make_unique<KoThreeStateFontColor>();
  FFontColors->OnChange = TNotifyEvent(this, &KoButtonTx::FontColorChange);
}

KoButtonTx::~KoButtonTx()
{
  GetFont()->OnChange = FPrevFontChange;
  FFontColors.reset();
}

void KoButtonTx::SetDisp(int x, int y)
{
  FDispX = x;
  FDispY = y;
}

void KoButtonTx::SetTextBounds(int left, int top, int width, int height)
{
  FTextRect = Rect(left, top, left + width, top + height);
  DoRepaint();
}

void KoButtonTx::SetWordWrap(bool wordWrap)
{
  FWordWrap = wordWrap;
  DoRepaint();
}

void KoButtonTx::SetBounds(int left, int top, int width, int height)
{
  // Picture 0 holds the size; centring the caption in a size the button will not take would put it off
  // its face.
  if (!IsStateEmpty(0)) {
    width = GetStatePicture(0)->GetWidth();
    height = GetStatePicture(0)->GetHeight();
  }
  SetTextBounds(0, 0, width, height);
  KoButton::SetBounds(left, top, width, height);
}

void KoButtonTx::ShowBitmap(int index)
{
  KoButton::ShowBitmap(index);
  DoRepaint();
}

void KoButtonTx::ShowSunken()
{
  FSunkenPending = true;
  KoButton::ShowSunken();
}

void KoButtonTx::Repaint()
{
  DoRepaint();
  // Not the picture layer's repaint: that would draw the picture over the caption again.
  TWinControl::Repaint();
}

void KoButtonTx::SetText(const std::string& text)
{
  KoButton::SetText(text);
  DoRepaint();
}

void KoButtonTx::SetFontColors(KoThreeStateFontColor* value)
{
  FFontColors->Assign(value);
}

void KoButtonTx::FontChange(TObject* Sender)
{
  DoRepaint();
  FPrevFontChange(Sender);
}

void KoButtonTx::FontColorChange(TObject* /*Sender*/)
{
  DoRepaint();
}

void KoButtonTx::DoRepaint()
{
  RedrawPictures();
  DrawText();
  TWinControl::Invalidate();
}

TColor KoButtonTx::GetFontColorOfCurState() const
{
  const TColor fontColor = GetFont()->GetColor();
  TColor color = fontColor;
  switch (GetRequestedState()) {
  case 1:
    color = FFontColors->GetSunken();
    break;
  case 2:
    color = FFontColors->GetFocused();
    break;
  case 3:
    color = FFontColors->GetDisabled() == -1 ? clGrayText : FFontColors->GetDisabled();
    break;
  default:
    break;
  }
  if (color == -1)
    color = fontColor;
  return ColorToRGB(color) & 0xFFFFFF;
}

void KoButtonTx::DrawText()
{
  TRect rect = FTextRect;
  if (FSunkenPending) {
    FSunkenPending = false;
    rect.left += FDispX;
    rect.top += FDispY;
  }
  TCanvas* canvas = GetCanvas();
  const HDC dc = canvas->GetHandle();
  // Without DT_NOPREFIX: "&" underlines the next character and "&&" is one ampersand.
  const UINT format = FWordWrap ? DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOFULLWIDTHCHARBREAK
                                : DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  canvas->Changing();
  {
    const TSaveDC saved(dc);
    SetBkMode(dc, TRANSPARENT);
    const TSelectObject font(dc, GetFont()->GetHandle());
    SetTextColor(dc, static_cast<COLORREF>(GetFontColorOfCurState()));
    ::DrawTextA(dc, GetText().c_str(), -1, &rect, format);
  }
  canvas->Changed();
}

void KoButtonTx::Register()
{
  RegisterOnPalette("KoComponentsTx", {TCreatableClass::Of<KoButtonTx>()});
}

namespace {

const bool kButtonTxPublished = [] {
  auto table = PublishClass<KoButtonTx>();
  PublishControlMembers(table, {"Font", "Caption"});
  table.Object("FontColors", &KoButtonTx::GetFontColors, &KoButtonTx::SetFontColors);
  return true;
}();

} // namespace
