#pragma once
// Skin pictures: PNG files decoded by pngio.dll into 32-bit bitmaps. The library is loaded from the
// program's folder at the first picture and stays loaded until the process ends; nothing of it is linked in.
// Paths are wide: the program's folder may have a name the ANSI code page cannot spell.
#include "Handles.h"
#include "PngIo.h"

#include <string>

class TBitmap;
class TStream;

// The running executable's full path, and its folder with the trailing backslash.
std::wstring ProgramPath();
std::wstring ProgramFolder();
// A path in the ANSI code page as a wide one.
std::wstring WidePath(const std::string& path);

// The process's connection to the PNG codec library.
class PngManager {
public:
  // The library's entry points as found by name; any of them may be missing.
  struct TEntryPoints {
    ReadPngExProc ReadPngEx = nullptr;
    WritePngExProc WritePngEx = nullptr;
    FreePngDataProc FreePngData = nullptr;
    AllocatePngDataProc AllocatePngData = nullptr;
  };

  // The process-wide manager over pngio.dll beside the executable, made (and the library loaded) on the
  // first call and never destroyed.
  static PngManager& Instance();

  // Loads the library at `libraryPath` (a full path; the libraries it imports come from the system folder
  // only) and finds its entry points. A library that cannot be loaded fails the assertion "m_hinst".
  explicit PngManager(const std::wstring& libraryPath);
  explicit PngManager(const std::string& libraryPath) : PngManager(WidePath(libraryPath)) {}
  // Uses entry points that are already at hand (no library is loaded).
  explicit PngManager(const TEntryPoints& entryPoints);
  PngManager(const PngManager&) = delete;
  PngManager& operator=(const PngManager&) = delete;

  const TEntryPoints& EntryPoints() const { return m_entryPoints; }

  // Decodes a PNG file from the stream's current position into `bitmap` (32 bits per pixel, the picture's
  // size and pixels, not premultiplied). False when the decoder refuses the file, or when the library lacks
  // ReadPngEx or FreePngData (then nothing is called); the bitmap is not touched then. An exception of the
  // stream is raised here once the decoder has returned.
  bool ReadToBitmap(TStream* stream, TBitmap& bitmap);

private:
  TModuleHandle m_hinst;
  TEntryPoints m_entryPoints;
};

// Loads the PNG file `fileName` (a full path) into `bitmap` through the process's manager. The bitmap is
// 32 bits per pixel afterwards; a file that does not decode leaves it otherwise as it was, and a file that
// cannot be opened raises EFOpenError.
void LoadPngFile(const std::wstring& fileName, TBitmap& bitmap);
void LoadPngFile(const std::string& fileName, TBitmap& bitmap);
// The same through a given manager.
void LoadPngFile(PngManager& manager, const std::wstring& fileName, TBitmap& bitmap);
void LoadPngFile(PngManager& manager, const std::string& fileName, TBitmap& bitmap);

// Copies decoded rows into a 32-bit bitmap of the same size: B, G, R, A from R, G, B(, A); alpha 255 for a
// picture without alpha, and a fully transparent pixel becomes 0, 0, 0, 0.
void ConvertPngRows(const PngData& data, TBitmap& bitmap);
