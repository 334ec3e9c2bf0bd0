#include "platform/debug_channel.h"

#include <cstring>

#include "platform/com_ptr.h"
#include "platform/win32_api.h"

namespace vellum {
namespace {

// Named kernel objects give null, not INVALID_HANDLE_VALUE, when missing.
FileHandle Named(HANDLE h) { return FileHandle(h ? h : INVALID_HANDLE_VALUE); }

}  // namespace

// A debugger gets the line as OutputDebugString hands it over. Otherwise the
// line goes only into a log window's shared buffer, written the way
// OutputDebugString writes it but without the debugger notification it
// raises first: Wine under user-mode emulation of 32-bit code cannot deliver
// that, and the process would end. No log window, nothing is done.
void SayOnDebugChannel(const char16_t* line) {
  const auto* text = reinterpret_cast<const wchar_t*>(line);
  if (IsDebuggerPresent()) {
    OutputDebugStringW(text);
    return;
  }
  const FileHandle buffer = Named(OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"DBWIN_BUFFER"));
  const FileHandle bufferReady = Named(OpenEventW(SYNCHRONIZE, FALSE, L"DBWIN_BUFFER_READY"));
  const FileHandle dataReady = Named(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"DBWIN_DATA_READY"));
  if (!buffer.valid() || !bufferReady.valid() || !dataReady.valid()) return;
  constexpr DWORD kBufferSize = 4096;  // the writer's process id, then the text and its zero
  auto* view = static_cast<char*>(MapViewOfFile(buffer.get(), FILE_MAP_WRITE, 0, 0, kBufferSize));
  if (!view) return;
  // Other writers wait their turn on the log window's readiness, as ours does.
  if (WaitForSingleObject(bufferReady.get(), 1000) == WAIT_OBJECT_0) {
    const DWORD processId = GetCurrentProcessId();
    std::memcpy(view, &processId, sizeof processId);
    char* out = view + sizeof processId;
    const int room = static_cast<int>(kBufferSize - sizeof processId - 1);
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, out, room, nullptr, nullptr);
    out[length > 0 ? length - 1 : 0] = '\0';
    SetEvent(dataReady.get());
  }
  UnmapViewOfFile(view);
}

}  // namespace vellum
