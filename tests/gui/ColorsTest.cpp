#include "Colors.h"

#include "GraphicsFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(Colors, SystemColoursResolveAndPlainColoursPassThrough)
{
  EXPECT_EQ(clGrayText, static_cast<TColor>(0x80000011u));
  EXPECT_EQ(ColorToRGB(clBtnFace), static_cast<TColor>(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(ColorToRGB(clGrayText), static_cast<TColor>(GetSysColor(COLOR_GRAYTEXT)));
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
  EXPECT_EQ(ColorToRGB(0x02123456), 0x02123456);  // flags of a plain colour stay
  EXPECT_EQ(ColorToColorRef(0x02123456), 0x123456u);
  EXPECT_EQ(clNone, 0x1FFFFFFF);
  EXPECT_EQ(clDefault, 0x20000000);
}
