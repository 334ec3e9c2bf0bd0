#pragma once
// A log window for the debug channel, as debuggers' log viewers read it:
// every line any process on this desktop says there, kept by process, so
// that a scenario can report which way the viewer took where the system
// decides (the shell's ZIP folder or the built-in reader, the shell's data
// object or the folder's own).
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace e2e {

class DebugOutput {
 public:
  DebugOutput();
  DebugOutput(const DebugOutput&) = delete;
  DebugOutput& operator=(const DebugOutput&) = delete;
  ~DebugOutput();
  // False when another log window already holds the channel.
  bool listening() const { return thread_ != nullptr; }
  // The text after `prefix` of the last line processId said that starts so;
  // empty when none.
  std::string Said(DWORD processId, const std::string& prefix) const;

 private:
  static DWORD WINAPI Listen(void* self);
  HANDLE bufferReady_ = nullptr, dataReady_ = nullptr, mapping_ = nullptr;
  const char* view_ = nullptr;
  HANDLE thread_ = nullptr;
  volatile LONG stop_ = 0;
  mutable CRITICAL_SECTION lock_;
  std::vector<std::pair<DWORD, std::string>> lines_;
};

}  // namespace e2e
