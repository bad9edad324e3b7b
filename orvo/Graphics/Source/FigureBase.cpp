#include "Graphics/FigureBase.h"

#include <cmath>

namespace orvo {

// --- CompositeFigure ---

void CompositeFigure::SetRect(const TRect& rect)
{
  m_left = rect.left;
  m_top = rect.top;
  m_width = rect.right - rect.left;
  m_height = rect.bottom - rect.top;
  KO_ASSERT(m_width >=0 && m_height >=0);
  for (auto first = m_figures.begin(); first != m_figures.end(); ++first)
    KO_ASSERT((*first)->Left() >= rect.left && (*first)->Top() >= rect.top && (*first)->Width() + (*first)->Left() <= rect.right && (*first)->Height() + (*first)->Top() <= rect.bottom);
}

void CompositeFigure::Draw()
{
  for (Figure* figure : m_figures)
    figure->Draw();
}

void CompositeFigure::Erase()
{
  for (Figure* figure : m_figures)
    figure->Erase();
}

void CompositeFigure::MoveBy(int dx, int dy)
{
  for (Figure* figure : m_figures)
    figure->MoveBy(dx, dy);
  m_left += dx;
  m_top += dy;
}

size_t CompositeFigure::IndexOf(const Figure* figure) const
{
  size_t index = 0;
  while (index < m_figures.size() && m_figures[index] != figure)
    ++index;
  return index;
}

// --- CompositeScalableFig ---

ScalableFigure* CompositeScalableFig::Member(size_t index) const
{
  // Only scalable figures are ever added to the inner group.
  return static_cast<ScalableFigure*>(m_composite.Member(index));
}

void CompositeScalableFig::Add(ScalableFigure* figure)
{
  Update();
  m_composite.Add(figure);
  m_offsets.emplace_back(figure->Left() - Left(), figure->Top() - Top());
}

void CompositeScalableFig::Remove(ScalableFigure* figure)
{
  const size_t index = m_composite.IndexOf(figure);
  if (index < m_composite.Count()) {
    m_composite.RemoveAt(index);
    m_offsets.erase(m_offsets.begin() + static_cast<std::ptrdiff_t>(index));
  }
  Update();
}

void CompositeScalableFig::Update()
{
  m_offsets.clear();
  for (size_t i = 0; i < Count(); ++i) {
    ScalableFigure* member = Member(i);
    member->Update();
    m_offsets.emplace_back(member->Left() - Left(), member->Top() - Top());
  }
  m_originalWidth = Width();
  m_originalHeight = Height();
}

void CompositeScalableFig::Scale(int width, int height)
{
  KO_ASSERT(m_originalWidth > 0 && m_originalHeight > 0);
  // Single precision factors, as the layouts were always computed with; the products are double.
  const float sx = static_cast<float>(static_cast<double>(width) / m_originalWidth);
  const float sy = static_cast<float>(static_cast<double>(height) / m_originalHeight);
  for (size_t i = 0; i < Count(); ++i) {
    ScalableFigure* member = Member(i);
    const auto [dx, dy] = m_offsets[i];
    const int left = Left() + static_cast<int>(std::trunc(dx * static_cast<double>(sx)));
    const int top = Top() + static_cast<int>(std::trunc(dy * static_cast<double>(sy)));
    const int memberWidth = static_cast<int>(std::trunc(member->OriginalWidth() * static_cast<double>(sx)));
    const int memberHeight = static_cast<int>(std::trunc(member->OriginalHeight() * static_cast<double>(sy)));
    member->MoveBy(left - member->Left(), top - member->Top());
    member->Scale(memberWidth, memberHeight);
  }
  m_composite.SetRect(Bounds(Left(), Top(), width, height));
}

void CompositeScalableFig::SetOriginalRect(const TRect& rect)
{
  m_originalWidth = rect.right - rect.left;
  m_originalHeight = rect.bottom - rect.top;
  m_composite.SetRect(Rect(rect.left, rect.top, Left() + Width(), Top() + Height()));
}

} // namespace orvo
