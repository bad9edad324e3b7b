#include "WindowHooks.h"

#include <algorithm>

void TWindowHookLink::PassOn(TMessage& Message)
{
  m_chain->RunFrom(m_chain->PositionOf(this), Message);
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
    if (link->m_proc) {
      // The hook passes the message on itself, through its link.
      const TWndMethod proc = link->m_proc;
      proc(Message);
      return;
    }
    const TWindowHook filter = link->m_filter;
    if (filter(Message))
      return;
    // The filter may have installed or removed hooks: go on below it, wherever it is now.
    i = PositionOf(link);
  }
  m_own(Message);
}

size_t TWindowProcChain::PositionOf(const TWindowHookLink* link) const
{
  for (size_t i = 0; i < m_links.size(); ++i) {
    if (m_links[i].get() == link)
      return i;
  }
  return 0;
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
