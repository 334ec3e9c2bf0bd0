// Drives the viewer from inside Wine for the demo: waits for the
// main window of a class to carry an expected title and to be enabled (the
// preparing dialog has ended), reports what it sees, and on a line (or end of
// input) from standard input closes the window the way a user would, by
// WM_CLOSE, then waits for it to go away.
//
//   window_probe [--desktop NAME] [--title TEXT] CLASS TIMEOUT_SECONDS
//
// Output, one "key=value" per line, UTF-8: temp (the temporary directory the
// viewer sees), title, rows (items in its list view), rect (window rectangle
// in desktop coordinates: left top right bottom), then "closed".
// Exit codes: 0 done, 1 bad arguments, 2 no such window in time,
// 3 the window did not go away in time.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>

namespace {

void Print(const std::wstring& line) {
  std::wstring text = line + L"\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
            &written, nullptr);
}

std::wstring WindowTitle(HWND window) {
  wchar_t title[1024] = {};
  GetWindowTextW(window, title, 1024);
  return title;
}

// Blocks until a line or the end of standard input.
void AwaitGoAhead() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char c = 0;
  DWORD got = 0;
  while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* desktop = nullptr;
  const wchar_t* expected_title = nullptr;
  int arg = 1;
  for (; arg + 1 < argc && argv[arg][0] == L'-'; arg += 2) {
    if (lstrcmpW(argv[arg], L"--desktop") == 0) desktop = argv[arg + 1];
    else if (lstrcmpW(argv[arg], L"--title") == 0) expected_title = argv[arg + 1];
    else return 1;
  }
  if (argc - arg != 2) return 1;
  const wchar_t* window_class = argv[arg];
  const DWORD timeout_ms = static_cast<DWORD>(_wtoi(argv[arg + 1])) * 1000;

  // A Wine virtual desktop is a desktop of its own; windows are found only
  // there. The program that makes it may start after the probe: wait for it.
  const DWORD start = GetTickCount();
  if (desktop) {
    HDESK handle = nullptr;
    while (!(handle = OpenDesktopW(desktop, 0, FALSE, GENERIC_ALL)) && GetTickCount() - start < timeout_ms) {
      Sleep(200);
    }
    if (!handle || !SetThreadDesktop(handle)) {
      Print(std::wstring(L"error=cannot enter desktop ") + desktop);
      return 1;
    }
  }

  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  Print(std::wstring(L"temp=") + temp);

  HWND window = nullptr;
  std::wstring title;
  for (;;) {
    window = FindWindowW(window_class, nullptr);
    if (window) {
      title = WindowTitle(window);
      bool title_ok = !expected_title || title == expected_title;
      if (title_ok && IsWindowEnabled(window)) break;
    }
    if (GetTickCount() - start > timeout_ms) {
      Print(window ? L"title=" + title : L"error=no window of that class");
      return 2;
    }
    Sleep(250);
  }
  Print(L"title=" + title);
  HWND list = FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr);
  LRESULT rows = list ? SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) : -1;
  Print(L"rows=" + std::to_wstring(rows));
  RECT rect = {};
  GetWindowRect(window, &rect);
  Print(L"rect=" + std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
        std::to_wstring(rect.right) + L" " + std::to_wstring(rect.bottom));

  AwaitGoAhead();
  PostMessageW(window, WM_CLOSE, 0, 0);
  const DWORD close_start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - close_start > timeout_ms) return 3;
    Sleep(250);
  }
  Print(L"closed");
  return 0;
}
