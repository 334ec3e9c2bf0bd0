// Opening and closing without the clipboard naming the viewer's files: an
// empty title, two viewers at once, and a file held open at close.
#include "desktop.h"
#include "scenarios.h"

namespace e2e {
namespace {

bool Gone(const std::wstring& path) { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }

}  // namespace

void RunUntitledScenario(Context& c) {
  c.report.Begin("untitled package");
  const TreeSnapshot before = SnapshotTree(c.temp);
  OpenViewer v;
  if (!OpenTheViewer(c, c.fixtures + L"untitled\\viewer.exe", v)) return;
  const std::wstring title = WindowText(v.window);
  c.report.Check(title == L"viewer", "window title \"" + Utf8(title) + "\"");
  const std::wstring other = L"e2e: text copied elsewhere";
  c.report.Check(PutClipboardText(other), "the clipboard holds other content");
  CloseWithoutQuestion(c, v);
  c.report.Check(ClipboardText() == other, "the other content stays on the clipboard");
  CheckTempUnchanged(c, before, "the temporary directory is as before");
}

void RunTwoViewersScenario(Context& c) {
  c.report.Begin("two viewers at once");
  const TreeSnapshot before = SnapshotTree(c.temp);
  EmptyTheClipboard();
  OpenViewer first, second;
  const std::wstring exe = c.fixtures + L"twins\\viewer.exe";
  c.report.Check(first.process.Start(exe) && second.process.Start(exe), "two viewers started from one folder");
  // Both start together; opening waits on each in turn.
  OpenViewer* viewers[] = {&first, &second};
  for (OpenViewer* v : viewers) {
    if (!AwaitListed(c, *v)) return;
  }
  const auto folders = NewWorkingFolders(c, before);
  if (!c.report.Check(folders.size() == 2, "two different working folders (" + std::to_string(folders.size()) + ")")) {
    return;
  }
  for (const auto& folder : folders) {
    c.report.Check(SameFiles(FilesIn(folder), ExpectedNames(c)), "each holds every file: " + Utf8(folder));
  }
  if (!CloseWithoutQuestion(c, first)) return;
  const auto left = NewWorkingFolders(c, before);
  c.report.Check(left.size() == 1, "the first viewer's folder is gone");
  if (left.size() == 1) {
    c.report.Check(SameFiles(FilesIn(left[0]), ExpectedNames(c)), "the other viewer's files are untouched");
  }
  c.report.Check(IsWindowVisible(second.window) != 0, "the other viewer stays open");
  CloseWithoutQuestion(c, second);
  c.report.Check(NewWorkingFolders(c, before).empty(), "both working folders are gone");
  CheckTempUnchanged(c, before, "the temporary directory is as before");
}

void RunHeldOpenScenario(Context& c) {
  c.report.Begin("a file held open at close");
  const TreeSnapshot before = SnapshotTree(c.temp);
  EmptyTheClipboard();
  OpenViewer v;
  if (!OpenTheViewer(c, c.fixtures + L"heldopen\\viewer.exe", v)) return;
  const auto folders = NewWorkingFolders(c, before);
  if (!c.report.Check(folders.size() == 1, "one working folder (" + std::to_string(folders.size()) + ")")) return;
  const std::wstring folder = folders[0];
  const std::wstring held = c.expected.files.front().name;
  const HANDLE file = CreateFileW((folder + L"\\" + held).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  c.report.Check(file != INVALID_HANDLE_VALUE, "driver holds " + Utf8(held) + " open");
  CloseWithoutQuestion(c, v);
  c.report.Check(FilesIn(folder) == std::vector<std::wstring>{held},
                 "that file and its folder survive, every other file is deleted");
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  // Tidy up as the user would once the other program let go.
  DeleteFileW((folder + L"\\" + held).c_str());
  RemoveDirectoryW(folder.c_str());
  c.report.Check(Gone(folder), "the driver removed what survived");
}

}  // namespace e2e
