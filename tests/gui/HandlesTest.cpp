#include "Handles.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

TEST(Handles, GdiObjectsAreFreedOnceAndMoveWithTheirOwner)
{
  HBRUSH raw = CreateSolidBrush(RGB(1, 2, 3));
  {
    TBrushHandle first(raw);
    TBrushHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), raw);
    TBrushHandle third;
    third = std::move(second);
    EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_BRUSH));
  }
  EXPECT_EQ(GetObjectType(raw), 0u);

  TPenHandle pen(CreatePen(PS_SOLID, 1, 0));
  HPEN released = pen.Extract();
  EXPECT_FALSE(pen);
  EXPECT_EQ(GetObjectType(released), static_cast<DWORD>(OBJ_PEN));
  pen.Reset(released);
  pen.Reset();
  EXPECT_EQ(GetObjectType(released), 0u);
}

TEST(Handles, SelectorsPutThePreviousObjectBack)
{
  TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
  ASSERT_TRUE(dc);
  const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BRUSH);
  TBrushHandle brush(CreateSolidBrush(RGB(9, 9, 9)));
  {
    TSelectObject select(dc.Get(), brush.Get());
    EXPECT_EQ(select.Previous(), original);
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), brush.Get());
  }
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), original);
  {
    TSelectObject select(dc.Get(), brush.Get());
    select.Restore();
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), original);
  }
  {
    TSelectObject nothing(dc.Get(), nullptr);
    EXPECT_EQ(nothing.Previous(), nullptr);
  }
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), original);
}

TEST(Handles, DeviceContextsAreDeletedOrReleased)
{
  HDC raw = nullptr;
  {
    TMemoryDC dc = TMemoryDC::CreateCompatible(nullptr);
    raw = dc.Get();
    EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_MEMDC));
  }
  EXPECT_EQ(GetObjectType(raw), 0u);

  TWindowDC screen(nullptr);
  ASSERT_TRUE(screen);
  EXPECT_GT(GetDeviceCaps(screen.Get(), HORZRES), 0);
  TWindowDC moved(std::move(screen));
  EXPECT_FALSE(screen);
  EXPECT_TRUE(moved);
  moved.Reset();
  EXPECT_FALSE(moved);
}

TEST(Handles, KernelHandlesTreatBothInvalidValuesAsNone)
{
  TKernelHandle none(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none);
  TKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  HANDLE duplicate = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event.Get(), GetCurrentProcess(), &duplicate, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  TKernelHandle second(duplicate);
  event.Reset();
  EXPECT_TRUE(SetEvent(second.Get()));  // the object lives on through the other handle

  TModuleHandle module(LoadLibraryA("msimg32.dll"));
  ASSERT_TRUE(module);
  EXPECT_NE(GetProcAddress(module.Get(), "TransparentBlt"), nullptr);
}

TEST(Handles, MenusAreDestroyedWithTheirSubmenus)
{
  HMENU sub = CreatePopupMenu();
  HMENU raw = nullptr;
  {
    TMenuHandle menu(CreatePopupMenu());
    ASSERT_TRUE(menu);
    raw = menu.Get();
    ASSERT_TRUE(AppendMenuA(raw, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "sub"));
    EXPECT_TRUE(IsMenu(raw));
  }
  EXPECT_FALSE(IsMenu(raw));
  EXPECT_FALSE(IsMenu(sub));
}

TEST(Handles, APaintDCEndsThePaintAlsoWhenPaintingThrows)
{
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 40, nullptr, nullptr, nullptr,
                                nullptr);
  ASSERT_NE(window, nullptr);
  RECT pending{};
  std::vector<HDC> used;
  for (bool fail : {true, true, false}) {
    SCOPED_TRACE(fail);
    ValidateRect(window, nullptr);
    const RECT part{5, 5, 20, 15};
    InvalidateRect(window, &part, TRUE);
    ASSERT_TRUE(GetUpdateRect(window, &pending, FALSE));
    try {
      const TPaintDC paint(window);
      EXPECT_NE(paint.Get(), nullptr);
      used.push_back(paint.Get());
      EXPECT_EQ(paint.Area().left, 5);
      EXPECT_EQ(paint.Area().bottom, 15);
      if (fail)
        throw std::runtime_error("painting failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(GetUpdateRect(window, &pending, FALSE)) << "the area was validated";
  }
  // A paint DC that was not given back stays taken, and the next paint gets another one.
  ASSERT_EQ(used.size(), 3u);
  EXPECT_EQ(used[1], used[0]);
  EXPECT_EQ(used[2], used[0]);
  DestroyWindow(window);
}
