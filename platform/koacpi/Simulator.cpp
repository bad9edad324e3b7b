#include "Simulator.h"

#include "AcpiPackage.h"
#include "CallerMemory.h"
#include "LayoutJson.h"

namespace {

using TGuard = std::lock_guard<SimulatorLock>;

// The size a caller offers, as the call log shows it.
std::string Offered(const DWORD* size)
{
  if (!size)
    return "null";
  if (!IsReadable(size, sizeof *size))
    return "?";
  return std::to_string(*size);
}

DWORD FillPackage(const PackageValues& elements, void* buffer, DWORD* size)
{
  return FillCallerBuffer(BuildPackage(elements), buffer, size) ? 1 : 0;
}

const char* OkOrNull(const void* pointer)
{
  return pointer ? "ok" : "null";
}

} // namespace

void DebugLine(const std::string& line)
{
  OutputDebugStringA(line.c_str());
}

void ErrorLine(const std::string& line)
{
  DebugLine(line);
  // A console tool's user sees this; a program without standard error has no handle and misses nothing.
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (!error || error == INVALID_HANDLE_VALUE)
    return;
  const std::string text = line + "\n";
  DWORD done = 0;
  WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
}

Simulator& Simulator::Instance()
{
  static Simulator simulator;
  return simulator;
}

void Simulator::EnsureLoaded()
{
  if (!m_store)
    SwitchStore(DefaultStorePath());
}

bool Simulator::SwitchStore(const std::string& path)
{
  m_store = std::make_unique<SimStore>(path);
  StoreLoad load = m_store->Load();
  m_model = std::move(load.Model);
  // A repaired or unreadable store changes what every later read sees, so it is said where the user looks.
  if (!load.Problem.empty())
    ErrorLine(load.Problem);
  return load.Usable;
}

bool Simulator::Replace(BiosModel model, std::string& error)
{
  std::string saveError;
  if (!m_store->Save(model, saveError)) {
    error = "KOACPI: the layout was not taken: " + saveError;
    DebugLine(error);
    return false;
  }
  m_model = std::move(model);
  return true;
}

DWORD Simulator::Init()
{
  TGuard guard(m_lock);
  EnsureLoaded();
  const DWORD result = m_answers.Take(1).value_or(1);
  m_log.Add(Format("AcpiInit() = %lu", result));
  return result;
}

DWORD Simulator::SetItem(DWORD id, DWORD value, DWORD commit)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  DWORD result;
  if (const auto answer = m_answers.Take(2, id)) {
    result = *answer;
  } else {
    result = m_model.CheckWrite(id, value, commit);
    if (result && commit == 1) {
      SimItem* item = m_model.FindItem(id);
      const uint32_t old = item->Value;
      item->Value = value;
      std::string error;
      if (!m_store->Save(m_model, error)) {
        // A write that would not survive a restart is no write: the firmware keeps the old value.
        item->Value = old;
        result = 0;
        DebugLine(Format("KOACPI: AcpiSetItem(0x%08lx, %lu) refused: %s", id, value, error.c_str()));
      }
    }
  }
  m_log.Add(Format("AcpiSetItem(0x%08lx, %lu, %lu) = 0x%lx", id, value, commit, result));
  return result;
}

DWORD Simulator::GetItem(DWORD id, DWORD* value)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  DWORD result = 0;
  bool wrote = false;
  if (const auto answer = m_answers.Take(3, id)) {
    result = *answer;
  } else if (const SimItem* item = m_model.FindItem(id);
             item && item->Readable && value && IsWritable(value, sizeof *value)) {
    *value = item->Value;
    result = 1;
    wrote = true;
  }
  m_log.Add(wrote ? Format("AcpiGetItem(0x%08lx) = 0x%lx -> %lu", id, result, *value)
                  : Format("AcpiGetItem(0x%08lx) = 0x%lx", id, result));
  return result;
}

DWORD Simulator::GetInfo(void* buffer, DWORD* size)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  const std::string offered = Offered(size);
  const auto answer = m_answers.Take(4);
  const DWORD result = answer ? *answer : FillPackage(m_model.Info, buffer, size);
  m_log.Add(Format("AcpiGetInfo(%s) = %lu", offered.c_str(), result));
  return result;
}

DWORD Simulator::GetGroup(DWORD group, void* buffer, DWORD* size)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  const std::string offered = Offered(size);
  DWORD result = 0;
  if (const auto answer = m_answers.Take(5, group))
    result = *answer;
  else if (const SimGroup* found = m_model.FindGroup(group))
    result = FillPackage(found->PackageElements(), buffer, size);
  m_log.Add(Format("AcpiGetGroup(0x%02lx, %s) = %lu", group, offered.c_str(), result));
  return result;
}

void* Simulator::FirstElement(void* buffer)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  void* element = m_answers.Take(6) ? nullptr : const_cast<void*>(PackageFirstElement(buffer));
  m_log.Add(Format("AcpiFirstElement() = %s", OkOrNull(element)));
  return element;
}

DWORD Simulator::ElementCount(void* buffer)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  const auto answer = m_answers.Take(7);
  const DWORD count = answer ? *answer : PackageElementCount(buffer);
  m_log.Add(Format("AcpiElementCount() = %lu", count));
  return count;
}

void* Simulator::ElementData(void* element)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  void* data = m_answers.Take(9) ? nullptr : const_cast<void*>(PackageElementData(element));
  m_log.Add(Format("AcpiElementData() = %s", OkOrNull(data)));
  return data;
}

void* Simulator::NextElement(void* element)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  void* next = m_answers.Take(10) ? nullptr : const_cast<void*>(PackageNextElement(element));
  m_log.Add(Format("AcpiNextElement() = %s", OkOrNull(next)));
  return next;
}

DWORD Simulator::GetItemInfo(void* data, void* buffer, DWORD* size)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  const std::string offered = Offered(size);
  const std::optional<uint32_t> id = IntegerAtData(data);
  DWORD result = 0;
  if (const auto answer = m_answers.Take(11, id))
    result = *answer;
  else if (const SimItem* item = id ? m_model.FindItem(*id) : nullptr)
    result = FillPackage(item->DescriptorElements(), buffer, size);
  const std::string shown = id ? Format("0x%08x", static_cast<unsigned>(*id)) : std::string("?");
  m_log.Add(Format("AcpiGetItemInfo(%s, %s) = %lu", shown.c_str(), offered.c_str(), result));
  return result;
}

bool Simulator::LoadLayout(const char* json, std::string& error)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  BiosModel model;
  std::string reason;
  if (!json)
    reason = "no layout text given";
  else if (ParseLayout(json, model, reason))
    return Replace(std::move(model), error);
  error = "KOACPI: layout refused: " + reason;
  DebugLine(error);
  return false;
}

bool Simulator::LoadDefault(std::string& error)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  return Replace(DefaultLayout(), error);
}

bool Simulator::UseStore(const char* path)
{
  TGuard guard(m_lock);
  if (path && !*path) {
    DebugLine("KOACPI: KoSimUseStore: empty store path refused");
    return false;
  }
  return SwitchStore(path ? path : DefaultStorePath());
}

std::string Simulator::StorePath()
{
  TGuard guard(m_lock);
  EnsureLoaded();
  return m_store->Path();
}

std::string Simulator::Layout()
{
  TGuard guard(m_lock);
  EnsureLoaded();
  return LayoutToJson(m_model);
}

bool Simulator::Value(uint32_t id, uint32_t& value)
{
  TGuard guard(m_lock);
  EnsureLoaded();
  const SimItem* item = m_model.FindItem(id);
  if (item)
    value = item->Value;
  return item != nullptr;
}

std::string Simulator::CallLogText()
{
  TGuard guard(m_lock);
  return m_log.Text();
}

void Simulator::ClearCallLog()
{
  TGuard guard(m_lock);
  m_log.Clear();
}

bool Simulator::SetAnswer(uint32_t ordinal, uint32_t argument, uint32_t result, int32_t times)
{
  TGuard guard(m_lock);
  return m_answers.Add(ordinal, argument, result, times);
}

void Simulator::ClearAnswers()
{
  TGuard guard(m_lock);
  m_answers.Clear();
}
