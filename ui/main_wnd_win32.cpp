#include "ui/main_wnd.h"

#include "app/app_state.h"
#include "resources/resource.h"

#include <new>

namespace vellum {
namespace {

struct ListColumn {
  const wchar_t* header;
  int format;
  int widthInAverageChars;
};
constexpr ListColumn kListColumns[] = {
    {L"\u30d5\u30a1\u30a4\u30eb\u540d", LVCFMT_LEFT, 60},  // ファイル名
    {L"\u66f4\u65b0\u65e5\u6642", LVCFMT_LEFT, 36},        // 更新日時
    {L"\u7a2e\u985e", LVCFMT_LEFT, 20},                    // 種類
    {L"\u30d0\u30a4\u30c8\u6570", LVCFMT_RIGHT, 16},       // バイト数
};

}  // namespace

CMainWnd::CMainWnd() {
  // The list view's class comes from the common controls; make sure they
  // are loaded whatever the system does with the manifest.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.cbWndExtra = sizeof(CMainWnd*);
  windowClass.hInstance = AppState.instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kMainWindowClass;
  RegisterClassExW(&windowClass);
}

CMainWnd::~CMainWnd() {
  AwaitLoader();
  if (m_hWnd) DestroyWindow(m_hWnd);
  if (m_hFont) DeleteObject(m_hFont);
}

LRESULT CALLBACK CMainWnd::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<CMainWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(window));
    window->m_hWnd = hwnd;
  }
  auto* window = reinterpret_cast<CMainWnd*>(GetWindowLongPtrW(hwnd, 0));
  if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Out of memory must not unwind through the system's frames (that ends
  // the process and leaves the working folder behind): the message's work
  // stops where it failed, as any other failure of it would.
  try {
    return window->HandleMessage(message, wParam, lParam);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

LRESULT CMainWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      MoveWindow(m_hList, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(m_hList);
      return 0;
    case WM_CLOSE:
      if (m_bLoading) {
        m_bCloseWhenLoaded = true;
      } else {
        OnClose();
      }
      return 0;
    case WM_ENDSESSION:
      if (wParam) OnEndSession();
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != kListControlId) break;
      switch (header->code) {
        case LVN_BEGINDRAG:
          OnBeginDrag(false, reinterpret_cast<const NMLISTVIEW*>(lParam));
          return 0;
        case LVN_BEGINRDRAG:
          OnBeginDrag(true, reinterpret_cast<const NMLISTVIEW*>(lParam));
          return 0;
        case NM_RCLICK:
          ShowContextMenu();
          return 0;
      }
      break;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_COPY:
          CopySelection();
          return 0;
        case IDM_SELECT_ALL:
          SelectAll();
          return 0;
      }
      break;
    case WM_APP_OPEN:
      OnOpenPackage();
      return 0;
    case WM_NCDESTROY: {
      const LRESULT result = DefWindowProcW(m_hWnd, message, wParam, lParam);
      m_hWnd = nullptr;
      return result;
    }
  }
  return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

// A 9-point font at the display's resolution, and the list with its columns
// measured in that font's average character width.
void CMainWnd::OnCreate() {
  const HDC dc = GetDC(m_hWnd);
  LOGFONTW font{};
  lstrcpynW(font.lfFaceName, L"Meiryo UI", LF_FACESIZE);
  font.lfHeight = -MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72);
  m_hFont = CreateFontIndirectW(&font);
  const HGDIOBJ previousFont = SelectObject(dc, m_hFont);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previousFont);
  ReleaseDC(m_hWnd, dc);

  // No sort style: rows stay in the order they are added.
  m_hList = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOSORTHEADER,
                            0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(kListControlId),
                            AppState.instance, nullptr);
  SendMessageW(m_hList, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), FALSE);
  SendMessageW(m_hList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);

  int index = 0;
  for (const ListColumn& column : kListColumns) {
    LVCOLUMNW item{};
    item.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    item.fmt = column.format;
    item.cx = column.widthInAverageChars * metrics.tmAveCharWidth;
    item.pszText = const_cast<wchar_t*>(column.header);
    SendMessageW(m_hList, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&item));
  }
}

// Copy is greyed while nothing is selected; select all is always offered.
void CMainWnd::ShowContextMenu() {
  const HMENU menu = LoadMenuW(AppState.instance, MAKEINTRESOURCEW(IDR_CONTEXT_MENU));
  if (!menu) return;
  const HMENU popup = GetSubMenu(menu, 0);
  POINT cursor{};
  GetCursorPos(&cursor);
  const LRESULT selected = SendMessageW(m_hList, LVM_GETSELECTEDCOUNT, 0, 0);
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_STATE;
  GetMenuItemInfoW(popup, IDM_COPY, FALSE, &item);
  item.fState &= ~static_cast<UINT>(MF_GRAYED);
  if (selected == 0) item.fState |= MF_GRAYED;
  SetMenuItemInfoW(popup, IDM_COPY, FALSE, &item);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_hWnd, nullptr);
  DestroyMenu(menu);
}

void CMainWnd::SelectAll() {
  const LRESULT count = SendMessageW(m_hList, LVM_GETITEMCOUNT, 0, 0);
  LVITEMW item{};
  item.state = LVIS_SELECTED;
  item.stateMask = LVIS_SELECTED;
  for (LRESULT row = 0; row < count; ++row) {
    SendMessageW(m_hList, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
}

}  // namespace vellum
