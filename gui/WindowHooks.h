#pragma once
// A window procedure that helpers can hook: each hook sees a message before the window's own handling and
// passes it on or keeps it. Hooks come and go in any order without losing each other, which a saved and
// restored closure cannot promise once two helpers hook the same window.
#include "Messages.h"

#include <cstdint>
#include <memory>
#include <vector>

// A hook that only looks at messages: true keeps the message (nothing after the hook sees it), false
// passes it on.
using TWindowHook = TClosure<bool(TMessage& Message)>;

class TWindowProcChain;

// One installed hook. Kept by its chain for the chain's whole life, so that the closure a hook was given
// for passing messages on stays callable even after the hook is removed.
class TWindowHookLink {
public:
  TWindowHookLink(TWindowProcChain* chain, const TWndMethod& proc, const TWindowHook& filter)
      : m_chain(chain), m_proc(proc), m_filter(filter)
  {
  }
  TWindowHookLink(const TWindowHookLink&) = delete;
  TWindowHookLink& operator=(const TWindowHookLink&) = delete;

  // Hands `Message` to whatever follows this hook now; while the hook handles a message, to what
  // followed it when the message reached it, even if it has been installed again since (in front).
  void PassOn(TMessage& Message);

private:
  friend class TWindowProcChain;

  TWindowProcChain* m_chain;
  TWndMethod m_proc;
  TWindowHook m_filter;
  bool m_installed = true;
  // When it was installed last: the chain's links are in this order, and what was installed after a
  // hook stands in front of it.
  uint64_t m_installation = 0;
};

// The window procedure of a control or of the application window: the hooks, newest first, then the
// window's own handling. Dispatching allocates nothing.
class TWindowProcChain {
public:
  explicit TWindowProcChain(const TWndMethod& own) : m_own(own) {}
  ~TWindowProcChain();
  TWindowProcChain(const TWindowProcChain&) = delete;
  TWindowProcChain& operator=(const TWindowProcChain&) = delete;

  // Runs a message through the hooks and the own handling.
  void operator()(TMessage& Message) { Dispatch(Message); }
  void Dispatch(TMessage& Message);

  // Installs `hook` in front of everything else and returns the closure it calls to pass a message on:
  // that always reaches what follows the hook at the time of the call, so hooks may be removed in any
  // order. Installing a hook that is already there moves it to the front.
  TWndMethod Hook(const TWndMethod& hook);
  // Installs a hook that only looks; it runs in front of everything else.
  void Hook(const TWindowHook& hook);
  // Removes a hook wherever it is; the others keep their order. A hook that is not installed is ignored.
  void Unhook(const TWndMethod& hook);
  void Unhook(const TWindowHook& hook);
  bool IsHooked(const TWndMethod& hook) const { return Find(hook, nullptr) != nullptr; }
  bool IsHooked(const TWindowHook& hook) const { return Find(nullptr, hook) != nullptr; }
  // Installed hooks of both kinds.
  int HookCount() const;
  // Removes every hook: their objects are going and must not see another message.
  void UnhookAll();

  // The window's own handling, which runs after the hooks.
  const TWndMethod& Own() const { return m_own; }

private:
  friend class TWindowHookLink;

  TWindowHookLink* Find(const TWndMethod& proc, const TWindowHook& filter) const;
  TWindowHookLink* Install(const TWndMethod& proc, const TWindowHook& filter);
  // One hook handling a message, on the stack: it notes where the hook stood when the message reached
  // it. A chain destroyed meanwhile (its control freed by a handler) marks its calls, so that nothing
  // touches it afterwards.
  class TCall {
  public:
    TCall(TWindowProcChain* chain, const TWindowHookLink* link);
    ~TCall();
    TCall(const TCall&) = delete;
    TCall& operator=(const TCall&) = delete;
    bool ChainGone() const { return m_chainGone; }

  private:
    friend class TWindowProcChain;
    TWindowProcChain* m_chain;
    const TWindowHookLink* m_link;
    uint64_t m_installation;
    TCall* m_outer;
    bool m_chainGone = false;
  };

  // Runs the message from the installed hook below position `end` (exclusive) down, then the own handling.
  void RunFrom(size_t end, TMessage& Message);
  // The position below which the hooks installed before `installation` stand.
  size_t EndBefore(uint64_t installation) const;
  // Where a hook passes a message on to: below where it stood when the message reached it, if it is
  // handling one; else below where it stands now.
  size_t EndAfter(const TWindowHookLink* link) const;

  TWndMethod m_own;
  uint64_t m_installations = 0;
  TCall* m_calls = nullptr;
  // Oldest first; removed links stay (not installed) so that their pass-on closures remain valid.
  std::vector<std::unique_ptr<TWindowHookLink>> m_links;
};
