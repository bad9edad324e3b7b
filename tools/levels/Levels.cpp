// levels: prints the CPU levels the BIOS offers and marks the current one, read the way the program
// reads them.
#include "BiosInterface.h"

#include <cstdio>
#include <string>
#include <vector>

int main()
{
  AcpiInit(); // the library needs it first; its result tells nothing

  std::vector<std::string> names;
  DWORD level = 0;
  bool levelRead = false;
  if (!LoadLevelNames(names, level, levelRead)) {
    if (!HasLevelItem())
      std::fprintf(stderr, "levels: the BIOS has no level item (group 0x0F, index 0)\n");
    else
      std::fprintf(stderr, "levels: the BIOS level item offers no levels\n");
    return 1;
  }

  for (std::size_t i = 0; i < names.size(); ++i)
    std::printf("%c %2u  %s\n", levelRead && i == level ? '*' : ' ', static_cast<unsigned>(i), names[i].c_str());
  if (!levelRead) {
    std::fprintf(stderr, "levels: the BIOS did not answer the current level\n");
    return 2;
  }
  if (level < names.size())
    std::printf("current level: %u (%s)\n", static_cast<unsigned>(level), names[level].c_str());
  else
    std::printf("current level: %u (not one of the levels offered)\n", static_cast<unsigned>(level));
  return 0;
}
