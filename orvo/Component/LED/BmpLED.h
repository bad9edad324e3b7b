#pragma once
// An LED with one bitmap per state: the figure shows a copy of the current state's bitmap.
#include "Component/LED.h"
#include "Graphics/Figure/BmpFigure.h"

#include "Assertion.h"
#include "Bitmap.h"

#include <memory>
#include <vector>

namespace orvo {

namespace detail {

// The state part of a bitmap LED: the current state, the figure that shows it, and the LED's bitmaps,
// which it reads but does not own.
template <typename Painter>
class BitmapLEDHelper {
public:
  using Bitmaps = std::vector<std::unique_ptr<TBitmap>>;

  BitmapLEDHelper(Bitmaps* bitmaps, Painter* painter)
      : m_figure(std::make_unique<TBitmapFigure<Painter>>(painter)), m_pBitmaps(bitmaps)
  {
  }
  BitmapLEDHelper(const BitmapLEDHelper&) = delete;
  BitmapLEDHelper& operator=(const BitmapLEDHelper&) = delete;

  int StateCount() const
  {
    KO_ASSERT(m_pBitmaps);
    return static_cast<int>(m_pBitmaps->size());
  }

  int GetState() const { return m_state; }

  // The figure gets a fresh copy of the current state's bitmap.
  void Refresh()
  {
    KO_ASSERT(m_state >= 0 && m_state < StateCount());
    CopyState();
  }

  void SetState(int state)
  {
    KO_ASSERT(state >= 0 && state < StateCount());
    m_state = state;
    CopyState();
  }

  TBitmapFigure<Painter>* Figure() const { return m_figure.get(); }
  // Frees the figure with its bitmap.
  void ReleaseFigure() { m_figure.reset(); }

private:
  void CopyState()
  {
    KO_ASSERT(m_pBitmaps);
    m_figure->SetBitmap((*m_pBitmaps)[static_cast<size_t>(m_state)].get());
  }

  int m_state = -1;
  std::unique_ptr<TBitmapFigure<Painter>> m_figure;
  Bitmaps* m_pBitmaps;
};

} // namespace detail

template <typename Painter>
class TBitmapLED : public LED {
public:
  // `stateCount` empty bitmaps, state 0 current.
  TBitmapLED(Painter* painter, int stateCount) : m_part(&m_bitmaps, painter)
  {
    for (int i = 0; i < stateCount; ++i)
      m_bitmaps.push_back(std::make_unique<TBitmap>());
    SetState(0);
  }

  ~TBitmapLED() override
  {
    for (int index = static_cast<int>(m_bitmaps.size()) - 1; index >= 0; --index)
      RemoveBitmapsFrom(index);
    m_part.ReleaseFigure();
  }

  int StateCount() const override { return m_part.StateCount(); }
  int GetState() const override { return m_part.GetState(); }
  // Nothing happens for the current state.
  void SetState(int state) override
  {
    if (state != m_part.GetState())
      m_part.SetState(state);
  }
  void Refresh() override { m_part.Refresh(); }
  Figure* GetFigure() const override { return m_part.Figure(); }
  TBitmapFigure<Painter>* GetBitmapFigure() const { return m_part.Figure(); }

  // The live bitmap of a state.
  TBitmap* GetBitmap(int index) const
  {
    KO_ASSERT(index >= 0);
    KO_ASSERT(index < (int) m_bitmaps.size());
    return m_bitmaps[static_cast<size_t>(index)].get();
  }

  // Keeps the bitmaps before `index` and deletes the others.
  void RemoveBitmapsFrom(int index)
  {
    KO_ASSERT(index >= 0);
    KO_ASSERT(index <= (int) m_bitmaps.size());
    m_bitmaps.resize(static_cast<size_t>(index));
  }

private:
  std::vector<std::unique_ptr<TBitmap>> m_bitmaps;
  detail::BitmapLEDHelper<Painter> m_part;
};

} // namespace orvo
