// A library that passes for the system's imaging codecs (it has the one function pngio.dll takes from them)
// and leaves a file "planted-codecs-loaded" beside itself when loaded, so a test can tell whether a program
// took it instead of the system's.
#include <windows.h>

#include <string>

extern "C" __declspec(dllexport) HRESULT WINAPI WICConvertBitmapSource(REFGUID, void*, void**)
{
  return E_NOTIMPL;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*)
{
  if (reason != DLL_PROCESS_ATTACH)
    return TRUE;
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring marker(path, length);
  marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"planted-codecs-loaded";
  const HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE)
    CloseHandle(file);
  return TRUE;
}
