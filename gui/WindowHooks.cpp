#include "WindowHooks.h"

#include <algorithm>

void TWindowHookLink::PassOn(TMessage& Message)
{
  m_chain->RunFrom(m_chain->EndAfter(this), Message);
}

// The calls are stack frames that unlink themselves when they end; GCC takes the frame's address kept in
// the chain for a dangling one.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
TWindowProcChain::TCall::TCall(TWindowProcChain* chain, const TWindowHookLink* link)
    : m_chain(chain), m_link(link), m_installation(link->m_installation), m_outer(chain->m_calls)
{
  chain->m_calls = this;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

TWindowProcChain::TCall::~TCall()
{
  if (!m_chainGone)
    m_chain->m_calls = m_outer;
}

TWindowProcChain::~TWindowProcChain()
{
  for (TCall* call = m_calls; call; call = call->m_outer)
    call->m_chainGone = true;
}

void TWindowProcChain::Dispatch(TMessage& Message)
{
  RunFrom(m_links.size(), Message);
}

void TWindowProcChain::RunFrom(size_t end, TMessage& Message)
{
  for (size_t i = end; i-- > 0;) {
    TWindowHookLink* link = m_links[i].get();
    if (!link->m_installed)
      continue;
    const TCall call(this, link);
    if (link->m_proc) {
      // The hook passes the message on itself, through its link.
      const TWndMethod proc = link->m_proc;
      proc(Message);
      return;
    }
    const TWindowHook filter = link->m_filter;
    if (filter(Message) || call.ChainGone())
      return;
    // The filter may have installed or removed hooks, itself included: go on with those that stood below
    // it when it was called.
    i = EndBefore(call.m_installation);
  }
  m_own(Message);
}

size_t TWindowProcChain::EndAfter(const TWindowHookLink* link) const
{
  for (const TCall* call = m_calls; call; call = call->m_outer) {
    if (call->m_link == link)
      return EndBefore(call->m_installation);
  }
  return EndBefore(link->m_installation);
}

size_t TWindowProcChain::EndBefore(uint64_t installation) const
{
  size_t end = m_links.size();
  while (end > 0 && m_links[end - 1]->m_installation >= installation)
    --end;
  return end;
}

TWindowHookLink* TWindowProcChain::Find(const TWndMethod& proc, const TWindowHook& filter) const
{
  for (const auto& link : m_links) {
    if (link->m_installed && link->m_proc == proc && link->m_filter == filter)
      return link.get();
  }
  return nullptr;
}

TWindowHookLink* TWindowProcChain::Install(const TWndMethod& proc, const TWindowHook& filter)
{
  // A link of the same hook is used again, so a hook that comes and goes does not pile up links.
  auto same = std::find_if(m_links.begin(), m_links.end(), [&](const std::unique_ptr<TWindowHookLink>& link) {
    return link->m_proc == proc && link->m_filter == filter;
  });
  std::unique_ptr<TWindowHookLink> link;
  if (same != m_links.end()) {
    link = std::move(*same);
    m_links.erase(same);
  } else {
    link = std::make_unique<TWindowHookLink>(this, proc, filter);
  }
  link->m_installed = true;
  link->m_installation = ++m_installations;
  m_links.push_back(std::move(link));
  return m_links.back().get();
}

TWndMethod TWindowProcChain::Hook(const TWndMethod& hook)
{
  if (!hook)
    return TWndMethod();
  return TWndMethod(Install(hook, nullptr), &TWindowHookLink::PassOn);
}

void TWindowProcChain::Hook(const TWindowHook& hook)
{
  if (hook)
    Install(nullptr, hook);
}

void TWindowProcChain::Unhook(const TWndMethod& hook)
{
  if (TWindowHookLink* link = Find(hook, nullptr))
    link->m_installed = false;
}

void TWindowProcChain::Unhook(const TWindowHook& hook)
{
  if (TWindowHookLink* link = Find(nullptr, hook))
    link->m_installed = false;
}

int TWindowProcChain::HookCount() const
{
  return static_cast<int>(std::count_if(m_links.begin(), m_links.end(),
                                        [](const std::unique_ptr<TWindowHookLink>& link) { return link->m_installed; }));
}

void TWindowProcChain::UnhookAll()
{
  for (auto& link : m_links)
    link->m_installed = false;
}
