#pragma once
// Encoding a PngData record as a PNG file, on the system's imaging component.
#include "PngIo.h"

#include <vector>

// Encodes the well-formed record `data` into `file`. Needs COM on the calling thread.
bool EncodePng(const PngData& data, std::vector<BYTE>& file);

// Hands `file` to `write` in pieces, offering again what a call did not take; false when `write` takes
// nothing or claims more than it was offered.
bool DeliverPngFile(const std::vector<BYTE>& file, PngWriteCallback write, void* user);
