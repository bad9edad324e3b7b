#include "Handles.h"

#include <gtest/gtest.h>

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
