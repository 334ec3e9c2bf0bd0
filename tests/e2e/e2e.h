#pragma once
// Small shared pieces of the end-to-end driver: bounded polling, UTF-8 output
// and a report of named checks that also becomes JUnit XML for the summary.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace e2e {

// Every wait is bounded, and the bounds follow this machine: a process start
// is measured once when the run begins (a fraction of a second where Wine
// runs natively, a minute or two where it runs emulated), and each bound is a
// floor plus a multiple of it. A bound that expires is a failure.
void SetBoundsFromProcessStart(DWORD processStartMs);
DWORD ProcessStartMs();
DWORD StartBoundMs();  // a viewer's start with its whole load
DWORD StepBoundMs();   // one step: a reply, a message box, a close
DWORD SettleMs();      // how long to watch for something that must not come

// Polls condition every 100 ms until it holds (true) or timeoutMs passed.
template <class Condition>
bool WaitUntil(DWORD timeoutMs, Condition condition) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(100);
  }
}

std::string Utf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
void PrintLine(const std::string& utf8);
// Printable form: control characters as \r \n \t escapes.
std::string Shown(const std::wstring& text);

// Named checks grouped by scenario, printed as they happen (and written to a
// TAP file, when one is given, so that a run cut short still leaves them).
class Report {
 public:
  Report() = default;
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;
  ~Report();
  bool WriteTapTo(const std::wstring& path);
  void Begin(const std::string& scenario);
  bool Check(bool ok, const std::string& what);
  void Note(const std::string& what);
  // The closing line: "e2e: N passed, M failed".
  void Summary();
  int failed() const { return failed_; }
  int passed() const { return passed_; }
  bool WriteJUnit(const std::wstring& path) const;

 private:
  struct Case {
    std::string scenario, name;
    bool ok;
  };
  void Emit(const std::string& line);
  std::string scenario_;
  std::vector<Case> cases_;
  FILE* tap_ = nullptr;
  int passed_ = 0;
  int failed_ = 0;
};

}  // namespace e2e
