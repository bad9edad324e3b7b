#pragma once
// pngio.dll bound exactly as the program binds it (LoadLibrary from the executable's folder, entry points by
// name), byte sources and sinks for its callbacks, and decoding into plain vectors.
#include "PngIo.h"
#include "PngTestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>

struct TPngIo {
  HMODULE Module = nullptr;
  ReadPngExProc Read = nullptr;
  WritePngExProc Write = nullptr;
  FreePngDataProc Free = nullptr;
  AllocatePngDataProc Allocate = nullptr;
};

// Loaded on first use and kept, as the program keeps it.
const TPngIo& PngIo();

// Serves a file to ReadPngEx in pieces of at most `Piece` bytes; can stop early or misbehave on purpose.
struct TByteSource {
  explicit TByteSource(const TBytes& bytes, size_t piece = SIZE_MAX) : Bytes(bytes), Piece(piece) {}
  static UINT WINAPI Read(void* user, void* buffer, UINT count);

  const TBytes& Bytes;
  size_t Piece;
  size_t EndAt = SIZE_MAX;  // reports the end of the file here (a failing read)
  bool Overclaim = false;   // answers one byte more than it was asked for
  size_t Position = 0;
};

// Collects what WritePngEx writes, taking at most `Piece` bytes a call, and refusing after `Refuse` bytes.
struct TByteSink {
  static UINT WINAPI Write(void* user, const void* buffer, UINT count);

  size_t Piece = SIZE_MAX;
  size_t Refuse = SIZE_MAX;
  TBytes Bytes;
};

// A decoded picture copied out of its record (which has been freed again).
struct TDecoded {
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint32_t BitDepth = 0;
  uint32_t ColorType = 0;
  uint32_t RowBytes = 0;
  TBytes Pixels;  // rows one after the other
};

// True when every byte of the record is zero.
bool RecordCleared(const PngData& data);

// Decodes `source` into `picture`. Also checks the record's hand-over: a failed read leaves a zeroed record
// (however filled it was before), FreePngData zeroes a successful one.
testing::AssertionResult Decode(TByteSource& source, TDecoded& picture);
testing::AssertionResult Decode(const TBytes& file, TDecoded& picture, size_t piece = SIZE_MAX);

// Decodes `file` and reports whether the library refused it; the record must then be zeroed.
testing::AssertionResult Refused(const TBytes& file, size_t piece = SIZE_MAX);
