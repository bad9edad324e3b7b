#pragma once
// Shared pieces of the image and label tests: a borderless white form on the virtual display and the
// pixels of its client area as the window shows them.
#include "FormsFixture.h"
#include "Graphics.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// The client area of a window as painted: pending paints are carried out first (only what is invalid is
// painted again), then the pixels are copied out of the window's DC.
class TClientPixels {
public:
  explicit TClientPixels(HWND window)
  {
    UpdateWindow(window);
    RECT client{};
    GetClientRect(window, &client);
    m_width = client.right;
    m_height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = -m_height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    TWindowDC screen(window);
    TBitmapHandle copy(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    TMemoryDC memory = TMemoryDC::CreateCompatible(screen.Get());
    if (!copy || !memory)
      return;
    {
      TSelectObject selected(memory.Get(), copy.Get());
      BitBlt(memory.Get(), 0, 0, m_width, m_height, screen.Get(), 0, 0, SRCCOPY);
    }
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    m_pixels.assign(pixels, pixels + static_cast<size_t>(m_width) * static_cast<size_t>(m_height));
  }

  // The pixel as a COLORREF (0x00BBGGRR); CLR_INVALID outside.
  COLORREF At(int x, int y) const
  {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
      return CLR_INVALID;
    const uint32_t p = m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }

  int Count(COLORREF color, const RECT& area) const
  {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        n += At(x, y) == color ? 1 : 0;
    return n;
  }
  int Count(COLORREF color) const { return Count(color, RECT{0, 0, m_width, m_height}); }

  // The smallest rectangle holding every pixel of `color`; empty when there is none.
  RECT BoundsOf(COLORREF color) const
  {
    RECT box{m_width, m_height, 0, 0};
    for (int y = 0; y < m_height; ++y)
      for (int x = 0; x < m_width; ++x)
        if (At(x, y) == color) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x + 1);
          box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    if (box.right == 0)
      box = RECT{0, 0, 0, 0};
    return box;
  }

private:
  int m_width = 0;
  int m_height = 0;
  std::vector<uint32_t> m_pixels;
};

// A visible, borderless white form of 200 x 120 client pixels, owned by the test's application object.
class TPaintTest : public TWindowTest {
protected:
  void SetUp() override
  {
    Form = new TForm(App.Get());
    Form->Scaled = false;
    Form->SetBorderStyle(bsNone);
    Form->SetColor(clWhite);
    Form->SetBounds(60, 60, 200, 120);
    // Shown without activation: under Wine with no window manager, activating a window waits seconds
    // for a focus change that never comes, and painting does not need it.
    Form->HandleNeeded();
    ShowWindow(Form->GetHandle(), SW_SHOWNOACTIVATE);
    Form->SetVisible(true);
  }

  TClientPixels Pixels() const { return TClientPixels(Form->GetHandle()); }

  TForm* Form = nullptr;
  TEventLog Log;
};

// A bitmap of one colour with an optional rectangle of another.
inline void FillBitmap(TBitmap& bitmap, int width, int height, TColor color, TRect inner = {}, TColor innerColor = 0)
{
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
  TCanvas* canvas = bitmap.GetCanvas();
  canvas->GetBrush()->SetColor(color);
  canvas->FillRect(Rect(0, 0, width, height));
  if (inner.right > inner.left) {
    canvas->GetBrush()->SetColor(innerColor);
    canvas->FillRect(inner);
  }
}
