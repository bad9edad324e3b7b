#include "Component/LED.h"

#include "Graphics/FigureBase.h"

namespace orvo {

Figure* LED::PlacedFigure()
{
  Figure* figure = GetFigure();
  if (figure && (figure->Left() != m_x || figure->Top() != m_y))
    figure->MoveBy(m_x - figure->Left(), m_y - figure->Top());
  return figure;
}

int LED::Width() const
{
  const Figure* figure = GetFigure();
  return figure ? figure->Width() : 0;
}

int LED::Height() const
{
  const Figure* figure = GetFigure();
  return figure ? figure->Height() : 0;
}

} // namespace orvo
