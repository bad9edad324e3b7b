// A 12-glyph numeric read-out at twice its glyphs' size: drawn whole once, and a value change, each from the
// call to the pixels on the window, beside bare Polygon fills of the same segments into a bitmap copied to
// the same window. Then the process's GDI and USER object counts before and after 10 000 value changes.
#include "Bench.h"
#include "BenchSupport.h"

#include "Component/LED/ShapeLED.h"
#include "Forms.h"
#include "Handles.h"
#include "KoNumLed.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace {

using bench::GdiObjects;
using bench::Pump;
using bench::UserObjects;

constexpr const char* kFormat = "88888.8888^C";
constexpr int kScale = 2;
constexpr int kChanges = 10000;

orvo::GlyphKind KindOf(char character)
{
  switch (character) {
  case '.':
    return orvo::GlyphKind::Point;
  case '^':
    return orvo::GlyphKind::Degree;
  case 'C':
    return orvo::GlyphKind::LetterC;
  case '&':
    return orvo::GlyphKind::Rpm;
  default:
    return orvo::GlyphKind::Digit;
  }
}

// The segments of a format as the read-out places them, at kScale: the glyph tables' polygons (the only
// figures the built-in glyphs have), each glyph after the ones before it.
std::vector<std::vector<POINT>> Segments(const std::string& format, int& width, int& height)
{
  std::vector<std::vector<POINT>> segments;
  width = 0;
  height = 0;
  for (char character : format) {
    const std::span<const int32_t> table = orvo::Builder_r7_s::Table(KindOf(character));
    size_t next = 5;
    for (int32_t figure = 0; figure < table[0]; ++figure) {
      const int32_t count = table[next + 1];
      next += 2;
      std::vector<POINT> points;
      for (int32_t i = 0; i < count; ++i, next += 2)
        points.push_back(POINT{(width + table[next]) * kScale, table[next + 1] * kScale});
      segments.push_back(std::move(points));
    }
    width += table[3];
    height = std::max<int>(height, table[4]);
  }
  width *= kScale;
  height *= kScale;
  return segments;
}

// The baseline: every segment filled by one Polygon call in a lit or unlit pen and brush, into a bitmap of
// the read-out's size that is then copied to the window where the read-out is.
class TBareSegments {
public:
  explicit TBareSegments(HWND window) : m_window(window)
  {
    m_segments = Segments(kFormat, m_width, m_height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = -m_height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    const TWindowDC screen(window);
    m_surface.Reset(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    m_memory = TMemoryDC::CreateCompatible(screen.Get());
    const COLORREF colors[2] = {RGB(14, 38, 62), RGB(10, 240, 10)};
    for (int i = 0; i < 2; ++i) {
      m_pens[i].Reset(CreatePen(PS_SOLID, 1, colors[i]));
      m_brushes[i].Reset(CreateSolidBrush(colors[i]));
    }
  }

  // Lights every other segment, shifting by one each round, so that each call changes every segment.
  void Draw()
  {
    const HDC dc = m_memory.Get();
    {
      const TSelectObject surface(dc, m_surface.Get());
      const TSaveDC keep(dc);
      const RECT all{0, 0, m_width, m_height};
      FillRect(dc, &all, m_background.Get());
      ++m_round;
      for (size_t i = 0; i < m_segments.size(); ++i) {
        const size_t lit = (i + m_round) % 2;
        SelectObject(dc, m_pens[lit].Get());
        SelectObject(dc, m_brushes[lit].Get());
        Polygon(dc, m_segments[i].data(), static_cast<int>(m_segments[i].size()));
      }
      const TWindowDC target(m_window);
      BitBlt(target.Get(), 0, 0, m_width, m_height, dc, 0, 0, SRCCOPY);
      GdiFlush();
    }
  }

private:
  HWND m_window;
  int m_width = 0;
  int m_height = 0;
  size_t m_round = 0;
  std::vector<std::vector<POINT>> m_segments;
  TBitmapHandle m_surface;
  TMemoryDC m_memory;
  TBrushHandle m_background{CreateSolidBrush(RGB(0, 0, 0))};
  TPenHandle m_pens[2];
  TBrushHandle m_brushes[2];
};

class TBenchForm : public TForm {
public:
  explicit TBenchForm(TComponent* owner) : TForm(owner)
  {
    Scaled = false;
    SetBorderStyle(bsNone);
    SetColor(clWhite);
    SetBounds(300, 300, 520, 120);
    ReadOut = new KoNumLed(this);
    ReadOut->SetParent(this);
    ReadOut->SetFormat(kFormat);
    ReadOut->SetBounds(0, 0, ReadOut->Engine()->LayoutWidth() * kScale, ReadOut->Engine()->LayoutHeight() * kScale);
  }
  KoNumLed* ReadOut;
};

void RunKoNumLed(bench::TContext& context)
{
  Application->Initialize();
  auto* form = new TBenchForm(Application.Get());
  form->HandleNeeded();
  ShowWindow(form->GetHandle(), SW_SHOWNOACTIVATE);
  form->SetVisible(true);
  Pump();
  KoNumLed* readOut = form->ReadOut;
  const HWND window = form->GetHandle();

  TBareSegments bare(window);
  const auto barePolygons = [&] { bare.Draw(); };

  const auto renderOnce = [&] {
    readOut->Repaint();
    UpdateWindow(window);
  };
  double value = 0;
  const auto changeValue = [&] {
    value += 1.111;
    readOut->SetValue(value);
    UpdateWindow(window);
  };
  context.Compare("KoNumLed 12 glyphs drawn whole", renderOnce, "Polygon per segment + BitBlt", barePolygons, 200);
  context.Compare("KoNumLed 12 glyphs, a value change", changeValue, "Polygon per segment + BitBlt", barePolygons,
                  200);

  // The counter must see an object come and go before its counts are believed.
  const int base = GdiObjects();
  int withProbe = 0;
  {
    const TBrushHandle probe(CreateSolidBrush(RGB(1, 2, 3)));
    withProbe = GdiObjects();
  }
  const int afterProbe = GdiObjects();
  context.Note("GDI counter check: " + std::to_string(base) + " -> " + std::to_string(withProbe) + " -> " +
               std::to_string(afterProbe) + (base >= 0 && withProbe == base + 1 && afterProbe == base ? " (sees it)" : " (BLIND)"));

  const int gdiBefore = GdiObjects();
  const int userBefore = UserObjects();
  for (int i = 0; i < kChanges; ++i) {
    changeValue();
    Pump();
  }
  const int gdiAfter = GdiObjects();
  const int userAfter = UserObjects();
  context.Note("after " + std::to_string(kChanges) + " value changes: GDI objects " + std::to_string(gdiBefore) +
               " -> " + std::to_string(gdiAfter) + ", USER objects " + std::to_string(userBefore) + " -> " +
               std::to_string(userAfter) +
               bench::GrowthVerdict(gdiBefore, gdiAfter, userBefore, userAfter));
  form->Release();
  Pump();
}

const bench::TRegistration registration("konumled", &RunKoNumLed);

} // namespace
