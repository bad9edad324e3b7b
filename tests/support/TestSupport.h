#pragma once
// Helpers shared by every test executable.
#include "Assertion.h"
#include "ProcessCounts.h"
#include "SysApi.h"

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// A failed KO_ASSERT inside a test: carries the text the shipped program would show.
struct TAssertionFailure : std::runtime_error {
  explicit TAssertionFailure(const std::string& text) : std::runtime_error(text) {}
};

// Turns failed assertions into TAssertionFailure for one scope.
class TThrowingAsserts {
public:
  TThrowingAsserts();
  ~TThrowingAsserts();
  TThrowingAsserts(const TThrowingAsserts&) = delete;
  TThrowingAsserts& operator=(const TThrowingAsserts&) = delete;

private:
  TAssertReporter m_old;
};

// A message box that was asked for; never shown.
struct TRecordedBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

// Records message boxes and debugger output instead of showing or writing them, for one scope.
// Message boxes answer `BoxAnswer`.
class TSysRecorder {
public:
  TSysRecorder();
  TSysRecorder(const TSysRecorder&) = delete;
  TSysRecorder& operator=(const TSysRecorder&) = delete;

  std::vector<TRecordedBox> Boxes;
  std::vector<std::string> DebugLines;
  int BoxAnswer = IDOK;

private:
  TSysApiScope m_scope;
};

// Dispatches queued messages until `done` holds or `maxRounds` rounds have passed; returns `done()`.
// A round waits at most `waitMs` for new input, so a test never sleeps for nothing.
bool PumpUntil(const std::function<bool()>& done, int maxRounds = 500, DWORD waitMs = 10);

// Dispatches what is queued now.
void PumpPending();

// This process's counts for leak checks (see ProcessCounts.h). A counter that cannot count fails the
// running test, so that a check comparing two failed counts never passes.
long long CountedOrFail(long long count, const char* what);
int GdiObjectCount();
long KernelHandleCount();
long long PrivateByteCount();
// Windows of this thread, child windows included: the USER objects the controls make.
int ThreadWindowCount();

using koprobe::HasXInputFocus;
using koprobe::RunXdotool;

// Folder of the running test executable, with a trailing backslash.
std::string ExeDir();

// A fresh, empty temporary file path that is deleted again when the object goes.
class TTempFile {
public:
  explicit TTempFile(const std::string& suffix = ".tmp");
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  const std::string& Path() const { return m_path; }

private:
  std::string m_path;
};
