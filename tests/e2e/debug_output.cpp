#include "debug_output.h"

#include <cstring>

namespace e2e {
namespace {
// The shared buffer: the writer's process id, then its text (ANSI, ends
// with a zero byte).
constexpr DWORD kBufferSize = 4096;
}  // namespace

DebugOutput::DebugOutput() {
  InitializeCriticalSection(&lock_);
  mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, L"DBWIN_BUFFER");
  if (!mapping_ || GetLastError() == ERROR_ALREADY_EXISTS) return;
  bufferReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
  dataReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
  view_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, kBufferSize));
  if (bufferReady_ && dataReady_ && view_) thread_ = CreateThread(nullptr, 0, Listen, this, 0, nullptr);
}

DebugOutput::~DebugOutput() {
  if (thread_) {
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (view_) UnmapViewOfFile(view_);
  for (HANDLE h : {dataReady_, bufferReady_, mapping_}) {
    if (h) CloseHandle(h);
  }
  DeleteCriticalSection(&lock_);
}

DWORD WINAPI DebugOutput::Listen(void* self) {
  auto& me = *static_cast<DebugOutput*>(self);
  SetEvent(me.bufferReady_);
  while (!InterlockedCompareExchange(&me.stop_, 0, 0)) {
    if (WaitForSingleObject(me.dataReady_, 100) != WAIT_OBJECT_0) continue;
    DWORD processId = 0;
    memcpy(&processId, me.view_, sizeof processId);
    const char* text = me.view_ + sizeof processId;
    std::string line(text, strnlen(text, kBufferSize - sizeof processId));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    EnterCriticalSection(&me.lock_);
    me.lines_.emplace_back(processId, std::move(line));
    LeaveCriticalSection(&me.lock_);
    SetEvent(me.bufferReady_);
  }
  return 0;
}

std::string DebugOutput::Said(DWORD processId, const std::string& prefix) const {
  std::string said;
  EnterCriticalSection(&lock_);
  for (const auto& [id, line] : lines_) {
    if (id == processId && line.compare(0, prefix.size(), prefix) == 0) said = line.substr(prefix.size());
  }
  LeaveCriticalSection(&lock_);
  return said;
}

}  // namespace e2e
