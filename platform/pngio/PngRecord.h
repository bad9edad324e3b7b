#pragma once
// The library's side of a PngData record: size limits, and the one allocation that holds its rows.
#include "PngIo.h"

// Bytes per pixel of a colour type the records carry (2 or 6); 0 for any other.
UINT32 BytesPerPixel(UINT32 colorType);

// Whether a picture of width x height pixels is within the library's limits (zero sizes are not).
bool SizeAllowed(UINT64 width, UINT64 height);

// Fills `data` for a width x height picture of `colorType` with rows in one new allocation, zeroed when
// `zeroed` (a decoder overwrites every byte anyway). Returns false, with `data` zeroed, for a size outside
// the limits, another colour type or a lack of memory.
bool AllocateRecord(PngData& data, UINT32 width, UINT32 height, UINT32 colorType, bool zeroed);

// Releases what AllocateRecord put in `data` and zeroes the record; a zeroed record is left as it is.
void FreeRecord(PngData& data);

// Whether `data` describes a picture that can be encoded: sizes, colour type, bit depth and row size
// consistent, and every row pointer set.
bool RecordWellFormed(const PngData& data);
