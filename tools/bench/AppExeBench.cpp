// The shipped executable as it lies on disk: the i686 release build's CpuVantor.exe, read from the i686
// build folder beside this one. Its size, whether it still carries a symbol table or debug sections (and
// its size without them), the libraries it imports, and whether the heavy parts of the C++ runtime (streams,
// locales, regular expressions) came in: their type names stay in the file even when it is stripped.
#include "AppBenchSupport.h"
#include "Bench.h"

#include "SysUtils.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TSection {
  std::string Name;
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t RawSize = 0;
  uint32_t RawOffset = 0;
};

struct TPeFile {
  std::vector<uint8_t> Bytes;
  bool Valid = false;
  uint32_t SymbolTable = 0;
  uint32_t Symbols = 0;
  std::vector<TSection> Sections;
  uint32_t ImportRva = 0;
};

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at)
{
  if (at + 4 > bytes.size())
    return 0;
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

uint16_t Read16(const std::vector<uint8_t>& bytes, size_t at)
{
  if (at + 2 > bytes.size())
    return 0;
  uint16_t value;
  std::memcpy(&value, bytes.data() + at, 2);
  return value;
}

std::string ReadText(const std::vector<uint8_t>& bytes, size_t at, size_t limit)
{
  std::string text;
  for (size_t i = at; i < bytes.size() && i < at + limit && bytes[i]; ++i)
    text += static_cast<char>(bytes[i]);
  return text;
}

// A long section name ("/4") is an offset into the string table after the symbols.
std::string SectionName(const TPeFile& pe, const std::string& shortName)
{
  if (shortName.size() < 2 || shortName[0] != '/' || !pe.SymbolTable)
    return shortName;
  const size_t strings = size_t{pe.SymbolTable} + size_t{pe.Symbols} * 18;
  return ReadText(pe.Bytes, strings + std::strtoul(shortName.c_str() + 1, nullptr, 10), 64);
}

TPeFile ReadPe(const std::string& path)
{
  TPeFile pe;
  std::ifstream file(path, std::ios::binary);
  pe.Bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  const std::vector<uint8_t>& b = pe.Bytes;
  const uint32_t header = Read32(b, 0x3C);
  if (b.size() < 0x40 || Read16(b, 0) != 0x5A4D || Read32(b, header) != 0x00004550)
    return pe;
  const uint16_t sectionCount = Read16(b, header + 6);
  pe.SymbolTable = Read32(b, header + 12);
  pe.Symbols = Read32(b, header + 16);
  const uint16_t optionalSize = Read16(b, header + 20);
  const size_t optional = header + 24;
  const bool pe32Plus = Read16(b, optional) == 0x20B;
  const size_t directories = optional + (pe32Plus ? 112 : 96);
  pe.ImportRva = Read32(b, directories + 8); // entry 1: imports
  const size_t table = optional + optionalSize;
  for (size_t i = 0; i < sectionCount; ++i) {
    const size_t at = table + i * 40;
    TSection section;
    section.Name = SectionName(pe, ReadText(b, at, 8));
    section.VirtualSize = Read32(b, at + 8);
    section.VirtualAddress = Read32(b, at + 12);
    section.RawSize = Read32(b, at + 16);
    section.RawOffset = Read32(b, at + 20);
    pe.Sections.push_back(section);
  }
  pe.Valid = true;
  return pe;
}

size_t OffsetOf(const TPeFile& pe, uint32_t rva)
{
  for (const TSection& s : pe.Sections)
    if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.VirtualSize, s.RawSize))
      return s.RawOffset + (rva - s.VirtualAddress);
  return 0;
}

std::vector<std::string> ImportedLibraries(const TPeFile& pe)
{
  std::vector<std::string> names;
  size_t at = pe.ImportRva ? OffsetOf(pe, pe.ImportRva) : 0;
  for (; at && at + 20 <= pe.Bytes.size(); at += 20) {
    const uint32_t name = Read32(pe.Bytes, at + 12);
    if (!name)
      break;
    names.push_back(ReadText(pe.Bytes, OffsetOf(pe, name), 128));
  }
  return names;
}

bool IsDebugSection(const TSection& section)
{
  return section.Name.rfind(".debug", 0) == 0 || section.Name.rfind(".zdebug", 0) == 0;
}

bool Contains(const std::vector<uint8_t>& bytes, const std::string& text)
{
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

std::string Join(const std::vector<std::string>& parts)
{
  std::string joined;
  for (const std::string& part : parts)
    joined += (joined.empty() ? "" : ", ") + part;
  return joined.empty() ? "none" : joined;
}

} // namespace

void appbench::NoteShippedExecutable(bench::TContext& context)
{
  const std::string path = ExtractFilePath(ApplicationExeName()) + "..\\..\\i686\\bin\\CpuVantor.exe";
  const TPeFile pe = ReadPe(path);
  if (!pe.Valid) {
    context.Note("i686 CpuVantor.exe: not found or not a PE file at " + path + " (build the i686 preset)");
    return;
  }
  // Without its symbols and debug sections the file ends with the last section that stays.
  size_t kept = 0;
  size_t debugBytes = 0;
  std::vector<std::string> debugSections;
  for (const TSection& s : pe.Sections) {
    if (IsDebugSection(s)) {
      debugBytes += s.RawSize;
      debugSections.push_back(s.Name);
    } else {
      kept = std::max<size_t>(kept, size_t{s.RawOffset} + s.RawSize);
    }
  }
  const bool stripped = pe.Symbols == 0 && debugSections.empty();
  context.Note("i686 CpuVantor.exe: " + std::to_string(pe.Bytes.size()) + " bytes; " +
               (stripped ? "stripped"
                         : "NOT stripped (" + std::to_string(pe.Symbols) + " symbols, " +
                               std::to_string(debugSections.size()) + " debug sections of " +
                               std::to_string(debugBytes) + " bytes); without them " + std::to_string(kept) +
                               " bytes"));
  context.Note("i686 CpuVantor.exe imports: " + Join(ImportedLibraries(pe)));
  // Mangled type names, as the type information keeps them: the plain names also stand in the demangler's
  // tables, which every program that may end in an uncaught exception carries.
  const std::pair<const char*, const char*> heavy[] = {
      {"streams", "St9basic_ios"},         {"stream failures", "ios_base7failure"},
      {"string streams", "basic_stringbuf"}, {"file streams", "basic_filebuf"},
      {"locale facets", "St5ctypeIcE"},    {"regular expressions", "regex_error"}};
  std::vector<std::string> found;
  for (const auto& [what, name] : heavy)
    if (Contains(pe.Bytes, name))
      found.push_back(what);
  context.Note("i686 CpuVantor.exe heavy runtime pieces (streams, locales, regular expressions): " + Join(found));
}
