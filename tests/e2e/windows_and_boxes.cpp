#include "desktop.h"
#include "e2e.h"

namespace e2e {
namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

struct WindowSearch {
  DWORD processId;
  const wchar_t* windowClass;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId || !IsWindowVisible(window)) return TRUE;
  if (search.windowClass && ClassOf(window) != search.windowClass) return TRUE;
  search.found.push_back(window);
  return TRUE;
}

std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* windowClass) {
  std::vector<HWND> children;
  for (HWND child = FindWindowExW(parent, nullptr, windowClass, nullptr); child;
       child = FindWindowExW(parent, child, windowClass, nullptr)) {
    children.push_back(child);
  }
  return children;
}

}  // namespace

std::vector<HWND> VisibleWindowsOf(DWORD processId, const wchar_t* windowClass) {
  WindowSearch search{processId, windowClass, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring WindowText(HWND window) {
  wchar_t text[2048] = {};
  // WM_GETTEXT directly: GetWindowText does not ask other processes'
  // controls for their text.
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, StepBoundMs(),
                      nullptr);
  return text;
}

HWND FindMessageBox(DWORD processId) {
  for (const HWND dialog : VisibleWindowsOf(processId, L"#32770")) {
    if (!ChildrenOfClass(dialog, L"Button").empty()) return dialog;
  }
  return nullptr;
}

HWND FindPreparingDialog(DWORD processId) {
  for (const HWND dialog : VisibleWindowsOf(processId, L"#32770")) {
    if (ChildrenOfClass(dialog, L"Button").empty()) return dialog;
  }
  return nullptr;
}

MessageBoxView ReadMessageBox(HWND box) {
  MessageBoxView view;
  view.caption = WindowText(box);
  view.owner = GetWindow(box, GW_OWNER);
  for (const HWND label : ChildrenOfClass(box, L"Static")) {
    const std::wstring text = WindowText(label);
    if (text.empty()) continue;
    if (!view.text.empty()) view.text += L"|";
    view.text += text;
  }
  return view;
}

bool AnswerMessageBox(HWND box, int buttonId) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0, SMTO_ABORTIFHUNG, StepBoundMs(),
                             &result) != 0;
}

}  // namespace e2e
