#include "WindowHooks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr UINT kProbe = WM_APP + 40;

std::vector<std::string> g_trail;

// The window's own handling: notes that the message got through.
struct TOwn {
  void Proc(TMessage& message)
  {
    g_trail.push_back("own");
    message.Result = 7;
  }
};

// A hook in the way the program's helpers write theirs: it keeps the closure Hook returned and passes
// messages on through it.
struct TRelay {
  explicit TRelay(std::string name) : Name(std::move(name)) {}
  std::string Name;
  TWindowProcChain* Chain = nullptr;
  TWndMethod Next;
  bool Keep = false;
  bool UnhookWhileRunning = false;

  TWndMethod Closure() { return TWndMethod(this, &TRelay::Proc); }
  void Install(TWindowProcChain& chain)
  {
    Chain = &chain;
    Next = chain.Hook(Closure());
  }
  void Remove() { Chain->Unhook(Closure()); }
  void Proc(TMessage& message)
  {
    g_trail.push_back(Name);
    if (UnhookWhileRunning)
      Remove();
    if (!Keep)
      Next(message);
  }
};

// A hook that only looks, as the application window's hooks do.
struct TFilter {
  explicit TFilter(std::string name) : Name(std::move(name)) {}
  std::string Name;
  bool Keep = false;
  bool Look(TMessage&)
  {
    g_trail.push_back(Name);
    return Keep;
  }
};

class WindowHooks : public ::testing::Test {
protected:
  void SetUp() override { g_trail.clear(); }
  // The names of what a message passed, in order.
  std::vector<std::string> Send()
  {
    g_trail.clear();
    TMessage message;
    message.Msg = kProbe;
    chain(message);
    return g_trail;
  }

  TOwn own;
  TWindowProcChain chain{TWndMethod(&own, &TOwn::Proc)};
  TRelay a{"a"}, b{"b"}, c{"c"};
};

using Trail = std::vector<std::string>;

TEST_F(WindowHooks, HooksRunNewestFirstAndMayBeRemovedInAnyOrder)
{
  // Each step changes the hooks, then a message shows what it passes.
  struct TStep {
    const char* what;
    std::function<void()> change;
    Trail expected;
  };
  const TStep steps[] = {
      {"nothing hooked", [] {}, {"own"}},
      {"hook a", [&] { a.Install(chain); }, {"a", "own"}},
      {"hook b", [&] { b.Install(chain); }, {"b", "a", "own"}},
      {"unhook a, the older one", [&] { a.Remove(); }, {"b", "own"}},
      {"hook c", [&] { c.Install(chain); }, {"c", "b", "own"}},
      {"hook a again", [&] { a.Install(chain); }, {"a", "c", "b", "own"}},
      {"unhook c, in the middle", [&] { c.Remove(); }, {"a", "b", "own"}},
      {"unhook b", [&] { b.Remove(); }, {"a", "own"}},
      {"unhook b twice", [&] { b.Remove(); }, {"a", "own"}},
      {"unhook a", [&] { a.Remove(); }, {"own"}},
  };
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    EXPECT_EQ(Send(), step.expected);
  }
  EXPECT_EQ(chain.HookCount(), 0);
}

TEST_F(WindowHooks, APassOnClosureReachesWhatFollowsItsHookNow)
{
  a.Install(chain);
  b.Install(chain);
  c.Install(chain);
  // b was given a's hook as its next; with a gone, b's closure leads straight to the own handling.
  a.Remove();
  EXPECT_EQ(Send(), (Trail{"c", "b", "own"}));
  // c's closure led to b; b gone, it leads on to the own handling, not to the removed hook.
  b.Remove();
  EXPECT_EQ(Send(), (Trail{"c", "own"}));

  // A hook that removes itself while it runs still passes this message on.
  c.UnhookWhileRunning = true;
  EXPECT_EQ(Send(), (Trail{"c", "own"}));
  EXPECT_EQ(Send(), (Trail{"own"}));
  EXPECT_FALSE(chain.IsHooked(c.Closure()));
}

TEST_F(WindowHooks, AHookThatKeepsTheMessageStopsEverythingAfterIt)
{
  a.Install(chain);
  b.Install(chain);
  b.Keep = true;
  TMessage message;
  message.Msg = kProbe;
  chain(message);
  EXPECT_EQ(g_trail, (Trail{"b"}));
  EXPECT_EQ(message.Result, 0);
  b.Keep = false;
  EXPECT_EQ(Send(), (Trail{"b", "a", "own"}));
}

TEST_F(WindowHooks, LookingHooksAndRelayingHooksShareOneOrder)
{
  TFilter x{"x"}, y{"y"};
  chain.Hook(TWindowHook(&x, &TFilter::Look));
  a.Install(chain);
  chain.Hook(TWindowHook(&y, &TFilter::Look));
  EXPECT_EQ(chain.HookCount(), 3);
  EXPECT_EQ(Send(), (Trail{"y", "a", "x", "own"}));
  x.Keep = true;
  EXPECT_EQ(Send(), (Trail{"y", "a", "x"}));
  chain.Unhook(TWindowHook(&x, &TFilter::Look));
  EXPECT_EQ(Send(), (Trail{"y", "a", "own"}));
  chain.UnhookAll();
  EXPECT_EQ(Send(), (Trail{"own"}));
  EXPECT_EQ(chain.HookCount(), 0);
}

TEST_F(WindowHooks, AHookThatInstallsItselfAgainWhileItRunsPassesEachMessageOnOnce)
{
  // It comes to the front for the next message; the hooks that were in front of it do not run again.
  struct TRehooking {
    TWindowProcChain* Chain;
    TWndMethod Next;
    void Proc(TMessage& message)
    {
      g_trail.push_back("r");
      Next = Chain->Hook(TWndMethod(this, &TRehooking::Proc));
      Next(message);
    }
    bool Look(TMessage&)
    {
      g_trail.push_back("r");
      Chain->Hook(TWindowHook(this, &TRehooking::Look));
      return false;
    }
  } rehooking{&chain, TWndMethod()};
  struct TCase {
    const char* what;
    std::function<void()> install;
  };
  const TCase cases[] = {
      {"a relaying hook", [&] { rehooking.Next = chain.Hook(TWndMethod(&rehooking, &TRehooking::Proc)); }},
      {"a looking hook", [&] { chain.Hook(TWindowHook(&rehooking, &TRehooking::Look)); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    chain.UnhookAll();
    a.Install(chain);
    c.install();
    b.Install(chain);
    this->c.Install(chain);
    EXPECT_EQ(Send(), (Trail{"c", "b", "r", "a", "own"}));
    EXPECT_EQ(Send(), (Trail{"r", "c", "b", "a", "own"}));
  }
}

TEST_F(WindowHooks, EmptyHooksAreIgnored)
{
  EXPECT_FALSE(chain.Hook(TWndMethod()));
  chain.Hook(TWindowHook());
  EXPECT_EQ(chain.HookCount(), 0);
  EXPECT_EQ(Send(), (Trail{"own"}));
}

} // namespace
