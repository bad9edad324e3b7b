#include "TestSupport.h"

#include "ProcessCounts.h"

#include <gtest/gtest.h>

TThrowingAsserts::TThrowingAsserts()
    : m_old(SetAssertReporter([](const char* expression, const char* file, int line) {
        throw TAssertionFailure(AssertionText(expression, file, line));
      }))
{
}

TThrowingAsserts::~TThrowingAsserts()
{
  SetAssertReporter(std::move(m_old));
}

TSysRecorder::TSysRecorder()
{
  SysApi().MessageBoxA = [this](HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    Boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return BoxAnswer;
  };
  SysApi().OutputDebugStringA = [this](LPCSTR text) { DebugLines.push_back(text ? text : ""); };
}

void PumpPending()
{
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, int maxRounds, DWORD waitMs)
{
  for (int round = 0; round < maxRounds; ++round) {
    PumpPending();
    if (done())
      return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
  }
  PumpPending();
  return done();
}

std::string ExeDir()
{
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

TTempFile::TTempFile(const std::string& suffix)
{
  char dir[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, dir);
  static unsigned counter = 0;
  m_path = std::string(dir) + "kotest-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + suffix;
  DeleteFileA(m_path.c_str());
}

TTempFile::~TTempFile()
{
  DeleteFileA(m_path.c_str());
}

long long CountedOrFail(long long count, const char* what)
{
  if (count < 0)
    ADD_FAILURE() << "this system gives no way to count " << what << ": the leak check proves nothing";
  return count;
}

int GdiObjectCount()
{
  return static_cast<int>(CountedOrFail(koprobe::GdiObjectsOf(GetCurrentProcess()), "GDI objects"));
}

long KernelHandleCount()
{
  return static_cast<long>(CountedOrFail(koprobe::KernelHandlesOf(GetCurrentProcess()), "kernel handles"));
}

long long PrivateByteCount()
{
  return CountedOrFail(koprobe::PrivateBytesOf(GetCurrentProcess()), "private bytes");
}

int ThreadWindowCount()
{
  return koprobe::WindowsOfThread(GetCurrentThreadId());
}
