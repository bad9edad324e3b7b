// The leak counters every test, the bench and the soak driver rely on: each must see its own kind of
// object come and go, and one that cannot count must fail the test that used it.
#include "ProcessCounts.h"
#include "TestSupport.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

TEST(LeakCounters, EachSeesItsObjectComeAndGo)
{
  const int gdi = GdiObjectCount();
  const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_EQ(GdiObjectCount(), gdi + 1);
  DeleteObject(brush);
  EXPECT_EQ(GdiObjectCount(), gdi);

  const long handles = KernelHandleCount();
  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(KernelHandleCount(), handles + 1);
  CloseHandle(event);
  EXPECT_EQ(KernelHandleCount(), handles);

  const long long bytes = PrivateByteCount();
  void* block = VirtualAlloc(nullptr, 4 << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(PrivateByteCount(), bytes + (4 << 20));
  VirtualFree(block, 0, MEM_RELEASE);
  EXPECT_LT(PrivateByteCount(), bytes + (4 << 20));

  // While a thread has a window, the system may keep helper windows for it (an input method's): one window
  // stays for the whole count.
  const HWND keeper = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  const int windows = ThreadWindowCount();
  const HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, parent, nullptr, nullptr, nullptr);
  EXPECT_EQ(ThreadWindowCount(), windows + 2);
  EXPECT_EQ(koprobe::WindowsOfProcess(GetCurrentProcessId()), ThreadWindowCount());
  DestroyWindow(parent);
  EXPECT_EQ(ThreadWindowCount(), windows);
  DestroyWindow(keeper);
}

TEST(LeakCounters, ACountThatCannotBeReadFailsTheTest)
{
  EXPECT_NONFATAL_FAILURE(CountedOrFail(-1, "widgets"), "no way to count widgets");
  EXPECT_EQ(CountedOrFail(7, "widgets"), 7);
}

TEST(LeakCounters, AnotherProcessIsCountedFromOutside)
{
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  std::string command = "\"" + ExeDir() + "holddesktop.exe\"";
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &started));
  WaitForInputIdle(started.hProcess, 20000);
  EXPECT_GT(koprobe::GdiObjectsOf(started.hProcess), 0);
  EXPECT_GT(koprobe::KernelHandlesOf(started.hProcess), 0);
  EXPECT_GT(koprobe::PrivateBytesOf(started.hProcess), 0);
  EXPECT_GE(koprobe::WindowsOfProcess(started.dwProcessId), 1);
  TerminateProcess(started.hProcess, 0);
  WaitForSingleObject(started.hProcess, 10000);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

} // namespace
