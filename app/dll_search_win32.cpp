#include "app/dll_search.h"

#include "platform/win32_api.h"

namespace vellum {

void RestrictDllSearchToSystem() {
  // Looked up rather than imported: Windows 7 has it only with an update,
  // and a missing import would keep the viewer from starting at all.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without the above, at least the current folder leaves the search.
  SetDllDirectoryW(L"");
}

}  // namespace vellum
