// Dragging a shaped form with the display's real pointer: xdotool presses, moves and releases the button
// as a user would, and the system's move loop carries the form along.
#include "ShapedWindowFixture.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class PointerDrag : public ShapedWindowTest {
protected:
  void SetUp() override
  {
    MakeShapedForm(900, 700);
    Form->SetFormStyle(fsStayOnTop);  // nothing else on the display takes the presses
    Log.WatchMouse(Image);
    m_maker.SetUsePerPixelAlpha(true);
    ASSERT_TRUE(m_maker.Attach(Image));
  }

  // Presses the left button on the picture at (30, 30), moves the pointer by (40, -25) in two steps and
  // releases it; true once the earlier handler has seen the press and the button is up again.
  bool Drag()
  {
    Log.Clear();
    // Not waited for: the press starts the system's move loop, which needs this thread's messages.
    if (!RunXdotool({"mousemove", "930", "730", "sleep", "0.1", "mousedown", "1", "sleep", "0.1", "mousemove", "950",
                     "718", "sleep", "0.1", "mousemove", "970", "705", "sleep", "0.1", "mouseup", "1"},
                    false)) {
      ADD_FAILURE() << "cannot start xdotool";
      return false;
    }
    return PumpUntil(
        [&] { return !Log.Entries.empty() && !(GetAsyncKeyState(VK_LBUTTON) & 0x8000); }, 1000);
  }

  TsPerPixelLayeredFormMaker m_maker;
};

TEST_F(PointerDrag, DraggingThePictureMovesTheFormThenCallsTheEarlierHandler)
{
  ASSERT_TRUE(Drag()) << testing::PrintToString(Log.Entries);
  EXPECT_EQ(Log.Entries[0], "down Picture L 30,30");
  const RECT place = WindowRect(Window());
  EXPECT_EQ(place.left, 940);
  EXPECT_EQ(place.top, 675);
}

TEST_F(PointerDrag, SetDraggableFalseKeepsTheFormWhereItIs)
{
  m_maker.SetDraggable(false);
  ASSERT_TRUE(Drag()) << testing::PrintToString(Log.Entries);
  EXPECT_EQ(Log.Entries[0], "down Picture L 30,30");
  EXPECT_EQ(WindowRect(Window()).left, 900);
  EXPECT_EQ(WindowRect(Window()).top, 700);
}

} // namespace
