#pragma once
// Decoding a whole PNG file held in memory into a PngData record, on the system's imaging component.
#include "PngIo.h"

#include <vector>

// Fills `data` (zeroed first) with the picture in `file`. On failure returns false with `data` zeroed and
// nothing allocated. Needs COM on the calling thread.
bool DecodePngFile(const std::vector<BYTE>& file, PngData& data);
