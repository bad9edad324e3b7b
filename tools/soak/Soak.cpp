// soak: long, seeded runs against the program's inputs, for scripts/soak.sh (not part of the test suite).
//   soak bios SEED COUNT      malformed layouts and BIOS answers through the BIOS layer
//   soak png SEED COUNT       mutated skin pictures through pngio.dll and LoadPngFile
//   soak messages SEED COUNT  random private messages at a running CpuVantor.exe (not exit, not apply)
//   soak cycles SEED COUNT    show, Next, hide at a running CpuVantor.exe
// Prints one line "soak MODE seed=S count=N crashes=C hangs=H ..." with the resource figures before and
// after; exit code 0 when nothing crashed, hung or leaked. A crash of the driver itself ends it (soak.sh
// reports that); one of the program is counted here.
#include "BiosInterface.h"
#include "Bitmap.h"
#include "Handles.h"
#include "KoAcpiControl.h"
#include "PngReader.h"
#include "ProcessCounts.h"
#include "SysUtils.h"
#include "VantorMessages.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

// -1 where the system gives no way to count; a leak check then fails.
struct TCounts {
  long Handles = -1;
  long long PrivateBytes = -1;
  int Windows = -1; // USER objects we can see: the process's windows, top-level and child
};

TCounts Measure(HANDLE process, DWORD id)
{
  return {koprobe::KernelHandlesOf(process), koprobe::PrivateBytesOf(process), koprobe::WindowsOfProcess(id)};
}

class TRandom {
public:
  explicit TRandom(uint32_t seed) : m_random(seed) {}
  uint32_t Below(uint32_t n) { return n ? std::uniform_int_distribution<uint32_t>(0, n - 1)(m_random) : 0; }
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  uint32_t Any() { return static_cast<uint32_t>(m_random()); }
  uint32_t Edge()
  {
    static const uint32_t edges[] = {0, 1, 2, 3, 7, 8, 0xFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x00FFFFFF};
    return Chance(50) ? Below(12) : Chance(50) ? edges[Below(12)] : Any();
  }

private:
  std::mt19937 m_random;
};

// --- BIOS -------------------------------------------------------------------------------------------------

std::string Element(TRandom& r)
{
  if (r.Chance(20)) {
    std::string text = "\"";
    for (uint32_t i = r.Below(10); i > 0; --i)
      text += static_cast<char>('a' + r.Below(26));
    return text + "\"";
  }
  return std::to_string(r.Edge());
}

std::string Layout(TRandom& r)
{
  static const uint32_t groups[] = {0x00, 0x03, 0x05, 0x09, 0x0B, 0x0F};
  static const uint32_t kinds[] = {0, 1, 2, 6, 7, 8, 15};
  std::ostringstream json;
  json << R"({"info": [)";
  for (uint32_t i = r.Below(5); i > 0; --i)
    json << Element(r) << (i > 1 ? ", " : "");
  json << R"(], "groups": {)";
  bool first = true;
  for (uint32_t group : groups) {
    if (r.Chance(15))
      continue;
    std::vector<uint32_t> ids;
    std::string items;
    for (uint32_t i = r.Below(6); i > 0; --i) {
      const uint32_t id = r.Chance(30) ? (group << 24) | 0x080000 | r.Below(3)
                                       : (group << 24) | (r.Below(16) << 20) | (kinds[r.Below(7)] << 16) | r.Below(4);
      bool seen = false;
      for (uint32_t other : ids)
        seen = seen || other == id;
      if (seen)
        continue;
      ids.push_back(id);
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", id);
      // Appended, not "[" + ...: GCC 12 warns falsely (-Wrestrict) on that concatenation at -O2.
      std::string descriptor = "[";
      descriptor += std::to_string(id);
      for (uint32_t e = r.Below(12); e > 0; --e)
        descriptor += ", " + Element(r);
      items += std::string(items.empty() ? "" : ", ") + R"({"id": ")" + hex + R"(", "value": )" +
               std::to_string(r.Below(9)) + R"(, "default": )" + std::to_string(r.Below(9)) +
               (r.Chance(15) ? R"(, "readable": false)" : "") + R"(, "descriptor": )" + descriptor + "]}";
    }
    char key[8];
    std::snprintf(key, sizeof key, "0x%02X", group);
    json << (first ? "" : ", ") << '"' << key << R"(": {"items": [)" << items << "]";
    if (r.Chance(30)) {
      json << R"(, "package": [)";
      for (uint32_t i = r.Below(6); i > 0; --i)
        json << (r.Chance(60) && !ids.empty() ? std::to_string(ids[r.Below(static_cast<uint32_t>(ids.size()))])
                                              : Element(r))
             << (i > 1 ? ", " : "");
      json << "]";
    }
    json << "}";
    first = false;
  }
  json << "}}";
  return json.str();
}

int Bios(TRandom& r, int count, int& refused)
{
  static const uint32_t ordinals[] = {2, 3, 5, 6, 7, 9, 10, 11};
  for (int round = 0; round < count; ++round) {
    const std::string layout = Layout(r);
    char error[512] = {};
    if (KoSimLoadLayout(layout.c_str(), error, sizeof error) != 1)
      ++refused;
    KoSimClearAnswers();
    for (uint32_t i = r.Chance(40) ? r.Below(3) + 1 : 0; i > 0; --i) {
      const uint32_t ordinal = ordinals[r.Below(8)];
      KoSimSetAnswer(ordinal, KOSIM_ANY_ARGUMENT, ordinal == 7 ? r.Edge() : r.Below(4),
                     r.Chance(50) ? -1 : static_cast<int32_t>(r.Below(5) + 1));
    }
    IsStartupBlocked();
    HasLevelItem();
    HasCompanionItem();
    std::vector<std::string> names;
    DWORD level = 0;
    LoadLevelNames(names, level);
    ReadLevel(level);
    bool flag = false;
    LevelNeedsRestart(level, flag);
    ReadTpxMode(flag);
    IsInfoCodeThree();
    ApplyLevel(r.Chance(50) ? r.Below(8) : level);
    RestoreGroupDefaults();
    KoSimClearCallLog();
  }
  return 0;
}

// --- PNG --------------------------------------------------------------------------------------------------

uint32_t Crc(const uint8_t* data, size_t size)
{
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t Get32(const TBytes& b, size_t at)
{
  return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
}

void Put32(TBytes& b, size_t at, uint32_t v)
{
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Chunk offsets of a well-formed file (the mutation's targets).
std::vector<size_t> Chunks(const TBytes& file)
{
  std::vector<size_t> at;
  for (size_t offset = 8; offset + 12 <= file.size();) {
    at.push_back(offset);
    const uint64_t next = offset + 12ull + Get32(file, offset);
    if (next > file.size())
      break;
    offset = static_cast<size_t>(next);
  }
  return at;
}

// Recomputes the checksum of every chunk whose length still fits, so the decoder sees the damage.
void RepairCrcs(TBytes& file)
{
  for (size_t offset : Chunks(file)) {
    const uint32_t length = Get32(file, offset);
    if (offset + 12ull + length <= file.size())
      Put32(file, offset + 8 + length, Crc(&file[offset + 4], length + 4));
  }
}

TBytes Mutate(const TBytes& base, TRandom& r)
{
  TBytes file = base;
  const std::vector<size_t> chunks = Chunks(file);
  const size_t chunk = chunks.empty() ? 8 : chunks[r.Below(static_cast<uint32_t>(chunks.size()))];
  switch (r.Below(6)) {
  case 0:
    for (uint32_t n = 1 + r.Below(4); n > 0; --n)
      file[r.Below(static_cast<uint32_t>(file.size()))] ^= static_cast<uint8_t>(1u << r.Below(8));
    break;
  case 1:
    for (uint32_t n = 1 + r.Below(4); n > 0; --n)
      file[8 + r.Below(static_cast<uint32_t>(file.size() - 8))] ^= static_cast<uint8_t>(1u << r.Below(8));
    RepairCrcs(file);
    break;
  case 2:
    file.resize(r.Below(static_cast<uint32_t>(file.size())));
    break;
  case 3:
    if (chunk + 4 <= file.size())
      Put32(file, chunk, r.Chance(50) ? Get32(file, chunk) + r.Below(9) - 4 : r.Any());
    if (r.Chance(50))
      RepairCrcs(file);
    break;
  case 4: // the header's size fields: huge pictures must be refused, not allocated blindly
    if (file.size() >= 24) {
      Put32(file, 16, r.Edge());
      Put32(file, 20, r.Edge());
      RepairCrcs(file);
    }
    break;
  default: { // a chunk repeated
    const size_t end = std::min(file.size(), chunk + 12 + static_cast<size_t>(r.Below(4096)));
    file.insert(file.begin() + static_cast<ptrdiff_t>(chunk), base.begin() + static_cast<ptrdiff_t>(chunk),
                base.begin() + static_cast<ptrdiff_t>(std::min(end, base.size())));
    break;
  }
  }
  return file;
}

int Png(TRandom& r, int count, const std::string& folder, int& decoded)
{
  std::vector<TBytes> bases;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((folder + "*.png").c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
    std::ifstream in(folder + found.cFileName, std::ios::binary);
    bases.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (search != INVALID_HANDLE_VALUE)
    FindClose(search);
  if (bases.empty()) {
    std::fprintf(stderr, "soak: no pictures in %s\n", folder.c_str());
    return 2;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + "ko-soak-" + std::to_string(GetCurrentProcessId()) + ".png";
  for (int round = 0; round < count; ++round) {
    const TBytes file = Mutate(bases[r.Below(static_cast<uint32_t>(bases.size()))], r);
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    TBitmap bitmap;
    try {
      LoadPngFile(path, bitmap);
      if (!bitmap.Empty())
        ++decoded;
    } catch (const Exception&) {
      // A file that cannot be read is reported by an exception; that is a clean refusal.
    }
  }
  DeleteFileA(path.c_str());
  return 0;
}

// --- the running program ----------------------------------------------------------------------------------

struct TProgram {
  TKernelHandle Process;
  DWORD Id = 0;
  HWND Main = nullptr;
};

bool StartProgram(const std::string& exe, TProgram& program)
{
  std::string command = "\"" + exe + "\" -r";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  program.Process.Reset(info.hProcess);
  TKernelHandle thread(info.hThread);
  program.Id = info.dwProcessId;
  WaitForInputIdle(info.hProcess, 30000);
  for (int i = 0; i < 300 && !program.Main; ++i) {
    program.Main = FindWindowA(kMainWindowClass, kMainWindowCaption);
    if (!program.Main)
      Sleep(100);
  }
  return program.Main != nullptr;
}

// Sends and counts a hang when the program does not answer within 10 s.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int& hangs)
{
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result))
    return true;
  if (GetLastError() == ERROR_TIMEOUT || GetLastError() == 0)
    ++hangs;
  return false;
}

void RandomMessage(TRandom& r, HWND window, int& hangs)
{
  UINT message;
  do
    message = WM_USER - 16 + r.Below(16 + 128);
  while (message == UM_EXIT || message == UM_APPLY_LEVEL);
  WPARAM wParam = r.Chance(50) ? UM_TAG : r.Below(256);
  if (r.Chance(30))
    wParam |= static_cast<WPARAM>(r.Any()) << 8; // only the low byte counts
  if (r.Chance(10))
    wParam = r.Edge(); // a level in or out of range, for whatever reads it as one
  Send(window, message, wParam, static_cast<LPARAM>(r.Chance(70) ? 0 : r.Any()), hangs);
}

// The stand-in BIOS inside the program logs every call (its newest 65536 lines): left alone, the log would
// be counted as the program's growth until it is full. Its control function empties it, run in the
// program's process between cycles, while the program waits for input; its place there is its offset in
// this process's copy of the same library. False when it could not be run.
bool ClearProgramCallLog(HANDLE process)
{
  const HMODULE local = GetModuleHandleA("KOACPI.DLL");
  const FARPROC clear = local ? GetProcAddress(local, "KoSimClearCallLog") : nullptr;
  HMODULE modules[256];
  DWORD needed = 0;
  if (!clear || !EnumProcessModulesEx(process, modules, sizeof modules, &needed, LIST_MODULES_ALL))
    return false;
  for (DWORD i = 0; i < std::min<DWORD>(needed / sizeof(HMODULE), 256); ++i) {
    char name[MAX_PATH] = {};
    if (!GetModuleBaseNameA(process, modules[i], name, MAX_PATH) || lstrcmpiA(name, "KOACPI.DLL") != 0)
      continue;
    const auto offset = reinterpret_cast<const BYTE*>(clear) - reinterpret_cast<const BYTE*>(local);
    const auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void (*)()>(reinterpret_cast<BYTE*>(modules[i]) + offset));
    TKernelHandle thread(CreateRemoteThread(process, nullptr, 0, start, nullptr, 0, nullptr));
    return thread.Get() && WaitForSingleObject(thread.Get(), 10000) == WAIT_OBJECT_0;
  }
  return false;
}

// Next is the right-hand arrow of the dialog (the dialog shares the main window's corner).
void PressNext(HWND main, int& hangs)
{
  const HWND dialog = FindWindowA("TControlForm", nullptr);
  if (!dialog)
    return;
  RECT mainRect{}, dialogRect{};
  GetWindowRect(main, &mainRect);
  GetWindowRect(dialog, &dialogRect);
  POINT at{mainRect.left + 297 - dialogRect.left, mainRect.top + 192 - dialogRect.top};
  const HWND button = ChildWindowFromPoint(dialog, at);
  if (!button || button == dialog)
    return;
  MapWindowPoints(dialog, button, &at, 1);
  const LPARAM where = MAKELPARAM(at.x, at.y);
  Send(button, WM_LBUTTONDOWN, MK_LBUTTON, where, hangs);
  Send(button, WM_LBUTTONUP, 0, where, hangs);
}

int Program(TRandom& r, int count, bool cycles, const std::string& exe, int& crashes, int& hangs, TCounts& before,
            TCounts& after)
{
  TProgram program;
  if (!StartProgram(exe, program)) {
    std::fprintf(stderr, "soak: %s did not start\n", exe.c_str());
    return 2;
  }
  // A first stretch lets caches and lazily made objects settle before the counts that are compared.
  const int warmUp = count / 10 < 20 ? 20 : count / 10;
  for (int round = 0; round < warmUp + count; ++round) {
    if (round == warmUp)
      before = Measure(program.Process.Get(), program.Id);
    if (WaitForSingleObject(program.Process.Get(), 0) == WAIT_OBJECT_0)
      break;
    if (cycles) {
      Send(program.Main, UM_SHOW, UM_TAG, 0, hangs);
      PressNext(program.Main, hangs);
      Send(program.Main, UM_HIDE, UM_TAG, 0, hangs);
      if (!ClearProgramCallLog(program.Process.Get())) {
        std::fprintf(stderr, "soak: the stand-in BIOS's call log in the program could not be emptied\n");
        return 2;
      }
    } else {
      RandomMessage(r, program.Main, hangs);
    }
  }
  if (cycles)
    Send(program.Main, UM_HIDE, UM_TAG, 0, hangs);
  after = Measure(program.Process.Get(), program.Id);
  if (WaitForSingleObject(program.Process.Get(), 0) == WAIT_OBJECT_0) {
    ++crashes; // it must not end on anything but its exit message, which was never sent
    return 0;
  }
  PostMessageA(program.Main, UM_EXIT, UM_TAG, 0);
  if (WaitForSingleObject(program.Process.Get(), 20000) != WAIT_OBJECT_0) {
    ++hangs;
    TerminateProcess(program.Process.Get(), 99);
    return 0;
  }
  DWORD code = 0;
  GetExitCodeProcess(program.Process.Get(), &code);
  if (code != 0)
    ++crashes;
  return 0;
}

std::string ExeFolder()
{
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// Whether the end figures exceed the start: handles and windows exactly, private bytes beyond 1 MiB of
// allocator slack. A figure that could not be read counts as a leak: nothing was proved.
bool Leaked(const TCounts& before, const TCounts& after)
{
  if (before.Handles < 0 || after.Handles < 0 || before.Windows < 0 || after.Windows < 0 ||
      before.PrivateBytes < 0 || after.PrivateBytes < 0)
    return true;
  return after.Handles > before.Handles || after.Windows > before.Windows ||
         after.PrivateBytes > before.PrivateBytes + (1 << 20);
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 4) {
    std::fprintf(stderr, "usage: soak bios|png|messages|cycles SEED COUNT\n");
    return 2;
  }
  const std::string mode = argv[1];
  const uint32_t seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const int count = std::atoi(argv[3]);
  if (count <= 0) {
    std::fprintf(stderr, "soak: COUNT must be a positive number\n");
    return 2;
  }
  TRandom random(seed);
  int crashes = 0, hangs = 0, extra = 0, result = 0;
  TCounts before, after;
  const HANDLE self = GetCurrentProcess();
  const DWORD selfId = GetCurrentProcessId();
  std::string note;
  if (mode == "bios" || mode == "png") {
    // The same work once before counting, so that what is made once (the codec, caches) is not a leak.
    TRandom warm(seed ^ 0x5EEDu);
    int ignored = 0;
    if (mode == "bios") {
      Bios(warm, std::max(50, count / 10), ignored);
      Measure(self, selfId); // the first count makes what counting needs
      before = Measure(self, selfId);
      result = Bios(random, count, extra);
      note = " refused-layouts=" + std::to_string(extra);
    } else {
      const std::string folder = ExeFolder() + "Resource\\";
      Png(warm, std::max(50, count / 10), folder, ignored);
      Measure(self, selfId);
      before = Measure(self, selfId);
      result = Png(random, count, folder, extra);
      note = " decoded=" + std::to_string(extra);
    }
    after = Measure(self, selfId);
  } else if (mode == "messages" || mode == "cycles") {
    result = Program(random, count, mode == "cycles", ExeFolder() + "CpuVantor.exe", crashes, hangs, before, after);
  } else {
    std::fprintf(stderr, "soak: unknown mode \"%s\"\n", mode.c_str());
    return 2;
  }
  if (result)
    return result;
  const bool leaked = Leaked(before, after);
  std::printf("soak %s seed=%u count=%d crashes=%d hangs=%d leaks=%d handles=%ld->%ld windows=%d->%d "
              "private=%lld->%lld%s\n",
              mode.c_str(), seed, count, crashes, hangs, leaked ? 1 : 0, before.Handles, after.Handles,
              before.Windows, after.Windows, before.PrivateBytes, after.PrivateBytes, note.c_str());
  return crashes || hangs || leaked ? 1 : 0;
}
