#pragma once
// Checks a whole PNG file's image data before any decoder sees it: the header's fields, the image data
// chunks, and the compressed stream itself, inflated and compared with its checksum and with the size the
// header makes. A damaged file is refused here, so the system's decoder only ever meets sound data (its
// error paths are not ours, and some keep memory each time they run).
#include <windows.h>

#include <vector>

// `file` has passed GatherPngFile (chunk structure and checksums, header first, IEND last). True when its
// header fields are ones the format allows, its image data chunks follow each other, a palette picture has
// its palette before them, and their concatenated zlib stream inflates without error to at least the rows
// the header makes (and not to much more), ending in a matching Adler-32.
bool ImageDataIntact(const std::vector<BYTE>& file);
