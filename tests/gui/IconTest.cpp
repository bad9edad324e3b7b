#include "Icon.h"

#include "Bitmap.h"
#include "GraphicsFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(Icon, LoadsDrawsAndCopies)
{
  TTempFile file(".ico");
  WriteBytes(file.Path(), IconFile());
  TIcon icon;
  TCounter counter;
  icon.OnChange = counter.Event();
  EXPECT_TRUE(icon.Empty());
  icon.LoadFromFile(file.Path());
  EXPECT_EQ(counter.Count, 1);
  ASSERT_FALSE(icon.Empty());
  EXPECT_EQ(icon.GetWidth(), 16);
  EXPECT_EQ(icon.GetHeight(), 16);

  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(20, 20);
  Fill(target, clWhite);
  target.GetCanvas()->Draw(2, 2, &icon);
  EXPECT_EQ(PixelOf(target, 4, 4), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(target, 15, 10), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(target, 19, 19), RGB(255, 255, 255));

  TIcon copy;
  copy.Assign(&icon);
  EXPECT_NE(copy.GetHandle(), icon.GetHandle());
  EXPECT_EQ(copy.GetWidth(), 16);
  TIconHandle taken = icon.ExtractHandle();
  EXPECT_TRUE(icon.Empty());
  taken.Reset();
  Fill(target, clWhite);
  target.GetCanvas()->Draw(0, 0, &copy);  // the copy outlives the original
  EXPECT_EQ(PixelOf(target, 1, 1), RGB(255, 0, 0));

  TBitmap bitmap;
  EXPECT_THROW(copy.Assign(&bitmap), EInvalidCast);
  EXPECT_THROW(copy.SetWidth(32), EInvalidGraphicOperation);
}

TEST(Icon, MissingAndBrokenFilesRaiseAndChangeNothing)
{
  TTempFile good(".ico");
  WriteBytes(good.Path(), IconFile());
  TIcon icon;
  icon.LoadFromFile(good.Path());
  const HICON handle = icon.GetHandle();

  EXPECT_THROW(icon.LoadFromFile(ExeDir() + "missing.ico"), EFOpenError);
  std::vector<std::vector<uint8_t>> broken;
  std::vector<uint8_t> bytes = IconFile();
  bytes[2] = 2;  // a cursor directory
  broken.push_back(bytes);
  bytes = IconFile();
  bytes.resize(100);  // the image is cut off
  broken.push_back(bytes);
  bytes = IconFile();
  bytes[21] = 0x7F;  // offset far beyond the file
  broken.push_back(bytes);
  broken.push_back({0, 0, 1, 0});
  for (const auto& file : broken) {
    TTempFile temp(".ico");
    WriteBytes(temp.Path(), file);
    try {
      icon.LoadFromFile(temp.Path());
      ADD_FAILURE() << "a broken icon was accepted";
    } catch (const EInvalidGraphic& error) {
      EXPECT_EQ(error.Message(), "Icon image is not valid");
    }
    EXPECT_EQ(icon.GetHandle(), handle);
    EXPECT_EQ(icon.GetWidth(), 16);
  }
}
