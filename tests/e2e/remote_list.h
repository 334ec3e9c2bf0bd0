#pragma once
// Reads another process's list view. Its messages carry pointers, which mean
// nothing across processes, so the structures and text buffers live in a
// page allocated inside the viewer.
#include <windows.h>

#include <string>

namespace e2e {

class RemoteList {
 public:
  explicit RemoteList(HWND list);
  ~RemoteList();
  RemoteList(const RemoteList&) = delete;
  RemoteList& operator=(const RemoteList&) = delete;

  bool ready() const { return page_ != nullptr; }
  int Count() const;
  std::wstring Cell(int row, int column) const;
  // The row's image index, -1 when it has none or cannot be read.
  int Image(int row) const;
  bool Selected(int row) const;
  int SelectedCount() const;
  // The row's bounds in screen coordinates.
  RECT RowRect(int row) const;
  bool HasSmallImageList() const;

 private:
  HWND list_;
  HANDLE process_ = nullptr;
  char* page_ = nullptr;  // in the other process
};

}  // namespace e2e
