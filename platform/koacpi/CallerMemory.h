#pragma once
// Memory handed in by a caller is never trusted: it is probed with VirtualQuery before the library reads or
// writes it, so a stale or random pointer gives a failure instead of an access violation.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Every byte of [address, address + length) is committed and readable; false for null and for an empty range.
bool IsReadable(const void* address, size_t length);
// Every byte of [address, address + length) is committed and writable.
bool IsWritable(const void* address, size_t length);

// The in/out size protocol of every filling call: *size in = capacity of buffer. When the bytes fit they are
// copied and *size = bytes used; a null or too small buffer gets *size = bytes needed and nothing else.
// A null or unwritable size, or a buffer that is not writable for the bytes: false, nothing written.
template <typename Size>
bool FillCallerBuffer(const void* bytes, size_t count, void* buffer, Size* size);

inline bool FillCallerBuffer(const std::vector<uint8_t>& bytes, void* buffer, DWORD* size)
{
  return FillCallerBuffer(bytes.data(), bytes.size(), buffer, size);
}

// Text including its terminator.
inline bool FillCallerBuffer(const std::string& text, char* buffer, uint32_t* size)
{
  return FillCallerBuffer(text.c_str(), text.size() + 1, buffer, size);
}
