#include "Component/TBmpLEDCtrl.h"

#include "Assertion.h"

namespace orvo {

TBmpLEDCtrl::TBmpLEDCtrl(TComponent* owner, TWinControl* parent, int stateCount)
{
  KO_ASSERT(stateCount > 0);
  m_layer = std::make_unique<Layer>(owner, parent);
  m_painter = std::make_unique<Painter>(m_layer.get());
  m_led = std::make_unique<TBitmapLED<Painter>>(m_painter.get(), stateCount);
  for (int i = 0; i < stateCount; ++i)
    m_led->GetBitmap(i)->OnChange = TNotifyEvent(this, &TBmpLEDCtrl::BitmapChanged);
}

TBmpLEDCtrl::~TBmpLEDCtrl()
{
  m_layer.reset();
  m_painter.reset();
  m_led.reset();
}

int TBmpLEDCtrl::StateCount() const
{
  return m_led->StateCount();
}

int TBmpLEDCtrl::GetState() const
{
  return m_led->GetState();
}

void TBmpLEDCtrl::SetState(int state)
{
  if (state == GetState())
    return;
  const Layer::TComposer composer(*m_layer);
  m_led->SetState(state);
  m_led->PlacedFigure()->Draw();
}

void TBmpLEDCtrl::Redraw()
{
  const Layer::TComposer composer(*m_layer);
  m_led->Refresh();
  m_led->PlacedFigure()->Draw();
}

void TBmpLEDCtrl::MoveBy(int dx, int dy)
{
  m_layer->MoveBy(dx, dy);
}

int TBmpLEDCtrl::GetLeft() const
{
  return m_layer->Left();
}

int TBmpLEDCtrl::GetTop() const
{
  return m_layer->Top();
}

int TBmpLEDCtrl::GetWidth() const
{
  return m_layer->Width();
}

int TBmpLEDCtrl::GetHeight() const
{
  return m_layer->Height();
}

TBitmap* TBmpLEDCtrl::GetBitmap(int index) const
{
  return m_led->GetBitmap(index);
}

void TBmpLEDCtrl::SetBitmap(TBitmap* bitmap, int index)
{
  GetBitmap(index)->Assign(bitmap);
}

void TBmpLEDCtrl::Resize(int width, int height)
{
  m_layer->Resize(width, height);
}

TCanvas* TBmpLEDCtrl::GetCanvas() const
{
  return m_layer->Canvas();
}

bool TBmpLEDCtrl::GetTransparent() const
{
  return m_layer->GetTransparent();
}

void TBmpLEDCtrl::SetTransparent(bool transparent)
{
  m_layer->SetTransparent(transparent);
}

TColor TBmpLEDCtrl::GetTransparentColor() const
{
  return m_layer->GetTransparentColor();
}

void TBmpLEDCtrl::SetTransparentColor(TColor color)
{
  m_layer->SetTransparentColor(color);
}

TImage* TBmpLEDCtrl::Display() const
{
  return m_layer->Image();
}

int TBmpLEDCtrl::IndexOf(const TObject* bitmap) const
{
  const int count = StateCount();
  for (int i = 0; i < count; ++i) {
    if (m_led->GetBitmap(i) == bitmap)
      return i;
  }
  return count;
}

void TBmpLEDCtrl::BitmapChanged(TObject* Sender)
{
  if (IndexOf(Sender) == GetState())
    Redraw();
}

} // namespace orvo
