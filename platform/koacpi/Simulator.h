#pragma once
// The one simulated BIOS of the process: model, store, call log and injected answers behind one lock, with
// the behaviour of the ten BIOS operations and of the control interface. The exported functions only forward
// here. The store is read on first use, never while the DLL is being loaded.
#include "AnswerRules.h"
#include "BiosModel.h"
#include "CallLog.h"
#include "SimStore.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <mutex>
#include <string>

// The system's own lock: the DLL is also built with the -win32 compilers (the i686 build), whose library
// has no std::mutex.
class SimulatorLock {
public:
  SimulatorLock() = default;
  SimulatorLock(const SimulatorLock&) = delete;
  SimulatorLock& operator=(const SimulatorLock&) = delete;
  void lock() { AcquireSRWLockExclusive(&m_lock); }
  void unlock() { ReleaseSRWLockExclusive(&m_lock); }

private:
  SRWLOCK m_lock = SRWLOCK_INIT;
};

class Simulator {
public:
  static Simulator& Instance();

  DWORD Init();
  DWORD SetItem(DWORD id, DWORD value, DWORD commit);
  DWORD GetItem(DWORD id, DWORD* value);
  DWORD GetInfo(void* buffer, DWORD* size);
  DWORD GetGroup(DWORD group, void* buffer, DWORD* size);
  void* FirstElement(void* buffer);
  DWORD ElementCount(void* buffer);
  void* ElementData(void* element);
  void* NextElement(void* element);
  DWORD GetItemInfo(void* data, void* buffer, DWORD* size);

  bool LoadLayout(const char* json, std::string& error);
  bool LoadDefault(std::string& error);
  bool UseStore(const char* path);
  std::string StorePath();
  std::string Layout();
  bool Value(uint32_t id, uint32_t& value);
  std::string CallLogText();
  void ClearCallLog();
  bool SetAnswer(uint32_t ordinal, uint32_t argument, uint32_t result, int32_t times);
  void ClearAnswers();

private:
  void EnsureLoaded();
  // False when the store can be neither read nor kept (the default layout is then used unsaved).
  bool SwitchStore(const std::string& path);
  // Makes `model` the BIOS and saves it; on a save failure the old model stays.
  bool Replace(BiosModel model, std::string& error);

  SimulatorLock m_lock;
  std::unique_ptr<SimStore> m_store; // null until first use
  BiosModel m_model;
  CallLog m_log;
  AnswerRules m_answers;
};

// One line for the debugger (OutputDebugStringA).
void DebugLine(const std::string& line);
// The same, also on standard error when the process has one.
void ErrorLine(const std::string& line);

// Runs one exported call. No exception may cross into the caller, which knows nothing of C++: it gets the
// failure answer instead.
template <typename Result, typename Call>
Result GuardedCall(Result failure, Call call) noexcept
{
  try {
    return call(Simulator::Instance());
  } catch (const std::exception& e) {
    DebugLine(std::string("KOACPI: internal failure: ") + e.what());
  } catch (...) {
    DebugLine("KOACPI: internal failure");
  }
  return failure;
}
