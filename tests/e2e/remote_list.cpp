#include "remote_list.h"

#include <commctrl.h>

#include "e2e.h"

namespace e2e {
namespace {

constexpr SIZE_T kPageSize = 8192;
constexpr SIZE_T kTextOffset = 1024;  // the structure first, its text after
constexpr int kTextChars = 2048;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, StepBoundMs(), &result)) return -1;
  return static_cast<LRESULT>(result);
}

}  // namespace

RemoteList::RemoteList(HWND list) : list_(list) {
  DWORD processId = 0;
  GetWindowThreadProcessId(list, &processId);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (!process_) return;
  page_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kPageSize, MEM_COMMIT, PAGE_READWRITE));
}

RemoteList::~RemoteList() {
  if (page_) VirtualFreeEx(process_, page_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

int RemoteList::Count() const { return static_cast<int>(Send(list_, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring RemoteList::Cell(int row, int column) const {
  if (!page_) return L"<unreadable>";
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(page_ + kTextOffset);
  item.cchTextMax = kTextChars;
  const wchar_t none = 0;
  if (!WriteProcessMemory(process_, page_, &item, sizeof item, nullptr) ||
      !WriteProcessMemory(process_, page_ + kTextOffset, &none, sizeof none, nullptr)) {
    return L"<unreadable>";
  }
  const LRESULT length = Send(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(page_));
  if (length < 0) return L"<unreadable>";
  std::wstring text(kTextChars, L'\0');
  if (!ReadProcessMemory(process_, page_ + kTextOffset, text.data(), kTextChars * sizeof(wchar_t), nullptr)) {
    return L"<unreadable>";
  }
  text.resize(wcsnlen(text.c_str(), kTextChars));
  return text;
}

int RemoteList::Image(int row) const {
  if (!page_) return -1;
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iImage = -1;
  if (!WriteProcessMemory(process_, page_, &item, sizeof item, nullptr)) return -1;
  if (Send(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(page_)) <= 0) return -1;
  if (!ReadProcessMemory(process_, page_, &item, sizeof item, nullptr)) return -1;
  return item.iImage;
}

bool RemoteList::Selected(int row) const {
  return (Send(list_, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

int RemoteList::SelectedCount() const { return static_cast<int>(Send(list_, LVM_GETSELECTEDCOUNT, 0, 0)); }

RECT RemoteList::RowRect(int row) const {
  RECT rect{LVIR_BOUNDS, 0, 0, 0};
  if (!page_ || !WriteProcessMemory(process_, page_, &rect, sizeof rect, nullptr) ||
      Send(list_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(page_)) <= 0 ||
      !ReadProcessMemory(process_, page_, &rect, sizeof rect, nullptr)) {
    return {};
  }
  MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool RemoteList::HasSmallImageList() const { return Send(list_, LVM_GETIMAGELIST, LVSIL_SMALL, 0) > 0; }

}  // namespace e2e
