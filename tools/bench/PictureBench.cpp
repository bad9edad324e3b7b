// The main skin (345 x 348, RGBA) from file to screen: loading it through pngio.dll beside decoding it with
// the imaging component directly, premultiplying it beside copying its bytes, and one push to a layered
// window beside a bare UpdateLayeredWindow from DCs prepared beforehand.
#include "Bench.h"

#include "Bitmap.h"
#include "Handles.h"
#include "KoShapedWindow.h"
#include "Main.h"
#include "PngReader.h"
#include "SysUtils.h"

#include <wincodec.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// The baseline's own COM owners: the library's are private to it.
struct TComRelease {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using TComOwner = std::unique_ptr<T, TComRelease>;

class TComScope {
public:
  // The multithreaded kind, as the library takes it: no hidden window on this (GUI) thread.
  TComScope() : m_entered(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~TComScope()
  {
    if (m_entered)
      CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

private:
  bool m_entered;
};

std::string SkinPath()
{
  return ExtractFilePath(ApplicationExeName()) + "Resource\\cpu_bg004.png";
}

// Decodes the file into 32-bit BGRA rows as the imaging component offers it, nothing more. False when the
// component refuses.
bool DecodeWithWic(const std::wstring& path, std::vector<BYTE>& pixels)
{
  IWICImagingFactory* factory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
    return false;
  const TComOwner<IWICImagingFactory> ownedFactory(factory);
  IWICBitmapDecoder* decoder = nullptr;
  if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder)))
    return false;
  const TComOwner<IWICBitmapDecoder> ownedDecoder(decoder);
  IWICBitmapFrameDecode* frame = nullptr;
  if (FAILED(decoder->GetFrame(0, &frame)))
    return false;
  const TComOwner<IWICBitmapFrameDecode> ownedFrame(frame);
  IWICBitmapSource* converted = nullptr;
  if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted)))
    return false;
  const TComOwner<IWICBitmapSource> ownedConverted(converted);
  UINT width = 0;
  UINT height = 0;
  if (FAILED(converted->GetSize(&width, &height)))
    return false;
  pixels.resize(size_t{width} * height * 4);
  return SUCCEEDED(converted->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()));
}

struct TWindowDestroyer {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using TWindowOwner = std::unique_ptr<std::remove_pointer_t<HWND>, TWindowDestroyer>;

void RunPicture(bench::TContext& context)
{
  // The imaging component wants COM on this thread, for the baseline as for the library.
  TComScope apartment;
  const std::string path = SkinPath();
  const std::wstring widePath(path.begin(), path.end());

  TBitmap loaded;
  LoadPngFile(path, loaded);
  std::vector<BYTE> decoded;
  if (loaded.GetWidth() != 345 || !DecodeWithWic(widePath, decoded)) {
    std::fprintf(stderr, "bench: cannot load %s\n", path.c_str());
    return;
  }
  context.Compare(
      "LoadPngFile, 345 x 348 RGBA", [&] { LoadPngFile(path, loaded); }, "WIC decode of the file to BGRA",
      [&] { DecodeWithWic(widePath, decoded); });

  // Premultiplying again and again keeps the work the same: which pixels take the opaque and clear shortcuts
  // depends on alpha alone, which premultiplying leaves as it is.
  const size_t bytes = static_cast<size_t>(loaded.BytesPerLine()) * static_cast<size_t>(loaded.GetHeight());
  std::vector<BYTE> copy(bytes);
  const void* bits = loaded.ScanLine(loaded.GetHeight() - 1);  // stored bottom-up: the lowest address
  context.Compare(
      "PremultiplyAlpha, 345 x 348", [&] { PremultiplyAlpha(loaded); }, "copy of its bytes (memcpy)",
      [&] { std::memcpy(copy.data(), bits, bytes); });
  // The code processors without AVX2 run, beside the same baseline.
  if (ProcessorRuns(TPremultiplyCode::Avx2)) {
    context.Compare(
        "PremultiplyAlpha, 345 x 348, SSE2 code", [&] { PremultiplyAlphaWith(loaded, TPremultiplyCode::Sse2); },
        "copy of its bytes (memcpy)", [&] { std::memcpy(copy.data(), bits, bytes); });
  }

  // Two pictures of the same content: a bitmap can be selected into one DC only.
  TBitmap pushed;
  TBitmap bare;
  LoadPngFile(path, pushed);
  LoadPngFile(path, bare);
  PremultiplyAlpha(pushed);
  PremultiplyAlpha(bare);
  pushed.Dormant();
  bare.Dormant();
  TWindowOwner window(CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "STATIC", "", WS_POPUP,
                                      200, 200, 345, 348, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
  if (!window) {
    std::fprintf(stderr, "bench: no window\n");
    return;
  }
  CsPerPixelLayeredWindowMaker maker;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  maker.PushBitmap(window.get(), pushed.GetHandle(), blend, ULW_ALPHA);
  ShowWindow(window.get(), SW_SHOWNOACTIVATE);

  const TWindowDC windowDC(window.get());
  const TMemoryDC memoryDC = TMemoryDC::CreateCompatible(windowDC.Get());
  const TSelectObject selected(memoryDC.Get(), bare.GetHandle());
  POINT destination{200, 200};
  SIZE size{345, 348};
  POINT source{0, 0};
  context.Compare(
      "PushBitmap, 345 x 348", [&] { maker.PushBitmap(window.get(), pushed.GetHandle(), blend, ULW_ALPHA); },
      "UpdateLayeredWindow from prepared DCs",
      [&] {
        UpdateLayeredWindow(window.get(), windowDC.Get(), &destination, &size, memoryDC.Get(), &source, 0, &blend,
                            ULW_ALPHA);
      });
}

const bench::TRegistration registration("picture", &RunPicture);

} // namespace
