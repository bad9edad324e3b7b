#include "KoBrickTx.h"

#include "ComponentPalette.h"
#include "ControlPublishing.h"
#include "Handles.h"
#include "Published.h"

#include <windows.h>

KoBrickTx::KoBrickTx(TComponent* AOwner) : KoBrick(AOwner)
{
  FPrevFontChange = GetFont()->OnChange;
  GetFont()->OnChange = TNotifyEvent(this, &KoBrickTx::FontChange);
  FFontColors = std::make_unique<KoTwoStateFontColor>();
  FFontColors->OnChange = TNotifyEvent(this, &KoBrickTx::FontColorChange);
}

KoBrickTx::~KoBrickTx()
{
  GetFont()->OnChange = FPrevFontChange;
  FFontColors.reset();
}

void KoBrickTx::SetDisp(int x, int y)
{
  FDispX = x;
  FDispY = y;
}

void KoBrickTx::SetTextBounds(int left, int top, int width, int height)
{
  FTextRect = Rect(left, top, left + width, top + height);
  DoRepaint();
}

void KoBrickTx::SetBounds(int left, int top, int width, int height)
{
  // Picture 0 holds the size; centring the caption in a size the brick will not take would put it off
  // its face.
  if (!IsStateEmpty(0)) {
    width = GetStatePicture(0)->GetWidth();
    height = GetStatePicture(0)->GetHeight();
  }
  SetTextBounds(0, 0, width, height);
  KoBrick::SetBounds(left, top, width, height);
}

void KoBrickTx::ShowBitmap(int index)
{
  KoBrick::ShowBitmap(index);
  DoRepaint();
}

void KoBrickTx::Repaint()
{
  DoRepaint();
}

void KoBrickTx::SetText(const std::string& text)
{
  KoBrick::SetText(text);
  DoRepaint();
}

void KoBrickTx::SetFontColors(KoTwoStateFontColor* value)
{
  FFontColors->Assign(value);
}

void KoBrickTx::FontChange(TObject* Sender)
{
  DoRepaint();
  FPrevFontChange(Sender);
}

void KoBrickTx::FontColorChange(TObject* /*Sender*/)
{
  DoRepaint();
}

void KoBrickTx::DoRepaint()
{
  RedrawPictures();
  DrawText();
  // Not the picture layer's repaint: that would draw the picture over the caption again.
  TWinControl::Repaint();
}

TColor KoBrickTx::GetFontColorOfCurState() const
{
  const TColor fontColor = GetFont()->GetColor();
  TColor color = fontColor;
  switch (GetRequestedState()) {
  case 1:
    color = FFontColors->GetFocused();
    break;
  case 2:
    color = FFontColors->GetDisabled() == -1 ? clGrayText : FFontColors->GetDisabled();
    break;
  default:
    break;
  }
  if (color == -1)
    color = fontColor;
  return ColorToRGB(color) & 0xFFFFFF;
}

void KoBrickTx::DrawText()
{
  TRect rect = FTextRect;
  if (FSunkenPending) {
    FSunkenPending = false;
    rect.left += FDispX;
    rect.top += FDispY;
  }
  TCanvas* canvas = GetCanvas();
  const HDC dc = canvas->GetHandle();
  canvas->Changing();
  {
    const TSaveDC saved(dc);
    SetBkMode(dc, TRANSPARENT);
    const TSelectObject font(dc, GetFont()->GetHandle());
    SetTextColor(dc, static_cast<COLORREF>(GetFontColorOfCurState()));
    // Without DT_NOPREFIX: "&" underlines the next character and "&&" is one ampersand.
    ::DrawTextA(dc, GetText().c_str(), -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  canvas->Changed();
}

void KoBrickTx::Register()
{
  RegisterOnPalette("KoComponentsTx", {TCreatableClass::Of<KoBrickTx>()});
}

namespace {

const bool kBrickTxPublished = [] {
  auto table = PublishClass<KoBrickTx>();
  PublishControlMembers(table, {"Font", "Caption"});
  table.Object("FontColors", &KoBrickTx::GetFontColors, &KoBrickTx::SetFontColors);
  return true;
}();

} // namespace
