// Dragging a bar's indicator across its whole length, from each pointer message to the repainted pixels,
// beside the bare copies the same picture change needs: per step, the track strip under the indicator's
// old place and the indicator at its new one, each a BitBlt to the bar's window; and again beside those
// blits plus the system calls each step cannot leave out (its floor).
#include "Bench.h"
#include "BenchSupport.h"

#include "Forms.h"
#include "Handles.h"
#include "KoBar.h"

#include <windows.h>

#include <string>

namespace {

using bench::Pump;

constexpr int kTrackWidth = 240;
constexpr int kTrackHeight = 24;
constexpr int kKnobWidth = 16;
constexpr int kKnobHeight = 20;
constexpr int kLength = kTrackWidth - kKnobWidth;

// A track with a vertical gradient and a darker groove, as a skin would have it.
void PaintTrack(TBitmap& bitmap)
{
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(kTrackWidth, kTrackHeight);
  TCanvas* canvas = bitmap.GetCanvas();
  for (int y = 0; y < kTrackHeight; ++y) {
    const int level = 250 - y * 3;
    const bool groove = y >= 10 && y < 14;
    canvas->GetPen()->SetColor(groove ? RGB(120, 130, 150) : RGB(level, level, 255 - y));
    canvas->MoveTo(0, y);
    canvas->LineTo(kTrackWidth, y);
  }
}

void PaintKnob(TBitmap& bitmap)
{
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(kKnobWidth, kKnobHeight);
  TCanvas* canvas = bitmap.GetCanvas();
  canvas->GetBrush()->SetColor(static_cast<TColor>(RGB(70, 133, 226)));
  canvas->GetPen()->SetColor(static_cast<TColor>(RGB(30, 70, 150)));
  canvas->RoundRect(0, 0, kKnobWidth, kKnobHeight, 6, 6);
}

class TBenchForm : public TForm {
public:
  explicit TBenchForm(TComponent* owner) : TForm(owner)
  {
    Scaled = false;
    SetBorderStyle(bsNone);
    SetColor(clWhite);
    SetBounds(300, 300, kTrackWidth + 40, kTrackHeight + 40);
    Bar = new KoBar(this);
    Bar->SetParent(this);
    Bar->SetBounds(20, 20, kTrackWidth, kTrackHeight);
    TBitmap picture;
    PaintTrack(picture);
    Bar->GetAppearance()->SetNormalBmp(&picture);
    PaintKnob(picture);
    Bar->SetIndicator(&picture);
    Bar->SetLength(kLength);
    Bar->GetOrigin()->SetX(kKnobWidth / 2);
    Bar->GetOrigin()->SetY(kTrackHeight / 2);
  }
  KoBar* Bar;
};

void RunKoBar(bench::TContext& context)
{
  Application->Initialize();
  auto* form = new TBenchForm(Application.Get());
  form->HandleNeeded();
  ShowWindow(form->GetHandle(), SW_SHOWNOACTIVATE);
  form->SetVisible(true);
  Pump();
  KoBar* bar = form->Bar;
  const HWND window = bar->GetHandle();
  const int y = kTrackHeight / 2;
  // The real pointer over the bar, as in a drag by hand, so that the system's leave tracking agrees with
  // the messages (away from it, every step would be told the pointer has left).
  POINT screen{kTrackWidth / 2, y};
  ClientToScreen(window, &screen);
  SetCursorPos(screen.x, screen.y);
  Pump();

  // Pressed on the indicator's centre, then one message per pixel to the other end (or back), each step
  // painted before the next.
  const auto drag = [&](int from, int to) {
    const int step = to > from ? 1 : -1;
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from, y));
    for (int x = from + step; x != to + step; x += step) {
      SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
      UpdateWindow(window);
    }
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(to, y));
    UpdateWindow(window);
  };
  const int first = kKnobWidth / 2;
  const int last = first + kLength;
  const auto across = [&] { drag(first, last); };
  const auto back = [&] { drag(last, first); };

  TBitmap track;
  track.Assign(bar->GetStatePicture(0));
  TBitmap knob;
  knob.Assign(bar->GetIndicator());
  const HDC trackDc = track.GetCanvas()->GetHandle();
  const HDC knobDc = knob.GetCanvas()->GetHandle();
  const int knobTop = (kTrackHeight - kKnobHeight) / 2;
  const auto blits = [&] {
    const TWindowDC windowDC(window);
    const HDC dc = windowDC.Get();
    for (int pos = 1; pos <= kLength; ++pos) {
      BitBlt(dc, pos - 1, knobTop, 1, kKnobHeight, trackDc, pos - 1, knobTop, SRCCOPY);
      BitBlt(dc, pos, knobTop, kKnobWidth, kKnobHeight, knobDc, 0, 0, SRCCOPY);
      GdiFlush();
    }
  };

  across();
  back();
  const bool reached = bar->GetScrollPos() == 0;
  across();
  const bool end = bar->GetScrollPos() == kLength && !bar->IsDraging();
  back();
  context.Note("a drag across reaches the length (" + std::to_string(kLength) + " px) and back to 0: " +
               (reached && end ? "yes" : "NO"));

  const std::string steps = std::to_string(2 * kLength) + " steps";
  context.Compare("KoBar drag across and back, " + steps, [&] {
    across();
    back();
  }, "2 BitBlt per step, " + steps, [&] {
    blits();
    blits();
  }, 30);

  // The floor under this system: per step, the row's own UpdateWindow (nothing is left to paint) and a
  // device context of the window for the blits, each a round trip to the window server under some systems.
  const auto floorSteps = [&] {
    for (int pos = 1; pos <= kLength; ++pos) {
      UpdateWindow(window);
      const TWindowDC windowDC(window);
      const HDC dc = windowDC.Get();
      BitBlt(dc, pos - 1, knobTop, 1, kKnobHeight, trackDc, pos - 1, knobTop, SRCCOPY);
      BitBlt(dc, pos, knobTop, kKnobWidth, kKnobHeight, knobDc, 0, 0, SRCCOPY);
      GdiFlush();
    }
  };
  context.Compare("KoBar drag across and back, " + steps, [&] {
    across();
    back();
  }, "floor: per step UpdateWindow, GetDC, 2 BitBlt", [&] {
    floorSteps();
    floorSteps();
  }, 30);
  form->Release();
  Pump();
}

const bench::TRegistration registration("kobar", &RunKoBar);

} // namespace
