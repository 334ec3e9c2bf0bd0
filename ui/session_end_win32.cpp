#include "app/app_state.h"
#include "platform/delete_tree.h"
#include "platform/platform_win32.h"
#include "ui/main_wnd.h"

#include <new>

namespace vellum {

// Out of memory in the middle is tried once more: what the first try freed
// is there for the second, and the folder must not outlive the process.
void RemoveWorkFolder() {
  if (AppState.workFolder.empty()) return;
  Win32Platform platform;
  for (int tries = 0; tries < 2; ++tries) {
    try {
      DeleteTree(platform, AppState.workFolder);
      break;
    } catch (const std::bad_alloc&) {
    }
  }
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
