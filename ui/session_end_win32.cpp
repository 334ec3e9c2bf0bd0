#include "app/app_state.h"
#include "app/path.h"
#include "platform/platform_win32.h"
#include "ui/main_wnd.h"

namespace vellum {

void RemoveWorkFolder() {
  if (AppState.workFolder.empty()) return;
  Win32Platform platform;
  DeleteTree(platform, AppState.workFolder);
  AppState.workFolder.clear();
}

// Windows ends the process soon after this returns, without the shutdown
// that would otherwise remove the folder. Restart Manager sends the same
// messages and then expects the program to close.
void CMainWnd::OnEndSession() {
  AwaitLoader();
  RemoveWorkFolder();
  if (m_bLoading) {
    m_bCloseWhenLoaded = true;
  } else {
    DestroyWindow(m_hWnd);
  }
}

}  // namespace vellum
