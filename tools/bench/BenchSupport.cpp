#include "BenchSupport.h"

#include "ProcessCounts.h"

#include <windows.h>

namespace bench {

int GdiObjects()
{
  return koprobe::GdiObjectsOf(GetCurrentProcess());
}

int UserObjects()
{
  const koprobe::TUserCount count = koprobe::UserObjectsOf(GetCurrentProcess(), GetCurrentProcessId());
  // The process's windows are this thread's: the measured controls live on it.
  return count.Count;
}

std::string GrowthVerdict(int gdiBefore, int gdiAfter, int userBefore, int userAfter)
{
  if (gdiBefore < 0 || gdiAfter < 0 || userBefore < 0 || userAfter < 0)
    return " (NOT COUNTED)";
  return gdiAfter == gdiBefore && userAfter == userBefore ? " (no growth)" : " (GROWTH)";
}

void Pump()
{
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

} // namespace bench
