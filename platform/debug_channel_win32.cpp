#include "platform/debug_channel.h"

#include "platform/win32_api.h"

namespace vellum {

// Only while a log window listens (its shared buffer exists) or a debugger
// is attached: the call raises a debugger notification, which Wine under
// user-mode emulation of 32-bit code cannot deliver, and the process ends.
void SayOnDebugChannel(const char16_t* line) {
  if (!IsDebuggerPresent()) {
    const HANDLE buffer = OpenFileMappingW(FILE_MAP_READ, FALSE, L"DBWIN_BUFFER");
    if (!buffer) return;
    CloseHandle(buffer);
  }
  OutputDebugStringW(reinterpret_cast<const wchar_t*>(line));
}

}  // namespace vellum
