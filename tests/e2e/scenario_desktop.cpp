// What users' desktops do that a polite test run does not: a temporary
// directory named in its short (8.3) form, the session ending under an open
// window, a close from another program while the package still loads, and a
// DLL left beside the viewer in a downloads folder.
#include "desktop.h"
#include "scenarios.h"

namespace e2e {
namespace {

// TMP and TEMP for the processes started while this lives.
class TempVariables {
 public:
  explicit TempVariables(const std::wstring& folder) : tmp_(Get(L"TMP")), temp_(Get(L"TEMP")) {
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
  }
  TempVariables(const TempVariables&) = delete;
  TempVariables& operator=(const TempVariables&) = delete;
  ~TempVariables() {
    SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
    SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
  }

 private:
  static std::wstring Get(const wchar_t* name) {
    wchar_t value[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? value : L"";
  }
  std::wstring tmp_, temp_;
};

// Wine takes a DLL named like a system one from the system unless told
// otherwise; Windows takes names outside its known-DLL list from the first
// folder on the search path, the executable's own first. While this lives,
// Wine does as Windows does for version.dll in programs named viewer.exe.
class PreferDllBesideProgram {
 public:
  PreferDllBesideProgram() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) {
      return;
    }
    constexpr wchar_t kOrder[] = L"native,builtin";
    set_ = RegSetValueExW(key, L"version", 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder), sizeof kOrder) ==
           ERROR_SUCCESS;
    RegCloseKey(key);
  }
  PreferDllBesideProgram(const PreferDllBesideProgram&) = delete;
  PreferDllBesideProgram& operator=(const PreferDllBesideProgram&) = delete;
  ~PreferDllBesideProgram() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kOverrides);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\viewer.exe");
  }
  bool set() const { return set_; }

 private:
  static constexpr wchar_t kOverrides[] = L"Software\\Wine\\AppDefaults\\viewer.exe\\DllOverrides";
  bool set_ = false;
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ShortForm(const std::wstring& path) {
  wchar_t shortPath[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  return length > 0 && length < MAX_PATH ? shortPath : L"";
}

}  // namespace

void RunShortTempScenario(Context& c) {
  c.report.Begin("short temporary path");
  const TreeSnapshot before = SnapshotTree(c.temp);
  EmptyTheClipboard();
  const std::wstring longTemp = c.temp + L"Long Temp Folder For Viewer";
  CreateDirectoryW(longTemp.c_str(), nullptr);
  const std::wstring shortTemp = ShortForm(longTemp);
  OpenViewer v;
  // Windows makes short names only on volumes where they are switched on.
  if (shortTemp.empty() || shortTemp == longTemp) {
    c.report.Note("not run: this volume gives " + Utf8(longTemp) + " no short name");
  } else {
    c.report.Note("TMP and TEMP in short form: " + Utf8(shortTemp));
    const TempVariables variables(shortTemp);
    c.report.Check(v.process.Start(c.fixtures + L"shorttemp\\viewer.exe"), "viewer started");
  }
  if (v.process.id() && AwaitListed(c, v)) {
    PostMessageW(v.window, WM_COMMAND, kSelectAllCommand, 0);
    WaitUntil(StepBoundMs(), [&] { return v.rows->SelectedCount() == v.rows->Count(); });
    KeyChord(VK_CONTROL, 'C');
    std::optional<std::vector<std::wstring>> files;
    WaitUntil(StepBoundMs(), [&] { return (files = ClipboardFiles()).has_value(); });
    if (c.report.Check(files.has_value() && !files->empty(), "Ctrl+C puts a file list on the clipboard")) {
      c.report.Note("the clipboard names " + Utf8(files->front()));
    }
    PostMessageW(v.window, WM_CLOSE, 0, 0);
    HWND box = nullptr;
    WaitUntil(StepBoundMs(), [&] { return (box = FindMessageBox(v.process.id())) != nullptr; });
    if (c.report.Check(box && ReadMessageBox(box).text == kCopyPasteFinished,
                       "closing asks whether copying and pasting is finished")) {
      AnswerMessageBox(box, IDYES);
    }
    if (!c.report.Check(v.process.WaitForExit(StepBoundMs()), "the process ends")) Abandon(c, v.process, "short_temp");
    c.report.Check(SnapshotTree(longTemp + L"\\").empty(), "nothing left in the short-named temporary folder");
  }
  RemoveDirectoryW(longTemp.c_str());
  CheckTempUnchanged(c, before, "the temporary directory is as before");
}

// A log-off ends the process once every window has answered; Restart
// Manager sends the same messages and expects the program to close itself.
void RunSessionEndScenario(Context& c) {
  for (const DWORD reason : {DWORD{ENDSESSION_LOGOFF}, DWORD{ENDSESSION_CLOSEAPP}}) {
    const std::string how = reason == ENDSESSION_LOGOFF ? "log-off: " : "Restart Manager: ";
    c.report.Begin("the session ends, " + how.substr(0, how.size() - 2));
    const TreeSnapshot before = SnapshotTree(c.temp);
    EmptyTheClipboard();
    OpenViewer v;
    if (!OpenTheViewer(c, c.fixtures + L"endsession\\viewer.exe", v)) return;
    const auto send = [&](UINT message, WPARAM wParam, DWORD_PTR& answer) {
      return SendMessageTimeoutW(v.window, message, wParam, static_cast<LPARAM>(reason), SMTO_ABORTIFHUNG,
                                 StepBoundMs(), &answer) != 0;
    };
    DWORD_PTR answer = 0;
    c.report.Check(send(WM_QUERYENDSESSION, 0, answer) && answer,
                   how + "WM_QUERYENDSESSION: the viewer lets the session end");
    c.report.Check(send(WM_ENDSESSION, TRUE, answer), how + "WM_ENDSESSION returns");
    c.report.Check(!FindMessageBox(v.process.id()), how + "no question or message");
    if (reason == ENDSESSION_CLOSEAPP) {
      c.report.Check(v.process.WaitForExit(StepBoundMs()) && v.process.ExitCode() == 0,
                     how + "the viewer closes itself, exit code 0");
    }
    v.process.Kill();
    CheckTempUnchanged(c, before, how + "the temporary directory is as before");
  }
}

void RunCloseWhileLoadingScenario(Context& c) {
  c.report.Begin("closed from outside while loading");
  const TreeSnapshot before = SnapshotTree(c.temp);
  ViewerProcess process;
  if (!c.report.Check(process.Start(c.fixtures + L"bigpackage\\viewer.exe"), "viewer started on a large package")) {
    return;
  }
  // The close comes once the loader writes into the temporary directory,
  // when ending the process would leave its files behind.
  HWND window = nullptr, dialog = nullptr;
  WaitUntil(StartBoundMs(), [&] {
    window = process.MainWindow();
    dialog = FindPreparingDialog(process.id());
    return (window && dialog && !NewWorkingFolders(c, before).empty()) || !process.running();
  });
  if (!c.report.Check(window && dialog, "the preparing dialog is up while the working folder fills")) {
    Abandon(c, process, "close_while_loading");
    return;
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  c.report.Check(IsWindowVisible(dialog) != 0, "WM_CLOSE posted to the main window while the dialog is up");
  bool boxSeen = false;
  const bool ended = WaitUntil(StartBoundMs(), [&] {
    if (FindMessageBox(process.id())) boxSeen = true;
    return !process.running();
  });
  c.report.Check(!boxSeen, "no question or message");
  if (!c.report.Check(ended, "the process ends by itself")) {
    Abandon(c, process, "close_while_loading");
    return;
  }
  c.report.Check(process.ExitCode() == 0, "exit code 0 (got " + std::to_string(process.ExitCode()) + ")");
  CheckTempUnchanged(c, before, "the temporary directory is as before");
}

// The planted DLL leaves a marker beside itself in any process that loads
// it. A copy of the viewer that leaves the DLL search as it is shows that the
// marker would come.
void RunPlantedDllScenario(Context& c) {
  c.report.Begin("a DLL planted beside the viewer");
  std::unique_ptr<PreferDllBesideProgram> preference;
  if (UnderWine()) {
    preference = std::make_unique<PreferDllBesideProgram>();
    if (!c.report.Check(preference->set(), "Wine prefers version.dll beside viewer.exe, as Windows does")) return;
  }
  constexpr wchar_t kMarker[] = L"planted-dll-ran.txt";
  {
    const TreeSnapshot before = SnapshotTree(c.temp);
    OpenViewer v;
    if (OpenTheViewer(c, c.fixtures + L"planted\\viewer.exe", v)) CloseWithoutQuestion(c, v);
    c.report.Check(!Exists(c.fixtures + L"planted\\" + kMarker), "the viewer did not load the DLL beside it");
    CheckTempUnchanged(c, before, "the temporary directory is as before");
  }
  OpenViewer v;
  const bool listed = OpenTheViewer(c, c.fixtures + L"plantedunrestricted\\viewer.exe", v);
  c.report.Check(Exists(c.fixtures + L"plantedunrestricted\\" + kMarker),
                 "a copy of the viewer that does not restrict the DLL search loads it");
  if (listed) CloseWithoutQuestion(c, v);
}

// Names as Japanese Windows stores them (Shift_JIS, no UTF-8 flag; the trail
// byte of 表 is the backslash's) and DOS times 10:00 of a winter and a summer
// day: each name whole, each time converted with its own date's offset,
// which differs where summer time applies.
void RunLegacyNamesScenario(Context& c) {
  c.report.Begin("an archive from Japanese Windows");
  struct Legacy {
    const wchar_t* name;
    SYSTEMTIME utc;
  };
  Legacy files[] = {{L"\u898B\u7A4D.txt", {2024, 1, 1, 15, 10, 0, 0, 0}},
                    {L"\u8868.txt", {2024, 7, 1, 15, 10, 0, 0, 0}}};
  for (Legacy& file : files) {
    const SYSTEMTIME local = file.utc;
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &file.utc);
  }
  c.report.Note("10:00 local is " + std::to_string(files[0].utc.wHour) + ":00 UTC in January, " +
                std::to_string(files[1].utc.wHour) + ":00 UTC in July here");
  const TreeSnapshot before = SnapshotTree(c.temp);
  OpenViewer v;
  if (!c.report.Check(v.process.Start(c.fixtures + L"legacy\\viewer.exe"), "viewer started") ||
      !AwaitListed(c, v, 2)) {
    return;
  }
  std::vector<std::wstring> listed;
  for (int row = 0; row < v.rows->Count(); ++row) listed.push_back(v.rows->Cell(row, 0));
  for (const auto& name : listed) c.report.Note("listed: " + Utf8(name));
  c.report.Check(SameFiles(listed, {files[0].name, files[1].name}), "both names listed whole, in Japanese");
  const std::wstring shot = c.shots + L"legacy_names.png";
  c.report.Note("screenshot: " + Utf8(shot) + (SaveWindowShot(v.window, shot) ? "" : " (not saved)"));
  const std::vector<std::wstring> folders = NewWorkingFolders(c, before);
  if (c.report.Check(folders.size() == 1, "one working folder")) {
    for (const Legacy& file : files) {
      WIN32_FIND_DATAW found{};
      const HANDLE search = FindFirstFileW((folders[0] + L"\\" + file.name).c_str(), &found);
      SYSTEMTIME utc{};
      const bool exists = search != INVALID_HANDLE_VALUE;
      if (exists) {
        FindClose(search);
        FileTimeToSystemTime(&found.ftLastWriteTime, &utc);
      }
      const bool same = exists && utc.wYear == file.utc.wYear && utc.wMonth == file.utc.wMonth &&
                        utc.wDay == file.utc.wDay && utc.wHour == file.utc.wHour && utc.wMinute == file.utc.wMinute;
      c.report.Check(same, "extracted as " + Utf8(file.name) + ", modified " + std::to_string(file.utc.wHour) +
                               ":00 UTC (got " + (exists ? std::to_string(utc.wHour) + ":" + std::to_string(utc.wMinute) : "no file") + ")");
    }
  }
  CloseWithoutQuestion(c, v);
  CheckTempUnchanged(c, before, "the temporary directory is as before");
}

}  // namespace e2e
