// Every control of the skinned package on one form, with pictures drawn for the purpose: picture and text
// buttons, icon and text bricks, check boxes (one cycling through its three states), and a horizontal and
// a vertical bar that move together and drive the value shown beside them. Under Wine, run it on a
// display and take a screenshot.
//   kogallery [-quit N]   closes it after N seconds
#include "GalleryArt.h"

#include "KoBar.h"
#include "KoBrick.h"
#include "KoBrickTx.h"
#include "KoButton.h"
#include "KoButtonTx.h"
#include "KoCheckBox.h"
#include "KoNumLed.h"

#include "DateUtils.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "SysUtils.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace gallery;

namespace {

constexpr int kClientWidth = 664;
constexpr int kClientHeight = 452;
constexpr UINT_PTR kClockTimer = 1;

// The cards, in client coordinates.
constexpr RECT kButtonsCard{16, 64, 324, 182};
constexpr RECT kBricksCard{340, 64, 648, 182};
constexpr RECT kCheckCard{16, 196, 324, 314};
constexpr RECT kBarsCard{340, 196, 648, 420};
constexpr RECT kReadoutCard{16, 328, 324, 420};
// Where the read-outs go: the value the bars drive, the time and the date.
constexpr RECT kValueField{356, 300, 598, 364};
constexpr RECT kTimeField{32, 362, 166, 406};
constexpr RECT kDateField{176, 362, 308, 406};

// The bars: the horizontal one's track, the vertical one's, and the indicator's travel on each.
constexpr int kHorzWidth = 242;
constexpr int kHorzHeight = 30;
constexpr int kVertWidth = 30;
constexpr int kVertHeight = 176;
constexpr int kKnobLong = 24;
constexpr int kKnobShort = 16;
constexpr int kHorzFrom = 12;
constexpr int kHorzTo = kHorzWidth - 12;
constexpr int kVertFrom = 12;
constexpr int kVertTo = kVertHeight - 12;

const TColor kInk = static_cast<TColor>(RGB(56, 64, 82));
const TColor kSubtle = static_cast<TColor>(RGB(118, 126, 142));
const TColor kBlueText = static_cast<TColor>(RGB(46, 104, 200));

const char* StateName(TCheckBoxState state)
{
  return state == cbChecked ? "checked" : state == cbGrayed ? "grayed" : "unchecked";
}

class TGalleryForm : public TForm {
public:
  explicit TGalleryForm(TComponent* owner) : TForm(owner)
  {
    Scaled = false;
    SetCaption("Skinned control package");
    SetBorderStyle(bsSingle);
    SetClientSize(kClientWidth, kClientHeight);
    SetBounds(60, 60, GetWidth(), GetHeight());
    GetFont()->SetName("Tahoma");
    GetFont()->SetHeight(-12);
    GetFont()->SetColor(kInk);
    SetShowHint(true);

    auto* background = new TImage(this);
    PaintBackground(*background->GetPicture()->GetBitmap(), kClientWidth, kClientHeight,
                    {kButtonsCard, kBricksCard, kCheckCard, kBarsCard, kReadoutCard},
                    {kValueField, kTimeField, kDateField});
    background->SetBounds(0, 0, kClientWidth, kClientHeight);
    background->SetParent(this);

    AddLabel("Skinned control package", 20, 14, 400, 22, -17, true, kInk);
    AddLabel("Every control of the package on pictures drawn for it. Point at them, press, drag the bars.", 20,
             38, 620, 18, -12, false, kSubtle);
    MakeButtons();
    MakeBricks();
    MakeCheckBoxes();
    MakeBars();
    MakeReadouts();
    m_status = AddLabel("", 20, 428, 620, 18, -12, false, kSubtle);
    ShowValue(64);
    Tick();
  }

  // Once the window is shown: the focused look on one control, and the clock.
  void Start()
  {
    m_focusedBrick->SetFocus();
    SetTimer(GetHandle(), kClockTimer, 1000, nullptr);
    Status("Ready.");
  }

protected:
  void WndProc(TMessage& Message) override
  {
    if (Message.Msg == WM_TIMER && Message.WParam == kClockTimer) {
      Tick();
      Message.Result = 0;
      return;
    }
    TForm::WndProc(Message);
  }

private:
  TLabel* AddLabel(const std::string& text, int left, int top, int width, int height, int fontHeight, bool bold,
                   TColor color, TAlignment alignment = taLeftJustify)
  {
    auto* label = new TLabel(this);
    label->SetAutoSize(false);
    label->SetTransparent(true);
    label->SetBounds(left, top, width, height);
    label->SetAlignment(alignment);
    label->GetFont()->SetName("Tahoma");
    label->GetFont()->SetHeight(fontHeight);
    label->GetFont()->SetColor(color);
    if (bold)
      label->GetFont()->SetStyle({fsBold});
    label->SetCaption(text);
    label->SetParent(this);
    return label;
  }

  void CardTitle(const RECT& card, const std::string& title)
  {
    AddLabel(title, card.left + 14, card.top + 10, 200, 18, -13, true, kInk);
  }

  template <typename T>
  T* Place(T* control, int left, int top)
  {
    control->SetLeft(left);
    control->SetTop(top);
    control->SetTransparent(true);
    control->SetParent(this);
    return control;
  }

  // --- buttons ---

  void MakeButtons()
  {
    const RECT& card = kButtonsCard;
    CardTitle(card, "Buttons");
    for (int arrow : {-1, 1}) {
      auto* button = new KoButton(this);
      TBitmap face;
      const TLook looks[] = {lkNormal, lkSunken, lkFocused, lkDisabled};
      for (int state = 0; state < 4; ++state) {
        PaintButtonFace(face, 32, 32, looks[state], arrow);
        button->SetStatePicture(&face, state);
      }
      button->SetTabStop(true);
      (arrow < 0 ? m_prev : m_next) = button;
      button->OnClick = TNotifyEvent(this, &TGalleryForm::ArrowClick);
      Place(button, card.left + (arrow < 0 ? 18 : 58), card.top + 42);
    }
    const char* captions[] = {"Apply", "Cancel"};
    for (int i = 0; i < 2; ++i) {
      auto* button = new KoButtonTx(this);
      TBitmap face;
      const TLook looks[] = {lkNormal, lkSunken, lkFocused, lkDisabled};
      for (int state = 0; state < 4; ++state) {
        PaintButtonFace(face, 88, 30, looks[state], 0);
        button->SetStatePicture(&face, state);
      }
      button->GetFont()->SetName("Tahoma");
      button->GetFont()->SetHeight(-13);
      button->GetFont()->SetStyle({fsBold});
      button->GetFont()->SetColor(kBlueText);
      button->GetFontColors()->SetSunken(static_cast<TColor>(RGB(30, 70, 150)));
      button->SetCaption(captions[i]);
      button->SetTabStop(true);
      button->OnClick = TNotifyEvent(this, &TGalleryForm::TextButtonClick);
      Place(button, card.left + 108 + i * 96, card.top + 43);
    }
    AddLabel("The arrows step the value by ten.", card.left + 16, card.top + 88, 280, 18, -11, false, kSubtle);
  }

  // --- bricks ---

  void MakeBricks()
  {
    const RECT& card = kBricksCard;
    CardTitle(card, "Bricks");
    const char* names[] = {"Processor", "Power", "Temperature"};
    for (int icon = 0; icon < 3; ++icon) {
      auto* brick = new KoBrick(this);
      TBitmap face;
      const TLook looks[] = {lkNormal, lkFocused, lkDisabled};
      for (int state = 0; state < 3; ++state) {
        PaintIconTile(face, 44, looks[state], icon);
        brick->SetStatePicture(&face, state);
      }
      brick->SetHint(names[icon]);
      brick->OnClick = TNotifyEvent(this, &TGalleryForm::BrickClick);
      brick->OnDblClick = TNotifyEvent(this, &TGalleryForm::BrickDblClick);
      Place(brick, card.left + 16 + icon * 52, card.top + 38);
      brick->SetEnabled(icon != 2);
    }
    const char* captions[] = {"Balanced", "Whisper quiet"};
    for (int i = 0; i < 2; ++i) {
      auto* brick = new KoBrickTx(this);
      TBitmap face;
      const TLook looks[] = {lkNormal, lkFocused, lkDisabled};
      for (int state = 0; state < 3; ++state) {
        PaintTextTile(face, 118, 30, looks[state]);
        brick->SetStatePicture(&face, state);
      }
      brick->GetFont()->SetName("Tahoma");
      brick->GetFont()->SetHeight(-12);
      brick->GetFont()->SetColor(kInk);
      brick->GetFontColors()->SetFocused(kBlueText);
      brick->SetCaption(captions[i]);
      brick->SetTabStop(true);
      brick->SetHint(captions[i]);
      brick->OnClick = TNotifyEvent(this, &TGalleryForm::BrickClick);
      Place(brick, card.left + 176, card.top + 34 + i * 38);
      if (i == 0)
        m_focusedBrick = brick;
    }
    AddLabel("Never pressed.", card.left + 16, card.top + 90, 150, 18, -11, false, kSubtle);
  }

  // --- check boxes ---

  KoCheckBox* MakeCheckBox(int left, int top, const std::string& caption, TCheckBoxState state, bool enabled)
  {
    auto* box = new KoCheckBox(this);
    TBitmap face;
    const TLook looks[] = {lkNormal, lkSunken, lkFocused, lkDisabled};
    for (int group = 0; group < 3; ++group) {
      for (int look = 0; look < 4; ++look) {
        PaintCheckFace(face, 20, group, looks[look]);
        box->SetStatePicture(&face, group * 4 + look);
      }
    }
    box->SetAllowGrayed(true);
    box->SetState(state);
    box->SetTabStop(true);
    box->OnClick = TNotifyEvent(this, &TGalleryForm::CheckClick);
    Place(box, left, top);
    box->SetEnabled(enabled);
    TLabel* label = AddLabel(caption, left + 28, top + 2, 110, 18, -12, false, enabled ? kInk : kSubtle);
    box->SetHint(caption);
    m_checkLabels.push_back(label);
    return box;
  }

  void MakeCheckBoxes()
  {
    const RECT& card = kCheckCard;
    CardTitle(card, "Check box");
    MakeCheckBox(card.left + 18, card.top + 40, "Fan boost", cbChecked, true);
    MakeCheckBox(card.left + 160, card.top + 40, "Silent fans", cbUnchecked, true);
    m_cycling = MakeCheckBox(card.left + 18, card.top + 72, "", cbGrayed, true);
    MakeCheckBox(card.left + 160, card.top + 72, "Turbo (locked)", cbChecked, false);
    m_cyclingLabel = m_checkLabels[2];
    UpdateCyclingLabel();
  }

  void UpdateCyclingLabel()
  {
    m_cyclingLabel->SetCaption(std::string("Auto: ") + StateName(m_cycling->GetState()));
  }

  // --- bars ---

  KoBar* MakeBar(bool vertical, int left, int top)
  {
    auto* bar = new KoBar(this);
    const int width = vertical ? kVertWidth : kHorzWidth;
    const int height = vertical ? kVertHeight : kHorzHeight;
    const int from = vertical ? kVertFrom : kHorzFrom;
    const int to = vertical ? kVertTo : kHorzTo;
    TBitmap picture;
    const TLook looks[] = {lkNormal, lkFocused, lkDisabled};
    for (int state = 0; state < 3; ++state) {
      PaintTrack(picture, width, height, vertical, from, to, (to - from) / 10, looks[state]);
      bar->SetStatePicture(&picture, state);
    }
    PaintKnob(picture, vertical ? kKnobLong : kKnobShort, vertical ? kKnobShort : kKnobLong);
    bar->SetIndicator(&picture);
    bar->IndicatorImage()->SetTransparent(true);
    bar->SetKind(vertical ? sbVertical : sbHorizontal);
    bar->SetLength(to - from);
    bar->GetOrigin()->SetX(vertical ? width / 2 : from);
    bar->GetOrigin()->SetY(vertical ? from : height / 2);
    bar->OnScroll = TKoBarScrollEvent(this, &TGalleryForm::BarScroll);
    bar->OnEndScroll = TNotifyEvent(this, &TGalleryForm::BarEndScroll);
    bar->SetLeft(left);
    bar->SetTop(top);
    bar->SetParent(this);
    return bar;
  }

  void MakeBars()
  {
    const RECT& card = kBarsCard;
    CardTitle(card, "Bars");
    m_horizontal = MakeBar(false, card.left + 14, card.top + 36);
    m_vertical = MakeBar(true, card.left + 264, card.top + 30);
    // Under the ends of the horizontal track's groove.
    AddLabel("0", card.left + 14 + kHorzFrom - 20, card.top + 68, 40, 16, -11, false, kSubtle, taCenter);
    AddLabel("100", card.left + 14 + kHorzTo - 20, card.top + 68, 40, 16, -11, false, kSubtle, taCenter);
    AddLabel("Value", card.left + 16, card.top + 86, 100, 16, -11, true, kSubtle);
    AddLabel("Either bar drives it; the other follows.", card.left + 16, card.top + 176, 240, 16, -11, false,
             kSubtle);
    AddLabel("OnScroll snaps both to whole percent.", card.left + 16, card.top + 192, 240, 16, -11, false, kSubtle);
  }

  // --- read-outs ---

  void MakeReadouts()
  {
    const RECT& card = kReadoutCard;
    CardTitle(card, "Time and date");
    // The per cent sign, which no glyph shows, follows the value's digits.
    RECT valueRoom = kValueField;
    valueRoom.right -= 36;
    m_value = AddReadout(valueRoom, "888", nledFloat, RGB(96, 190, 255), 8);
    AddLabel("%", m_value->GetLeft() + m_value->GetWidth() + 6, kValueField.top + 15, 36, 36, -28, true,
             static_cast<TColor>(RGB(96, 190, 255)));
    m_time = AddReadout(kTimeField, "HH.MM.SS", nledTime, RGB(120, 230, 150), 9);
    m_date = AddReadout(kDateField, "YYYY.MM.DD", nledDate, RGB(120, 230, 150), 9);
  }

  // A read-out keeping its glyphs' proportions, centred in `field` less `margin` on every side.
  KoNumLed* AddReadout(const RECT& field, const char* format, KoNumLedType type, COLORREF lit, int margin)
  {
    auto* led = new KoNumLed(this);
    led->SetFormat(format);
    led->SetType(type);
    KoLedColors* colors = led->GetLedColors();
    colors->SetLightColor(static_cast<TColor>(lit));
    // Unlit segments a faint trace of the lit colour on the face.
    colors->SetDarkColor(static_cast<TColor>(RGB((GetRValue(lit) + 5 * GetRValue(kReadoutFace)) / 6,
                                                 (GetGValue(lit) + 5 * GetGValue(kReadoutFace)) / 6,
                                                 (GetBValue(lit) + 5 * GetBValue(kReadoutFace)) / 6)));
    colors->SetBackgroundColor(static_cast<TColor>(kReadoutFace));
    led->SetKeepRatio(true);
    const int width = field.right - field.left - 2 * margin;
    const int height = field.bottom - field.top - 2 * margin;
    led->SetBounds(field.left + margin, field.top + margin, width, height);
    led->SetBounds(field.left + margin + (width - led->GetWidth()) / 2,
                   field.top + margin + (height - led->GetHeight()) / 2, led->GetWidth(), led->GetHeight());
    led->SetParent(this);
    return led;
  }

  // --- behaviour ---

  static int ValueOf(const KoBar* bar, int pos)
  {
    const int length = bar->GetLength();
    const int value = static_cast<int>(std::lround(pos * 100.0 / length));
    return bar->GetKind() == sbVertical ? 100 - value : value;
  }
  static int PosOf(const KoBar* bar, int value)
  {
    const int along = bar->GetKind() == sbVertical ? 100 - value : value;
    return static_cast<int>(std::lround(along * bar->GetLength() / 100.0));
  }

  void ShowValue(int value)
  {
    m_level = value;
    m_horizontal->SetScrollPos(PosOf(m_horizontal, value));
    m_vertical->SetScrollPos(PosOf(m_vertical, value));
    m_value->SetValue(static_cast<double>(value));
  }

  void BarScroll(TObject* sender, int& disp, bool /*direction*/)
  {
    auto* bar = static_cast<KoBar*>(sender);
    const int value = ValueOf(bar, disp);
    disp = PosOf(bar, value);  // whole steps only
    KoBar* other = bar == m_horizontal ? m_vertical : m_horizontal;
    other->SetScrollPos(PosOf(other, value));
    m_level = value;
    m_value->SetValue(static_cast<double>(value));
  }

  void BarEndScroll(TObject* sender)
  {
    Status(std::string(sender == m_horizontal ? "Horizontal" : "Vertical") + " bar dragged to " +
           std::to_string(m_level) + " %.");
  }

  void ArrowClick(TObject* sender)
  {
    const int step = sender == m_prev ? -10 : 10;
    ShowValue(std::max(0, std::min(100, m_level + step)));
    Status("Stepped the value to " + std::to_string(m_level) + " %.");
  }

  void TextButtonClick(TObject* sender)
  {
    Status(static_cast<KoButtonTx*>(sender)->GetCaption() + " clicked.");
  }

  void BrickClick(TObject* sender)
  {
    Status(static_cast<TControl*>(sender)->GetHint() + " brick clicked.");
  }

  void BrickDblClick(TObject* sender)
  {
    Status(static_cast<TControl*>(sender)->GetHint() + " brick double-clicked.");
  }

  void CheckClick(TObject* sender)
  {
    auto* box = static_cast<KoCheckBox*>(sender);
    if (box == m_cycling)
      UpdateCyclingLabel();
    const std::string name = box == m_cycling ? std::string("Auto") : box->GetHint();
    Status(name + " is now " + StateName(box->GetState()) + ".");
  }

  void Tick()
  {
    const TDateTime now = Now();
    m_time->SetValue(now);
    m_date->SetValue(now);
    if (m_started) {
      // Unchecked, grayed, checked, as its clicks go with grayed allowed.
      const TCheckBoxState next = m_cycling->GetState() == cbUnchecked ? cbGrayed
                                  : m_cycling->GetState() == cbGrayed  ? cbChecked
                                                                       : cbUnchecked;
      m_cycling->SetState(next);
      UpdateCyclingLabel();
    }
    m_started = true;
  }

  void Status(const std::string& text) { m_status->SetCaption(text); }

  KoButton* m_prev = nullptr;
  KoButton* m_next = nullptr;
  KoBar* m_horizontal = nullptr;
  KoBar* m_vertical = nullptr;
  KoCheckBox* m_cycling = nullptr;
  TLabel* m_cyclingLabel = nullptr;
  std::vector<TLabel*> m_checkLabels;
  KoBrickTx* m_focusedBrick = nullptr;
  KoNumLed* m_value = nullptr;
  KoNumLed* m_time = nullptr;
  KoNumLed* m_date = nullptr;
  TLabel* m_status = nullptr;
  int m_level = 0;
  bool m_started = false;
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
    Application->SetTitle("Skinned control package");
    TGalleryForm* form = nullptr;
    Application->CreateForm(form);
    form->Show();
    Application->ProcessMessages();
    form->Start();
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  return 0;
}
