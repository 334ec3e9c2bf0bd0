#include <cstdint>
#include <cwchar>

#include "app/app_state.h"
#include "base/path.h"
#include "ui/main_wnd.h"

namespace vellum {
namespace {

constexpr int kCellChars = 512;

// What one filling of the list shares with its per-file step.
struct FillContext {
  const AppStateRecord& app;
  CMainWnd& window;
  bool imageListAttached = false;
  int nextRow = 0;
};

void SetCell(HWND list, int row, int column, const wchar_t* text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text);
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

// Local date and time in the user's short formats; empty when the time
// cannot be converted or formatted.
std::wstring LocalTimeText(const FILETIME& lastWrite) {
  SYSTEMTIME utc{}, local{};
  if (!FileTimeToSystemTime(&lastWrite, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return {};
  }
  wchar_t date[kCellChars] = {};
  wchar_t time[kCellChars] = {};
  if (!GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, kCellChars,
                       nullptr) ||
      !GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &local, nullptr, time, kCellChars)) {
    return {};
  }
  return std::wstring(date) + L" " + time;
}

void AddFileRow(FillContext& context, const wchar_t* name, const FILETIME& lastWrite, uint64_t size) {
  const HWND list = context.window.m_hList;
  const Text path = JoinPath(context.app.workFolder, FromWide(name));
  SHFILEINFOW info{};
  const DWORD_PTR systemImages = SHGetFileInfoW(Wide(path), 0, &info, sizeof info,
                                                SHGFI_SYSICONINDEX | SHGFI_TYPENAME | SHGFI_SMALLICON);
  if (systemImages && !context.imageListAttached) {
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, static_cast<LPARAM>(systemImages));
    context.imageListAttached = true;
  }

  const int row = context.nextRow;
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = row;
  item.pszText = const_cast<wchar_t*>(name);
  item.iImage = systemImages ? info.iIcon : 0;
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

  SetCell(list, row, 1, LocalTimeText(lastWrite).c_str());
  SetCell(list, row, 2, info.szTypeName);
  wchar_t sizeText[kCellChars] = {};
  swprintf(sizeText, kCellChars, L"%lld", static_cast<long long>(size));
  SetCell(list, row, 3, sizeText);
  ++context.nextRow;
}

}  // namespace

// Files only, in the order the folder search delivers them.
void CMainWnd::FillList() {
  const Text pattern = JoinPath(AppState.workFolder, u"*");
  WIN32_FIND_DATAW entry{};
  const FindHandle search(FindFirstFileW(Wide(pattern), &entry));
  if (!search.valid()) return;
  FillContext context{AppState, *this};
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const uint64_t size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    AddFileRow(context, entry.cFileName, entry.ftLastWriteTime, size);
  } while (FindNextFileW(search.get(), &entry));
}

}  // namespace vellum
