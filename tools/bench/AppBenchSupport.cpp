#include "AppBenchSupport.h"

#include "KoAcpiControl.h"
#include "Main.h"
#include "PngReader.h"

#include "Bitmap.h"
#include "SysUtils.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace appbench {

double NowMs()
{
  static const double ticksPerMs = [] {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticksPerMs;
}

double Median(std::vector<double> values)
{
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Ms(double value, int decimals)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.*f ms", decimals, value);
  return text;
}

const char* const kFramePictures[4] = {"cpu_bg004.png", "cpu_bg004_1.png", "cpu_bg004_2.png", "cpu_bg004_3.png"};

namespace {

std::vector<std::string> FilesIn(const std::string& folder)
{
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

} // namespace

TBenchFolder::TBenchFolder()
{
  char temp[MAX_PATH] = {};
  char unique[MAX_PATH] = {};
  if (!GetTempPathA(MAX_PATH, temp) || !GetTempFileNameA(temp, "kvb", 0, unique))
    return;
  // The unique name becomes the folder.
  DeleteFileA(unique);
  if (!CreateDirectoryA(unique, nullptr))
    return;
  m_path = unique;
  if (!CreateDirectoryA((m_path + "\\Resource").c_str(), nullptr))
    return;
  const std::string source = ExtractFilePath(ApplicationExeName()) + "Resource\\";
  for (const std::string& name : FilesIn(source))
    m_skinsCopied += CopyFileA((source + name).c_str(), (SkinFolder() + name).c_str(), TRUE) ? 1 : 0;
}

TBenchFolder::~TBenchFolder()
{
  if (m_path.empty())
    return;
  for (const std::string& name : FilesIn(SkinFolder()))
    DeleteFileA((SkinFolder() + name).c_str());
  RemoveDirectoryA((m_path + "\\Resource").c_str());
  for (const std::string& name : FilesIn(m_path + "\\"))
    DeleteFileA((m_path + "\\" + name).c_str());
  RemoveDirectoryA(m_path.c_str());
}

bool UseBiosStore(const std::string& storePath)
{
  // Started processes read the variable; this process's stand-in may have read it already, so it is told.
  SetEnvironmentVariableA("KOACPI_STORE", storePath.c_str());
  return KoSimUseStore(storePath.c_str()) != 0;
}

void TFrameChange::LoadOnly()
{
  TBitmap frame;
  frame.SetPixelFormat(pf32bit);
  LoadPngFile(m_skinFolder + kFramePictures[m_next], frame);
  m_next = (m_next + 1) % 4;
  PremultiplyAlpha(frame);
}

void TFrameChange::PushOnly(TBitmap& bitmap)
{
  // UpdateLayeredWindow selects the bitmap itself.
  bitmap.Dormant();
  m_maker.PushBitmap(m_window, bitmap.GetHandle(), BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}, ULW_ALPHA);
}

void TFrameChange::operator()()
{
  TBitmap frame;
  frame.SetPixelFormat(pf32bit);
  LoadPngFile(m_skinFolder + kFramePictures[m_next], frame);
  m_next = (m_next + 1) % 4;
  PremultiplyAlpha(frame);
  PushOnly(frame);
}

} // namespace appbench
