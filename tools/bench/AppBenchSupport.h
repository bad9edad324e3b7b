#pragma once
// What the app area's measurements share: a clock, a folder of their own for the skins and the stand-in
// BIOS's store, and the bare work a frame change needs.
#include "KoShapedWindow.h"

#include <windows.h>

#include <string>
#include <vector>

class TBitmap;

namespace bench {
class TContext;
}

namespace appbench {

// The app area's parts, in the order it runs them: the Next click with the program's forms in this
// process (AppBench.cpp), the real program as a process of its own (AppProcessBench.cpp), the shipped
// executable on disk (AppExeBench.cpp).

// What one fade out and in does to the two windows, as counted with the program's forms in this process.
struct TFadeCalls {
  int Pushes = 0;      // UpdateLayeredWindow of the main picture
  int DialogSteps = 0; // SetLayeredWindowAttributes of the dialog
};
void MeasureRunningProgram(bench::TContext& context, const TFadeCalls& fade);
void NoteShippedExecutable(bench::TContext& context);

// The performance counter in milliseconds, the clock the bench's medians use.
double NowMs();

// Median of some timings, and a timing as text ("12.345 ms" with `decimals` places).
double Median(std::vector<double> values);
std::string Ms(double value, int decimals);

// The program's four background frames, in the order Next and Prev walk them.
extern const char* const kFramePictures[4];

// A temporary folder holding a copy of the skins ("Resource\" beside the bench) and the place of a store for
// the stand-in BIOS, which starts from its default layout as long as nothing is written. Removed with its
// contents when the object goes.
class TBenchFolder {
public:
  TBenchFolder();
  ~TBenchFolder();
  TBenchFolder(const TBenchFolder&) = delete;
  TBenchFolder& operator=(const TBenchFolder&) = delete;

  bool Valid() const { return m_skinsCopied > 0; }
  // With a trailing backslash, as SetSkinFolder takes it.
  std::string SkinFolder() const { return m_path + "\\Resource\\"; }
  std::string StorePath() const { return m_path + "\\koacpi-store.json"; }
  int SkinsCopied() const { return m_skinsCopied; }

private:
  std::string m_path;
  int m_skinsCopied = 0;
};

// Points the stand-in BIOS of this process, and of every process it starts from now on, at `storePath`.
// False when the stand-in refuses the store.
bool UseBiosStore(const std::string& storePath);

// The least a Next click has to do: load the next frame from `skinFolder`, premultiply it and push it to
// `window` once, with the bitmap's own alpha.
class TFrameChange {
public:
  TFrameChange(HWND window, std::string skinFolder) : m_window(window), m_skinFolder(std::move(skinFolder)) {}
  void operator()();
  // The next frame loaded and premultiplied, not pushed.
  void LoadOnly();
  // One push of `bitmap` to the window.
  void PushOnly(TBitmap& bitmap);

private:
  HWND m_window;
  std::string m_skinFolder;
  CsPerPixelLayeredWindowMaker m_maker;
  int m_next = 1;
};

} // namespace appbench
