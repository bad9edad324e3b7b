#include "Picture.h"

#include "Bitmap.h"
#include "GraphicsFixture.h"
#include "Icon.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(Picture, HoldsOneGraphicAndReportsItsChanges)
{
  TPicture picture;
  TCounter counter;
  picture.OnChange = counter.Event();
  EXPECT_EQ(picture.GetGraphic(), nullptr);
  TBitmap* bitmap = picture.GetBitmap();
  EXPECT_EQ(picture.GetBitmap(), bitmap);
  const int afterCreation = counter.Count;
  bitmap->SetSize(8, 6);
  EXPECT_EQ(counter.Count, afterCreation + 1);
  EXPECT_EQ(picture.GetWidth(), 8);
  EXPECT_EQ(picture.GetHeight(), 6);

  TPicture copy;
  copy.Assign(&picture);
  ASSERT_NE(copy.GetGraphic(), nullptr);
  EXPECT_NE(copy.GetGraphic(), picture.GetGraphic());
  EXPECT_EQ(copy.GetWidth(), 8);

  TTempFile file(".ico");
  WriteBytes(file.Path(), IconFile());
  picture.LoadFromFile(file.Path());
  EXPECT_NE(dynamic_cast<TIcon*>(picture.GetGraphic()), nullptr);
  EXPECT_EQ(picture.GetWidth(), 16);
  EXPECT_THROW(picture.LoadFromFile(ExeDir() + "missing.bmp"), EFOpenError);
  EXPECT_NE(dynamic_cast<TIcon*>(picture.GetGraphic()), nullptr);  // unchanged after the failure
  picture.Assign(nullptr);
  EXPECT_EQ(picture.GetGraphic(), nullptr);
}
