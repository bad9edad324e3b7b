#include "SimStore.h"

#include "LayoutJson.h"

#include <windows.h>

#include <memory>
#include <optional>

namespace {

struct THandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using TFileHandle = std::unique_ptr<void, THandleCloser>;

TFileHandle OpenFile(const std::string& path, DWORD access, DWORD disposition)
{
  HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return TFileHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::string SystemError(DWORD code)
{
  char* text = nullptr;
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length ? std::string(text, length) : std::string();
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return "system error " + std::to_string(code) + (message.empty() ? "" : " (" + message + ")");
}

// A store is a few kilobytes; anything this large is not one.
constexpr LONGLONG kLargestStore = 16 << 20;

enum class TRead { Ok, Missing, Failed };

TRead ReadWholeFile(const std::string& path, std::string& contents, std::string& error)
{
  TFileHandle file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
  if (!file) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
      return TRead::Missing;
    error = "cannot be opened: " + SystemError(code);
    return TRead::Failed;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) {
    error = "cannot be read: " + SystemError(GetLastError());
    return TRead::Failed;
  }
  if (size.QuadPart > kLargestStore) {
    // Too large to be a store, but readable: treat like any other damage.
    contents.clear();
    error = "is " + std::to_string(size.QuadPart) + " bytes long, too large for a store";
    return TRead::Ok;
  }
  contents.resize(static_cast<size_t>(size.QuadPart));
  DWORD done = 0;
  if (!contents.empty() && (!ReadFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &done,
                                      nullptr) ||
                            done != contents.size())) {
    error = "cannot be read: " + SystemError(GetLastError());
    return TRead::Failed;
  }
  return TRead::Ok;
}

// Renames the damaged file to the first free backup name; never replaces an earlier backup.
std::optional<std::string> KeepAsBackup(const std::string& path, std::string& error)
{
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string backup = path + ".bad";
    if (attempt) {
      backup += '.';
      backup += std::to_string(attempt);
    }
    if (MoveFileExA(path.c_str(), backup.c_str(), MOVEFILE_WRITE_THROUGH))
      return backup;
    const DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) {
      error = SystemError(code);
      return {};
    }
  }
  error = "every backup name up to \".bad.999\" is taken";
  return {};
}

std::string FullPath(const std::string& path)
{
  char full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

} // namespace

std::string DefaultStorePath()
{
  char value[MAX_PATH * 4];
  const DWORD length = GetEnvironmentVariableA("KOACPI_STORE", value, sizeof value);
  if (length > 0 && length < sizeof value)
    return FullPath(std::string(value, length));
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&DefaultStorePath), &self);
  char module[MAX_PATH * 4] = {};
  const DWORD moduleLength = GetModuleFileNameA(self, module, sizeof module);
  std::string folder(module, moduleLength < sizeof module ? moduleLength : 0);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + "koacpi-store.json";
}

SimStore::SimStore(const std::string& path) : m_path(FullPath(path))
{
}

StoreLoad SimStore::Load()
{
  StoreLoad result;
  result.Model = DefaultLayout();
  std::string contents;
  std::string reason;
  switch (ReadWholeFile(m_path, contents, reason)) {
  case TRead::Missing:
    return result;
  case TRead::Failed:
    // Unreadable is not damaged: leave the file alone and keep it from being overwritten.
    m_usable = result.Usable = false;
    result.Problem = "KOACPI: store " + m_path + " " + reason + "; default layout in use, nothing will be saved";
    return result;
  case TRead::Ok:
    break;
  }
  if (reason.empty() && ParseLayout(contents, result.Model, reason))
    return result;

  std::string moveError;
  const auto backup = KeepAsBackup(m_path, moveError);
  if (!backup) {
    m_usable = result.Usable = false;
    result.Problem = "KOACPI: store " + m_path + " is damaged (" + reason + ") and could not be kept: " +
                     moveError + "; default layout in use, nothing will be saved";
    return result;
  }
  result.Problem = "KOACPI: store " + m_path + " is damaged (" + reason + "); kept as " + *backup +
                   ", default layout in use";
  std::string saveError;
  if (!Save(result.Model, saveError))
    result.Problem += "; " + saveError;
  return result;
}

bool SimStore::Save(const BiosModel& model, std::string& error)
{
  if (!m_usable) {
    error = "store " + m_path + " is left untouched because it could not be read or kept";
    return false;
  }
  const std::string text = LayoutToJson(model);
  const std::string temporary = m_path + ".tmp";
  {
    TFileHandle file = OpenFile(temporary, GENERIC_WRITE, CREATE_ALWAYS);
    DWORD done = 0;
    if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) ||
        done != text.size() || !FlushFileBuffers(file.get())) {
      error = "cannot write " + temporary + ": " + SystemError(GetLastError());
      file.reset();
      DeleteFileA(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExA(temporary.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = "cannot replace " + m_path + ": " + SystemError(GetLastError());
    DeleteFileA(temporary.c_str());
    return false;
  }
  return true;
}
