// The end-to-end driver, run under Wine beside the real viewer on an X
// display: acts as the user and as the desktop through every scenario and
// reports each check.
//
//   e2e_driver FIXTURES SHOTS RESULTS_XML [SCENARIO...]
//
// FIXTURES holds one folder per scenario (prepared by
// scripts/e2e-fixtures.sh) and titled\expected.txt; SHOTS receives PNG
// screenshots; RESULTS_XML the JUnit report, and the same name ending in
// .tap the TAP lines. SCENARIO names (failures, titled, untitled, twins,
// shorttemp, endsession, closeloading, planted, heldopen, legacy) pick a
// subset; without any, every one runs, legacy only where the system reads
// old archives' names as Japanese Windows does (under Wine: LANG=ja_JP.UTF-8;
// TZ=Europe/Berlin adds summer time). Everything the checks expect is worked
// out here, from the fixtures and this desktop's own settings, so the same
// run works on real Windows from the kit (scripts/windows-kit.sh). Exit code
// 0 when every check passed.
//
//   e2e_driver --started
//
// ends at once: the driver times one such start to set its bounds.
//
//   e2e_driver --screenshot PNG
//
// saves the whole screen, for a run that had to be stopped.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "desktop.h"
#include "scenarios.h"
#include "temp_snapshot.h"

using namespace e2e;

namespace {

std::wstring WithSlash(std::wstring path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

// Lines: "title<TAB>text", then "file<TAB>name<TAB>size<TAB>Y M D h m s" with
// the modification time in UTC.
bool ReadExpected(const std::wstring& path, ExpectedPackage& out) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return false;
  std::string all;
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;) all.append(buffer, got);
  fclose(file);
  std::istringstream lines(all);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string kind, name;
    std::getline(fields, kind, '\t');
    std::getline(fields, name, '\t');
    if (kind == "title") out.title = FromUtf8(name);
    if (kind != "file") continue;
    ExpectedFile expected;
    expected.name = FromUtf8(name);
    SYSTEMTIME& t = expected.utcTime;
    fields >> expected.size >> t.wYear >> t.wMonth >> t.wDay >> t.wHour >> t.wMinute >> t.wSecond;
    out.files.push_back(expected);
  }
  return !out.files.empty();
}

std::wstring DriverPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring DriverFolder() {
  const std::wstring path = DriverPath();
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// What one start of a Windows program costs here: the driver starts itself
// to do nothing and waits until that copy has ended. 0 when it could not.
DWORD MeasureProcessStart() {
  const std::wstring self = DriverPath();
  std::wstring commandLine = L"\"" + self + L"\" --started";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const DWORD begin = GetTickCount();
  if (!CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return 0;
  }
  const bool ended = WaitForSingleObject(info.hProcess, 30 * 60 * 1000) == WAIT_OBJECT_0;
  const DWORD elapsed = GetTickCount() - begin;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return ended ? std::max<DWORD>(elapsed, 1) : 0;
}

// Archives from Japanese Windows name their files in its code page, which
// only a system whose code page for old archives is the same one reads.
bool LegacyScenarioCanRun(Report& report) {
  if (GetOEMCP() == 932) return true;
  report.Note("not run: old-archive names (this system's code page for them is " + std::to_string(GetOEMCP()) +
              ", not 932)");
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && !wcscmp(argv[1], L"--screenshot")) return SaveScreenShot(argv[2]) ? 0 : 1;
  if (argc == 2 && !wcscmp(argv[1], L"--started")) return 0;
  if (argc < 4) {
    PrintLine("usage: e2e_driver FIXTURES SHOTS RESULTS_XML [SCENARIO...]");
    return 2;
  }
  Report report;
  std::wstring tap = argv[3];
  tap = tap.substr(0, tap.find_last_of(L'.')) + L".tap";
  const bool tapOpen = report.WriteTapTo(tap);
  report.Begin("set-up");
  report.Check(tapOpen, "TAP results to " + Utf8(tap));
  const DWORD startMs = MeasureProcessStart();
  SetBoundsFromProcessStart(startMs);
  report.Check(startMs > 0, "one process start measured: " + std::to_string(startMs) + " ms (" +
                                std::to_string(8 * sizeof(void*)) + "-bit); bounds: a viewer's start " +
                                std::to_string(StartBoundMs() / 1000) + " s, a step " +
                                std::to_string(StepBoundMs() / 1000) + " s");
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  DropWindow drop;
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  report.Check(drop.Start({width - 420, height - 320, width - 20, height - 20}), "drop window up");
  const HMODULE hook = LoadLibraryW((DriverFolder() + L"menu_report_hook.dll").c_str());
  const auto hookProc = hook ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hook, "MenuReportHook"))) : nullptr;
  report.Check(hookProc != nullptr, "menu hook library loaded");
  const DebugOutput debug;
  report.Check(debug.listening() || !UnderWine(), "listening on the debug channel");
  Context c{report, WithSlash(argv[1]), WithSlash(argv[2]), temp, drop, hook, hookProc, debug, {}};
  report.Check(ReadExpected(c.fixtures + L"titled\\expected.txt", c.expected), "expected listing read");
  report.Note("temporary directory: " + Utf8(c.temp));

  auto wanted = [&](const wchar_t* name) {
    if (argc == 4) return wcscmp(name, L"legacy") != 0 || LegacyScenarioCanRun(report);
    for (int i = 4; i < argc; ++i) {
      if (!wcscmp(argv[i], name)) return true;
    }
    return false;
  };
  const TreeSnapshot atStart = SnapshotTree(c.temp);
  if (wanted(L"titled")) RunTitledPackageScenarios(c);
  if (wanted(L"untitled")) RunUntitledScenario(c);
  if (wanted(L"failures")) RunLoadFailureScenarios(c);
  if (wanted(L"twins")) RunTwoViewersScenario(c);
  if (wanted(L"shorttemp")) RunShortTempScenario(c);
  if (wanted(L"endsession")) RunSessionEndScenario(c);
  if (wanted(L"closeloading")) RunCloseWhileLoadingScenario(c);
  if (wanted(L"planted")) RunPlantedDllScenario(c);
  if (wanted(L"legacy")) RunLegacyNamesScenario(c);
  report.Begin("after the scenarios");
  CheckTempUnchanged(c, atStart, "the temporary directory is exactly as before");
  if (wanted(L"heldopen")) RunHeldOpenScenario(c);

  report.Summary();
  report.WriteJUnit(argv[3]);
  if (hook) FreeLibrary(hook);
  return report.failed() == 0 ? 0 : 1;
}
