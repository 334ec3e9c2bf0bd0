#pragma once
// The driver's own window, on a thread of its own with OLE and a message
// loop: a drop target that records what a drag offers and drops, and the
// receiver of the menu reports the hook sends from inside the viewer.
#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

inline constexpr wchar_t kDriverWindowClass[] = L"VellumE2EDriver";
inline constexpr ULONG_PTR kMenuReportTag = 0x4D454E55;  // 'MENU'

struct DropRecord {
  int enters = 0;
  int leaves = 0;
  int drops = 0;
  DWORD offeredOnEnter = 0;  // the effects the source allows
  DWORD offeredOnDrop = 0;
  std::vector<std::wstring> files;  // dropped CF_HDROP list
};

class DropWindow {
 public:
  // Starts the thread and shows the window at rect; false when it failed.
  bool Start(const RECT& rect);
  ~DropWindow();

  DropRecord Record() const;
  void ResetRecord();
  // The last menu report and how many have arrived.
  std::wstring MenuReport(int* count) const;
  POINT Centre() const;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  DWORD threadId_ = 0;
  RECT rect_{};
  bool started_ = false;
};

}  // namespace e2e
