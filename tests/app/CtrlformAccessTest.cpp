// The level dialog under a high-contrast theme: its captions in the system's colours on faces of their own,
// following the setting when the system says it changed, and back to the skins' look when it goes.
#include "Ctrlform.h"
#include "CtrlformAccess.h"

#include "VantorFixture.h"

#include "KoButtonTx.h"

#include "StdCtrls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

bool g_forcedContrast = false;
bool ForcedContrast()
{
  return g_forcedContrast;
}

// The pixels of a part of a window as it shows them.
std::vector<COLORREF> WindowPixels(HWND window, const RECT& part)
{
  UpdateWindow(window);
  const HDC dc = GetDC(window);
  std::vector<COLORREF> pixels;
  for (int y = part.top; y < part.bottom; ++y)
    for (int x = part.left; x < part.right; ++x)
      pixels.push_back(GetPixel(dc, x, y));
  ReleaseDC(window, dc);
  return pixels;
}

size_t CountOf(const std::vector<COLORREF>& pixels, COLORREF color)
{
  return static_cast<size_t>(std::count(pixels.begin(), pixels.end(), color));
}

class HighContrast : public VantorTest {
protected:
  void SetUp() override
  {
    VantorTest::SetUp();
    m_saved = SetHighContrastQuery(&ForcedContrast);
    g_forcedContrast = false;
    StartShown();
  }
  void TearDown() override
  {
    SetHighContrastQuery(m_saved);
    VantorTest::TearDown();
  }

  static std::vector<COLORREF> LabelPixels(const TLabel* label)
  {
    return WindowPixels(ControlForm->GetHandle(), RECT{label->GetLeft(), label->GetTop(),
                                                        label->GetLeft() + label->GetWidth(),
                                                        label->GetTop() + label->GetHeight()});
  }
  static std::vector<COLORREF> ButtonPixels(KoButtonTx* button)
  {
    return WindowPixels(button->GetHandle(), RECT{0, 0, button->GetWidth(), button->GetHeight()});
  }

private:
  THighContrastQuery m_saved = nullptr;
};

} // namespace

TEST_F(HighContrast, CaptionsTakeTheSystemsColoursWhenTheThemeComesAndTheSkinsLookWhenItGoes)
{
  const std::vector<COLORREF> level = LabelPixels(ControlForm->CpuLabel);
  const std::vector<COLORREF> ok = ButtonPixels(ControlForm->OkButton);
  ASSERT_GT(CountOf(level, RGB(70, 133, 226)), 40u) << "no level name to begin with";
  const COLORREF window = GetSysColor(COLOR_WINDOW), windowText = GetSysColor(COLOR_WINDOWTEXT);
  const COLORREF face = GetSysColor(COLOR_BTNFACE), buttonText = GetSysColor(COLOR_BTNTEXT);
  // Either message the system sends when the theme changes is enough.
  for (const UINT message : {WM_SETTINGCHANGE, WM_SYSCOLORCHANGE}) {
    SCOPED_TRACE(message);
    g_forcedContrast = true;
    SendMessageA(ControlForm->GetHandle(), message, message == WM_SETTINGCHANGE ? SPI_SETHIGHCONTRAST : 0, 0);
    EXPECT_TRUE(ControlForm->GetAccess().HighContrast());
    const std::vector<COLORREF> contrasted = LabelPixels(ControlForm->CpuLabel);
    EXPECT_GT(CountOf(contrasted, window), contrasted.size() / 2) << "the level's name has no face";
    EXPECT_GT(CountOf(contrasted, windowText), 40u) << "the level's name is not in the window text colour";
    EXPECT_EQ(CountOf(contrasted, RGB(70, 133, 226)), 0u);
    const std::vector<COLORREF> plain = ButtonPixels(ControlForm->OkButton);
    EXPECT_GT(CountOf(plain, face), plain.size() / 2) << "OK has no plain face";
    EXPECT_GT(CountOf(plain, buttonText), 10u) << "OK's caption is not in the button text colour";

    g_forcedContrast = false;
    SendMessageA(ControlForm->GetHandle(), message, message == WM_SETTINGCHANGE ? SPI_SETHIGHCONTRAST : 0, 0);
    EXPECT_EQ(LabelPixels(ControlForm->CpuLabel), level) << "the skins' look did not come back";
    EXPECT_EQ(ButtonPixels(ControlForm->OkButton), ok);
  }
}

TEST_F(HighContrast, TheRestartQuestionIsReadableAndTheSettingHoldsAcrossTheModes)
{
  g_forcedContrast = true;
  SendMessageA(ControlForm->GetHandle(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  // Level 4 needs a restart.
  for (int i = 0; i < 2; ++i)
    ControlForm->NextButton->OnClick(ControlForm->NextButton);
  ControlForm->OkButton->OnClick(ControlForm->OkButton);
  ASSERT_EQ(ControlForm->OkButton->GetText(), "Yes");
  const std::vector<COLORREF> question = LabelPixels(ControlForm->MsgLabel);
  EXPECT_GT(CountOf(question, GetSysColor(COLOR_WINDOWTEXT)), 40u);
  EXPECT_EQ(CountOf(question, RGB(255, 0, 0)), 0u);
  const std::vector<COLORREF> yes = ButtonPixels(ControlForm->OkButton);
  EXPECT_GT(CountOf(yes, GetSysColor(COLOR_BTNTEXT)), 10u);
}
