#include "PngEncoder.h"

#include "ComSupport.h"

#include <wincodec.h>

#include <algorithm>
#include <vector>

namespace {

// Hands out the bytes of an HGLOBAL while it is locked.
class TGlobalLock {
public:
  explicit TGlobalLock(HGLOBAL memory) : m_memory(memory), m_bytes(static_cast<const BYTE*>(GlobalLock(memory)))
  {
  }
  ~TGlobalLock()
  {
    if (m_bytes)
      GlobalUnlock(m_memory);
  }
  TGlobalLock(const TGlobalLock&) = delete;
  TGlobalLock& operator=(const TGlobalLock&) = delete;
  const BYTE* Bytes() const { return m_bytes; }

private:
  HGLOBAL m_memory;
  const BYTE* m_bytes;
};

// The encoder takes B, G, R(, A): each row is handed over through a copy with red and blue swapped.
bool WriteRows(IWICBitmapFrameEncode* frame, const PngData& data)
{
  const UINT32 step = data.rowBytes / data.width;
  std::vector<BYTE> row(data.rowBytes);
  for (UINT32 y = 0; y < data.height; ++y) {
    const BYTE* source = data.rows[y];
    for (UINT32 i = 0; i < data.rowBytes; i += step) {
      row[i] = source[i + 2];
      row[i + 1] = source[i + 1];
      row[i + 2] = source[i];
      if (step == 4)
        row[i + 3] = source[i + 3];
    }
    if (FAILED(frame->WritePixels(1, data.rowBytes, data.rowBytes, row.data())))
      return false;
  }
  return true;
}

// Encodes into `stream`, a growing memory stream: the encoder may seek, the caller's callback cannot.
bool EncodeToStream(const PngData& data, IStream* stream)
{
  TComPtr<IWICImagingFactory> factory;
  TComPtr<IWICBitmapEncoder> encoder;
  TComPtr<IWICBitmapFrameEncode> frame;
  TComPtr<IPropertyBag2> options;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(factory.Put()))) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) ||
      FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.Put(), options.Put())) || FAILED(frame->Initialize(options.Get())) ||
      FAILED(frame->SetSize(data.width, data.height)))
    return false;
  const WICPixelFormatGUID wanted =
      data.colorType == PngColorRgba ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  WICPixelFormatGUID format = wanted;
  // The encoder may answer with a format it prefers; the rows are only in this one.
  if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, wanted))
    return false;
  return WriteRows(frame.Get(), data) && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

bool EncodePng(const PngData& data, std::vector<BYTE>& file)
{
  try {
    TComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put())) || !EncodeToStream(data, stream.Get()))
      return false;
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream.Get(), &memory)))
      return false;
    TGlobalLock lock(memory);
    if (!lock.Bytes())
      return false;
    file.assign(lock.Bytes(), lock.Bytes() + static_cast<size_t>(stat.cbSize.QuadPart));
    return true;
  } catch (...) {
    // A row copy or the file itself can fail to allocate; every COM object has been released by its owner.
    return false;
  }
}

bool DeliverPngFile(const std::vector<BYTE>& file, PngWriteCallback write, void* user)
{
  constexpr size_t kPieceBytes = 64 * 1024;
  const BYTE* bytes = file.data();
  size_t left = file.size();
  while (left > 0) {
    const UINT offered = static_cast<UINT>(std::min(left, kPieceBytes));
    const UINT taken = write(user, bytes, offered);
    if (taken == 0 || taken > offered)
      return false;
    bytes += taken;
    left -= taken;
  }
  return true;
}
