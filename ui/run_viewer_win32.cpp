// The viewer's run: start-up, the main window, the message loop and the
// shutdown that removes the working folder.
#include "app/app_state.h"
#include "resources/resource.h"
#include "ui/main_wnd.h"

namespace vellum {
namespace {

// Creates the main window and asks it to open the package. False when the
// window could not be created.
bool CreateMainWindow() {
  AppState.accelerators = LoadAcceleratorsW(AppState.instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  // Stored before creation: anything running while the window is created
  // finds the object already.
  AppState.mainWindow = new CMainWnd();
  const HWND window =
      CreateWindowExW(0, kMainWindowClass, Wide(AppState.baseName), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                      AppState.instance, AppState.mainWindow);
  if (!window) return false;
  PostMessageW(AppState.mainWindow->m_hWnd, WM_APP_OPEN, 0, 0);
  return true;
}

void RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    const CMainWnd* window = AppState.mainWindow;
    if (window && window->m_hWnd &&
        TranslateAcceleratorW(window->m_hWnd, AppState.accelerators, &message)) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The window object goes first, then the working folder, then OLE: the
// clipboard has been settled by the time the files it may name are deleted.
void Shutdown() {
  delete AppState.mainWindow;
  RemoveWorkFolder();
  OleUninitialize();
}

}  // namespace

int RunViewer(HINSTANCE instance) {
  if (!InitApp(instance)) return 0;
  if (!CreateMainWindow()) {
    OleUninitialize();
    return 0;
  }
  RunMessageLoop();
  Shutdown();
  return 0;
}

}  // namespace vellum
