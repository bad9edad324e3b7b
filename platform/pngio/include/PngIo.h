#pragma once
// pngio.dll: PNG pictures in and out through caller-supplied byte callbacks.
//
// A program loads the library at run time and resolves the four entry points by their plain names
// ("ReadPngEx", "WritePngEx", "FreePngData", "AllocatePngData"). Entry points and callbacks use the calling
// convention of Windows API functions (stdcall on 32-bit Windows). Every entry point may be called from any
// thread, whatever COM apartment it is in (or none); the thread's apartment is left as it was found.
#include <windows.h>

#include <cstddef>

extern "C" {

// A picture with 8 bits per sample, rows top row first.
//
//   offset  field      meaning
//   0       width      pixels per row, 1 to PngMaxSide
//   4       height     number of rows, 1 to PngMaxSide; width * height is at most PngMaxPixels
//   8       bitDepth   bits per sample of the rows: always 8
//   12      colorType  PngColorRgba (6): each pixel is 4 bytes R, G, B, A (not premultiplied);
//                      PngColorRgb (2): each pixel is 3 bytes R, G, B
//   16      rowBytes   bytes in one row: width * 4 or width * 3
//   20      rows       `height` row pointers, entry 0 the top row
//
// That is 24 bytes on 32-bit Windows. On 64-bit Windows `rows` is 8 bytes at offset 24 (32 bytes in all).
// The rows and the pointer array are one allocation of the library, owned by the record until FreePngData.
struct PngData {
  UINT32 width;
  UINT32 height;
  UINT32 bitDepth;
  UINT32 colorType;
  UINT32 rowBytes;
  BYTE** rows;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PngData) == 24, "PngData is six 32-bit fields on 32-bit Windows");
static_assert(offsetof(PngData, colorType) == 12 && offsetof(PngData, rows) == 20, "PngData field offsets");
#endif

enum : UINT32 {
  PngColorRgb = 2,
  PngColorRgba = 6,
  PngMaxSide = 16384,
  PngMaxPixels = 64u * 1024 * 1024,
  PngMaxFileBytes = 64u * 1024 * 1024,
};

// Reads up to `count` bytes of the file into `buffer`; returns how many it read, 0 at the end of the file
// (or on an error: the file then ends there). Called in order from the file's first byte; a call may return
// fewer bytes than asked, one byte included, without meaning the end.
typedef UINT(WINAPI* PngReadCallback)(void* user, void* buffer, UINT count);

// Writes up to `count` bytes from `buffer`; returns how many it wrote. Fewer than `count` means that only so
// many were taken: the rest is offered again. 0 is an error that ends the writing.
typedef UINT(WINAPI* PngWriteCallback)(void* user, const void* buffer, UINT count);

// Decodes the PNG file that `read` delivers (handing `user` back to it) into `data`. Every kind of PNG comes
// out as 8-bit rows: PngColorRgba when the picture carries any transparency (an alpha channel, or a
// transparent palette entry, grey level or colour), otherwise PngColorRgb. 16-bit samples keep their high
// byte; palette pictures are expanded to their entries; interlaced pictures come out whole. Reading stops at
// the end of the file's IEND chunk; whatever follows it is left unread.
// Returns nonzero on success; the rows then belong to `data` until FreePngData. Returns 0 for a corrupt
// (any chunk checksum included), truncated or non-PNG file, a file over PngMaxFileBytes, a picture over the
// size limits, a read callback that claims more bytes than it was asked for, or a lack of memory; `data` is
// then zeroed and holds nothing to free. `data` may be uninitialised on entry.
BOOL WINAPI ReadPngEx(PngData* data, PngReadCallback read, void* user);

// Encodes `data` as a non-interlaced 8-bit PNG (colour type 2 or 6, as `colorType` says) and hands the file
// to `write` (with `user`) in order, in pieces of at most 64 KiB. The record must be as ReadPngEx or
// AllocatePngData fill it: width and height within the limits, bitDepth 8, colorType 2 or 6, rowBytes
// matching them, and `height` valid row pointers (the record does not have to own them). The whole file is
// made before the first byte is written. Returns nonzero when all of it was written; 0 for a malformed
// record, a failure to encode, or when `write` returned 0 or more than it was offered (some of the file may
// have been written by then). `data` is not changed.
BOOL WINAPI WritePngEx(const PngData* data, PngWriteCallback write, void* user);

// Releases the rows of a record filled by ReadPngEx or AllocatePngData and zeroes the record. Does nothing
// for a null pointer or a zeroed record. `rows` must still be the pointer the library put there.
void WINAPI FreePngData(PngData* data);

// Fills `data` for a picture of `width` x `height` pixels of `colorType` (2 or 6) with zeroed rows, to be
// released by FreePngData. Returns nonzero on success; 0 (with `data` zeroed) for a size outside the limits,
// another colour type, or a lack of memory. `data` may be uninitialised on entry.
BOOL WINAPI AllocatePngData(PngData* data, UINT width, UINT height, UINT colorType);

}  // extern "C"

// The entry points as GetProcAddress hands them out.
using ReadPngExProc = decltype(&ReadPngEx);
using WritePngExProc = decltype(&WritePngEx);
using FreePngDataProc = decltype(&FreePngData);
using AllocatePngDataProc = decltype(&AllocatePngData);
