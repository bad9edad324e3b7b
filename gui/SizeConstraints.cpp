#include "SizeConstraints.h"

#include "Published.h"
#include "SysUtils.h"

#include <algorithm>

namespace {

int Checked(int value)
{
  if (value < 0)
    throw ERangeError(Format("A size limit cannot be negative (%d)", value));
  return value;
}

int Limit(int value, int minimum, int maximum)
{
  value = std::max(value, minimum);
  return maximum > 0 ? std::min(value, maximum) : value;
}

const auto kConstraintsTable =
    PublishClass<TSizeConstraints>()
        .Property("MaxHeight", &TSizeConstraints::GetMaxHeight, &TSizeConstraints::SetMaxHeight, 0)
        .Property("MaxWidth", &TSizeConstraints::GetMaxWidth, &TSizeConstraints::SetMaxWidth, 0)
        .Property("MinHeight", &TSizeConstraints::GetMinHeight, &TSizeConstraints::SetMinHeight, 0)
        .Property("MinWidth", &TSizeConstraints::GetMinWidth, &TSizeConstraints::SetMinWidth, 0);

} // namespace

void TSizeConstraints::SetMinWidth(int value)
{
  Checked(value);
  Change(value, FMinHeight, FMaxWidth > 0 ? std::max(FMaxWidth, value) : 0, FMaxHeight);
}

void TSizeConstraints::SetMinHeight(int value)
{
  Checked(value);
  Change(FMinWidth, value, FMaxWidth, FMaxHeight > 0 ? std::max(FMaxHeight, value) : 0);
}

void TSizeConstraints::SetMaxWidth(int value)
{
  Checked(value);
  Change(value > 0 ? std::min(FMinWidth, value) : FMinWidth, FMinHeight, value, FMaxHeight);
}

void TSizeConstraints::SetMaxHeight(int value)
{
  Checked(value);
  Change(FMinWidth, value > 0 ? std::min(FMinHeight, value) : FMinHeight, FMaxWidth, value);
}

void TSizeConstraints::Constrain(int& width, int& height) const
{
  width = Limit(width, FMinWidth, FMaxWidth);
  height = Limit(height, FMinHeight, FMaxHeight);
}

void TSizeConstraints::Assign(TPersistent* source)
{
  if (auto* other = dynamic_cast<TSizeConstraints*>(source)) {
    Change(other->FMinWidth, other->FMinHeight, other->FMaxWidth, other->FMaxHeight);
    return;
  }
  TPersistent::Assign(source);
}

void TSizeConstraints::Change(int minWidth, int minHeight, int maxWidth, int maxHeight)
{
  if (minWidth == FMinWidth && minHeight == FMinHeight && maxWidth == FMaxWidth && maxHeight == FMaxHeight)
    return;
  FMinWidth = minWidth;
  FMinHeight = minHeight;
  FMaxWidth = maxWidth;
  FMaxHeight = maxHeight;
  OnChange(this);
}
