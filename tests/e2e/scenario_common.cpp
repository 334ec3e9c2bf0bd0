#include <algorithm>

#include "desktop.h"
#include "scenarios.h"

namespace e2e {

bool OpenTheViewer(Context& c, const std::wstring& exe, OpenViewer& viewer) {
  if (!c.report.Check(viewer.process.Start(exe), "viewer started: " + Utf8(exe))) return false;
  return AwaitListed(c, viewer);
}

// The main window exists and is enabled before the package is opened, so
// that alone does not mean loaded: the list must also show every file, the
// last one with its size (its last cell to be filled).
bool AwaitListed(Context& c, OpenViewer& viewer, int files) {
  if (files < 0) files = static_cast<int>(c.expected.files.size());
  const bool listed = WaitUntil(StartBoundMs(), [&] {
    if (!viewer.window) viewer.window = viewer.process.MainWindow();
    if (!viewer.window) return !viewer.process.running();
    if (!viewer.rows) {
      viewer.list = FindWindowExW(viewer.window, nullptr, L"SysListView32", nullptr);
      viewer.rows = std::make_unique<RemoteList>(viewer.list);
    }
    return IsWindowEnabled(viewer.window) && viewer.rows->Count() == files &&
           !viewer.rows->Cell(files - 1, 3).empty();
  });
  if (!c.report.Check(listed && viewer.rows && viewer.rows->ready(),
                      "main window up, preparing dialog ended, every file listed")) {
    Abandon(c, viewer.process, "start");
    return false;
  }
  return true;
}

void Abandon(Context& c, ViewerProcess& process, const std::string& tag) {
  const std::wstring shot = c.shots + L"hung_" + FromUtf8(tag) + L".png";
  c.report.Note("screen at that moment: " + Utf8(shot) + (SaveScreenShot(shot) ? "" : " (not saved)"));
  process.Kill();
}

bool CloseWithoutQuestion(Context& c, OpenViewer& viewer) {
  bool boxSeen = false;
  PostMessageW(viewer.window, WM_CLOSE, 0, 0);
  const bool ended = WaitUntil(StepBoundMs(), [&] {
    if (FindMessageBox(viewer.process.id())) boxSeen = true;
    return !viewer.process.running();
  });
  c.report.Check(!boxSeen, "no question or message on closing");
  if (!c.report.Check(ended, "process ended after WM_CLOSE")) {
    Abandon(c, viewer.process, "close");
    return false;
  }
  return c.report.Check(viewer.process.ExitCode() == 0,
                        "exit code 0 (got " + std::to_string(viewer.process.ExitCode()) + ")");
}

bool CheckTempUnchanged(Context& c, const TreeSnapshot& before, const std::string& what) {
  const auto differences = TreeDifferences(before, SnapshotTree(c.temp));
  for (const auto& line : differences) c.report.Note(Utf8(line));
  return c.report.Check(differences.empty(), what);
}

bool SameFiles(const std::vector<std::wstring>& a, std::vector<std::wstring> b) {
  std::vector<std::wstring> sortedA = a;
  std::sort(sortedA.begin(), sortedA.end());
  std::sort(b.begin(), b.end());
  return sortedA == b;
}

std::vector<std::wstring> NewWorkingFolders(const Context& c, const TreeSnapshot& before) {
  std::vector<std::wstring> opened;
  for (const auto& folder : WorkingFolders(c.temp)) {
    if (!before.count(folder.substr(c.temp.size()) + L"\\")) opened.push_back(folder);
  }
  return opened;
}

void CheckViewerSaid(Context& c, DWORD processId, const std::string& prefix, const std::string& what) {
  if (!c.debug.listening()) {
    c.report.Note(what + ": not known (another log window holds the debug channel)");
    return;
  }
  std::string said;
  WaitUntil(StepBoundMs(), [&] { return !(said = c.debug.Said(processId, prefix)).empty(); });
  c.report.Check(!said.empty(), what + ": " + (said.empty() ? "the viewer said nothing" : said));
}

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::vector<std::wstring> ExpectedNames(const Context& c) {
  std::vector<std::wstring> names;
  for (const auto& file : c.expected.files) names.push_back(file.name);
  return names;
}

}  // namespace e2e
