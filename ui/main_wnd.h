#pragma once
#include "platform/com_ptr.h"
#include "platform/win32_api.h"

#include <commctrl.h>

#include <thread>

namespace vellum {

inline constexpr wchar_t kMainWindowClass[] = L"VellumMainWnd";

// Posted by the main loop once the window exists: open the package.
inline constexpr UINT WM_APP_OPEN = WM_APP + 100;
// Posted by the loading thread to the preparing dialog: wParam 1 when the
// package loaded, 0 when it failed.
inline constexpr UINT WM_APP_LOADED = WM_APP + 101;

// The control id of the file list.
inline constexpr int kListControlId = 100;

// The one top-level window: a frame whose client area is a report-style list
// of the working folder's files.
class CMainWnd {
 public:
  // Registers the window class (each time; a second registration just fails).
  CMainWnd();
  virtual ~CMainWnd();
  CMainWnd(const CMainWnd&) = delete;
  CMainWnd& operator=(const CMainWnd&) = delete;

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Runs the preparing dialog while the package loads, then shows the
  // failure and closes, or titles the window and lists the files.
  void OnOpenPackage();
  // Titles the window with the package's title and lists its files.
  void ShowPackage();
  // Lists the working folder's files, once.
  void FillList();
  // A shell data object naming the selected rows' files, or none.
  ComPtr<IDataObject> CreateSelectionDataObject();
  // Runs a whole drag of the selection, offering copy only.
  void OnBeginDrag(bool rightButton, const NMLISTVIEW* notification);
  // Closes, asking first when the clipboard still names the working
  // folder's files. A close that comes while the package loads waits for
  // the loader, then closes without asking.
  void OnClose();
  // The session ends (log-off, shut-down, restart) or Restart Manager
  // closes the program: the working folder goes at once, without a
  // question, for the process may be ended as soon as this returns.
  void OnEndSession();

  HWND m_hWnd = nullptr;
  HFONT m_hFont = nullptr;
  HWND m_hList = nullptr;

 private:
  void OnCreate();
  // Waits until the loading thread has ended: from then on nothing else
  // writes to AppState or into the temporary directory.
  void AwaitLoader();
  void ShowContextMenu();
  void CopySelection();
  void SelectAll();

  std::thread m_loader;
  bool m_bLoading = false;          // the preparing dialog is up
  bool m_bCloseWhenLoaded = false;  // a close came while loading
};

// True when the clipboard's file list starts with a file lying directly in
// the working folder.
bool IsClipboardFromWorkFolder();

// Removes the working folder with everything in it, once.
void RemoveWorkFolder();

// The whole run of the viewer after its entry point: start-up, the window
// and its message loop, shutdown. Returns the process's exit code.
int RunViewer(HINSTANCE instance);

}  // namespace vellum
