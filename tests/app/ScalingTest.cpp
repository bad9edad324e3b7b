#include "Ctrlform.h"
#include "Main.h"
#include "PngReader.h"
#include "Scaling.h"
#include "VantorFixture.h"

#include "KoButton.h"
#include "KoButtonTx.h"

#include "Bitmap.h"
#include "ExtCtrls.h"
#include "Picture.h"
#include "StdCtrls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A skin folder whose scaled sets hold empty files of the given names: the pick looks only for the files.
class ScaleFolders {
public:
  ScaleFolders()
  {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_root = std::string(temp) + "ko-scales-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(m_root.c_str(), nullptr);
    SetSkinFolder(m_root);
  }
  ~ScaleFolders()
  {
    for (auto file = m_files.rbegin(); file != m_files.rend(); ++file)
      DeleteFileA(file->c_str());
    for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
      RemoveDirectoryA(folder->c_str());
    RemoveDirectoryA(m_root.c_str());
    SetSkinFolder("");
  }
  // The set of `percent`, all of it or all but `missing`.
  void AddSet(int percent, const std::string& missing = "")
  {
    const std::string folder = m_root + std::to_string(percent);
    CreateDirectoryA(folder.c_str(), nullptr);
    m_folders.push_back(folder);
    for (const char* name : {"cpu_bg004.png", "cpu_bg004_1.png", "cpu_bg004_2.png", "cpu_bg004_3.png", "cpu_bg005.png",
                             "left_n.png", "left_o.png", "left_d.png", "left_un.png", "right_n.png", "right_o.png",
                             "right_d.png", "right_un.png", "yes_n.png", "yes_o.png", "yes_d.png"}) {
      if (name == missing)
        continue;
      const std::string path = folder + "\\" + name;
      CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      m_files.push_back(path);
    }
  }

private:
  std::string m_root;
  std::vector<std::string> m_folders;
  std::vector<std::string> m_files;
};

} // namespace

TEST(SkinScale, TheSetForADpiIsTheLargestNotAboveItThatIsPresentInFull)
{
  ScaleFolders folders;
  folders.AddSet(125);
  folders.AddSet(150);
  folders.AddSet(200, "yes_d.png"); // incomplete: a gap where a look should be
  folders.AddSet(300);
  const struct {
    UINT Dpi;
    int Scale;
    const char* Fault;
  } cases[] = {
      {96, 100, "the 96-ppi layout"},
      {119, 100, "rounded up to 125 %"},
      {120, 125, "its own set missed"},
      {143, 125, "rounded up to 150 %"},
      {144, 150, "its own set missed"},
      {168, 150, "a missing set (175) not passed over"},
      {192, 150, "an incomplete set (200) taken"},
      {240, 150, "a missing set (250) not passed over"},
      {288, 300, "its own set missed"},
      {480, 300, "beyond the largest set"},
      {72, 100, "below 100 %"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PickSkinScale(c.Dpi), c.Scale) << c.Dpi << " dpi: " << c.Fault;
}

namespace {

struct TLayout {
  RECT Main;
  RECT Dialog;
  TRect Prev;
  TRect Ok;
  TRect Label;
  TRect Question;
  int LabelFont;
  int OkFont;
  int OkDisp;
  int FaceWidth;
};

TRect Bounds(const TControl* control)
{
  return Rect(control->GetLeft(), control->GetTop(), control->GetLeft() + control->GetWidth(),
              control->GetTop() + control->GetHeight());
}

TLayout Layout()
{
  TLayout layout{};
  GetWindowRect(MainForm->GetHandle(), &layout.Main);
  GetWindowRect(ControlForm->GetHandle(), &layout.Dialog);
  layout.Prev = Bounds(ControlForm->PrevButton);
  layout.Ok = Bounds(ControlForm->OkButton);
  layout.Label = Bounds(ControlForm->CpuLabel);
  layout.Question = Bounds(ControlForm->MsgLabel);
  layout.LabelFont = ControlForm->CpuLabel->GetFont()->GetHeight();
  layout.OkFont = ControlForm->OkButton->GetFont()->GetHeight();
  layout.OkDisp = ControlForm->OkButton->GetDispX();
  layout.FaceWidth = ControlForm->Background->GetPicture()->GetWidth();
  return layout;
}

std::vector<uint8_t> Pixels(TBitmap* bitmap)
{
  std::vector<uint8_t> pixels;
  for (int y = 0; y < bitmap->GetHeight(); ++y) {
    const auto* row = static_cast<const uint8_t*>(bitmap->ScanLine(y));
    pixels.insert(pixels.end(), row, row + 4 * bitmap->GetWidth());
  }
  return pixels;
}

LRESULT SendDpiChanged(UINT dpi, RECT suggested)
{
  return SendMessageA(MainForm->GetHandle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

} // namespace

// Under Wine a window never changes DPI, so the message is sent as the system would send it.
TEST_F(VantorTest, ADpiChangeLaysBothWindowsOutAtTheNewScaleAndBackExactly)
{
  StartShown();
  const TLayout before = Layout();
  const std::vector<uint8_t> prevLook = Pixels(ControlForm->PrevButton->GetAppearance()->GetRaisedBmp());
  MainForm->SetBackground(false); // frame 1: the frame shown must survive the change

  EXPECT_EQ(SendDpiChanged(192, RECT{100, 50, 790, 746}), 0);
  const TLayout scaled = Layout();
  EXPECT_EQ(SkinScale(), 200);
  EXPECT_EQ(MainForm->GetFrameIndex(), 1);
  EXPECT_EQ(scaled.Main.left, 100);
  EXPECT_EQ(scaled.Main.top, 50);
  EXPECT_EQ(scaled.Main.right - scaled.Main.left, 690);
  EXPECT_EQ(scaled.Main.bottom - scaled.Main.top, 696);
  EXPECT_EQ(scaled.Dialog.left, 100);
  EXPECT_EQ(scaled.Dialog.top, 50);
  EXPECT_EQ(scaled.Dialog.right - scaled.Dialog.left, 690);
  EXPECT_EQ(scaled.FaceWidth, 690);
  EXPECT_EQ(scaled.Prev, Rect(140, 354, 200, 414));
  EXPECT_EQ(scaled.Ok, Rect(202, 522, 302, 582));
  EXPECT_EQ(scaled.Label, Rect(180, 200, 630, 248));
  EXPECT_EQ(scaled.Question, Rect(188, 300, 608, 372));
  // The sizes the captions are drawn at are read back from screenshots (tests/app/DpiTest.sh).
  EXPECT_LT(scaled.LabelFont, before.LabelFont);
  EXPECT_LT(scaled.OkFont, before.OkFont);
  EXPECT_EQ(ControlForm->OkButton->GetFont()->GetName(), "Microsoft Sans Serif");
  EXPECT_EQ(scaled.OkDisp, 4);
  EXPECT_EQ(ControlForm->CpuLabel->GetFont()->GetQuality(), fqNonAntialiased);

  // Back on a 96-ppi monitor at the old place: nothing of the scaled layout stays behind.
  SendDpiChanged(96, before.Main);
  const TLayout back = Layout();
  EXPECT_EQ(SkinScale(), 100);
  EXPECT_TRUE(EqualRect(&back.Main, &before.Main));
  EXPECT_TRUE(EqualRect(&back.Dialog, &before.Dialog));
  EXPECT_EQ(back.Prev, before.Prev);
  EXPECT_EQ(back.Ok, before.Ok);
  EXPECT_EQ(back.Label, before.Label);
  EXPECT_EQ(back.LabelFont, before.LabelFont);
  EXPECT_EQ(back.OkFont, before.OkFont);
  EXPECT_EQ(back.OkDisp, before.OkDisp);
  EXPECT_EQ(ControlForm->CpuLabel->GetFont()->GetName(), "MS Sans Serif");
  MainForm->SetBackground(false);
  MainForm->SetBackground(false);
  MainForm->SetBackground(false); // frame 0 again, as before
  ControlForm->ReloadSkins(false);
  EXPECT_EQ(Pixels(ControlForm->PrevButton->GetAppearance()->GetRaisedBmp()), prevLook);
}

TEST_F(VantorTest, ADpiChangeWhileTheQuestionShowsKeepsTheQuestionPicture)
{
  StartShown();
  MainForm->SetBackground(true);
  SendDpiChanged(144, RECT{10, 20, 528, 542});
  TBitmap expected;
  expected.SetPixelFormat(pf32bit);
  LoadPngFile(SkinSetPath("cpu_bg005.png"), expected);
  PremultiplyAlpha(expected);
  EXPECT_EQ(SkinScale(), 150);
  EXPECT_EQ(Pixels(MainForm->Background->GetPicture()->GetBitmap()), Pixels(&expected));
}

