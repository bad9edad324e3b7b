#include "PngReader.h"

#include "Assertion.h"
#include "Bitmap.h"
#include "Classes.h"
#include "SysUtils.h"

#include <climits>
#include <cstdint>
#include <exception>

namespace {

template <typename F>
F EntryPoint(HMODULE module, const char* name)
{
  // Through the generic function type, which the compiler accepts as a cast to any other.
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// What the read callback works on: the stream, and the first exception it raised, which must not unwind
// through the library's frames.
struct TReadContext {
  TStream* Stream;
  std::exception_ptr Failure;
};

UINT WINAPI ReadFromStream(void* user, void* buffer, UINT count)
{
  auto* context = static_cast<TReadContext*>(user);
  if (context->Failure || count == 0)
    return 0;
  try {
    const long asked = static_cast<long>(count > LONG_MAX ? LONG_MAX : count);
    const long got = context->Stream->Read(buffer, asked);
    return got > 0 ? static_cast<UINT>(got < asked ? got : asked) : 0;
  } catch (...) {
    context->Failure = std::current_exception();
    return 0;
  }
}

// Gives a filled record back to the library when the scope ends, also when the conversion throws.
class TDecodedPicture {
public:
  TDecodedPicture(PngData& data, FreePngDataProc freePngData) : m_data(data), m_free(freePngData) {}
  ~TDecodedPicture() { m_free(&m_data); }
  TDecodedPicture(const TDecodedPicture&) = delete;
  TDecodedPicture& operator=(const TDecodedPicture&) = delete;

private:
  PngData& m_data;
  FreePngDataProc m_free;
};

} // namespace

std::wstring ProgramPath()
{
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring ProgramFolder()
{
  const std::wstring path = ProgramPath();
  return path.substr(0, path.find_last_of(L"\\/:") + 1);
}

std::wstring WidePath(const std::string& path)
{
  if (path.empty())
    return {};
  const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
  return wide;
}

PngManager& PngManager::Instance()
{
  // Never destroyed, so that the library stays loaded until the process ends.
  static PngManager* const instance = new PngManager(ProgramFolder() + L"pngio.dll");
  return *instance;
}

namespace {

// The codec by its full path, and what it imports from the system folder only: a library of the same name
// as one of those, put beside the program, is never picked up. Systems that do not know the flag (without
// the update that brought it) take the folder of the codec instead of the current one.
HMODULE LoadCodec(const std::wstring& path)
{
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module;
}

} // namespace

PngManager::PngManager(const std::wstring& libraryPath) : m_hinst(LoadCodec(libraryPath))
{
  KO_ASSERT(m_hinst);
  const HMODULE module = m_hinst.Get();
  m_entryPoints.ReadPngEx = EntryPoint<ReadPngExProc>(module, "ReadPngEx");
  m_entryPoints.WritePngEx = EntryPoint<WritePngExProc>(module, "WritePngEx");
  m_entryPoints.FreePngData = EntryPoint<FreePngDataProc>(module, "FreePngData");
  m_entryPoints.AllocatePngData = EntryPoint<AllocatePngDataProc>(module, "AllocatePngData");
}

PngManager::PngManager(const TEntryPoints& entryPoints) : m_entryPoints(entryPoints) {}

bool PngManager::ReadToBitmap(TStream* stream, TBitmap& bitmap)
{
  // Rows that could not be given back would leak, so both are needed before anything is decoded.
  if (!m_entryPoints.ReadPngEx || !m_entryPoints.FreePngData)
    return false;
  TReadContext context{stream, nullptr};
  PngData data{};
  const BOOL decoded = m_entryPoints.ReadPngEx(&data, &ReadFromStream, &context);
  if (!decoded) {
    if (context.Failure)
      std::rethrow_exception(context.Failure);
    return false;
  }
  const TDecodedPicture picture(data, m_entryPoints.FreePngData);
  if (context.Failure)
    std::rethrow_exception(context.Failure);
  if (data.width > INT_MAX || data.height > INT_MAX || (data.height > 0 && !data.rows))
    return false;

  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(static_cast<int>(data.width), static_cast<int>(data.height));
  ConvertPngRows(data, bitmap);
  // Writing through scan lines tells nobody; a picture of the same size would otherwise go unnoticed.
  bitmap.Changed();
  return true;
}

void ConvertPngRows(const PngData& data, TBitmap& bitmap)
{
  const bool alpha = data.colorType == PngColorRgba;
  const auto width = static_cast<size_t>(data.width);
  for (UINT32 y = 0; y < data.height; ++y) {
    const uint8_t* source = data.rows[y];
    auto* target = static_cast<uint8_t*>(bitmap.ScanLine(static_cast<int>(y)));
    if (alpha) {
      for (size_t x = 0; x < width; ++x, source += 4, target += 4) {
        const uint8_t a = source[3];
        // Fully transparent pixels carry no colour, whatever the file says.
        target[0] = a ? source[2] : 0;
        target[1] = a ? source[1] : 0;
        target[2] = a ? source[0] : 0;
        target[3] = a;
      }
    } else {
      for (size_t x = 0; x < width; ++x, source += 3, target += 4) {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
        target[3] = 255;
      }
    }
  }
}

void LoadPngFile(const std::wstring& fileName, TBitmap& bitmap)
{
  LoadPngFile(PngManager::Instance(), fileName, bitmap);
}

void LoadPngFile(const std::string& fileName, TBitmap& bitmap)
{
  LoadPngFile(WidePath(fileName), bitmap);
}

void LoadPngFile(PngManager& manager, const std::wstring& fileName, TBitmap& bitmap)
{
  bitmap.SetPixelFormat(pf32bit);
  TFileStream stream(fileName, fmOpenRead);
  // The result is not used: a file that does not decode leaves the bitmap as it was.
  manager.ReadToBitmap(&stream, bitmap);
}

void LoadPngFile(PngManager& manager, const std::string& fileName, TBitmap& bitmap)
{
  LoadPngFile(manager, WidePath(fileName), bitmap);
}
