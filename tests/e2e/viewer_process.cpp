#include "viewer_process.h"

#include "desktop.h"
#include "e2e.h"

namespace e2e {

ViewerProcess::~ViewerProcess() {
  Kill();
  if (info_.hProcess) CloseHandle(info_.hProcess);
  if (info_.hThread) CloseHandle(info_.hThread);
}

bool ViewerProcess::Start(const std::wstring& exePath) {
  const std::wstring folder = exePath.substr(0, exePath.find_last_of(L'\\'));
  std::wstring commandLine = L"\"" + exePath + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info_) != 0;
}

bool ViewerProcess::WaitForExit(DWORD timeoutMs) const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

bool ViewerProcess::running() const { return ExitCode() == STILL_ACTIVE; }

DWORD ViewerProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (info_.hProcess) GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void ViewerProcess::Kill() {
  if (info_.hProcess && running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForExit(StepBoundMs());
  }
}

HWND ViewerProcess::MainWindow() const {
  const auto windows = VisibleWindowsOf(id(), L"VellumMainWnd");
  return windows.empty() ? nullptr : windows.front();
}

}  // namespace e2e
