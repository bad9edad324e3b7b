// Damaged files by the hundred, resources counted around them, and every kind of calling thread.
#include "PngIoFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <psapi.h>
#include <wincodec.h>
#include <winternl.h>

#include <cstring>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TResourceCounts {
  size_t Handles = 0;
  size_t HeapBlocks = 0;
  size_t HeapBytes = 0;
  size_t PrivateBytes = 0;
};

// Exact counts of what the process holds: kernel handles, busy blocks in every heap, committed private
// memory.
TResourceCounts CountResources()
{
  TResourceCounts counts;
  counts.Handles = static_cast<size_t>(KernelHandleCount());
  HANDLE heaps[256];
  const DWORD heapCount = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < heapCount && i < 256; ++i) {
    if (!HeapLock(heaps[i]))
      continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
        ++counts.HeapBlocks;
        counts.HeapBytes += entry.cbData;
      }
    }
    HeapUnlock(heaps[i]);
  }
  counts.PrivateBytes = static_cast<size_t>(PrivateByteCount());
  return counts;
}

// The counters must see the library's allocations and a handle, or the leak test below proves nothing.
TEST(PngResources, CountersSeeAllocationsAndHandles)
{
  PngIo();
  const TResourceCounts before = CountResources();
  PngData data;
  ASSERT_TRUE(PngIo().Allocate(&data, 1000, 1000, PngColorRgba));
  for (uint32_t y = 0; y < data.height; ++y)
    std::memset(data.rows[y], 0x5A, data.rowBytes);  // private memory counts once it is touched
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const TResourceCounts during = CountResources();
  CloseHandle(event);
  PngIo().Free(&data);
  const TResourceCounts after = CountResources();
  EXPECT_EQ(before.Handles + 1, during.Handles);
  EXPECT_EQ(before.HeapBlocks + 1, during.HeapBlocks);
  EXPECT_GE(during.HeapBytes, before.HeapBytes + 4000000);
  EXPECT_GE(during.PrivateBytes, before.PrivateBytes + 4000000);
  EXPECT_EQ(before.Handles, after.Handles);
  EXPECT_EQ(before.HeapBlocks, after.HeapBlocks);
  EXPECT_EQ(before.HeapBytes, after.HeapBytes);
}

TBytes Mutate(const TBytes& base, std::mt19937& random)
{
  TBytes file = base;
  const auto pick = [&](size_t below) { return static_cast<size_t>(random() % below); };
  const std::vector<TChunkAt> chunks = ListChunks(file);
  const TChunkAt& chunk = chunks[pick(chunks.size())];
  switch (pick(6)) {
  case 0:  // bit flips, caught by the checksums
    for (size_t n = 1 + pick(4); n > 0; --n)
      file[pick(file.size())] ^= static_cast<uint8_t>(1u << pick(8));
    break;
  case 1:  // bit flips behind correct checksums: the decoder gets to see them
    for (size_t n = 1 + pick(4); n > 0; --n)
      file[8 + pick(file.size() - 8)] ^= static_cast<uint8_t>(1u << pick(8));
    RepairChecksums(file);
    break;
  case 2:
    file.resize(pick(file.size()));
    break;
  case 3: {  // a length field: a little off, or anything at all
    const uint32_t length = random() % 2 ? chunk.Length + static_cast<uint32_t>(pick(9)) - 4 : random();
    PutBigEndian32(file, chunk.Offset, length);
    if (random() % 2)
      RepairChecksums(file);
    break;
  }
  case 4:  // a chunk dropped
    file.erase(file.begin() + chunk.Offset, file.begin() + chunk.Offset + 12 + chunk.Length);
    break;
  default:  // a chunk repeated
    file.insert(file.begin() + chunk.Offset, base.begin() + chunk.Offset,
                base.begin() + chunk.Offset + 12 + chunk.Length);
    break;
  }
  return file;
}

struct TGrowth {
  long long Blocks = 0;
  long long Bytes = 0;
  bool operator==(const TGrowth&) const = default;
};

TGrowth Growth(const TResourceCounts& before, const TResourceCounts& after)
{
  return {static_cast<long long>(after.HeapBlocks) - static_cast<long long>(before.HeapBlocks),
          static_cast<long long>(after.HeapBytes) - static_cast<long long>(before.HeapBytes)};
}

template <typename T>
void Release(T*& object)
{
  if (object)
    object->Release();
  object = nullptr;
}

// Decodes `file` with the system codec alone, the way the library drives it, in an apartment of its own.
void DecodeWithCodecOnly(const TBytes& file)
{
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
    return;
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICBitmapSource* converted = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&factory))) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()), static_cast<DWORD>(file.size()))) &&
      SUCCEEDED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, &decoder)) &&
      SUCCEEDED(decoder->Initialize(stream, WICDecodeMetadataCacheOnDemand)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) &&
      SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted))) {
    UINT width = 0;
    UINT height = 0;
    converted->GetSize(&width, &height);
    std::vector<BYTE> pixels(size_t{width} * height * 4);
    converted->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data());
  }
  Release(converted);
  Release(frame);
  Release(decoder);
  Release(stream);
  Release(factory);
  CoUninitialize();
}

struct TMutationRun {
  int Accepted = 0;
  int Refused = 0;
  int CodecKeptMemory = 0;  // files on which the system codec itself keeps a block
};

// A seeded, bounded run: each file decoded in pieces of a random size, anything accepted checked and freed.
// With `account`, the heap is counted around each file: the library may keep nothing beyond what the
// system codec keeps when it decodes that same file by itself.
TMutationRun RunMutations(uint32_t seed, int count, bool account)
{
  TPngLayout palette = MakeLayout(19, 14, PngPalette, 4, 70, 16);
  palette.Trns = {0, 60, 200};
  palette.Interlaced = true;
  TPngLayout deep = MakeLayout(12, 9, PngGreyAlpha, 16, 71);
  deep.IdatPiece = 100;
  const TBytes bases[] = {EncodePngFile(MakeLayout(24, 17, PngRgbAlpha, 8, 72)), EncodePngFile(palette),
                          EncodePngFile(deep)};
  std::mt19937 random(seed);
  TMutationRun run;
  for (int i = 0; i < count; ++i) {
    const TBytes file = Mutate(bases[i % 3], random);
    TByteSource source(file, 1 + random() % 97);
    const TResourceCounts before = account ? CountResources() : TResourceCounts{};
    PngData data;
    const bool accepted = PngIo().Read(&data, &TByteSource::Read, &source);
    const bool sound = accepted ? data.width >= 1 && data.width <= 24 && data.height >= 1 && data.height <= 17 &&
                                      data.rowBytes == data.width * (data.colorType == PngColorRgba ? 4 : 3)
                                : RecordCleared(data);
    if (accepted && sound) {
      volatile BYTE touch = 0;
      for (uint32_t y = 0; y < data.height; ++y)
        touch = touch ^ data.rows[y][0] ^ data.rows[y][data.rowBytes - 1];
      PngIo().Free(&data);
    }
    EXPECT_TRUE(sound) << "mutation " << i << (accepted ? " decoded to a bad record" : " left a filled record");
    (accepted ? run.Accepted : run.Refused) += 1;
    if (!account)
      continue;
    const TGrowth growth = Growth(before, CountResources());
    if (growth == TGrowth{})
      continue;
    const TResourceCounts codecBefore = CountResources();
    DecodeWithCodecOnly(file);
    const TGrowth codecGrowth = Growth(codecBefore, CountResources());
    EXPECT_TRUE(growth == codecGrowth) << "mutation " << i << " keeps " << growth.Blocks << " blocks, "
                                       << growth.Bytes << " bytes; the codec alone " << codecGrowth.Blocks
                                       << " blocks, " << codecGrowth.Bytes << " bytes";
    ++run.CodecKeptMemory;
  }
  return run;
}

TEST(PngResources, MutatedFilesNeverCrashNorLeak)
{
  constexpr int kMutations = 300;
  // The first run loads and warms what the decoder and COM set up once per process.
  const TMutationRun warm = RunMutations(7, kMutations, false);
  DecodeWithCodecOnly(EncodePngFile(MakeLayout(2, 2, PngRgb, 8, 73)));
  const TResourceCounts before = CountResources();
  const TMutationRun run = RunMutations(7, kMutations, true);
  const TResourceCounts after = CountResources();
  EXPECT_EQ(warm.Accepted, run.Accepted);
  EXPECT_GT(run.Refused, kMutations / 2);
  EXPECT_EQ(before.Handles, after.Handles);
  EXPECT_LE(after.PrivateBytes, before.PrivateBytes + 512 * 1024);
  // Damaged image data is refused before the system's decoder sees it, so no file reaches one of its error
  // paths (some keep memory each time they run).
  EXPECT_EQ(run.CodecKeptMemory, 0);
  std::cout << "mutations: " << run.Accepted << " decoded, " << run.Refused << " refused, " << run.CodecKeptMemory
            << " on which the system codec keeps memory of its own\n";
}

enum class TApartment { None, Single, Multi };

// Runs a decode and an encode on a thread in `apartment` and reports what went wrong, if anything: the
// library must work there and leave the thread in the apartment it found it in.
std::string UseFrom(TApartment apartment)
{
  std::string problems;
  std::thread([&] {
    const DWORD single = COINIT_APARTMENTTHREADED;
    const DWORD multi = COINIT_MULTITHREADED;
    if (apartment != TApartment::None &&
        CoInitializeEx(nullptr, apartment == TApartment::Single ? single : multi) != S_OK)
      problems += "test thread could not enter its apartment; ";
    TDecoded picture;
    if (!Decode(EncodePngFile(MakeLayout(6, 5, PngRgbAlpha, 8, 80)), picture))
      problems += "decode failed; ";
    PngData data;
    TByteSink sink;
    if (!PngIo().Allocate(&data, 6, 5, PngColorRgb) || !PngIo().Write(&data, &TByteSink::Write, &sink))
      problems += "encode failed; ";
    PngIo().Free(&data);
    if (apartment != TApartment::None) {
      // Still in the same apartment: entering it again only counts up.
      if (CoInitializeEx(nullptr, apartment == TApartment::Single ? single : multi) != S_FALSE)
        problems += "apartment lost; ";
      CoUninitialize();
      CoUninitialize();
    }
    // Out of it again: the thread is free to enter the other kind.
    const HRESULT fresh = CoInitializeEx(nullptr, apartment == TApartment::Single ? multi : single);
    if (fresh != S_OK)
      problems += "apartment left behind; ";
    if (SUCCEEDED(fresh))
      CoUninitialize();
  }).join();
  return problems;
}

TEST(PngApartments, WorksFromAnyApartmentAndLeavesItAsFound)
{
  EXPECT_EQ("", UseFrom(TApartment::None));
  EXPECT_EQ("", UseFrom(TApartment::Single));
  EXPECT_EQ("", UseFrom(TApartment::Multi));
}

}  // namespace
