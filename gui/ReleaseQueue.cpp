#include "ReleaseQueue.h"

#include "WinControl.h"
#include "MessageWindow.h"
#include "Messages.h"

#include <algorithm>
#include <vector>

namespace {

// Whether `inner` is `outer` or lies inside it: owned by it or placed on it, at any depth and by any
// mix of the two.
bool IsWithin(TComponent* inner, const TComponent* outer)
{
  std::vector<TComponent*> seen;
  std::vector<TComponent*> open{inner};
  while (!open.empty()) {
    TComponent* component = open.back();
    open.pop_back();
    if (!component || std::find(seen.begin(), seen.end(), component) != seen.end())
      continue;
    if (component == outer)
      return true;
    seen.push_back(component);
    open.push_back(component->Owner());
    if (auto* control = dynamic_cast<TControl*>(component))
      open.push_back(control->GetParent());
  }
  return false;
}

class TReleaseQueue {
public:
  void Add(TComponent* component)
  {
    m_pending.push_back(TPending{component, TLifeToken(component), TWindowBinding::CurrentDispatch()});
    Post();
  }

  void FreeReady()
  {
    // Taken out first: freeing a component may release others, and frees the components it owns.
    std::vector<TPending> batch;
    batch.swap(m_pending);
    std::vector<TPending> waiting;
    for (const TPending& pending : batch) {
      if (!pending.m_life.Alive())
        continue;
      if (MustWait(pending)) {
        waiting.push_back(pending);
        continue;
      }
      delete pending.m_component;
    }
    m_waiting = !waiting.empty();
    m_pending.insert(m_pending.begin(), waiting.begin(), waiting.end());
  }

  void Resume()
  {
    if (!m_waiting)
      return;
    // Only when one may go now: the queue's own message would otherwise bring another one at once.
    for (const TPending& pending : m_pending) {
      if (!pending.m_life.Alive() || !MustWait(pending)) {
        Post();
        return;
      }
    }
  }

  int Count() const { return static_cast<int>(m_pending.size()); }

private:
  struct TPending {
    TComponent* m_component;
    TLifeToken m_life;
    // The message whose handling released it.
    uint64_t m_releasedIn;
  };

  // While the handler that released the component runs, or a message of the component or of anything
  // it owns or contains is being handled: each may still use it after a nested message loop.
  static bool MustWait(const TPending& pending)
  {
    if (TWindowBinding::StillDispatching(pending.m_releasedIn) || pending.m_component->HandlingMessage())
      return true;
    for (TObject* sender : TWindowBinding::DispatchingSenders()) {
      auto* component = dynamic_cast<TComponent*>(sender);
      if (component && IsWithin(component, pending.m_component))
        return true;
    }
    return false;
  }

  void Post()
  {
    if (m_posted)
      return;
    if (!m_window)
      m_window.Reset(AllocateHWnd(TWndMethod(this, &TReleaseQueue::WndProc)));
    m_posted = PostMessageA(m_window.Get(), CM_RELEASE, 0, 0) != FALSE;
  }

  void WndProc(TMessage& Message)
  {
    if (Message.Msg == CM_RELEASE) {
      m_posted = false;
      FreeReady();
      return;
    }
    Message.Result = DefWindowProcA(m_window.Get(), Message.Msg, Message.WParam, Message.LParam);
  }

  std::vector<TPending> m_pending;
  TMessageWindowHandle m_window;
  bool m_posted = false;
  bool m_waiting = false;
};

// Never destroyed: a component may still be released while other statics go at the process's exit. Its
// window goes with the process.
TReleaseQueue& Queue()
{
  static auto* queue = new TReleaseQueue();
  return *queue;
}

} // namespace

void ReleaseComponent(TComponent* component)
{
  if (component)
    Queue().Add(component);
}

void FreeReleasedComponents()
{
  Queue().FreeReady();
}

int ReleasedComponentCount()
{
  return Queue().Count();
}

void ResumeWaitingReleases()
{
  Queue().Resume();
}
