#include "drop_window.h"

#include <ole2.h>
#include <shellapi.h>

#include <mutex>

#include "desktop.h"

namespace e2e {
namespace {

// One driver, one window: the state the COM calls and the window procedure
// write and the main thread reads.
std::mutex stateLock;
DropRecord record;
std::wstring menuReport;
int menuReports = 0;

std::vector<std::wstring> DroppedFiles(IDataObject* data) {
  std::vector<std::wstring> files;
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (!data || FAILED(data->GetData(&format, &medium))) return files;
  files = FilesOfDrop(static_cast<HDROP>(medium.hGlobal));
  ReleaseStgMedium(&medium);
  return files;
}

// Accepts a copy, as a folder window would; never asks for a move.
class RecordingDropTarget final : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the thread
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    {
      std::lock_guard<std::mutex> lock(stateLock);
      ++record.enters;
      record.offeredOnEnter = *effect;
    }
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    std::lock_guard<std::mutex> lock(stateLock);
    ++record.leaves;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    std::vector<std::wstring> files = DroppedFiles(data);
    {
      std::lock_guard<std::mutex> lock(stateLock);
      ++record.drops;
      record.offeredOnDrop = *effect;
      record.files = std::move(files);
    }
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
};

LRESULT CALLBACK DriverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data->dwData == kMenuReportTag) {
      std::lock_guard<std::mutex> lock(stateLock);
      menuReport.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
      ++menuReports;
      return TRUE;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

DWORD WINAPI DropWindow::ThreadMain(void* self) {
  auto& owner = *static_cast<DropWindow*>(self);
  OleInitialize(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DriverWndProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1);
  windowClass.lpszClassName = kDriverWindowClass;
  RegisterClassW(&windowClass);
  const RECT& r = owner.rect_;
  const HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kDriverWindowClass, L"drop here",
                                      WS_POPUP | WS_VISIBLE | WS_BORDER, r.left, r.top, r.right - r.left,
                                      r.bottom - r.top, nullptr, nullptr, windowClass.hInstance, nullptr);
  RecordingDropTarget target;
  owner.started_ = window && SUCCEEDED(RegisterDragDrop(window, &target));
  SetEvent(owner.ready_);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (window) {
    RevokeDragDrop(window);
    DestroyWindow(window);
  }
  OleUninitialize();
  return 0;
}

bool DropWindow::Start(const RECT& rect) {
  rect_ = rect;
  ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, &threadId_);
  if (!thread_) return false;
  WaitForSingleObject(ready_, 120000);
  return started_;
}

DropWindow::~DropWindow() {
  if (thread_) {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 30000);
    CloseHandle(thread_);
  }
  if (ready_) CloseHandle(ready_);
}

DropRecord DropWindow::Record() const {
  std::lock_guard<std::mutex> lock(stateLock);
  return record;
}

void DropWindow::ResetRecord() {
  std::lock_guard<std::mutex> lock(stateLock);
  record = DropRecord{};
}

std::wstring DropWindow::MenuReport(int* count) const {
  std::lock_guard<std::mutex> lock(stateLock);
  if (count) *count = menuReports;
  return menuReport;
}

POINT DropWindow::Centre() const { return {(rect_.left + rect_.right) / 2, (rect_.top + rect_.bottom) / 2}; }

}  // namespace e2e
