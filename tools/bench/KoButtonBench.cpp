// A text button's looks, from the message to the repainted pixels: the pointer coming in and going out, and
// a press and release, each beside bare BitBlts of the same picture to the button's window (one per look
// change), and again beside those blits plus the system calls the row cannot leave out (its floor). Then the
// process's GDI and USER object counts before and after 10 000 such cycles.
#include "Bench.h"
#include "BenchSupport.h"

#include "Forms.h"
#include "Handles.h"
#include "KoButtonTx.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

using bench::GdiObjects;
using bench::Pump;
using bench::UserObjects;

constexpr int kWidth = 50;
constexpr int kHeight = 30;
constexpr int kCycles = 10000;

// A rounded face with a vertical gradient: a picture as a skin would have it.
void PaintFace(TBitmap& bitmap, int shade)
{
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(kWidth, kHeight);
  TCanvas* canvas = bitmap.GetCanvas();
  canvas->GetBrush()->SetColor(clFuchsia);
  canvas->FillRect(Rect(0, 0, kWidth, kHeight));
  for (int y = 0; y < kHeight; ++y) {
    const int level = shade - y * 2;
    canvas->GetPen()->SetColor(RGB(level, level, 255 - y));
    canvas->MoveTo(y < 4 || y >= kHeight - 4 ? 4 : 1, y);
    canvas->LineTo(y < 4 || y >= kHeight - 4 ? kWidth - 4 : kWidth - 1, y);
  }
}

class TBenchForm : public TForm {
public:
  explicit TBenchForm(TComponent* owner) : TForm(owner)
  {
    Scaled = false;
    SetBorderStyle(bsNone);
    SetColor(clWhite);
    SetBounds(300, 300, 120, 80);
    Button = new KoButtonTx(this);
    Button->SetParent(this);
    Button->SetBounds(20, 20, kWidth, kHeight);
    Button->SetCaption("OK");
    Button->SetTransparent(true);
    TBitmap face;
    for (int look = 0; look < 4; ++look) {
      PaintFace(face, 240 - 30 * look);
      Button->SetStatePicture(&face, look);
    }
  }
  KoButtonTx* Button;
};

void RunKoButton(bench::TContext& context)
{
  Application->Initialize();
  auto* form = new TBenchForm(Application.Get());
  form->HandleNeeded();
  ShowWindow(form->GetHandle(), SW_SHOWNOACTIVATE);
  form->SetVisible(true);
  Pump();
  KoButtonTx* button = form->Button;
  const HWND window = button->GetHandle();
  const POINT centre{kWidth / 2, kHeight / 2};
  POINT screen = centre;
  ClientToScreen(window, &screen);
  // The real pointer over the button, so that the system's leave tracking agrees with the messages.
  SetCursorPos(screen.x, screen.y);
  Pump();
  const LPARAM at = MAKELPARAM(centre.x, centre.y);

  const auto hoverInAndOut = [&] {
    SendMessageA(window, WM_MOUSEMOVE, 0, at);
    UpdateWindow(window);
    SendMessageA(window, WM_MOUSELEAVE, 0, 0);
    UpdateWindow(window);
  };
  const auto pressAndRelease = [&] {
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    UpdateWindow(window);
    SendMessageA(window, WM_LBUTTONUP, 0, at);
    UpdateWindow(window);
  };
  // The bare copy of the same picture to the same window, once per look change.
  TBitmap picture;
  picture.Assign(button->GetStatePicture(0));
  const HDC source = picture.GetCanvas()->GetHandle();
  const auto twoBlits = [&] {
    const TWindowDC windowDC(window);
    BitBlt(windowDC.Get(), 0, 0, kWidth, kHeight, source, 0, 0, SRCCOPY);
    GdiFlush();
    BitBlt(windowDC.Get(), 0, 0, kWidth, kHeight, source, 0, 0, SRCCOPY);
    GdiFlush();
  };

  context.Compare("KoButtonTx hover in and out", hoverInAndOut, "2 BitBlt of its picture", twoBlits, 200);
  context.Compare("KoButtonTx press and release", pressAndRelease, "2 BitBlt of its picture", twoBlits, 200);

  // The floor of each row under this system: the blits, plus the system calls the row cannot leave out,
  // each a round trip to the window server under some systems. Both rows call UpdateWindow twice
  // themselves (nothing is left to paint). A hover must ask whether the system still reports the leave
  // (the leave the row sends is not the system's); a press takes the capture and gives it back.
  const auto hoverFloor = [&] {
    TRACKMOUSEEVENT query{};
    query.cbSize = sizeof(query);
    query.dwFlags = TME_QUERY;
    TrackMouseEvent(&query);
    UpdateWindow(window);
    UpdateWindow(window);
    twoBlits();
  };
  const auto pressFloor = [&] {
    SetCapture(window);
    ReleaseCapture();
    UpdateWindow(window);
    UpdateWindow(window);
    twoBlits();
  };
  context.Compare("KoButtonTx hover in and out", hoverInAndOut, "floor: the blits, TME_QUERY, 2 UpdateWindow",
                  hoverFloor, 200);
  context.Compare("KoButtonTx press and release", pressAndRelease,
                  "floor: the blits, SetCapture+ReleaseCapture, 2 UpdateWindow", pressFloor, 200);

  // The counter must see an object come and go before its counts are believed.
  const int base = GdiObjects();
  const HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
  const int withProbe = GdiObjects();
  DeleteObject(probe);
  const int afterProbe = GdiObjects();
  context.Note("GDI counter check: " + std::to_string(base) + " -> " + std::to_string(withProbe) + " -> " +
               std::to_string(afterProbe) + (base >= 0 && withProbe == base + 1 && afterProbe == base ? " (sees it)" : " (BLIND)"));

  const int gdiBefore = GdiObjects();
  const int userBefore = UserObjects();
  for (int i = 0; i < kCycles; ++i) {
    hoverInAndOut();
    pressAndRelease();
    Pump();
  }
  const int gdiAfter = GdiObjects();
  const int userAfter = UserObjects();
  context.Note("after " + std::to_string(kCycles) + " hover and press cycles: GDI objects " +
               std::to_string(gdiBefore) + " -> " + std::to_string(gdiAfter) + ", USER objects " +
               std::to_string(userBefore) + " -> " + std::to_string(userAfter) +
               bench::GrowthVerdict(gdiBefore, gdiAfter, userBefore, userAfter));
  form->Release();
  Pump();
}

const bench::TRegistration registration("kobutton", &RunKoButton);

} // namespace
