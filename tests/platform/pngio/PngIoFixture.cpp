#include "PngIoFixture.h"

#include "TestSupport.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

template <typename T>
T Resolve(HMODULE module, const char* name)
{
  FARPROC proc = GetProcAddress(module, name);
  if (!proc)
    throw std::runtime_error(std::string("pngio.dll does not export ") + name);
  return reinterpret_cast<T>(reinterpret_cast<void*>(proc));
}

TPngIo Load()
{
  TPngIo io;
  io.Module = LoadLibraryA((ExeDir() + "pngio.dll").c_str());
  if (!io.Module)
    throw std::runtime_error("pngio.dll did not load");
  io.Read = Resolve<ReadPngExProc>(io.Module, "ReadPngEx");
  io.Write = Resolve<WritePngExProc>(io.Module, "WritePngEx");
  io.Free = Resolve<FreePngDataProc>(io.Module, "FreePngData");
  io.Allocate = Resolve<AllocatePngDataProc>(io.Module, "AllocatePngData");
  return io;
}

}  // namespace

const TPngIo& PngIo()
{
  static const TPngIo io = Load();
  return io;
}

UINT WINAPI TByteSource::Read(void* user, void* buffer, UINT count)
{
  auto& source = *static_cast<TByteSource*>(user);
  const size_t end = std::min(source.Bytes.size(), source.EndAt);
  const size_t size = std::min({size_t{count}, source.Piece, end - std::min(end, source.Position)});
  std::memcpy(buffer, source.Bytes.data() + source.Position, size);
  source.Position += size;
  return source.Overclaim ? count + 1 : static_cast<UINT>(size);
}

UINT WINAPI TByteSink::Write(void* user, const void* buffer, UINT count)
{
  auto& sink = *static_cast<TByteSink*>(user);
  const size_t room = sink.Refuse - std::min(sink.Refuse, sink.Bytes.size());
  const size_t size = std::min({size_t{count}, sink.Piece, room});
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  sink.Bytes.insert(sink.Bytes.end(), bytes, bytes + size);
  return static_cast<UINT>(size);
}

bool RecordCleared(const PngData& data)
{
  static const PngData zero{};
  return std::memcmp(&data, &zero, sizeof(data)) == 0;
}

namespace {

enum class TReadOutcome { Decoded, Refused, RefusedLeavingRecord };

// ReadPngEx on a record as uninitialised as a caller's stack; a refusal must leave it zeroed.
TReadOutcome Read(TByteSource& source, PngData& data)
{
  std::memset(&data, 0xCD, sizeof(data));
  if (PngIo().Read(&data, &TByteSource::Read, &source))
    return TReadOutcome::Decoded;
  return RecordCleared(data) ? TReadOutcome::Refused : TReadOutcome::RefusedLeavingRecord;
}

}  // namespace

testing::AssertionResult Decode(TByteSource& source, TDecoded& picture)
{
  PngData data;
  switch (Read(source, data)) {
  case TReadOutcome::Refused:
    return testing::AssertionFailure() << "ReadPngEx refused the file";
  case TReadOutcome::RefusedLeavingRecord:
    return testing::AssertionFailure() << "ReadPngEx refused the file and left the record filled";
  case TReadOutcome::Decoded:
    break;
  }
  picture = {data.width, data.height, data.bitDepth, data.colorType, data.rowBytes, {}};
  for (uint32_t y = 0; y < data.height; ++y)
    picture.Pixels.insert(picture.Pixels.end(), data.rows[y], data.rows[y] + data.rowBytes);
  PngIo().Free(&data);
  if (!RecordCleared(data))
    return testing::AssertionFailure() << "FreePngData left the record filled";
  return testing::AssertionSuccess();
}

testing::AssertionResult Decode(const TBytes& file, TDecoded& picture, size_t piece)
{
  TByteSource source(file, piece);
  return Decode(source, picture);
}

testing::AssertionResult Refused(const TBytes& file, size_t piece)
{
  TByteSource source(file, piece);
  PngData data;
  switch (Read(source, data)) {
  case TReadOutcome::Refused:
    return testing::AssertionSuccess();
  case TReadOutcome::RefusedLeavingRecord:
    return testing::AssertionFailure() << "ReadPngEx left the record filled";
  case TReadOutcome::Decoded:
    break;
  }
  PngIo().Free(&data);
  return testing::AssertionFailure() << "ReadPngEx accepted the file";
}
