#include "GraphicObjects.h"

#include "GraphicsFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <utility>

TEST(Font, SizeFollowsHeightThroughPixelsPerInch)
{
  TFont font;
  font.SetPixelsPerInch(96);
  font.SetHeight(-16);
  EXPECT_EQ(font.GetSize(), 12);
  font.SetSize(9);
  EXPECT_EQ(font.GetHeight(), -12);
  font.SetPixelsPerInch(120);
  font.SetSize(9);
  EXPECT_EQ(font.GetHeight(), -15);
}

TEST(Font, ChangesNotifyOnceAndRecreateTheHandle)
{
  TFont font;
  TCounter counter;
  font.OnChange = counter.Event();
  LOGFONTA before{};
  ASSERT_TRUE(GetObjectA(font.GetHandle(), sizeof(before), &before));
  EXPECT_EQ(before.lfWeight, FW_NORMAL);

  font.SetStyle({fsBold, fsUnderline});
  font.SetStyle({fsBold, fsUnderline});  // unchanged: no notification
  font.SetHeight(-20);
  font.SetColor(clRed);
  EXPECT_EQ(counter.Count, 3);
  EXPECT_EQ(counter.LastSender, &font);

  LOGFONTA after{};
  ASSERT_TRUE(GetObjectA(font.GetHandle(), sizeof(after), &after));
  EXPECT_EQ(after.lfWeight, FW_BOLD);
  EXPECT_TRUE(after.lfUnderline);
  EXPECT_FALSE(after.lfItalic);
  EXPECT_EQ(after.lfHeight, -20);
}

TEST(Font, AssignCopiesEverythingAndRejectsOtherClasses)
{
  TFont source;
  source.SetName("Arial");
  source.SetHeight(-20);
  source.SetColor(clBlue);
  source.SetStyle({fsItalic});
  source.SetCharset(ANSI_CHARSET);
  source.SetQuality(fqNonAntialiased);
  TFont dest;
  TCounter counter;
  dest.OnChange = counter.Event();
  dest.Assign(&source);
  EXPECT_EQ(dest.GetName(), "Arial");
  EXPECT_EQ(dest.GetHeight(), -20);
  EXPECT_EQ(dest.GetColor(), clBlue);
  EXPECT_EQ(dest.GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(dest.GetCharset(), ANSI_CHARSET);
  EXPECT_EQ(dest.GetQuality(), fqNonAntialiased);
  EXPECT_EQ(counter.Count, 1);

  TPen pen;
  EXPECT_THROW(dest.Assign(&pen), EInvalidCast);
  EXPECT_THROW(dest.Assign(nullptr), EConvertError);
  EXPECT_EQ(dest.GetHeight(), -20);
  EXPECT_EQ(counter.Count, 1);
}

TEST(Font, QualityReachesTheHandle)
{
  const std::pair<TFontQuality, BYTE> cases[] = {
      {fqDefault, DEFAULT_QUALITY},         {fqDraft, DRAFT_QUALITY},
      {fqProof, PROOF_QUALITY},             {fqNonAntialiased, NONANTIALIASED_QUALITY},
      {fqAntialiased, ANTIALIASED_QUALITY}, {fqClearType, CLEARTYPE_QUALITY},
      {fqClearTypeNatural, CLEARTYPE_NATURAL_QUALITY},
  };
  TFont font;
  TCounter counter;
  font.OnChange = counter.Event();
  for (const auto& [quality, expected] : cases) {
    font.SetQuality(quality);
    LOGFONTA logFont{};
    ASSERT_TRUE(GetObjectA(font.GetHandle(), sizeof(logFont), &logFont));
    EXPECT_EQ(logFont.lfQuality, expected) << quality;
  }
  // The first case was the default already: one notification fewer than cases.
  EXPECT_EQ(counter.Count, 6);
}

TEST(PenAndBrush, HandlesFollowTheirProperties)
{
  TPen pen;
  pen.SetColor(clRed);
  pen.SetWidth(3);
  LOGPEN logPen{};
  ASSERT_TRUE(GetObjectA(pen.GetHandle(), sizeof(logPen), &logPen));
  EXPECT_EQ(logPen.lopnColor, RGB(255, 0, 0));
  EXPECT_EQ(logPen.lopnWidth.x, 3);
  pen.SetStyle(psClear);
  EXPECT_EQ(pen.GetHandle(), GetStockObject(NULL_PEN));

  TBrush brush;
  brush.SetColor(clBtnFace);
  LOGBRUSH logBrush{};
  ASSERT_TRUE(GetObjectA(brush.GetHandle(), sizeof(logBrush), &logBrush));
  EXPECT_EQ(logBrush.lbColor, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_SOLID));
  brush.SetStyle(bsCross);
  ASSERT_TRUE(GetObjectA(brush.GetHandle(), sizeof(logBrush), &logBrush));
  EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_HATCHED));
  brush.SetStyle(bsClear);
  EXPECT_EQ(brush.GetHandle(), GetStockObject(NULL_BRUSH));

  TBrush copy;
  TCounter counter;
  copy.OnChange = counter.Event();
  copy.Assign(&brush);
  EXPECT_EQ(copy.GetStyle(), bsClear);
  EXPECT_EQ(copy.GetColor(), clBtnFace);
  EXPECT_EQ(counter.Count, 1);
  TPen penCopy;
  penCopy.Assign(&pen);
  EXPECT_EQ(penCopy.GetWidth(), 3);
  EXPECT_THROW(penCopy.Assign(&brush), EInvalidCast);
}
