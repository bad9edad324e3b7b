#pragma once
// Memory layout of the packages this library writes into caller buffers.
//
// Every field is a 32-bit little-endian word; every offset counts from the first byte of the package.
//
//   package header  | magic 0x4B504F4B ("KOPK") | total size in bytes | element count |
//   element         | type (1 integer, 2 text)  | payload size        | offset of this element header |
//                   | payload ...                                                                      |
//
// The elements follow the header back to back and the last one ends exactly at the total size. An integer
// payload is its 32-bit value; a text payload is the characters, a zero terminator and zero padding to a
// multiple of 4, so every payload is at least 4 bytes and a 4-byte read at any data pointer stays inside its
// element. An element pointer is the address of its element header, a data pointer the address of its
// payload. Nothing in a package is an absolute address: a byte-exact copy is a valid package of its own.
//
// Pointers that callers hand back are checked before use: the memory must be readable (VirtualQuery), the
// whole package well formed (magic, sizes, back offsets, text terminators, count), and an element pointer
// must be the start of one of its elements. Anything else gives null or 0, never a fault.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr uint32_t kPackageMagic = 0x4B504F4B;
constexpr uint32_t kPackageHeaderSize = 12;
constexpr uint32_t kElementHeaderSize = 12;
constexpr uint32_t kElementInteger = 1;
constexpr uint32_t kElementText = 2;

// One element before it is laid out.
struct PackageValue {
  bool IsText = false;
  uint32_t Number = 0;
  std::string Text;

  static PackageValue Integer(uint32_t number) { return {false, number, {}}; }
  static PackageValue String(std::string text) { return {true, 0, std::move(text)}; }
  bool operator==(const PackageValue&) const = default;
};

using PackageValues = std::vector<PackageValue>;

std::vector<uint8_t> BuildPackage(const PackageValues& elements);

// The element functions. Each validates what it is given and answers null / 0 when it is not a package,
// an element or a data pointer of a well-formed package.
const void* PackageFirstElement(const void* package);
uint32_t PackageElementCount(const void* package);
const void* PackageElementData(const void* element);
// Null after the last element.
const void* PackageNextElement(const void* element);
// The value of the integer element whose payload `data` points at.
std::optional<uint32_t> IntegerAtData(const void* data);
