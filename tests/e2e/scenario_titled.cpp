// One viewer on a package with a title, used the way a user would: look at
// the list, open the context menu, select and copy, drag out, and close.
#include "desktop.h"
#include "scenarios.h"

namespace e2e {
namespace {

constexpr WPARAM kCopyCommand = 57634;
const std::wstring kCopyItem = L"\u30b3\u30d4\u30fc(&C)";
const std::wstring kSelectAllItem = L"\u3059\u3079\u3066\u9078\u629e(&A)";
const std::wstring kCannotCopy = L"\u30b3\u30d4\u30fc\u3067\u304d\u307e\u305b\u3093\u3002";

// As the list shows a UTC time: in this desktop's time zone and formats.
std::wstring LocalTimeText(const SYSTEMTIME& utc) {
  SYSTEMTIME local{};
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return L"<no local time>";
  wchar_t date[256] = {}, time[256] = {};
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 256, nullptr);
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &local, nullptr, time, 256);
  return std::wstring(date) + L" " + time;
}

POINT CentreOf(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// A point of the list below its last row: clicking there selects nothing.
POINT EmptySpot(const OpenViewer& v) {
  const RECT last = v.rows->RowRect(v.rows->Count() - 1);
  return {last.left + 40, last.bottom + 3 * (last.bottom - last.top)};
}

struct State {
  std::wstring workFolder;
  std::vector<std::wstring> rowNames;  // in row order
  std::vector<std::wstring> RowPaths() const {
    std::vector<std::wstring> paths;
    for (const auto& name : rowNames) paths.push_back(workFolder + L"\\" + name);
    return paths;
  }
};

void CheckListing(Context& c, OpenViewer& v, const TreeSnapshot& before, State& s) {
  c.report.Begin("titled package");
  const std::wstring title = WindowText(v.window);
  c.report.Check(title == L"viewer - " + c.expected.title, "window title \"" + Utf8(title) + "\"");
  const int count = v.rows->Count();
  c.report.Check(count == static_cast<int>(c.expected.files.size()),
                 "one row per top-level file: " + std::to_string(count) + " rows");
  bool sizes = true, times = true, types = true, icons = true;
  for (int row = 0; row < count; ++row) {
    const std::wstring name = v.rows->Cell(row, 0);
    s.rowNames.push_back(name);
    const ExpectedFile* file = nullptr;
    for (const auto& f : c.expected.files) {
      if (f.name == name) file = &f;
    }
    const std::wstring time = v.rows->Cell(row, 1), type = v.rows->Cell(row, 2), size = v.rows->Cell(row, 3);
    c.report.Note(Utf8(name + L" | " + time + L" | " + type + L" | " + size + L" | image " +
                       std::to_wstring(v.rows->Image(row))));
    if (!file) continue;
    sizes &= size == std::to_wstring(file->size);
    times &= time == LocalTimeText(file->utcTime);
    if (time != LocalTimeText(file->utcTime)) c.report.Note("  expected time " + Utf8(LocalTimeText(file->utcTime)));
    types &= !type.empty();
    icons &= v.rows->Image(row) >= 0;
  }
  c.report.Check(SameFiles(s.rowNames, ExpectedNames(c)), "rows name exactly the archive's top-level files");
  c.report.Check(sizes, "sizes exact");
  c.report.Check(times, "times in local time");
  c.report.Check(types, "type names present");
  c.report.Check(icons && v.rows->HasSmallImageList(), "icons present");
  CheckViewerSaid(c, v.process.id(), "vellum: archive: ", "the archive was opened by");

  const std::vector<std::wstring> opened = NewWorkingFolders(c, before);
  if (c.report.Check(opened.size() == 1, "one new GUID-named working folder in the temporary directory")) {
    s.workFolder = opened[0];
    c.report.Check(SameFiles(FilesIn(s.workFolder), ExpectedNames(c)),
                   "working folder holds exactly the top-level files");
  }
  const std::wstring shot = c.shots + L"main_window.png";
  c.report.Check(SaveWindowShot(v.window, shot), "screenshot " + Utf8(shot));
}

// Right-clicks at a point and returns the menu the hook reported.
std::wstring ContextMenuAt(Context& c, OpenViewer& v, POINT at) {
  int before = 0;
  c.drop.MenuReport(&before);
  ClickAt(at, true);
  int now = before;
  std::wstring report;
  WaitUntil(StepBoundMs(), [&] {
    report = c.drop.MenuReport(&now);
    return now > before;
  });
  if (now == before) return L"<no menu>";
  WaitUntil(StepBoundMs(), [&] { return !VisibleWindowsOf(v.process.id(), L"#32768").empty(); });
  Key(VK_ESCAPE, true);
  Key(VK_ESCAPE, false);
  WaitUntil(StepBoundMs(), [&] { return VisibleWindowsOf(v.process.id(), L"#32768").empty(); });
  return report;
}

void CheckContextMenu(Context& c, OpenViewer& v) {
  c.report.Begin("context menu");
  const DWORD thread = GetWindowThreadProcessId(v.window, nullptr);
  const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, c.hookProc, c.hookModule, thread);
  if (!c.report.Check(hook != nullptr, "menu hook set on the viewer's thread")) return;
  const std::wstring none = ContextMenuAt(c, v, EmptySpot(v));
  c.report.Check(v.rows->SelectedCount() == 0, "right-click on empty space selects nothing");
  c.report.Check(none == L"greyed\t" + kCopyItem + L"\nenabled\t" + kSelectAllItem + L"\n",
                 "nothing selected: copy greyed, select all enabled: " + Shown(none));
  const std::wstring one = ContextMenuAt(c, v, CentreOf(v.rows->RowRect(0)));
  c.report.Check(v.rows->SelectedCount() == 1 && v.rows->Selected(0), "right-click on a row selects it");
  c.report.Check(one == L"enabled\t" + kCopyItem + L"\nenabled\t" + kSelectAllItem + L"\n",
                 "one selected: copy and select all enabled: " + Shown(one));
  UnhookWindowsHookEx(hook);
}

bool AllSelected(const OpenViewer& v) { return v.rows->SelectedCount() == v.rows->Count(); }

void CheckSelectAndCopy(Context& c, OpenViewer& v, const State& s) {
  c.report.Begin("select all and copy");
  ClickAt(EmptySpot(v));
  c.report.Check(WaitUntil(StepBoundMs(), [&] { return v.rows->SelectedCount() == 0; }),
                 "a click on empty space clears the selection");
  const std::wstring sentinel = L"e2e: the user's own clipboard text";
  PutClipboardText(sentinel);
  DWORD_PTR result = 0;
  c.report.Check(SendMessageTimeoutW(v.window, WM_COMMAND, kCopyCommand, 0, SMTO_ABORTIFHUNG, StepBoundMs(),
                                     &result) != 0 && !FindMessageBox(v.process.id()),
                 "copy with nothing selected returns at once, no message");
  c.report.Check(ClipboardText() == sentinel && !ClipboardFiles(), "copy with nothing selected leaves the clipboard");

  KeyChord(VK_CONTROL, 'A');
  c.report.Check(WaitUntil(StepBoundMs(), [&] { return AllSelected(v); }), "Ctrl+A selects every row");
  ClickAt(EmptySpot(v));
  WaitUntil(StepBoundMs(), [&] { return v.rows->SelectedCount() == 0; });
  PostMessageW(v.window, WM_COMMAND, kSelectAllCommand, 0);
  c.report.Check(WaitUntil(StepBoundMs(), [&] { return AllSelected(v); }), "the select-all command selects every row");
  // Clipboard managers hold the clipboard open for a moment after every
  // change: so does the driver, around the keys.
  const bool held = OpenClipboard(nullptr) != 0;
  KeyChord(VK_CONTROL, 'C');
  Sleep(40);
  if (held) CloseClipboard();
  c.report.Check(held, "another program holds the clipboard open for 200 ms around Ctrl+C");
  std::optional<std::vector<std::wstring>> files;
  WaitUntil(StepBoundMs(), [&] { return (files = ClipboardFiles()).has_value(); });
  c.report.Check(files.has_value() && !FindMessageBox(v.process.id()),
                 "Ctrl+C puts a file list on the clipboard, no message");
  if (files) {
    for (const auto& f : *files) c.report.Note(Utf8(f));
    c.report.Check(*files == s.RowPaths(), "the clipboard names every file of the working folder in row order");
    CheckViewerSaid(c, v.process.id(), "vellum: data object: ", "the copied data object came from");
  }
}

// Presses a button on row 0, glides onto the drop window and finishes with
// release (drop) or Escape (cancel).
void Drag(Context& c, OpenViewer& v, bool right, bool cancel) {
  const POINT from = CentreOf(v.rows->RowRect(0));
  const POINT to = c.drop.Centre();
  MovePointer(from);
  Sleep(40);
  PointerButton(right, true);
  GlidePointer(from, {from.x + 12, from.y + 12}, 4);
  GlidePointer({from.x + 12, from.y + 12}, to, 16);
  WaitUntil(StepBoundMs(), [&] { return c.drop.Record().enters > 0; });
  if (cancel) {
    Key(VK_ESCAPE, true);
    Key(VK_ESCAPE, false);
    WaitUntil(StepBoundMs(), [&] { return c.drop.Record().leaves > 0; });
  }
  GlidePointer(to, {to.x + 5, to.y + 5}, 2);
  PointerButton(right, false);
}

void CheckDrags(Context& c, OpenViewer& v, const State& s) {
  c.report.Begin("drags");
  for (const bool right : {false, true}) {
    const std::string which = right ? "right drag: " : "left drag: ";
    c.drop.ResetRecord();
    Drag(c, v, right, false);
    WaitUntil(StepBoundMs(), [&] { return c.drop.Record().drops > 0; });
    const DropRecord r = c.drop.Record();
    c.report.Check(r.drops == 1, which + "dropped once");
    c.report.Check(r.offeredOnEnter == DROPEFFECT_COPY && r.offeredOnDrop == DROPEFFECT_COPY,
                   which + "only copy offered (" + std::to_string(r.offeredOnEnter) + ", " +
                       std::to_string(r.offeredOnDrop) + ")");
    c.report.Check(r.files == s.RowPaths(), which + "the dropped list names the selected files");
  }
  c.drop.ResetRecord();
  Drag(c, v, false, true);
  WaitUntil(SettleMs(), [&] { return c.drop.Record().drops > 0; });
  const DropRecord r = c.drop.Record();
  c.report.Check(r.enters >= 1 && r.leaves >= 1 && r.drops == 0, "Escape cancels the drag: nothing dropped");
  c.report.Check(SameFiles(FilesIn(s.workFolder), ExpectedNames(c)), "the working folder still holds every file");
}

void CheckCopyOfDeletedFile(Context& c, OpenViewer& v, const State& s) {
  c.report.Begin("copy of a deleted file");
  const int row = v.rows->Count() - 1;
  ClickAt(CentreOf(v.rows->RowRect(row)));
  WaitUntil(StepBoundMs(), [&] { return v.rows->SelectedCount() == 1 && v.rows->Selected(row); });
  c.report.Check(DeleteFileW((s.workFolder + L"\\" + s.rowNames[row]).c_str()) != 0,
                 "selected file deleted from the working folder: " + Utf8(s.rowNames[row]));
  PostMessageW(v.window, WM_COMMAND, kCopyCommand, 0);
  HWND box = nullptr;
  WaitUntil(StepBoundMs(), [&] { return (box = FindMessageBox(v.process.id())) != nullptr; });
  if (!c.report.Check(box != nullptr, "a message box appears")) return;
  const MessageBoxView view = ReadMessageBox(box);
  c.report.Check(view.caption == L"viewer" && view.text == kCannotCopy,
                 std::string("\"") + Utf8(view.caption) + "\": \"" + Utf8(view.text) + "\"");
  SaveWindowShot(box, c.shots + L"message_cannot_copy.png");
  AnswerMessageBox(box, IDOK);
  c.report.Check(WaitUntil(StepBoundMs(), [&] { return !FindMessageBox(v.process.id()); }) && IsWindow(v.window),
                 "OK closes the message, the window stays");
}

void CheckCloseQuestion(Context& c, OpenViewer& v, const State& s, const TreeSnapshot& before) {
  c.report.Begin("close with the viewer's files on the clipboard");
  const auto clipboardBefore = ClipboardFiles();
  c.report.Check(clipboardBefore.has_value(), "the clipboard names the viewer's files");
  for (const int answer : {IDNO, IDYES}) {
    const std::string button = answer == IDNO ? "No: " : "Yes: ";
    PostMessageW(v.window, WM_CLOSE, 0, 0);
    HWND box = nullptr;
    WaitUntil(StepBoundMs(), [&] { return (box = FindMessageBox(v.process.id())) != nullptr; });
    if (!c.report.Check(box != nullptr, button + "the question appears")) {
      Abandon(c, v.process, "close_question");
      return;
    }
    const MessageBoxView view = ReadMessageBox(box);
    c.report.Check(view.caption == L"viewer" && view.text == kCopyPasteFinished,
                   button + std::string("\"") + Utf8(view.caption) + "\": \"" + Utf8(view.text) + "\"");
    if (answer == IDNO) SaveWindowShot(box, c.shots + L"message_close_question.png");
    AnswerMessageBox(box, answer);
    if (answer == IDNO) {
      DWORD_PTR result = 0;
      c.report.Check(WaitUntil(StepBoundMs(), [&] { return !FindMessageBox(v.process.id()); }) &&
                         SendMessageTimeoutW(v.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, StepBoundMs(), &result) &&
                         IsWindowVisible(v.window),
                     button + "the window stays");
      c.report.Check(ClipboardFiles() == clipboardBefore, button + "the clipboard is kept");
    }
  }
  const bool ended = v.process.WaitForExit(StepBoundMs());
  if (!c.report.Check(ended, "Yes: the process ends")) {
    Abandon(c, v.process, "close_yes");
    return;
  }
  c.report.Check(v.process.ExitCode() == 0, "exit code 0 (got " + std::to_string(v.process.ExitCode()) + ")");
  c.report.Check(ClipboardFormatCount() == 0, "Yes: the clipboard is empty");
  c.report.Check(GetFileAttributesW(s.workFolder.c_str()) == INVALID_FILE_ATTRIBUTES, "the working folder is gone");
  CheckTempUnchanged(c, before, "the temporary directory is as before");
}

}  // namespace

void RunTitledPackageScenarios(Context& c) {
  c.report.Begin("titled package");
  const TreeSnapshot before = SnapshotTree(c.temp);
  OpenViewer v;
  if (!OpenTheViewer(c, c.fixtures + L"titled\\viewer.exe", v)) return;
  State s;
  CheckListing(c, v, before, s);
  if (s.workFolder.empty() || s.rowNames.empty()) {
    v.process.Kill();
    return;
  }
  CheckContextMenu(c, v);
  CheckSelectAndCopy(c, v, s);
  CheckDrags(c, v, s);
  CheckCopyOfDeletedFile(c, v, s);
  CheckCloseQuestion(c, v, s, before);
}

}  // namespace e2e
