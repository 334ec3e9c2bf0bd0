#pragma once
// A viewer started as Explorer would start it: from its own folder, with no
// arguments. Killed if still running when the object goes.
#include <windows.h>

#include <string>

namespace e2e {

class ViewerProcess {
 public:
  ViewerProcess() = default;
  ~ViewerProcess();
  ViewerProcess(const ViewerProcess&) = delete;
  ViewerProcess& operator=(const ViewerProcess&) = delete;

  bool Start(const std::wstring& exePath);
  DWORD id() const { return info_.dwProcessId; }
  bool WaitForExit(DWORD timeoutMs) const;
  bool running() const;
  // The exit code, or STILL_ACTIVE.
  DWORD ExitCode() const;
  void Kill();
  // Its visible main window, if it has one yet.
  HWND MainWindow() const;

 private:
  PROCESS_INFORMATION info_{};
};

}  // namespace e2e
