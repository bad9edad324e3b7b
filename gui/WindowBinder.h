#pragma once
// The boundary between the system's window procedures and the library's objects. No C++ exception may
// unwind into the system; the application object decides how to show one.
#include "Classes.h"

#include <string>

// The handler of exceptions that reach a window procedure's boundary; the application object installs
// its own. It is called inside the catch block, so it can rethrow to look at the exception.
extern TNotifyEvent ApplicationHandleException;

// Call only inside a catch block at a window procedure's boundary: hands the exception in flight to
// ApplicationHandleException, or, while none is installed, shows its message in an error box through
// the seam. Nothing escapes from it.
void HandleException(TObject* Sender) noexcept;

// The message of the exception in flight (call inside a catch block).
std::string CurrentExceptionMessage();
