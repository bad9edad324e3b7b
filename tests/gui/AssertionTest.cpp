#include "Assertion.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(Assertion, DefaultReporterShowsTheBoxCaptionedWithTheExeNameAndEndsTheProcess)
{
  TSysRecorder recorder;
  UINT exitCode = 0;
  SysApi().ExitProcess = [&](UINT code) { exitCode = code; };
  const bool ok = false;
  KO_ASSERT(ok);
  ASSERT_EQ(recorder.Boxes.size(), 1u);
  EXPECT_EQ(recorder.Boxes[0].caption, "GuiTests.exe");
  EXPECT_EQ(recorder.Boxes[0].text.rfind("Assertion failed: ok, file AssertionTest.cpp, line ", 0), 0u);
  EXPECT_NE(exitCode, 0u);
}

TEST(Assertion, ReporterCanBeReplacedAndPutBack)
{
  {
    TThrowingAsserts throwing;
    EXPECT_THROW(KO_ASSERT(1 + 1 == 3), TAssertionFailure);
    EXPECT_NO_THROW(KO_ASSERT(1 + 1 == 2));
  }
  TSysRecorder recorder;
  SysApi().ExitProcess = [](UINT) {};
  KO_ASSERT(!true);
  ASSERT_EQ(recorder.Boxes.size(), 1u);
  EXPECT_NE(recorder.Boxes[0].text.find("Assertion failed: !true"), std::string::npos);
}
