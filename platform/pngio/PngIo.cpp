#include "PngIo.h"

#include "ComSupport.h"
#include "PngDecoder.h"
#include "PngEncoder.h"
#include "PngImageData.h"
#include "PngInput.h"
#include "PngRecord.h"

#include <cstring>
#include <vector>

// No C++ exception crosses these four: each is a boundary towards a caller of any language.

BOOL WINAPI ReadPngEx(PngData* data, PngReadCallback read, void* user)
{
  if (!data)
    return FALSE;
  std::memset(data, 0, sizeof(*data));
  if (!read)
    return FALSE;
  try {
    std::vector<BYTE> file;
    // Damaged image data never reaches the system's decoder.
    if (!GatherPngFile(read, user, file) || !ImageDataIntact(file))
      return FALSE;
    TComApartment apartment;
    return apartment.Usable() && DecodePngFile(file, *data);
  } catch (...) {
    // Gathering the file can run out of memory; the record is still zeroed then.
    return FALSE;
  }
}

BOOL WINAPI WritePngEx(const PngData* data, PngWriteCallback write, void* user)
{
  if (!data || !write || !RecordWellFormed(*data))
    return FALSE;
  try {
    std::vector<BYTE> file;
    {
      TComApartment apartment;
      if (!apartment.Usable() || !EncodePng(*data, file))
        return FALSE;
    }
    // Out of the apartment again: the caller's callback finds its thread as the caller left it.
    return DeliverPngFile(file, write, user);
  } catch (...) {
    return FALSE;
  }
}

void WINAPI FreePngData(PngData* data)
{
  if (data)
    FreeRecord(*data);
}

BOOL WINAPI AllocatePngData(PngData* data, UINT width, UINT height, UINT colorType)
{
  return data && AllocateRecord(*data, width, height, colorType, true);
}
