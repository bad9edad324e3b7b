#include "KoAcpiControl.h"

#include "CallerMemory.h"
#include "Simulator.h"

#include <cstring>

namespace {

// As much of the text as fits, always terminated.
void CopyText(const std::string& text, char* buffer, uint32_t size)
{
  if (!buffer || size == 0 || !IsWritable(buffer, size))
    return;
  const size_t length = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

} // namespace

int __cdecl KoSimLoadLayout(const char* json, char* error, uint32_t errorSize)
{
  return GuardedCall<int>(0, [&](Simulator& bios) {
    std::string reason;
    const bool done = bios.LoadLayout(json, reason);
    CopyText(reason, error, errorSize);
    return done ? 1 : 0;
  });
}

int __cdecl KoSimLoadDefault(void)
{
  return GuardedCall<int>(0, [](Simulator& bios) {
    std::string reason;
    return bios.LoadDefault(reason) ? 1 : 0;
  });
}

int __cdecl KoSimUseStore(const char* path)
{
  return GuardedCall<int>(0, [&](Simulator& bios) { return bios.UseStore(path) ? 1 : 0; });
}

int __cdecl KoSimStorePath(char* buffer, uint32_t* size)
{
  return GuardedCall<int>(0, [&](Simulator& bios) { return FillCallerBuffer(bios.StorePath(), buffer, size); });
}

int __cdecl KoSimGetLayout(char* buffer, uint32_t* size)
{
  return GuardedCall<int>(0, [&](Simulator& bios) { return FillCallerBuffer(bios.Layout(), buffer, size); });
}

int __cdecl KoSimGetValue(uint32_t id, uint32_t* value)
{
  return GuardedCall<int>(0, [&](Simulator& bios) {
    uint32_t current = 0;
    if (!value || !IsWritable(value, sizeof *value) || !bios.Value(id, current))
      return 0;
    *value = current;
    return 1;
  });
}

int __cdecl KoSimGetCallLog(char* buffer, uint32_t* size)
{
  return GuardedCall<int>(0, [&](Simulator& bios) { return FillCallerBuffer(bios.CallLogText(), buffer, size); });
}

void __cdecl KoSimClearCallLog(void)
{
  GuardedCall<int>(0, [](Simulator& bios) {
    bios.ClearCallLog();
    return 1;
  });
}

int __cdecl KoSimSetAnswer(uint32_t ordinal, uint32_t firstArgument, uint32_t result, int32_t times)
{
  return GuardedCall<int>(0, [&](Simulator& bios) {
    return bios.SetAnswer(ordinal, firstArgument, result, times) ? 1 : 0;
  });
}

void __cdecl KoSimClearAnswers(void)
{
  GuardedCall<int>(0, [](Simulator& bios) {
    bios.ClearAnswers();
    return 1;
  });
}
