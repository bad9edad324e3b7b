#pragma once
// The graphics of the class library in one include: geometry, sets and colours, fonts, pens and brushes,
// canvases, bitmaps (DIB sections), icons and pictures. Each lives in a unit of its own; include that
// unit where only it is needed.
#include "Bitmap.h"
#include "Canvas.h"
#include "Colors.h"
#include "Geometry.h"
#include "Graphic.h"
#include "GraphicObjects.h"
#include "Icon.h"
#include "Picture.h"
#include "Sets.h"
