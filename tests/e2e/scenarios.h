#pragma once
// The scenarios, each acting as a user on real viewer processes and checking
// what the user sees, the exit code and the temporary directory.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "debug_output.h"
#include "drop_window.h"
#include "e2e.h"
#include "remote_list.h"
#include "temp_snapshot.h"
#include "viewer_process.h"

namespace e2e {

// The viewer's select-all command and its close question, used by several
// scenarios.
constexpr WPARAM kSelectAllCommand = 57642;
inline const std::wstring kCopyPasteFinished =
    L"\u30b3\u30d4\u30fc\uff06\u30da\u30fc\u30b9\u30c8\u306f\u7d42\u308f\u308a\u307e\u3057\u305f\u304b\uff1f";

// What the fixture script packed: the title and the archive's top-level
// files with their sizes and modification times (UTC; the list shows them in
// whatever time zone this desktop has).
struct ExpectedFile {
  std::wstring name;
  unsigned long long size = 0;
  SYSTEMTIME utcTime{};
};
struct ExpectedPackage {
  std::wstring title;
  std::vector<ExpectedFile> files;
};

struct Context {
  Report& report;
  std::wstring fixtures;  // folder of scenario folders, ends with '\'
  std::wstring shots;     // where screenshots go, ends with '\'
  std::wstring temp;      // the temporary directory, ends with '\'
  DropWindow& drop;
  HMODULE hookModule;
  HOOKPROC hookProc;
  const DebugOutput& debug;
  ExpectedPackage expected;
};

// A viewer whose main window is up, with its list readable.
struct OpenViewer {
  ViewerProcess process;
  HWND window = nullptr;
  HWND list = nullptr;
  std::unique_ptr<RemoteList> rows;
};

// Starts exe and waits for its main window; records the checks.
bool OpenTheViewer(Context& c, const std::wstring& exe, OpenViewer& viewer);
// Waits until a started viewer lists every expected file (or files rows,
// for another package).
bool AwaitListed(Context& c, OpenViewer& viewer, int files = -1);
// A scenario that met a hung or vanished viewer: the screen is saved and the
// process killed.
void Abandon(Context& c, ViewerProcess& process, const std::string& tag);
// Posts WM_CLOSE and waits for the process to end, noting any message box.
bool CloseWithoutQuestion(Context& c, OpenViewer& viewer);
bool CheckTempUnchanged(Context& c, const TreeSnapshot& before, const std::string& what);
bool SameFiles(const std::vector<std::wstring>& a, std::vector<std::wstring> b);
std::vector<std::wstring> ExpectedNames(const Context& c);
// The working folders in the temporary directory that `before` did not have.
std::vector<std::wstring> NewWorkingFolders(const Context& c, const TreeSnapshot& before);
// Where the system decides between the shell's way and the viewer's own, the
// viewer says which it took on the debug channel: reported, so that a run on
// real Windows proves the shell's paths that Wine lacks.
void CheckViewerSaid(Context& c, DWORD processId, const std::string& prefix, const std::string& what);
// True under Wine, false on Windows itself.
bool UnderWine();

void RunLoadFailureScenarios(Context& c);   // missing, broken and misnamed packages
void RunTitledPackageScenarios(Context& c);  // list, menu, copy, drags, close
void RunUntitledScenario(Context& c);
void RunTwoViewersScenario(Context& c);
void RunHeldOpenScenario(Context& c);
void RunShortTempScenario(Context& c);
void RunSessionEndScenario(Context& c);
void RunCloseWhileLoadingScenario(Context& c);
void RunPlantedDllScenario(Context& c);
// Needs a system whose code page for old archives is Japanese; proves most
// where summer time applies.
void RunLegacyNamesScenario(Context& c);

}  // namespace e2e
