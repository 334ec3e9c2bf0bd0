#include <new>
#include <thread>

#include "app/app_state.h"
#include "ui/show_message.h"
#include "app/viewer_names.h"
#include "package/loader.h"
#include "platform/platform_win32.h"
#include "resources/resource.h"
#include "ui/main_wnd.h"

namespace vellum {
namespace {

constexpr INT_PTR kLoaded = 1;
constexpr INT_PTR kLoadFailed = 2;

// Runs the loader in the multithreaded apartment. The post to the dialog is
// its last action, after its last write to AppState: the interface thread
// reads the results only once the dialog has ended on it.
void LoadingThreadProc(HWND dialog) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  Win32Platform platform;
  const bool loaded =
      LoadPackageGuarded(platform, AppState.packagePath, AppState.packageName, AppState.tempDir,
                         *AppState.cryptoFactory, AppState.workFolder, AppState.packageTitle,
                         AppState.loadMessage);
  CoUninitialize();
  PostMessageW(dialog, WM_APP_LOADED, loaded ? 1 : 0, 0);
}

// Centred on the main window rather than on the screen.
void CentreOnMainWindow(HWND dialog) {
  if (!AppState.mainWindow || !AppState.mainWindow->m_hWnd) return;
  RECT main{}, own{};
  GetWindowRect(AppState.mainWindow->m_hWnd, &main);
  GetWindowRect(dialog, &own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  MoveWindow(dialog, (main.left + main.right - width) / 2, (main.top + main.bottom - height) / 2, width,
             height, FALSE);
}

// Ends only when loading ends: no buttons, and Escape or Enter do nothing.
// lParam of WM_INITDIALOG: the window's thread object, which takes the
// loading thread.
INT_PTR CALLBACK PreparingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      CentreOnMainWindow(dialog);
      try {
        *reinterpret_cast<std::thread*>(lParam) = std::thread(LoadingThreadProc, dialog);
      } catch (const std::exception&) {
        // No thread means no post would ever end the dialog: end it as a
        // failed load, with no message to show.
        EndDialog(dialog, kLoadFailed);
      }
      return TRUE;
    case WM_APP_LOADED:
      EndDialog(dialog, wParam ? kLoaded : kLoadFailed);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void CMainWnd::OnOpenPackage() {
  const HWND owner = AppState.mainWindow ? AppState.mainWindow->m_hWnd : nullptr;
  m_bLoading = true;
  const INT_PTR result = DialogBoxParamW(AppState.instance, MAKEINTRESOURCEW(IDD_PREPARING), owner,
                                         PreparingDlgProc, reinterpret_cast<LPARAM>(&m_loader));
  // A WM_QUIT ends the dialog before the loader has reported; whatever ended
  // it, the loader is done before anything reads its results or shutdown
  // removes the folder it writes.
  AwaitLoader();
  m_bLoading = false;
  // Closed from outside while loading (nothing can be on the clipboard yet),
  // or the dialog ended without the loader's report.
  if (m_bCloseWhenLoaded || (result != kLoaded && result != kLoadFailed)) {
    DestroyWindow(m_hWnd);
    return;
  }
  if (result != kLoaded) {
    try {
      if (!AppState.loadMessage.empty()) ShowMessage(AppState.loadMessage, MB_OK);
    } catch (const std::bad_alloc&) {
      // The message could not be shown; the window closes all the same.
    }
    DestroyWindow(m_hWnd);
    return;
  }
  ShowPackage();
}

// Out of memory leaves the base name as the title, or the list short: the
// window stays usable and closes as usual.
void CMainWnd::ShowPackage() {
  try {
    if (!AppState.packageTitle.empty()) {
      SetWindowTextW(m_hWnd, Wide(MainWindowTitle(AppState.baseName, AppState.packageTitle)));
    }
  } catch (const std::bad_alloc&) {
  }
  try {
    FillList();
  } catch (const std::bad_alloc&) {
  }
}

void CMainWnd::AwaitLoader() {
  if (m_loader.joinable()) m_loader.join();
}

}  // namespace vellum
