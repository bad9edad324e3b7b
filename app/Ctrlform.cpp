#include "Ctrlform.h"

#include "BiosInterface.h"
#include "Main.h"
#include "PngReader.h"
#include "Scaling.h"

#include "KoButton.h"
#include "KoButtonTx.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "Colors.h"
#include "ExtCtrls.h"
#include "Picture.h"
#include "StdCtrls.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr TColor kLevelBlue = static_cast<TColor>(14845254); // RGB(70, 133, 226)
constexpr TColor kKeyColor = static_cast<TColor>(RGB(255, 0, 255));
constexpr int kFaceWidth = 345;
constexpr int kFaceHeight = 348;

const TFontStyles kBiosLevelStyle{fsBold, fsUnderline};
const TFontStyles kOtherLevelStyle{fsBold};

// The layout's fonts: heights asked for, the heights the bitmap font is drawn at and the widest texts'
// widths, all at 96 ppi; and their heights at the current scale.
constexpr int kLevelFontHeight = -20;
constexpr int kQuestionFontHeight = -13;
constexpr int kCaptionFontHeight = -11;
int LevelFontHeight()
{
  return ScaleFontHeight(kLevelFontHeight, 16);
}
int QuestionFontHeight()
{
  return ScaleFontHeight(kQuestionFontHeight, 13, kRestartQuestion, 207);
}
int CaptionFontHeight()
{
  return ScaleFontHeight(kCaptionFontHeight, 11, "Cancel", 33);
}

struct TButtonSkins {
  const char* Raised;
  const char* Sunken;
  const char* Focused;
  const char* Disabled;
};
constexpr TButtonSkins kPrevSkins{"left_n.png", "left_d.png", "left_o.png", "left_un.png"};
constexpr TButtonSkins kNextSkins{"right_n.png", "right_d.png", "right_o.png", "right_un.png"};
// OK and Cancel share one face; their captions tell them apart.
constexpr TButtonSkins kTextSkins{"yes_n.png", "yes_d.png", "yes_o.png", ""};

// Blend of one channel: bg * (1 - a) + c * a, truncated.
inline uint8_t BlendChannel(uint8_t background, uint8_t colour, double a)
{
  return static_cast<uint8_t>(static_cast<int>(background * (1.0 - a) + colour * a));
}

// The level's name on one line: a name too long for the label ends in an ellipsis instead of being cut at
// both sides of the centred text.
class TLevelLabel : public TLabel {
public:
  using TLabel::TLabel;

protected:
  void DoDrawText(HDC dc, TRect& rect, UINT flags) override
  {
    if (!(flags & DT_CALCRECT))
      flags |= DT_END_ELLIPSIS;
    TLabel::DoDrawText(dc, rect, flags);
  }
};

} // namespace

TControlForm* ControlForm = nullptr;

// --- skin composition ---

void BlendSkin(TBitmap& skin, TBitmap& background, int left, int top)
{
  const int width = skin.GetWidth();
  const int height = skin.GetHeight();
  const int backgroundWidth = background.Empty() ? 0 : background.GetWidth();
  const int backgroundHeight = background.Empty() ? 0 : background.GetHeight();
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(skin.ScanLine(y));
    const int backgroundY = top + y;
    const bool rowInside = backgroundY >= 0 && backgroundY < backgroundHeight;
    const uint8_t* backgroundRow = rowInside ? static_cast<const uint8_t*>(background.ScanLine(backgroundY)) : nullptr;
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = row + 4 * x;
      const double a = pixel[3] / 255.0;
      const int backgroundX = left + x;
      const bool inside = backgroundRow && backgroundX >= 0 && backgroundX < backgroundWidth;
      for (int channel = 0; channel < 3; ++channel) {
        const uint8_t under = inside ? backgroundRow[4 * backgroundX + channel] : 0;
        pixel[channel] = BlendChannel(under, pixel[channel], a);
      }
      pixel[3] = 0;
    }
  }
  skin.Changed();
}

namespace {

// A skin file decoded and premultiplied once, known by its path, last write time and size. Every step of
// the dialog composes the button looks anew over the new frame, and decoding was most of that work; a file
// changed on disk is decoded again. Kept as pixels, not bitmaps, so the cache holds no GDI objects.
struct TDecodedSkin {
  FILETIME Written{};
  DWORD SizeHigh = 0;
  DWORD SizeLow = 0;
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
};

// Never destroyed: the process may end with windows still composing.
std::map<std::wstring, TDecodedSkin>& DecodedSkins()
{
  static auto* skins = new std::map<std::wstring, TDecodedSkin>;
  return *skins;
}

bool SameFile(const TDecodedSkin& skin, const WIN32_FILE_ATTRIBUTE_DATA& info)
{
  return CompareFileTime(&skin.Written, &info.ftLastWriteTime) == 0 && skin.SizeHigh == info.nFileSizeHigh &&
         skin.SizeLow == info.nFileSizeLow;
}

// The skin file as LoadPngFile and PremultiplyAlpha make it, into a 32-bit `skin`.
void LoadPremultipliedSkin(const std::wstring& path, TBitmap& skin)
{
  WIN32_FILE_ATTRIBUTE_DATA info{};
  const bool known = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info) != 0;
  auto& cache = DecodedSkins();
  const auto found = cache.find(path);
  if (known && found != cache.end() && SameFile(found->second, info)) {
    const TDecodedSkin& decoded = found->second;
    skin.SetSize(decoded.Width, decoded.Height);
    const size_t rowBytes = 4 * static_cast<size_t>(decoded.Width);
    for (int y = 0; y < decoded.Height; ++y)
      std::memcpy(skin.ScanLine(y), decoded.Pixels.data() + y * rowBytes, rowBytes);
    return;
  }
  LoadPngFile(path, skin);
  PremultiplyAlpha(skin);
  if (!known || skin.Empty() || skin.GetPixelFormat() != pf32bit)
    return;
  TDecodedSkin decoded;
  decoded.Written = info.ftLastWriteTime;
  decoded.SizeHigh = info.nFileSizeHigh;
  decoded.SizeLow = info.nFileSizeLow;
  decoded.Width = skin.GetWidth();
  decoded.Height = skin.GetHeight();
  const size_t rowBytes = 4 * static_cast<size_t>(decoded.Width);
  decoded.Pixels.resize(rowBytes * static_cast<size_t>(decoded.Height));
  for (int y = 0; y < decoded.Height; ++y)
    std::memcpy(decoded.Pixels.data() + y * rowBytes, skin.ScanLine(y), rowBytes);
  cache[path] = std::move(decoded);
}

} // namespace

void ComposeSkinFile(const std::string& path, TBitmap* target, TBitmap& background, int left, int top)
{
  ComposeSkinFile(WidePath(path), target, background, left, top);
}

void ComposeSkinFile(const std::wstring& path, TBitmap* target, TBitmap& background, int left, int top)
{
  TBitmap skin;
  target->SetPixelFormat(pf32bit);
  background.SetPixelFormat(pf32bit);
  skin.SetPixelFormat(pf32bit);
  LoadPremultipliedSkin(path, skin);
  BlendSkin(skin, background, left, top);
  target->Assign(&skin);
}

void ComposeSkin(const std::string& fileName, TBitmap* target, int left, int top)
{
  ComposeSkinFile(SkinSetPath(fileName), target, *MainForm->Background->GetPicture()->GetBitmap(), left, top);
}

void LoadButtonSkins(KoFourStateAppearance* appearance, int left, int top, const std::string& raised,
                     const std::string& sunken, const std::string& focused, const std::string& disabled)
{
  if (!raised.empty())
    ComposeSkin(raised, appearance->GetRaisedBmp(), left, top);
  if (!sunken.empty())
    ComposeSkin(sunken, appearance->GetSunkenBmp(), left, top);
  if (!focused.empty())
    ComposeSkin(focused, appearance->GetFocusedBmp(), left, top);
  if (!disabled.empty())
    ComposeSkin(disabled, appearance->GetDisabledBmp(), left, top);
}

// --- TControlForm ---

TControlForm::TControlForm(TComponent* AOwner) : TForm(AOwner)
{
  CreateComponents();
  SetDoubleBuffered(true);

  // Both windows share their top-left corner, so a button's place on the dialog is its place on the
  // main picture.
  SetBounds(MainForm->GetLeft(), MainForm->GetTop(), GetWidth(), GetHeight());
  PlaceComponents(StartUpExtrasLater());

  // The key is the picture's bottom-left pixel: the whole face goes.
  FShapeMaker.SetUseColorKey(true);
  FShapeMaker.Attach(Background);

  if (HasLevelItem() && HasCompanionItem()) {
    LoadLevelNames(LevelNames, FSelectedLevel); // without names the level is unknown
    FCurrentLevel = FSelectedLevel;
  }
  FAccess.Attach();
  ShowSelectedLevel();
}

std::vector<TControlForm::TButtonPlace> TControlForm::ButtonPlaces() const
{
  return {
      {PrevButton, 70, 177, kPrevSkins.Raised, {kPrevSkins.Sunken, kPrevSkins.Focused, kPrevSkins.Disabled}},
      {NextButton, 282, 177, kNextSkins.Raised, {kNextSkins.Sunken, kNextSkins.Focused, kNextSkins.Disabled}},
      {OkButton, 101, 261, kTextSkins.Raised, {kTextSkins.Sunken, kTextSkins.Focused, kTextSkins.Disabled}},
      {CancelButton, 205, 261, kTextSkins.Raised, {kTextSkins.Sunken, kTextSkins.Focused, kTextSkins.Disabled}},
  };
}

void TControlForm::PlaceComponents(bool laterLooks)
{
  // A button takes the size of its raised picture, which comes in the set of the current scale.
  for (const TButtonPlace& entry : ButtonPlaces()) {
    entry.Button->SetBounds(ScaleLength(entry.Left), ScaleLength(entry.Top), entry.Button->GetWidth(), entry.Button->GetHeight());
    if (!laterLooks) {
      LoadButtonSkins(entry.Button->GetAppearance(), entry.Button->GetLeft(), entry.Button->GetTop(), entry.Raised,
                      entry.Others[0], entry.Others[1], entry.Others[2]);
      continue;
    }
    LoadButtonSkins(entry.Button->GetAppearance(), entry.Button->GetLeft(), entry.Button->GetTop(), entry.Raised, "",
                    "", "");
    // A missing file still ends start-up before any window shows, as it would if composed now.
    for (const char* other : entry.Others) {
      if (*other)
        CheckFileOpens(SkinSetPath(other));
    }
  }
  FLaterLooksPending = laterLooks;
  CpuLabel->SetBounds(ScaleLength(90), ScaleLength(100), CpuLabel->GetWidth(), CpuLabel->GetHeight());
  MsgLabel->SetBounds(ScaleLength(94), ScaleLength(150), MsgLabel->GetWidth(), MsgLabel->GetHeight());
}

void TControlForm::ComposeLaterLooks()
{
  if (!FLaterLooksPending)
    return;
  FLaterLooksPending = false;
  for (const TButtonPlace& entry : ButtonPlaces())
    LoadButtonSkins(entry.Button->GetAppearance(), entry.Button->GetLeft(), entry.Button->GetTop(), "",
                    entry.Others[0], entry.Others[1], entry.Others[2]);
}

void TControlForm::Rescale()
{
  FillFace();
  GetFont()->SetName(DialogFontName());
  GetFont()->SetHeight(CaptionFontHeight());
  const struct {
    TLabel* Label;
    int Width;
    int Height;
  } labels[] = {{CpuLabel, 225, 24}, {MsgLabel, 210, 36}};
  for (const auto& entry : labels) {
    entry.Label->SetBounds(entry.Label->GetLeft(), entry.Label->GetTop(), ScaleLength(entry.Width), ScaleLength(entry.Height));
    entry.Label->GetFont()->SetName(DialogFontName());
  }
  CpuLabel->GetFont()->SetHeight(LevelFontHeight());
  MsgLabel->GetFont()->SetHeight(QuestionFontHeight());
  for (KoButtonTx* button : {OkButton, CancelButton}) {
    button->GetFont()->SetName(DialogFontName());
    button->GetFont()->SetHeight(CaptionFontHeight());
    button->SetDisp(ScaleLength(2), ScaleLength(2));
  }
  PlaceComponents();
  FShapeMaker.Reapply();
}

void TControlForm::FillFace()
{
  TBitmap* face = Background->GetPicture()->GetBitmap();
  face->SetSize(ScaleLength(kFaceWidth), ScaleLength(kFaceHeight));
  face->GetCanvas()->GetBrush()->SetColor(kKeyColor);
  face->GetCanvas()->FillRect(Rect(0, 0, ScaleLength(kFaceWidth), ScaleLength(kFaceHeight)));
}

void TControlForm::CreateComponents()
{
  SetBorderStyle(bsNone);
  SetCaption("cpuvantorControlForm");
  Scaled = false;
  GetFont()->SetName(DialogFontName());
  GetFont()->SetHeight(CaptionFontHeight());
  SetClientSize(352, 358);
  OnActivate = TNotifyEvent(this, &TControlForm::FormActivate);
  OnShow = TNotifyEvent(this, &TControlForm::FormShow);

  Background = new TImage(this);
  Background->SetName("Background");
  Background->SetBounds(0, 0, ScaleLength(kFaceWidth), ScaleLength(kFaceHeight));
  Background->GetPicture()->GetBitmap()->SetPixelFormat(pf24bit);
  FillFace();
  Background->SetParent(this);

  // Both labels lie on the key colour: smoothed edges would be blended with it and show as a fringe.
  const auto makeLabel = [this](TLabel* label, const char* name, int left, int top, int width, int height,
                                int fontHeight, TColor color) {
    label->SetName(name);
    label->SetAutoSize(false);
    label->SetBounds(left, top, ScaleLength(width), ScaleLength(height));
    label->SetAlignment(taCenter);
    label->SetTransparent(true);
    label->GetFont()->SetName(DialogFontName());
    label->GetFont()->SetHeight(fontHeight);
    label->GetFont()->SetColor(color);
    label->GetFont()->SetQuality(fqNonAntialiased);
    label->SetCaption(name);
    label->SetParent(this);
    return label;
  };
  CpuLabel = makeLabel(new TLevelLabel(this), "CpuLabel", 76, 72, 225, 24, LevelFontHeight(), kLevelBlue);
  CpuLabel->SetLayout(tlCenter);
  CpuLabel->GetFont()->SetStyle(kBiosLevelStyle);
  MsgLabel = makeLabel(new TLabel(this), "MsgLabel", 70, 144, 210, 36, QuestionFontHeight(), clRed);
  MsgLabel->SetVisible(false);

  const auto makeTextButton = [this](const char* name, const char* caption, int left, int tabOrder,
                                     void (TControlForm::*click)(TObject*)) {
    auto* button = new KoButtonTx(this);
    button->SetName(name);
    button->SetBounds(left, 184, 50, 30);
    button->SetCaption(caption);
    button->GetFont()->SetName(DialogFontName());
    button->GetFont()->SetHeight(CaptionFontHeight());
    button->SetDisp(ScaleLength(2), ScaleLength(2));
    button->GetFont()->SetColor(kLevelBlue);
    button->OnClick = TNotifyEvent(this, click);
    button->SetParent(this);
    button->SetTabOrder(tabOrder);
    return button;
  };
  OkButton = makeTextButton("OkButton", "OK", 104, 0, &TControlForm::OkButtonClick);
  CancelButton = makeTextButton("CancelButton", "Cancel", 200, 1, &TControlForm::CancelButtonClick);

  const auto makeArrowButton = [this](const char* name, int left, int tabOrder, void (TControlForm::*click)(TObject*)) {
    auto* button = new KoButton(this);
    button->SetName(name);
    button->SetBounds(left, 144, 30, 30);
    button->OnClick = TNotifyEvent(this, click);
    button->SetParent(this);
    button->SetTabOrder(tabOrder);
    return button;
  };
  PrevButton = makeArrowButton("PrevButton", 64, 2, &TControlForm::PrevButtonClick);
  NextButton = makeArrowButton("NextButton", 256, 3, &TControlForm::NextButtonClick);
  FKeys.Attach(this, {PrevButton, NextButton, OkButton, CancelButton});
}

TControlForm::~TControlForm()
{
  if (ControlForm == this)
    ControlForm = nullptr;
}

void TControlForm::CreateParams(TCreateParams& Params)
{
  TForm::CreateParams(Params);
  // An owned pop-up of the main window: above it, without a taskbar button of its own.
  Params.Style |= WS_POPUP;
  if (MainForm)
    Params.WndParent = MainForm->GetHandle();
}

void TControlForm::ShowSelectedLevel()
{
  // A level the BIOS holds but does not list is not one of the names, whatever the label showed before.
  const bool listed = FSelectedLevel < LevelNames.size();
  CpuLabel->SetCaption(listed ? LevelNames[FSelectedLevel] : kUnknownLevel);
  CpuLabel->GetFont()->SetStyle(listed && FSelectedLevel == FCurrentLevel ? kBiosLevelStyle : kOtherLevelStyle);
  FAccess.LevelShown();
}

void TControlForm::ShowBiosLevel()
{
  ReadLevel(FSelectedLevel); // an unreadable level leaves the selection as it was
  FCurrentLevel = FSelectedLevel;
  ShowSelectedLevel();
}

void TControlForm::FormShow(TObject* /*Sender*/)
{
  // A user who called the dialog up with the pointer sees no focus until a key is used; the keyboard
  // starts again at the first button.
  FKeys.Forget();
  FKeys.ShowFocus(false);
  SetActiveControl(nullptr);
  ShowBiosLevel();
}

void TControlForm::TakeFocus()
{
  if (!GetVisible() || !HandleAllocated())
    return;
  // Refused while another program is in front and has not let this one take it; the system then only
  // marks the window, and the focus comes with the user's next click on it.
  if (GetForegroundWindow() != GetHandle())
    SetForegroundWindow(GetHandle());
}

void TControlForm::ShowFocusCues()
{
  FKeys.ShowFocus(true);
}

// A selection made with Prev and Next is dropped whenever the dialog is activated anew: it shows the
// level the BIOS holds again.
void TControlForm::FormActivate(TObject* /*Sender*/)
{
  FKeys.Forget();
  ShowBiosLevel();
}

void TControlForm::SelectionStepped()
{
  ShowSelectedLevel();
  MainForm->SetBackground(false);
  ReloadSkins(false);
}

void TControlForm::PrevButtonClick(TObject* /*Sender*/)
{
  const DWORD count = static_cast<DWORD>(LevelNames.size());
  // Stepped as a signed number: below 0 (or from beyond the signed range) it wraps to the last level.
  if (FSelectedLevel == 0 || FSelectedLevel > static_cast<DWORD>(INT32_MAX))
    FSelectedLevel = count - 1;
  else
    --FSelectedLevel;
  SelectionStepped();
}

void TControlForm::NextButtonClick(TObject* /*Sender*/)
{
  const DWORD count = static_cast<DWORD>(LevelNames.size());
  ++FSelectedLevel;
  if (FSelectedLevel > count - 1)
    FSelectedLevel = 0;
  SelectionStepped();
}

void TControlForm::SetNormalMode()
{
  PrevButton->SetVisible(true);
  NextButton->SetVisible(true);
  OkButton->SetText("OK");
  CancelButton->SetText("Cancel");
  MsgLabel->SetVisible(false);
  FAccess.QuestionHidden();
}

void TControlForm::SetQuestionMode()
{
  PrevButton->SetVisible(false);
  NextButton->SetVisible(false);
  OkButton->SetText("Yes");
  CancelButton->SetText("No");
  MsgLabel->SetCaption(kRestartQuestion);
  MsgLabel->SetVisible(true);
  FAccess.QuestionShown();
}

void TControlForm::LevelRefused()
{
  ShowBiosLevel();
  TellUser(GetHandle(), kLevelNotApplied, MB_ICONWARNING);
}

void TControlForm::OkButtonClick(TObject* /*Sender*/)
{
  const std::string caption = OkButton->GetText();
  if (caption == "Yes") {
    MainForm->SetBackground(false);
    SetNormalMode();
    // Only an accepted level is worth a restart; without it nothing closes.
    if (!ApplyLevel(FSelectedLevel)) {
      ReloadSkins(false);
      LevelRefused();
      return;
    }
    if (!MainForm->RequestRestart())
      MainForm->LevelPendingRestart();
    return;
  }
  if (caption != "OK")
    return;
  bool needsRestart = false;
  LevelNeedsRestart(FSelectedLevel, needsRestart);
  if (needsRestart) {
    MainForm->SetBackground(true);
    SetQuestionMode();
    ReloadSkins(false);
    return;
  }
  if (!ApplyLevel(FSelectedLevel)) {
    LevelRefused();
    return;
  }
  MainForm->HideForms();
}

void TControlForm::CancelButtonClick(TObject* /*Sender*/)
{
  const std::string caption = CancelButton->GetText();
  if (caption == "No") {
    // The selection stays; nothing is written.
    MainForm->SetBackground(false);
    SetNormalMode();
    ReloadSkins(false);
    return;
  }
  // The selection is not reset here: the next show reads the BIOS again.
  if (caption == "Cancel")
    MainForm->HideForms();
}

void TControlForm::ReloadSkins(bool normalOnly)
{
  const struct {
    KoButton* Button;
    TButtonSkins Skins;
  } buttons[] = {
      {PrevButton, kPrevSkins},
      {NextButton, kNextSkins},
      {OkButton, kTextSkins},
      {CancelButton, kTextSkins},
  };
  // The picture first: it is what the user waits for. Each button repaints as its raised look is composed,
  // which costs far more than the push; done first, those repaints would hold the new picture back.
  MainForm->RefreshShape();
  for (const auto& entry : buttons)
    LoadButtonSkins(entry.Button->GetAppearance(), entry.Button->GetLeft(), entry.Button->GetTop(), entry.Skins.Raised,
                    "", "", "");
  if (normalOnly)
    return;
  for (const auto& entry : buttons)
    LoadButtonSkins(entry.Button->GetAppearance(), entry.Button->GetLeft(), entry.Button->GetTop(), "",
                    entry.Skins.Sunken, entry.Skins.Focused, entry.Skins.Disabled);
}

void TControlForm::SetOpacity(BYTE alpha, bool enableAlpha)
{
  FShapeMaker.SetAlpha(alpha);
  if (enableAlpha)
    FShapeMaker.SetUseAlpha(true);
  // The raised pictures follow the main picture at the start of a fade-in.
  if (alpha == 1)
    ReloadSkins(true);
  FShapeMaker.Reapply();
}
