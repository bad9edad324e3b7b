#include "ReleaseQueue.h"

#include "MessageWindow.h"
#include "Messages.h"

#include <vector>

namespace {

class TReleaseQueue {
public:
  void Add(TComponent* component)
  {
    m_pending.push_back(TPending{component, TLifeToken(component)});
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
      if (pending.m_component->HandlingMessage()) {
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
    if (m_waiting)
      Post();
  }

  int Count() const { return static_cast<int>(m_pending.size()); }

private:
  struct TPending {
    TComponent* m_component;
    TLifeToken m_life;
  };

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
