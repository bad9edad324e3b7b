#pragma once
// Gathers a PNG file from a read callback, checking its chunk structure on the way, so that a bad or
// oversized file is refused at its first wrong byte and before any decoder allocates for it.
#include "PngIo.h"

#include <vector>

// Reads from `read` until the file's IEND chunk is complete and puts the file (without anything after IEND)
// in `file`. Returns false for a stream that is not a PNG, ends early, breaks the chunk structure or a chunk
// checksum, declares a size outside the limits, exceeds PngMaxFileBytes, or whose callback claims more bytes
// than it was asked for.
bool GatherPngFile(PngReadCallback read, void* user, std::vector<BYTE>& file);

// The CRC-32 of the PNG format (and of zlib's gzip trailer), over `size` bytes, continuing from `crc`.
UINT32 PngCrc32(const BYTE* bytes, size_t size, UINT32 crc = 0);
