#pragma once
// The program's main unit.

class TBitmap;

// Multiplies each colour byte of a 32-bit bitmap by its pixel's alpha (colour * alpha / 255, truncated),
// as a per-pixel-alpha window needs its picture. Bitmaps of other formats are left alone.
void PremultiplyAlpha(TBitmap& bitmap);
