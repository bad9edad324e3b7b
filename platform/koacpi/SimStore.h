#pragma once
// The JSON file that keeps the simulated BIOS across runs, like the firmware's non-volatile memory.
// It is written whole on every change (through a temporary file, so a crash never leaves half a store).
#include "BiosModel.h"

#include <string>

// KOACPI_STORE when set, else "koacpi-store.json" beside this DLL; always a full path.
std::string DefaultStorePath();

struct StoreLoad {
  BiosModel Model;
  bool Usable = true; // false when the file could not be read or kept: nothing may overwrite it
  std::string Problem; // empty when the file was read or is simply missing
};

class SimStore {
public:
  explicit SimStore(const std::string& path);
  const std::string& Path() const { return m_path; }

  // A missing file gives the default layout. A damaged one (unparsable or not a valid layout) is renamed to
  // "<path>.bad" (or ".bad.1", ".bad.2", ... when that exists) and the default layout is saved in its place.
  StoreLoad Load();
  bool Save(const BiosModel& model, std::string& error);

private:
  std::string m_path;
  bool m_usable = true;
};
