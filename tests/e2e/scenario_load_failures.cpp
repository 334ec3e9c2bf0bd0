// Packages the viewer must refuse: each viewer shows exactly one message box,
// ends with exit code 0 once it is answered, and leaves nothing behind. The
// viewers start together (each start is slow under emulation) and are
// answered one by one.
#include "desktop.h"
#include "scenarios.h"

namespace e2e {
namespace {

const std::wstring kCannotOpen =
    L"\u3092\u958b\u3051\u307e\u305b\u3093\u3002\r\nzip\u30d5\u30a1\u30a4\u30eb\u3092\u5c55\u958b\u3057"
    L"\u3066\u304b\u3089\u8d77\u52d5\u3057\u3066\u304f\u3060\u3055\u3044\u3002";
const std::wstring kCorrupted = L"\u304c\u7834\u640d\u3057\u3066\u3044\u307e\u3059\u3002";

struct RefusedPackage {
  const char* scenario;
  const wchar_t* folder;
  const wchar_t* exe;
  const wchar_t* caption;
  std::wstring text;
  ViewerProcess process;
};

void AnswerTheOnlyBox(Context& c, RefusedPackage& run) {
  c.report.Begin(run.scenario);
  const DWORD id = run.process.id();
  HWND box = nullptr;
  WaitUntil(StartBoundMs(), [&] {
    box = FindMessageBox(id);
    return box || !run.process.running();
  });
  if (!c.report.Check(box != nullptr, "a message box appears")) {
    Abandon(c, run.process, run.scenario);
    return;
  }
  const MessageBoxView view = ReadMessageBox(box);
  c.report.Check(view.caption == run.caption, "caption \"" + Shown(view.caption) + "\"");
  c.report.Check(view.text == run.text, "text \"" + Shown(view.text) + "\"");
  SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SaveWindowShot(box, c.shots + L"message_" + FromUtf8(run.scenario) + L".png");
  c.report.Check(AnswerMessageBox(box, IDOK), "OK pressed");
  int laterBoxes = 0;
  const bool ended = WaitUntil(StepBoundMs(), [&] {
    const HWND other = FindMessageBox(id);
    if (other && other != box) ++laterBoxes, box = other;
    return !run.process.running();
  });
  c.report.Check(laterBoxes == 0, "exactly one message box");
  if (!c.report.Check(ended, "process ended after OK")) {
    Abandon(c, run.process, run.scenario);
    return;
  }
  c.report.Check(run.process.ExitCode() == 0, "exit code 0 (got " + std::to_string(run.process.ExitCode()) + ")");
  c.report.Check(VisibleWindowsOf(id).empty(), "no window remains");
}

}  // namespace

void RunLoadFailureScenarios(Context& c) {
  RefusedPackage runs[] = {
      {"no package", L"missing", L"viewer.exe", L"viewer", L"viewer_data" + kCannotOpen, {}},
      {"a 100-byte package", L"tiny", L"viewer.exe", L"viewer", L"viewer_data" + kCorrupted, {}},
      {"one flipped bit", L"flipped", L"viewer.exe", L"viewer", L"viewer_data" + kCorrupted, {}},
      {"truncated payload", L"truncated", L"viewer.exe", L"viewer", L"viewer_data" + kCorrupted, {}},
      {"sealed for another name", L"othername", L"other.exe", L"other", L"other_data" + kCorrupted, {}},
      {"package renamed alone", L"renamedpackage", L"viewer.exe", L"viewer", L"viewer_data" + kCannotOpen,
       {}},
  };
  c.report.Begin("refused packages");
  const TreeSnapshot before = SnapshotTree(c.temp);
  for (auto& run : runs) {
    const std::wstring exe = c.fixtures + run.folder + L"\\" + run.exe;
    c.report.Check(run.process.Start(exe), std::string("started ") + Utf8(exe));
  }
  for (auto& run : runs) AnswerTheOnlyBox(c, run);
  c.report.Begin("refused packages");
  CheckTempUnchanged(c, before, "nothing left in the temporary directory");
}

}  // namespace e2e
