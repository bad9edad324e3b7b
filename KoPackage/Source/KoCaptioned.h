#pragma once
// What the text controls share: a caption drawn over the picture on show, centred in a rectangle, in a
// colour that follows the control's look, nudged right and down by a pending press. The caption lives in the
// picture display's bitmap, so it is drawn again after every redraw of the picture: a repaint, a change of
// state, and a replaced picture of the state on show.
#include "KoControl.h"

#include "Geometry.h"
#include "Handles.h"

#include <windows.h>

#include <memory>
#include <string>

template <class TPictureControl, class TFontColors>
class KoCaptioned : public TPictureControl {
public:
  explicit KoCaptioned(TComponent* AOwner) : TPictureControl(AOwner)
  {
    FPrevFontChange = this->GetFont()->OnChange;
    this->GetFont()->OnChange = TNotifyEvent(this, &KoCaptioned::FontChange);
    FFontColors = std::make_unique<TFontColors>();
    FFontColors->OnChange = TNotifyEvent(this, &KoCaptioned::FontColorChange);
  }
  ~KoCaptioned() override
  {
    this->GetFont()->OnChange = FPrevFontChange;
    FFontColors.reset();
  }

  // How far a pressed caption's rectangle moves its left and top edges; the caption, centred, moves half as
  // far. Takes effect at the next press.
  void SetDisp(int x, int y)
  {
    FDispX = x;
    FDispY = y;
  }
  int GetDispX() const { return FDispX; }
  int GetDispY() const { return FDispY; }
  // Where the caption is centred, in client coordinates.
  void SetTextBounds(int left, int top, int width, int height)
  {
    FTextRect = Rect(left, top, left + width, top + height);
    DoRepaint();
  }
  TRect GetTextRect() const { return FTextRect; }

  // The caption rectangle becomes the control's whole client area.
  void SetBounds(int left, int top, int width, int height) override
  {
    // Picture 0 holds the size; centring the caption in a size the control will not take would put it off
    // its face.
    if (!this->IsStateEmpty(0)) {
      width = this->GetStatePicture(0)->GetWidth();
      height = this->GetStatePicture(0)->GetHeight();
    }
    SetTextBounds(0, 0, width, height);
    TPictureControl::SetBounds(left, top, width, height);
  }
  void ShowBitmap(int index) override
  {
    const int shown = this->GetShownState();
    const auto composer = this->Pictures()->Compose();
    TPictureControl::ShowBitmap(index);
    // A new state has just been drawn by the holder and only the caption goes over it; the same state may
    // still want another caption colour, over a clean picture.
    if (this->GetShownState() == shown)
      this->RedrawPictures();
    DrawText();
  }
  void Repaint() override { DoRepaint(); }
  void SetText(const std::string& text) override
  {
    TPictureControl::SetText(text);
    DoRepaint();
  }

  // The caption in the system's button colours on a plain face of them, instead of in the font colours over
  // the pictures: readable with a high-contrast theme. The control keeps its shape.
  bool GetPlainFace() const { return FPlainFace; }
  void SetPlainFace(bool plain)
  {
    if (plain == FPlainFace)
      return;
    FPlainFace = plain;
    DoRepaint();
  }

  TFontColors* GetFontColors() const { return FFontColors.get(); }
  // Copies the colours of `value` into this control's.
  void SetFontColors(TFontColors* value) { FFontColors->Assign(value); }
  // The caption colour of the requested look, as a plain RGB value.
  TColor GetFontColorOfCurState() const
  {
    const TColor fontColor = this->GetFont()->GetColor();
    TColor color = ColorOfState(this->GetRequestedState());
    if (color == -1)
      color = fontColor;
    return ColorToRGB(color) & 0xFFFFFF;
  }

protected:
  // The colour a look asks for; -1 for the font's.
  virtual TColor ColorOfState(int state) const = 0;
  // DrawTextA's format for the caption.
  virtual UINT CaptionFormat() const { return DT_CENTER | DT_VCENTER | DT_SINGLELINE; }

  // The picture on show again, then the caption over it, shown together.
  void DoRepaint()
  {
    const auto composer = this->Pictures()->Compose();
    this->RedrawPictures();
    DrawText();
  }
  void DrawText()
  {
    TRect rect = FTextRect;
    if (FSunkenPending) {
      FSunkenPending = false;
      rect.left += FDispX;
      rect.top += FDispY;
    }
    TCanvas* canvas = this->GetCanvas();
    const HDC dc = canvas->GetHandle();
    canvas->Changing();
    {
      const TSaveDC saved(dc);
      SetBkMode(dc, TRANSPARENT);
      const TSelectObject font(dc, this->GetFont()->GetHandle());
      if (FPlainFace)
        DrawPlainFace(dc);
      else
        SetTextColor(dc, static_cast<COLORREF>(GetFontColorOfCurState()));
      // Without DT_NOPREFIX: "&" underlines the next character and "&&" is one ampersand.
      ::DrawTextA(dc, this->GetText().c_str(), -1, &rect, CaptionFormat());
    }
    canvas->Changed();
  }
  // A face that follows the look as the pictures would: highlighted while pressed, hot or showing the focus.
  void DrawPlainFace(HDC dc)
  {
    const bool highlighted = this->IsPressed() || this->IsHot() || this->FocusShown();
    const int face = highlighted && this->GetEnabled() ? COLOR_HIGHLIGHT : COLOR_BTNFACE;
    const int text = !this->GetEnabled() ? COLOR_GRAYTEXT : highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT;
    const RECT whole{0, 0, this->GetWidth(), this->GetHeight()};
    FillRect(dc, &whole, GetSysColorBrush(face));
    SetTextColor(dc, GetSysColor(text));
  }
  // The next caption drawn moves by the displacement.
  void SetSunkenPending() { FSunkenPending = true; }

  // The picture holder drew the bare picture over the caption.
  void PictureRedrawn() override
  {
    const auto composer = this->Pictures()->Compose();
    DrawText();
  }

  void FontChange(TObject* Sender)
  {
    DoRepaint();
    FPrevFontChange(Sender);
  }
  void FontColorChange(TObject* /*Sender*/) { DoRepaint(); }

private:
  int FDispX = 2;
  int FDispY = 2;
  bool FSunkenPending = false;
  bool FPlainFace = false;
  TRect FTextRect{0, 0, 0, 0};
  TNotifyEvent FPrevFontChange;
  std::unique_ptr<TFontColors> FFontColors;
};
