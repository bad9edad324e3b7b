#include "TestSupport.h"
#include "WindowBinder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr const char* kClass = "TBinderTestWindow";
constexpr UINT kPing = WM_APP + 50;
constexpr UINT kThrow = WM_APP + 51;
constexpr UINT kFreeBinding = WM_APP + 52;

// An object whose window is bound through the binder; it records what reaches it.
struct TBound : TObject {
  std::unique_ptr<TWindowBinding> Binding;
  std::vector<UINT> Seen;
  bool DispatchingInside = false;
  int Detached = 0;

  TBound() : Binding(std::make_unique<TWindowBinding>(this, TWndMethod(this, &TBound::Receive)))
  {
    Binding->OnDetached = TClosure<void()>(this, &TBound::WindowGone);
  }
  HWND Create()
  {
    TWindowBinding::RegisterWindowClass(kClass, WNDCLASSA{});
    return Binding->Create(0, kClass, "bound", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
  }
  void Receive(TMessage& message)
  {
    Seen.push_back(message.Msg);
    DispatchingInside = Binding->Dispatching();
    switch (message.Msg) {
    case kPing:
      message.Result = static_cast<LRESULT>(message.WParam * 2);
      return;
    case kThrow:
      throw Exception("bound handler failed");
    case kFreeBinding:
      // The handler frees the binding of the window it is handling (which destroys the window).
      Binding.reset();
      message.Result = 5;
      return;
    default:
      message.Result = DefWindowProcA(Binding->Handle(), message.Msg, message.WParam, message.LParam);
    }
  }
  void WindowGone() { ++Detached; }
  bool Saw(UINT msg) const { return std::find(Seen.begin(), Seen.end(), msg) != Seen.end(); }
};

struct TErrors {
  std::vector<TObject*> Senders;
  std::vector<std::string> Texts;
  void Handle(TObject* sender)
  {
    Senders.push_back(sender);
    Texts.push_back(CurrentExceptionMessage());
  }
};

class WindowBinder : public ::testing::Test {
protected:
  void SetUp() override
  {
    saved = ApplicationHandleException;
    ApplicationHandleException = TNotifyEvent(&errors, &TErrors::Handle);
  }
  void TearDown() override { ApplicationHandleException = saved; }

  TNotifyEvent saved;
  TErrors errors;
  TBound bound;
};

} // namespace

TEST_F(WindowBinder, CreationMessagesAlreadyReachTheBoundObject)
{
  const HWND window = bound.Create();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(bound.Binding->Handle(), window);
  EXPECT_EQ(TWindowBinding::Find(window), bound.Binding.get());
  EXPECT_EQ(bound.Binding->Sender(), &bound);
  EXPECT_TRUE(bound.Saw(WM_NCCREATE));
  EXPECT_TRUE(bound.Saw(WM_CREATE));
  EXPECT_EQ(SendMessageA(window, kPing, 21, 0), 42);
  EXPECT_TRUE(bound.DispatchingInside);
  EXPECT_FALSE(bound.Binding->Dispatching());
}

TEST_F(WindowBinder, AClassNameIsRegisteredOnceAndNeverTakenFromAnotherProcedure)
{
  const ATOM first = TWindowBinding::RegisterWindowClass(kClass, WNDCLASSA{});
  EXPECT_NE(first, 0);
  EXPECT_EQ(TWindowBinding::RegisterWindowClass(kClass, WNDCLASSA{}), first);

  WNDCLASSA foreign{};
  foreign.lpfnWndProc = DefWindowProcA;
  foreign.hInstance = TWindowBinding::Instance();
  foreign.lpszClassName = "TForeignBinderClass";
  ASSERT_NE(RegisterClassA(&foreign), 0);
  EXPECT_THROW(TWindowBinding::RegisterWindowClass("TForeignBinderClass", WNDCLASSA{}), EInvalidOperation);
  UnregisterClassA("TForeignBinderClass", TWindowBinding::Instance());
}

TEST_F(WindowBinder, AnExceptionStopsAtTheBoundaryWithItsSender)
{
  const HWND window = bound.Create();
  EXPECT_EQ(SendMessageA(window, kThrow, 0, 0), 0);
  ASSERT_EQ(errors.Texts.size(), 1u);
  EXPECT_EQ(errors.Texts[0], "bound handler failed");
  EXPECT_EQ(errors.Senders[0], &bound);
  EXPECT_EQ(SendMessageA(window, kPing, 1, 0), 2) << "the window keeps working";
}

TEST_F(WindowBinder, TheWindowsLastMessageLetsGoOfTheBinding)
{
  const HWND window = bound.Create();
  DestroyWindow(window);
  EXPECT_TRUE(bound.Saw(WM_NCDESTROY)) << "the destroy messages still arrive";
  EXPECT_EQ(bound.Detached, 1);
  EXPECT_EQ(bound.Binding->Handle(), nullptr);
  EXPECT_EQ(TWindowBinding::Find(window), nullptr);

  // Destroy does the same from the object's side; Detach lets the window live on unbound.
  const HWND second = bound.Create();
  bound.Binding->Destroy();
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(bound.Detached, 2);
  const HWND third = bound.Create();
  bound.Binding->Detach();
  EXPECT_TRUE(IsWindow(third));
  bound.Seen.clear();
  EXPECT_EQ(SendMessageA(third, kPing, 4, 0), 0) << "default handling only";
  EXPECT_TRUE(bound.Seen.empty());
  DestroyWindow(third);
  EXPECT_EQ(bound.Detached, 3);
}

TEST_F(WindowBinder, AHandlerMayFreeTheBindingOfItsOwnWindow)
{
  const HWND window = bound.Create();
  EXPECT_EQ(SendMessageA(window, kFreeBinding, 0, 0), 5);
  EXPECT_FALSE(IsWindow(window)) << "a binding takes its window with it";
  EXPECT_EQ(bound.Binding, nullptr);
  EXPECT_TRUE(errors.Texts.empty());
}
