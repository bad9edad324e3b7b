#include "MessageWindow.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT kPing = WM_USER + 7;
constexpr UINT kThrow = WM_USER + 8;
constexpr UINT kFreeSelf = WM_USER + 9;

// A component-like object that owns a hidden window and records what its procedure sees.
struct TReceiver {
  HWND window = nullptr;
  std::vector<TMessage> seen;
  std::vector<std::string> handled;

  void WndProc(TMessage& message)
  {
    seen.push_back(message);
    if (message.Msg == kPing)
      message.Result = static_cast<LRESULT>(message.WParam + message.LParam);
    if (message.Msg == kThrow)
      throw Exception("Cannot open file C:\\missing.png");
    if (message.Msg == kFreeSelf) {
      DeallocateHWnd(window);
      window = nullptr;
    }
  }
  void HandleError(TObject*) { handled.push_back(CurrentExceptionMessage()); }

  int Count(UINT msg) const
  {
    int n = 0;
    for (const TMessage& m : seen)
      n += m.Msg == msg ? 1 : 0;
    return n;
  }
};

class MessageWindow : public ::testing::Test {
protected:
  void SetUp() override
  {
    savedHandler = ApplicationHandleException;
    ApplicationHandleException = nullptr;
    receiver.window = AllocateHWnd(TWndMethod(&receiver, &TReceiver::WndProc));
  }
  void TearDown() override
  {
    DeallocateHWnd(receiver.window);
    ApplicationHandleException = savedHandler;
  }

  TNotifyEvent savedHandler;

  TThrowingAsserts asserts;
  TReceiver receiver;
};

} // namespace

TEST_F(MessageWindow, IsAHiddenTopLevelWindowOfItsOwnClassOnThisThread)
{
  ASSERT_TRUE(IsWindow(receiver.window));
  EXPECT_FALSE(IsWindowVisible(receiver.window));
  // Top-level, not message-only: it must also get the system's broadcasts such as the end-session query.
  EXPECT_EQ(GetAncestor(receiver.window, GA_PARENT), GetDesktopWindow());
  char className[64] = {};
  GetClassNameA(receiver.window, className, sizeof(className));
  EXPECT_STREQ(className, kMessageWindowClass);
  EXPECT_EQ(GetWindowThreadProcessId(receiver.window, nullptr), GetCurrentThreadId());
}

TEST_F(MessageWindow, SentAndPostedMessagesReachTheClosureWithTheirParameters)
{
  EXPECT_EQ(SendMessageA(receiver.window, kPing, 40, 2), 42);
  ASSERT_EQ(receiver.Count(kPing), 1);

  ASSERT_TRUE(PostMessageA(receiver.window, kPing, 5, 6));
  ASSERT_TRUE(PumpUntil([&] { return receiver.Count(kPing) == 2; }));
  EXPECT_EQ(receiver.seen.back().WParam, 5u);
  EXPECT_EQ(receiver.seen.back().LParam, 6);
}

TEST_F(MessageWindow, ResultIsTheClosuresAloneWithoutTheSystemDefault)
{
  // The system's default would store the text and answer TRUE; the closure leaves both alone.
  EXPECT_EQ(SendMessageA(receiver.window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("changed")), 0);
  char text[16] = "x";
  EXPECT_EQ(GetWindowTextA(receiver.window, text, sizeof(text)), 0);
  EXPECT_EQ(receiver.Count(WM_SETTEXT), 1);
}

TEST_F(MessageWindow, NothingArrivesAfterDeallocateHWnd)
{
  HWND window = receiver.window;
  ASSERT_TRUE(PostMessageA(window, kPing, 1, 1));
  receiver.seen.clear();
  DeallocateHWnd(window);
  receiver.window = nullptr;

  EXPECT_FALSE(IsWindow(window));
  PumpPending();
  EXPECT_TRUE(receiver.seen.empty()) << "first message after deallocation: " << receiver.seen.front().Msg;
}

TEST_F(MessageWindow, ClosureMayFreeItsOwnWindow)
{
  HWND window = receiver.window;
  SendMessageA(window, kFreeSelf, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(receiver.window, nullptr);
  EXPECT_EQ(receiver.Count(WM_DESTROY), 0);
}

TEST_F(MessageWindow, WindowDestroyedDirectlyStillTellsItsClosureAndThenDropsIt)
{
  HWND window = receiver.window;
  receiver.window = nullptr;
  DestroyWindow(window);
  EXPECT_EQ(receiver.Count(WM_DESTROY), 1);
  EXPECT_EQ(receiver.Count(WM_NCDESTROY), 1);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(MessageWindow, ExceptionInTheClosureGoesToTheApplicationHandler)
{
  ApplicationHandleException = TNotifyEvent(&receiver, &TReceiver::HandleError);
  EXPECT_EQ(SendMessageA(receiver.window, kThrow, 0, 0), 0);
  ASSERT_EQ(receiver.handled.size(), 1u);
  EXPECT_EQ(receiver.handled[0], "Cannot open file C:\\missing.png");
  // The window keeps working.
  EXPECT_EQ(SendMessageA(receiver.window, kPing, 1, 2), 3);
}

TEST_F(MessageWindow, ExceptionWithoutApplicationHandlerShowsAnErrorBox)
{
  TSysRecorder recorder;
  SendMessageA(receiver.window, kThrow, 0, 0);
  ASSERT_EQ(recorder.Boxes.size(), 1u);
  EXPECT_EQ(recorder.Boxes[0].text, "Cannot open file C:\\missing.png");
  EXPECT_EQ(recorder.Boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(recorder.Boxes[0].caption, "GuiTests");
}

TEST_F(MessageWindow, DeallocateAcceptsNullAndRefusesForeignWindows)
{
  EXPECT_NO_THROW(DeallocateHWnd(nullptr));
  HWND foreign = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(foreign, nullptr);
  EXPECT_THROW(DeallocateHWnd(foreign), TAssertionFailure);
  EXPECT_TRUE(IsWindow(foreign));
  DestroyWindow(foreign);
}

TEST_F(MessageWindow, EachWindowHasItsOwnClosure)
{
  TReceiver other;
  other.window = AllocateHWnd(TWndMethod(&other, &TReceiver::WndProc));
  SendMessageA(other.window, kPing, 0, 0);
  EXPECT_EQ(other.Count(kPing), 1);
  EXPECT_EQ(receiver.Count(kPing), 0);
  DeallocateHWnd(other.window);
}

TEST_F(MessageWindow, TheOwnerFreesItsWindowWithDeallocateHWnd)
{
  TReceiver other;
  HWND raw = nullptr;
  {
    TMessageWindowHandle owned(AllocateHWnd(TWndMethod(&other, &TReceiver::WndProc)));
    raw = owned.Get();
    EXPECT_EQ(SendMessageA(raw, kPing, 2, 3), 5);
  }
  EXPECT_FALSE(IsWindow(raw));
  EXPECT_EQ(other.Count(WM_DESTROY), 0) << "freed as DeallocateHWnd does: the method hears nothing more";

  TMessageWindowHandle moved(AllocateHWnd(TWndMethod(&other, &TReceiver::WndProc)));
  raw = moved.Get();
  HWND extracted = TMessageWindowHandle(std::move(moved)).Extract();
  EXPECT_EQ(extracted, raw);
  EXPECT_TRUE(IsWindow(raw)) << "handed over, not freed";
  DeallocateHWnd(extracted);
}
