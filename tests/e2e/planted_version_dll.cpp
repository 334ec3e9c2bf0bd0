// A stand-in for a DLL someone left in a downloads folder under the name of
// a system DLL (version.dll, which the window manager pulls in). If a
// process loads it, it leaves planted-dll-ran.txt beside itself. Its
// functions fail as the real ones do for a file without version
// information, so a process that loads it runs on as usual.
#include <windows.h>

#include <cwchar>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  wchar_t* slash = length > 0 && length < MAX_PATH ? wcsrchr(path, L'\\') : nullptr;
  constexpr wchar_t kMarker[] = L"planted-dll-ran.txt";
  if (!slash || static_cast<size_t>(slash + 1 - path) + sizeof kMarker / sizeof *kMarker > MAX_PATH) return TRUE;
  wcscpy(slash + 1, kMarker);
  const HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return TRUE;
}

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(const wchar_t*, DWORD* handle) {
  if (handle) *handle = 0;
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return 0;
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(const wchar_t*, DWORD, DWORD, void*) {
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return FALSE;
}

__declspec(dllexport) BOOL WINAPI VerQueryValueW(const void*, const wchar_t*, void** buffer, UINT* length) {
  if (buffer) *buffer = nullptr;
  if (length) *length = 0;
  return FALSE;
}

}  // extern "C"
