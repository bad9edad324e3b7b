// The skinned buttons on screen: an image button and a text button in each of their four looks, with
// pictures drawn here for the purpose. Under Wine, run it on a display and take a screenshot.
//   kodemo [-quit N]   closes it after N seconds
#include "KoButton.h"
#include "KoButtonTx.h"

#include "Forms.h"
#include "StdCtrls.h"
#include "SysUtils.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr TColor kKey = clFuchsia;
constexpr TColor kBlue = 0xE28546;  // RGB(70, 133, 226)
constexpr COLORREF kPanel = RGB(236, 240, 246);

enum TFaceLook { flRaised, flSunken, flFocused, flDisabled };

uint8_t Mix(int from, int to, double t)
{
  return static_cast<uint8_t>(std::lround(from + (to - from) * t));
}

COLORREF MixColor(COLORREF from, COLORREF to, double t)
{
  return RGB(Mix(GetRValue(from), GetRValue(to), t), Mix(GetGValue(from), GetGValue(to), t),
             Mix(GetBValue(from), GetBValue(to), t));
}

// A face of the given size: a rounded rectangle (a circle when square and fully rounded) with a vertical
// gradient and a rim, the key colour outside. The outline is smoothed against `background`, the colour
// the face will sit on, so that no key colour bleeds into it.
void PaintFace(TBitmap& bitmap, int width, int height, int radius, TFaceLook look, COLORREF background)
{
  struct TStyle {
    COLORREF top, bottom, rim;
    double rimWidth;
    int shift;
  };
  const TStyle styles[] = {
      {RGB(255, 255, 255), RGB(206, 214, 226), RGB(150, 162, 180), 1, 0},  // raised
      {RGB(176, 188, 206), RGB(222, 228, 238), RGB(112, 126, 150), 1, 1},  // sunken
      {RGB(255, 255, 255), RGB(220, 232, 250), RGB(70, 133, 226), 2, 0},   // focused
      {RGB(226, 226, 226), RGB(226, 226, 226), RGB(186, 186, 186), 1, 0},  // disabled
  };
  const TStyle& style = styles[look];
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
  const double r = radius;
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    const double t = height > 1 ? static_cast<double>(y - style.shift) / (height - 1) : 0;
    const COLORREF fill = MixColor(style.top, style.bottom, std::clamp(t, 0.0, 1.0));
    for (int x = 0; x < width; ++x) {
      // Distance of the pixel centre outside the rounded rectangle (negative inside).
      const double cx = std::clamp(x + 0.5, r, width - r);
      const double cy = std::clamp(y + 0.5, r, height - r);
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) - r + 0.5;
      const double coverage = std::clamp(0.5 - d, 0.0, 1.0);
      COLORREF color = static_cast<COLORREF>(kKey);
      if (coverage > 0) {
        const COLORREF face = MixColor(fill, style.rim, std::clamp(d + style.rimWidth + 0.5, 0.0, 1.0));
        color = MixColor(background, face, coverage);
      }
      row[3 * x] = GetBValue(color);
      row[3 * x + 1] = GetGValue(color);
      row[3 * x + 2] = GetRValue(color);
    }
  }
}

// A right-pointing arrow in the middle of a round face.
void PaintArrow(TBitmap& bitmap, TFaceLook look)
{
  const int shift = look == flSunken ? 1 : 0;
  const int cx = bitmap.GetWidth() / 2 + shift;
  const int cy = bitmap.GetHeight() / 2 + shift;
  const TColor color = look == flDisabled ? static_cast<TColor>(RGB(168, 168, 168)) : kBlue;
  TCanvas* canvas = bitmap.GetCanvas();
  canvas->GetBrush()->SetColor(color);
  canvas->GetPen()->SetColor(color);
  const TPoint arrow[] = {{cx - 7, cy - 2}, {cx, cy - 2}, {cx, cy - 7}, {cx + 7, cy},
                         {cx, cy + 7},     {cx, cy + 2}, {cx - 7, cy + 2}};
  canvas->Polygon(arrow, 7);
}

class TKoDemoForm : public TForm {
public:
  explicit TKoDemoForm(TComponent* owner) : TForm(owner)
  {
    Scaled = false;
    SetCaption("Skinned buttons");
    SetBorderStyle(bsSingle);
    SetColor(static_cast<TColor>(kPanel));
    SetClientSize(460, 190);
    SetBounds(100, 100, GetWidth(), GetHeight());
    GetFont()->SetHeight(-13);

    const char* looks[] = {"Raised", "Focused", "Sunken", "Disabled"};
    for (int column = 0; column < 4; ++column) {
      auto* header = new TLabel(this);
      header->SetAutoSize(false);
      header->SetBounds(ColumnLeft(column), 14, 100, 18);
      header->SetAlignment(taCenter);
      header->SetTransparent(true);
      header->GetFont()->SetStyle({fsBold});
      header->GetFont()->SetColor(static_cast<TColor>(RGB(80, 88, 104)));
      header->SetCaption(looks[column]);
      header->SetParent(this);

      m_arrows[column] = MakeArrowButton(column);
      m_texts[column] = MakeTextButton(column);
    }

    m_status = new TLabel(this);
    m_status->SetAutoSize(false);
    m_status->SetBounds(10, 160, 440, 20);
    m_status->SetAlignment(taCenter);
    m_status->SetTransparent(true);
    m_status->GetFont()->SetColor(static_cast<TColor>(RGB(96, 104, 120)));
    m_status->SetCaption("Point at or press the buttons in the first column.");
    m_status->SetParent(this);
  }

  // Puts the other columns into their looks once the windows exist.
  void ShowLooks()
  {
    for (KoButton* button : {m_arrows[1], static_cast<KoButton*>(m_texts[1])})
      button->ShowFocused();
    for (KoButton* button : {m_arrows[2], static_cast<KoButton*>(m_texts[2])})
      button->ShowSunken();
  }

private:
  static int ColumnLeft(int column) { return 10 + column * 110; }

  KoButton* MakeArrowButton(int column)
  {
    auto* button = new KoButton(this);
    button->SetBounds(ColumnLeft(column) + 35, 44, 30, 30);
    TBitmap face;
    for (TFaceLook look : {flRaised, flSunken, flFocused, flDisabled}) {
      PaintFace(face, 30, 30, 15, look, kPanel);
      PaintArrow(face, look);
      button->SetStatePicture(&face, look);
    }
    Finish(button, column);
    return button;
  }

  KoButtonTx* MakeTextButton(int column)
  {
    auto* button = new KoButtonTx(this);
    button->SetBounds(ColumnLeft(column) + 10, 96, 80, 30);
    TBitmap face;
    for (TFaceLook look : {flRaised, flSunken, flFocused, flDisabled}) {
      PaintFace(face, 80, 30, 15, look, kPanel);
      button->SetStatePicture(&face, look);
    }
    button->GetFont()->SetHeight(-14);
    button->GetFont()->SetStyle({fsBold});
    button->GetFont()->SetColor(kBlue);
    button->GetFontColors()->SetFocused(static_cast<TColor>(RGB(30, 96, 200)));
    button->GetFontColors()->SetSunken(static_cast<TColor>(RGB(40, 80, 150)));
    button->SetCaption("OK");
    Finish(button, column);
    return button;
  }

  void Finish(KoButton* button, int column)
  {
    button->SetTransparent(true);
    button->SetEnabled(column != 3);
    button->OnClick = TNotifyEvent(this, &TKoDemoForm::ButtonClick);
    button->SetParent(this);
  }

  void ButtonClick(TObject* sender)
  {
    m_clicks += 1;
    const bool text = dynamic_cast<KoButtonTx*>(sender) != nullptr;
    m_status->SetCaption(std::string(text ? "OK" : "The arrow") + " clicked (" + std::to_string(m_clicks) +
                         (m_clicks == 1 ? " click)." : " clicks)."));
  }

  KoButton* m_arrows[4] = {};
  KoButtonTx* m_texts[4] = {};
  TLabel* m_status = nullptr;
  int m_clicks = 0;
};

void CALLBACK QuitNow(HWND, UINT, UINT_PTR, DWORD)
{
  Application->Terminate();
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
  const std::vector<std::string> params = SplitCommandLine(GetCommandLineA());
  for (size_t i = 1; i + 1 < params.size(); ++i) {
    if (params[i] == "-quit")
      SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(params[i + 1].c_str())) * 1000u, QuitNow);
  }
  try {
    Application->Initialize();
    Application->SetTitle("Skinned buttons");
    TKoDemoForm* form = nullptr;
    Application->CreateForm(form);
    form->Show();
    Application->ProcessMessages();
    form->ShowLooks();
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  return 0;
}
