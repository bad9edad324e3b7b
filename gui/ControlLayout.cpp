// Layout of controls inside their parent: alignment to the edges, anchors and size constraints.
#include "Control.h"

#include "Published.h"
#include "WinControl.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const bool kLayoutEnumsPublished =
    PublishEnum<TAlign>({"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}) &&
    PublishEnum<TAnchorKind>({"akLeft", "akTop", "akRight", "akBottom"});

// The new start and length of one side of an anchored control, from where it started (`start`, `length`)
// and how much the parent grew on that side (`delta`).
std::pair<int, int> Anchored(int start, int length, int delta, bool nearSide, bool farSide)
{
  if (nearSide && farSide)
    return {start, std::max(length + delta, 0)};
  if (farSide)
    return {start + delta, length};
  if (!nearSide)
    return {start + delta / 2, length};
  return {start, length};
}

} // namespace

// --- TControl ---

void TControl::SetAlign(TAlign align)
{
  if (align == FAlign)
    return;
  const TAlign old = FAlign;
  FAlign = align;
  if (align == alNone)
    RecordAnchorBase();
  if (FParent && (old != alNone || align != alNone))
    FParent->Realign();
}

void TControl::SetAnchors(TAnchors anchors)
{
  if (anchors == FAnchors)
    return;
  FAnchors = anchors;
  RecordAnchorBase();
}

void TControl::ConstraintsChanged(TObject* /*Sender*/)
{
  int width = FWidth;
  int height = FHeight;
  FConstraints->Constrain(width, height);
  if (width != FWidth || height != FHeight)
    SetBounds(FLeft, FTop, width, height);
}

void TControl::BoundsSetFromOutside()
{
  if (FLayingOut)
    return;
  RecordAnchorBase();
  if (FParent && FAlign != alNone)
    FParent->Realign();
}

void TControl::RecordAnchorBase()
{
  if (!FParent) {
    FAnchorBase.Known = false;
    return;
  }
  const TRect client = FParent->GetClientRect();
  FAnchorBase.Bounds = GetBoundsRect();
  FAnchorBase.ParentSize = TSize{RectWidth(client), RectHeight(client)};
  FAnchorBase.Known = true;
}

TRect TControl::AnchoredBounds(TSize parentSize) const
{
  const TRect& base = FAnchorBase.Bounds;
  const auto [left, width] = Anchored(base.left, RectWidth(base), parentSize.cx - FAnchorBase.ParentSize.cx,
                                      FAnchors.Contains(akLeft), FAnchors.Contains(akRight));
  const auto [top, height] = Anchored(base.top, RectHeight(base), parentSize.cy - FAnchorBase.ParentSize.cy,
                                      FAnchors.Contains(akTop), FAnchors.Contains(akBottom));
  return Bounds(left, top, width, height);
}

// --- TWinControl ---

void TWinControl::DisableAlign()
{
  ++FAlignLevel;
}

void TWinControl::EnableAlign()
{
  if (FAlignLevel > 0 && --FAlignLevel == 0)
    Realign();
}

void TWinControl::ClientAreaChanged()
{
  Realign();
}

void TWinControl::RebaseChildren()
{
  for (TControl* child : std::vector<TControl*>(FControls))
    child->RecordAnchorBase();
  for (TWinControl* child : std::vector<TWinControl*>(FWinControls))
    child->RecordAnchorBase();
}

bool TWinControl::PlaceChild(TControl* child, const TRect& bounds)
{
  const TLifeToken life(child);
  child->FLayingOut = true;
  try {
    child->SetBoundsRect(bounds);
  } catch (...) {
    if (life.Alive())
      child->FLayingOut = false;
    throw;
  }
  if (!life.Alive())
    return false;
  child->FLayingOut = false;
  return child->FParent == this;
}

bool TWinControl::AlignChild(TControl* child, TRect& rest)
{
  const int width = std::max<int>(rest.right - rest.left, 0);
  const int height = std::max<int>(rest.bottom - rest.top, 0);
  // A control that ends at the far edge is placed a second time when its size came out other than it
  // was (its CanResize or constraints decide with the new width or height).
  switch (child->FAlign) {
  case alTop:
    if (!PlaceChild(child, Bounds(rest.left, rest.top, width, child->FHeight)))
      return false;
    rest.top += child->FHeight;
    return true;
  case alBottom:
    for (int pass = 0; pass == 0 || (pass < 2 && child->FTop + child->FHeight != rest.bottom); ++pass) {
      if (!PlaceChild(child, Bounds(rest.left, rest.bottom - child->FHeight, width, child->FHeight)))
        return false;
    }
    rest.bottom -= child->FHeight;
    return true;
  case alLeft:
    if (!PlaceChild(child, Bounds(rest.left, rest.top, child->FWidth, height)))
      return false;
    rest.left += child->FWidth;
    return true;
  case alRight:
    for (int pass = 0; pass == 0 || (pass < 2 && child->FLeft + child->FWidth != rest.right); ++pass) {
      if (!PlaceChild(child, Bounds(rest.right - child->FWidth, rest.top, child->FWidth, height)))
        return false;
    }
    rest.right -= child->FWidth;
    return true;
  case alClient:
    return PlaceChild(child, Bounds(rest.left, rest.top, width, height));
  default:
    return true;
  }
}

void TWinControl::Realign()
{
  if (FAlignLevel > 0 || IsDestroying())
    return;
  // The children in z-order, each with a token: a handler that a new size raises (OnResize, OnCanResize)
  // may free a child, or this control.
  std::vector<std::pair<TControl*, TLifeToken>> children;
  for (int i = 0; i < ControlCount(); ++i)
    children.emplace_back(Controls(i), TLifeToken(Controls(i)));
  const TLifeToken life(this);
  const auto mine = [&](const std::pair<TControl*, TLifeToken>& entry) {
    return life.Alive() && entry.second.Alive() && entry.first->FParent == this;
  };
  const TRect client = GetClientRect();
  TRect rest = client;
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (const auto& entry : children) {
      TControl* child = entry.first;
      if (mine(entry) && child->FAlign == align && (child->FVisible || child->IsDesigning()))
        AlignChild(child, rest);
    }
  }
  const TSize clientSize{RectWidth(client), RectHeight(client)};
  for (const auto& entry : children) {
    TControl* child = entry.first;
    if (mine(entry) && child->FAlign == alNone && child->FAnchorBase.Known &&
        child->FAnchors != TAnchors{akLeft, akTop})
      PlaceChild(child, child->AnchoredBounds(clientSize));
  }
}

void TWinControl::WMGetMinMaxInfo(TMessage& Message)
{
  DefaultHandler(Message);
  auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
  const TSizeConstraints* limits = GetConstraints();
  if (!info || limits->Empty())
    return;
  // The window's frame may not be dragged past the limits, nor maximised beyond them.
  if (limits->GetMinWidth() > 0)
    info->ptMinTrackSize.x = limits->GetMinWidth();
  if (limits->GetMinHeight() > 0)
    info->ptMinTrackSize.y = limits->GetMinHeight();
  if (limits->GetMaxWidth() > 0) {
    info->ptMaxTrackSize.x = limits->GetMaxWidth();
    info->ptMaxSize.x = std::min<LONG>(info->ptMaxSize.x, limits->GetMaxWidth());
  }
  if (limits->GetMaxHeight() > 0) {
    info->ptMaxTrackSize.y = limits->GetMaxHeight();
    info->ptMaxSize.y = std::min<LONG>(info->ptMaxSize.y, limits->GetMaxHeight());
  }
}
