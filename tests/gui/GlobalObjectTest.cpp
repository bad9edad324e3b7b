#include "Application.h"
#include "Control.h"
#include "GlobalObject.h"
#include "Screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Read during the test program's static initialisation, before main.
const bool g_applicationMadeBeforeMain = Application.Peek() != nullptr;
const bool g_screenMadeBeforeMain = Screen.Peek() != nullptr;
const bool g_mouseMadeBeforeMain = Mouse.Peek() != nullptr;

struct TCounted;
std::vector<std::string> g_events;
TCounted* MakeCounted();
TGlobalObject<TCounted> g_counted(&MakeCounted);

struct TCounted {
  ~TCounted()
  {
    // While it goes, it is still the object in force.
    g_events.push_back(g_counted.Peek() == this ? "destroyed in force" : "destroyed out of force");
  }
};

TCounted* MakeCounted()
{
  g_events.push_back("made");
  return new TCounted();
}

TEST(GlobalObject, TheLibrarysObjectsAreNotMadeBeforeMain)
{
  EXPECT_FALSE(g_applicationMadeBeforeMain);
  EXPECT_FALSE(g_screenMadeBeforeMain);
  EXPECT_FALSE(g_mouseMadeBeforeMain);
  EXPECT_TRUE(static_cast<bool>(Application)) << "made when first used";
  EXPECT_EQ(Application.Peek(), Application.Get());
}

TEST(GlobalObject, IsMadeOnceOnFirstUseCanBeReplacedAndIsNotMadeAgainAfterItsEnd)
{
  g_events.clear();
  EXPECT_EQ(g_counted.Peek(), nullptr) << "looking makes nothing";
  TCounted* made = g_counted.Get();
  EXPECT_EQ(g_counted.Get(), made);
  EXPECT_TRUE(static_cast<bool>(g_counted));
  EXPECT_EQ(g_events, (std::vector<std::string>{"made"}));

  TCounted other;
  g_counted = &other;
  EXPECT_EQ(g_counted.Get(), &other);
  g_counted = nullptr;
  EXPECT_EQ(g_counted.Get(), nullptr) << "nothing in force, and nothing made again";
  g_counted = made;

  g_counted.DestroyMade();
  EXPECT_EQ(g_events, (std::vector<std::string>{"made", "destroyed in force"}));
  EXPECT_EQ(g_counted.Get(), nullptr);
  EXPECT_FALSE(static_cast<bool>(g_counted));
  EXPECT_EQ(g_events.size(), 2u) << "not made again after the end";
  g_counted = &other;
  EXPECT_EQ(g_counted.Get(), &other);
  g_counted = nullptr;
}

} // namespace
