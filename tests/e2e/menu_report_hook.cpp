// Loaded into the viewer by a window hook the driver sets on its interface
// thread. Another process cannot read a popup menu's items, so the hook reads
// them where they live, the moment the menu is about to show, and sends them
// to the driver's window: one line per item, "enabled" or "greyed", a tab,
// the item's text.
#include <windows.h>

#include <string>

namespace {

constexpr ULONG_PTR kMenuReportTag = 0x4D454E55;  // 'MENU'

void SendMenuReport(HMENU menu) {
  const HWND driver = FindWindowW(L"VellumE2EDriver", nullptr);
  if (!driver) return;
  std::wstring report;
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
    report += (state & (MF_GRAYED | MF_DISABLED)) ? L"greyed\t" : L"enabled\t";
    report += text;
    report += L"\n";
  }
  COPYDATASTRUCT data{kMenuReportTag, static_cast<DWORD>(report.size() * sizeof(wchar_t)), report.data()};
  DWORD_PTR result = 0;
  SendMessageTimeoutW(driver, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 10000,
                      &result);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MenuReportHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (call->message == WM_INITMENUPOPUP && HIWORD(call->lParam) == 0) {
      SendMenuReport(reinterpret_cast<HMENU>(call->wParam));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
