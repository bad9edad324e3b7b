// The program's entry point. It stays out of ko_app, whose units the tests and tools link into programs
// with entry points of their own.
#include "Main.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
  // First of all: no library loaded from here on may come from the current folder or PATH.
  RestrictDllSearch();
  return RunVantor();
}
