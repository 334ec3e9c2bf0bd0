#pragma once
#include "platform/com_ptr.h"
#include "platform/win32_api.h"

#include <commctrl.h>

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
  // Lists the working folder's files, once.
  void FillList();
  // A shell data object naming the selected rows' files, or none.
  ComPtr<IDataObject> CreateSelectionDataObject();
  // Runs a whole drag of the selection, offering copy only.
  void OnBeginDrag(bool rightButton, const NMLISTVIEW* notification);
  // Closes, asking first when the clipboard still names the working
  // folder's files.
  void OnClose();

  HWND m_hWnd = nullptr;
  HFONT m_hFont = nullptr;
  HWND m_hList = nullptr;

 private:
  void OnCreate();
  void ShowContextMenu();
  void CopySelection();
  void SelectAll();
};

// True when the clipboard's file list starts with a file lying directly in
// the working folder.
bool IsClipboardFromWorkFolder();

}  // namespace vellum
