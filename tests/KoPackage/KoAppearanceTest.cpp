// Appearances and font colour sets: live pictures, the picture-group loader, copy rules and change
// notifications.
#include "KoFixture.h"

#include "KoBar.h"

#include "Graphics/GraphicUtility.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// "WxH colour" of each of a button's four pictures ("empty" for an empty one).
std::vector<std::string> PictureSummary(KoButton* button)
{
  std::vector<std::string> summary;
  for (int i = 0; i < 4; ++i) {
    TBitmap* picture = button->GetStatePicture(i);
    if (picture->Empty()) {
      summary.push_back("empty");
      continue;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%dx%d %06lX", picture->GetWidth(), picture->GetHeight(),
                  static_cast<unsigned long>(PixelOf(*picture, picture->GetWidth() - 1, 0)));
    summary.push_back(text);
  }
  return summary;
}

std::string Hex(TColor color)
{
  char text[16];
  std::snprintf(text, sizeof(text), "%06lX", static_cast<unsigned long>(color));
  return text;
}

class KoAppearance : public TKoFormTest {
protected:
  void SetUp() override
  {
    TKoFormTest::SetUp();
    Button = AddButton("b", 20, 20);
  }
  KoButton* Button = nullptr;
};

} // namespace

TEST_F(KoAppearance, APictureReadFromTheAppearanceIsTheButtonsOwnAndChangesItAtOnce)
{
  KoFourStateAppearance* appearance = Button->GetAppearance();
  EXPECT_EQ(appearance->GetRaisedBmp(), Button->GetStatePicture(lkRaised));
  EXPECT_EQ(appearance->GetSunkenBmp(), Button->GetStatePicture(lkSunken));
  EXPECT_EQ(appearance->GetFocusedBmp(), Button->GetStatePicture(lkFocused));
  EXPECT_EQ(appearance->GetDisabledBmp(), Button->GetStatePicture(lkDisabled));
  EXPECT_EQ(appearance->Control(), Button);
  Form->Show();

  const TPictureFile file("ko_live.bmp", 52, 30, clTeal);
  appearance->GetRaisedBmp()->LoadFromFile(file.Path());
  EXPECT_EQ(Button->GetWidth(), 52);
  EXPECT_EQ(Button->GetHeight(), 30);
  EXPECT_EQ(PixelsOf(Button).At(45, 25), static_cast<COLORREF>(clTeal));
}

TEST_F(KoAppearance, LoadBitmapsReplacesTheNamedPicturesAndLeavesEmptyNamesAlone)
{
  const TPictureFile raised("ko_r.bmp", 30, 20, clRed);
  const TPictureFile focused("ko_f.bmp", 30, 20, clGreen);
  const TPictureFile disabled("ko_d.bmp", 30, 20, clGray);
  EXPECT_TRUE(Button->LoadBitmap(ExeDir(), "ko_r.bmp", "", "ko_f.bmp", "ko_d.bmp"));
  EXPECT_EQ(PictureSummary(Button),
            (std::vector<std::string>{"30x20 " + Hex(clRed), "40x24 " + Hex(kLookColors[lkSunken]),
                                      "30x20 " + Hex(clGreen), "30x20 " + Hex(clGray)}));
  EXPECT_EQ(Button->GetWidth(), 30);
  EXPECT_EQ(Button->GetTransparentColor(), clRed) << "the new raised picture's own";
}

TEST_F(KoAppearance, LoadBitmapsChangesNoPictureWhenOneFileCannotBeRead)
{
  const TPictureFile raised("ko_r.bmp", 30, 20, clRed);
  const TTempFile notABitmap(".bmp");
  WriteBytes(notABitmap.Path(), {'B', 'M', 1, 2, 3});
  const std::string notABitmapName = ExtractFileName(notABitmap.Path());
  const std::string notABitmapFolder = ExtractFilePath(notABitmap.Path());
  const std::vector<std::string> before = PictureSummary(Button);

  const struct {
    const char* what;
    std::function<void()> load;
  } cases[] = {
      {"missing", [&] { Button->LoadBitmap(ExeDir(), "ko_r.bmp", "", "ko_missing.bmp", ""); }},
      {"not a bitmap", [&] { Button->LoadBitmap(notABitmapFolder, "", notABitmapName, "", ""); }},
      {"missing last", [&] { Button->LoadBitmap(ExeDir(), "ko_r.bmp", "ko_r.bmp", "ko_r.bmp", "ko_none.bmp"); }},
  };
  for (const auto& c : cases) {
    EXPECT_THROW(c.load(), Exception) << c.what;
    EXPECT_EQ(PictureSummary(Button), before) << c.what;
  }
  EXPECT_THROW(Button->LoadBitmap(ExeDir(), "ko_missing.bmp", "", "", ""), EFOpenError);
  EXPECT_THROW(Button->LoadBitmap(notABitmapFolder, notABitmapName, "", "", ""), EInvalidGraphic);
}

TEST_F(KoAppearance, TheFolderGetsABackslashUnlessItEndsInOneOrInAColon)
{
  const TPictureFile raised("ko_sep.bmp", 30, 20, clRed);
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  std::string exeDir = ExeDir();
  exeDir.pop_back();
  ASSERT_EQ(std::string(current), exeDir) << "the tests run in their executable's folder";

  const std::string drive = exeDir.substr(0, 2);  // "Z:": that drive's current folder, which is ours
  const struct {
    std::string folder;
    std::string name;
  } cases[] = {
      {exeDir, "ko_sep.bmp"},
      {exeDir + "\\", "ko_sep.bmp"},
      {drive, "ko_sep.bmp"},
  };
  for (const auto& c : cases) {
    Button->GetStatePicture(lkRaised)->FreeImage();
    EXPECT_NO_THROW(Button->LoadBitmap(c.folder, c.name, "", "", "")) << c.folder;
    EXPECT_EQ(Button->GetStatePicture(lkRaised)->GetWidth(), 30) << c.folder;
  }

  const std::vector<std::string> before = PictureSummary(Button);
  EXPECT_THROW(Button->LoadBitmap("", "ko_sep.bmp", "", "", ""), ERangeError);
  EXPECT_EQ(PictureSummary(Button), before);
}

TEST_F(KoAppearance, CopyingAnAppearanceCopiesAllFourPicturesEmptyOnesIncluded)
{
  KoButton* target = AddButton("target", 100, 20);
  KoButton* source = new KoButton(Form);
  TBitmap picture;
  MakePicture(picture, 36, 18, clOlive);
  source->GetAppearance()->SetRaisedBmp(&picture);
  MakePicture(picture, 36, 18, clPurple);
  source->GetAppearance()->SetFocusedBmp(&picture);

  KoFourStateAppearance* own = target->GetAppearance();
  target->SetAppearance(source->GetAppearance());
  EXPECT_EQ(target->GetAppearance(), own) << "the button keeps its own object";
  EXPECT_EQ(PictureSummary(target),
            (std::vector<std::string>{"36x18 " + Hex(clOlive), "empty", "36x18 " + Hex(clPurple), "empty"}));
  EXPECT_EQ(target->GetWidth(), 36);

  // Copies, not shared pictures.
  Fill(*source->GetStatePicture(lkRaised), clBlack);
  EXPECT_EQ(PictureSummary(target)[0], "36x18 " + Hex(clOlive));
}

TEST_F(KoAppearance, CopiesBetweenUnrelatedClassesOrFromNothingAreRefusedAndChangeNothing)
{
  KoThreeStateFontColor three;
  three.SetSunken(clRed);
  KoTwoStateFontColor two;
  two.SetFocused(clBlue);
  KoFourStateAppearance* appearance = Button->GetAppearance();
  const std::vector<std::string> pictures = PictureSummary(Button);

  const struct {
    const char* what;
    std::function<void()> copy;
  } invalid[] = {
      {"appearance into two-state colours", [&] { two.Assign(appearance); }},
      {"two-state colours into an appearance", [&] { appearance->Assign(&two); }},
      {"three-state into two-state colours", [&] { two.Assign(&three); }},
      {"two-state into three-state colours", [&] { three.Assign(&two); }},
  };
  for (const auto& c : invalid)
    EXPECT_THROW(c.copy(), EInvalidCast) << c.what;
  EXPECT_THROW(appearance->Assign(nullptr), EConvertError);
  EXPECT_THROW(three.Assign(nullptr), EConvertError);

  EXPECT_EQ(two.GetFocused(), clBlue);
  EXPECT_EQ(two.GetDisabled(), -1);
  EXPECT_EQ(three.GetSunken(), clRed);
  EXPECT_EQ(PictureSummary(Button), pictures);
}

TEST_F(KoAppearance, ANullPictureGivenToASetterEmptiesThatPicture)
{
  KoFourStateAppearance* appearance = Button->GetAppearance();
  const struct {
    const char* what;
    void (KoFourStateAppearance::*set)(TBitmap*);
    int state;
  } cases[] = {
      {"SunkenBmp", &KoFourStateAppearance::SetSunkenBmp, lkSunken},
      {"FocusedBmp", &KoFourStateAppearance::SetFocusedBmp, lkFocused},
      {"DisabledBmp", &KoFourStateAppearance::SetDisabledBmp, lkDisabled},
      {"RaisedBmp", &KoFourStateAppearance::SetRaisedBmp, lkRaised},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(Button->GetStatePicture(c.state)->Empty());
    EXPECT_NO_THROW((appearance->*c.set)(nullptr));
    EXPECT_TRUE(Button->GetStatePicture(c.state)->Empty());
  }
  EXPECT_EQ(PictureSummary(Button), (std::vector<std::string>{"empty", "empty", "empty", "empty"}));

  KoBar bar(Form);
  TBitmap knob;
  MakePicture(knob, 8, 6, clRed);
  bar.SetIndicator(&knob);
  EXPECT_NO_THROW(bar.SetIndicator(nullptr));
  EXPECT_TRUE(bar.GetIndicator()->Empty());
}

TEST_F(KoAppearance, FontColourSetsCopyEveryColourAndTellTheirOwnerOnce)
{
  TCounter counter;
  KoThreeStateFontColor source;
  source.SetSunken(clRed);
  source.SetFocused(clGreen);
  KoThreeStateFontColor three;
  three.OnChange = counter.Event();
  three.Assign(&source);
  EXPECT_EQ(counter.Count, 1);
  EXPECT_EQ(counter.LastSender, &three);
  EXPECT_EQ(three.GetSunken(), clRed);
  EXPECT_EQ(three.GetFocused(), clGreen);
  EXPECT_EQ(three.GetDisabled(), -1);

  KoTwoStateFontColor twoSource;
  twoSource.SetDisabled(clGray);
  KoTwoStateFontColor two;
  two.SetFocused(clYellow);
  two.OnChange = counter.Event();
  two.Assign(&twoSource);
  EXPECT_EQ(counter.Count, 2);
  EXPECT_EQ(two.GetFocused(), -1);
  EXPECT_EQ(two.GetDisabled(), clGray);
}

TEST_F(KoAppearance, WritingAFontColourTellsTheOwnerOnlyWhenItChanges)
{
  TCounter counter;
  KoThreeStateFontColor three;
  KoTwoStateFontColor two;
  three.OnChange = counter.Event();
  two.OnChange = counter.Event();
  const struct {
    const char* what;
    std::function<void()> write;
    int notifications;
  } cases[] = {
      {"Sunken -1 again", [&] { three.SetSunken(-1); }, 0},
      {"Sunken red", [&] { three.SetSunken(clRed); }, 1},
      {"Sunken red again", [&] { three.SetSunken(clRed); }, 0},
      {"Focused blue", [&] { three.SetFocused(clBlue); }, 1},
      {"Disabled back to -1 from -1", [&] { three.SetDisabled(-1); }, 0},
      {"Disabled grey", [&] { three.SetDisabled(clGray); }, 1},
      {"two-state Focused -1 again", [&] { two.SetFocused(-1); }, 0},
      {"two-state Disabled white", [&] { two.SetDisabled(clWhite); }, 1},
      {"two-state Disabled white again", [&] { two.SetDisabled(clWhite); }, 0},
  };
  for (const auto& c : cases) {
    const int before = counter.Count;
    c.write();
    EXPECT_EQ(counter.Count - before, c.notifications) << c.what;
  }
}
