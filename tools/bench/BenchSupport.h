#pragma once
// What several bench areas share: this process's object counts and a message pump.
#include <string>

namespace bench {

// GDI objects of this process; -1 when they cannot be counted.
int GdiObjects();
// USER objects of this process; where the system does not count them, this thread's windows (the only
// USER objects the measured controls make).
int UserObjects();
// " (no growth)", " (GROWTH)", or, when a count could not be read, " (NOT COUNTED)": a leak check over
// counts that failed proves nothing.
std::string GrowthVerdict(int gdiBefore, int gdiAfter, int userBefore, int userAfter);
// Handles every queued message of this thread.
void Pump();

} // namespace bench
