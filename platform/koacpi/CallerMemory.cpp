#include "CallerMemory.h"

#include <cstring>

namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kWritable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

bool RangeHasAccess(const void* address, size_t length, DWORD access)
{
  if (!address || length == 0)
    return false;
  const uintptr_t first = reinterpret_cast<uintptr_t>(address);
  const uintptr_t end = first + length;
  if (end < first)
    return false;
  // A range may span several regions with different protection; each must allow the access.
  uintptr_t at = first;
  while (at < end) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info)
      return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(info.Protect & access))
      return false;
    const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (regionEnd <= at)
      return false;
    at = regionEnd;
  }
  return true;
}

} // namespace

bool IsReadable(const void* address, size_t length)
{
  return RangeHasAccess(address, length, kReadable);
}

bool IsWritable(const void* address, size_t length)
{
  return RangeHasAccess(address, length, kWritable);
}

template <typename Size>
bool FillCallerBuffer(const void* bytes, size_t count, void* buffer, Size* size)
{
  static_assert(sizeof(Size) == 4);
  if (!size || !IsWritable(size, sizeof *size))
    return false;
  if (!buffer || count > *size) {
    *size = static_cast<Size>(count);
    return false;
  }
  if (!IsWritable(buffer, count))
    return false;
  std::memcpy(buffer, bytes, count);
  *size = static_cast<Size>(count);
  return true;
}

template bool FillCallerBuffer<DWORD>(const void*, size_t, void*, DWORD*);
template bool FillCallerBuffer<uint32_t>(const void*, size_t, void*, uint32_t*);
