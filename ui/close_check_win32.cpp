#include "app/app_state.h"
#include "ui/show_message.h"
#include "resources/message_texts.h"
#include "app/viewer_names.h"
#include "package/compare_names.h"
#include "ui/clipboard_win32.h"
#include "ui/main_wnd.h"

namespace vellum {
namespace {

class StorageMedium {
 public:
  StorageMedium() = default;
  StorageMedium(const StorageMedium&) = delete;
  StorageMedium& operator=(const StorageMedium&) = delete;
  ~StorageMedium() {
    if (received_) ReleaseStgMedium(&medium_);
  }
  STGMEDIUM* Receive() { return &medium_; }
  void MarkReceived() { received_ = true; }
  const STGMEDIUM& get() const { return medium_; }

 private:
  STGMEDIUM medium_{};
  bool received_ = false;
};

class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() {
    if (data_) GlobalUnlock(memory_);
  }
  bool locked() const { return data_ != nullptr; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// The path with every short (8.3) component in its long form, or the path as
// it is when the file system cannot say.
Text LongForm(const Text& path) {
  const DWORD size = GetLongPathNameW(Wide(path), nullptr, 0);
  if (size == 0) return path;
  std::wstring buffer(size, L'\0');
  const DWORD length = GetLongPathNameW(Wide(path), buffer.data(), size);
  if (length == 0 || length >= size) return path;
  buffer.resize(length);
  return FromWide(buffer.c_str());
}

// Windows may report the temporary directory in its short form while the
// shell names files in their long form, or the other way round.
bool SameFolder(const Text& a, const Text& b) {
  return CompareNames(a, b) == 0 || CompareNames(LongForm(a), LongForm(b)) == 0;
}

}  // namespace

// Only the first file of the list is looked at.
bool IsClipboardFromWorkFolder() {
  ComPtr<IDataObject> clipboard;
  if (FAILED(GetClipboardPatiently(clipboard.Receive()))) return false;
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  StorageMedium medium;
  if (FAILED(clipboard->GetData(&format, medium.Receive()))) return false;
  medium.MarkReceived();
  if (medium.get().tymed != TYMED_HGLOBAL) return false;
  const GlobalLockGuard lock(medium.get().hGlobal);
  if (!lock.locked()) return false;

  const auto drop = static_cast<HDROP>(medium.get().hGlobal);
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 0) return false;
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  if (length == 0) return false;
  std::wstring first(length + 1, L'\0');
  if (DragQueryFileW(drop, 0, first.data(), length + 1) == 0) return false;
  return SameFolder(ContainingFolder(FromWide(first.c_str())), AppState.workFolder);
}

// The clipboard is emptied before the files it names are deleted.
void CMainWnd::OnClose() {
  if (IsClipboardFromWorkFolder()) {
    if (ShowMessage(kMessageCopyPasteFinished, MB_YESNO) != IDYES) return;
    if (IsClipboardFromWorkFolder()) SetClipboardPatiently(nullptr);
  }
  DestroyWindow(m_hWnd);
}

}  // namespace vellum
