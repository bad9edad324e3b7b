#include "AcpiPackage.h"

#include "CallerMemory.h"

#include <windows.h>

#include <cstring>

namespace {

// Layouts keep texts as UTF-8; the BIOS interface speaks the ANSI code page. A character the code page
// lacks becomes its default character. Bytes that are no UTF-8 pass as they are.
std::string AnsiFromUtf8(const std::string& text)
{
  if (text.empty())
    return text;
  const int size = static_cast<int>(text.size());
  const int wideSize = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (wideSize <= 0)
    return text;
  std::wstring wide(static_cast<size_t>(wideSize), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), wideSize);
  const int ansiSize = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  if (ansiSize <= 0)
    return text;
  std::string ansi(static_cast<size_t>(ansiSize), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, ansi.data(), ansiSize, nullptr, nullptr);
  return ansi;
}

uint32_t ReadWord(const uint8_t* at)
{
  uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

void AppendWord(std::vector<uint8_t>& bytes, uint32_t word)
{
  const size_t at = bytes.size();
  bytes.resize(at + sizeof word);
  std::memcpy(bytes.data() + at, &word, sizeof word);
}

// Packages are small (callers offer a few kilobytes); anything claiming more is not one of ours.
constexpr uint32_t kLargestPackage = 16u << 20;

struct TElementAt {
  const uint8_t* Package = nullptr;
  uint32_t Offset = 0;
  uint32_t Type = 0;
  uint32_t Next = 0; // offset of the following element, 0 for the last
};

// Validates the whole package at `start`; returns its element count, or nothing when it is malformed.
// When `wanted` is given, also reports the element that starts at that offset (if any) in `found`.
std::optional<uint32_t> CheckPackage(const uint8_t* start, std::optional<uint32_t> wanted = {},
                                     TElementAt* found = nullptr)
{
  if (!IsReadable(start, kPackageHeaderSize) || ReadWord(start) != kPackageMagic)
    return {};
  const uint32_t total = ReadWord(start + 4);
  const uint32_t count = ReadWord(start + 8);
  if (total < kPackageHeaderSize || total > kLargestPackage || !IsReadable(start, total))
    return {};
  uint32_t offset = kPackageHeaderSize;
  for (uint32_t index = 0; index < count; ++index) {
    if (total - offset < kElementHeaderSize)
      return {};
    const uint8_t* element = start + offset;
    const uint32_t type = ReadWord(element);
    const uint32_t size = ReadWord(element + 4);
    if (ReadWord(element + 8) != offset || size < 4 || size % 4 != 0 ||
        size > total - offset - kElementHeaderSize)
      return {};
    const uint8_t* payload = element + kElementHeaderSize;
    if (type == kElementInteger) {
      if (size != 4)
        return {};
    } else if (type != kElementText || !std::memchr(payload, 0, size)) {
      return {};
    }
    const uint32_t next = offset + kElementHeaderSize + size;
    if (found && wanted == offset)
      *found = {start, offset, type, index + 1 < count ? next : 0};
    offset = next;
  }
  if (offset != total)
    return {};
  return count;
}

// The element whose header starts at `element`, within a well-formed package.
std::optional<TElementAt> LocateElement(const void* element)
{
  const auto* at = static_cast<const uint8_t*>(element);
  if (!IsReadable(at, kElementHeaderSize))
    return {};
  const uint32_t back = ReadWord(at + 8);
  const uintptr_t address = reinterpret_cast<uintptr_t>(at);
  if (back < kPackageHeaderSize || back > address)
    return {};
  TElementAt found;
  const auto* package = reinterpret_cast<const uint8_t*>(address - back);
  if (!CheckPackage(package, back, &found) || found.Package == nullptr)
    return {};
  return found;
}

} // namespace

std::vector<uint8_t> BuildPackage(const PackageValues& elements)
{
  std::vector<uint8_t> bytes;
  AppendWord(bytes, kPackageMagic);
  AppendWord(bytes, 0);
  AppendWord(bytes, static_cast<uint32_t>(elements.size()));
  for (const PackageValue& value : elements) {
    const uint32_t offset = static_cast<uint32_t>(bytes.size());
    if (value.IsText) {
      const std::string text = AnsiFromUtf8(value.Text);
      const uint32_t size = static_cast<uint32_t>((text.size() + 1 + 3) / 4 * 4);
      AppendWord(bytes, kElementText);
      AppendWord(bytes, size);
      AppendWord(bytes, offset);
      bytes.insert(bytes.end(), text.begin(), text.end());
      bytes.resize(offset + kElementHeaderSize + size, 0);
    } else {
      AppendWord(bytes, kElementInteger);
      AppendWord(bytes, 4);
      AppendWord(bytes, offset);
      AppendWord(bytes, value.Number);
    }
  }
  const uint32_t total = static_cast<uint32_t>(bytes.size());
  std::memcpy(bytes.data() + 4, &total, sizeof total);
  return bytes;
}

const void* PackageFirstElement(const void* package)
{
  const auto* start = static_cast<const uint8_t*>(package);
  const auto count = CheckPackage(start);
  return count && *count > 0 ? start + kPackageHeaderSize : nullptr;
}

uint32_t PackageElementCount(const void* package)
{
  return CheckPackage(static_cast<const uint8_t*>(package)).value_or(0);
}

const void* PackageElementData(const void* element)
{
  const auto found = LocateElement(element);
  return found ? found->Package + found->Offset + kElementHeaderSize : nullptr;
}

const void* PackageNextElement(const void* element)
{
  const auto found = LocateElement(element);
  return found && found->Next ? found->Package + found->Next : nullptr;
}

std::optional<uint32_t> IntegerAtData(const void* data)
{
  const uintptr_t address = reinterpret_cast<uintptr_t>(data);
  if (address < kElementHeaderSize)
    return {};
  const auto found = LocateElement(reinterpret_cast<const void*>(address - kElementHeaderSize));
  if (!found || found->Type != kElementInteger)
    return {};
  return ReadWord(found->Package + found->Offset + kElementHeaderSize);
}
