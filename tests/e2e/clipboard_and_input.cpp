#include "desktop.h"
#include "e2e.h"

namespace e2e {
namespace {

// The clipboard is opened briefly by others too (the viewer, Wine's own
// manager); retry for a while.
class OpenedClipboard {
 public:
  OpenedClipboard() {
    opened_ = WaitUntil(StepBoundMs(), [] { return OpenClipboard(nullptr) != 0; });
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  ~OpenedClipboard() {
    if (opened_) CloseClipboard();
  }
  bool opened() const { return opened_; }

 private:
  bool opened_;
};

}  // namespace

std::vector<std::wstring> FilesOfDrop(HDROP drop) {
  std::vector<std::wstring> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    DragQueryFileW(drop, i, name.data(), length + 1);
    name.resize(length);
    files.push_back(name);
  }
  return files;
}

std::optional<std::vector<std::wstring>> ClipboardFiles() {
  const OpenedClipboard clipboard;
  if (!clipboard.opened() || !IsClipboardFormatAvailable(CF_HDROP)) return std::nullopt;
  const auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
  if (!drop) return std::nullopt;
  return FilesOfDrop(drop);
}

std::optional<std::wstring> ClipboardText() {
  const OpenedClipboard clipboard;
  if (!clipboard.opened() || !IsClipboardFormatAvailable(CF_UNICODETEXT)) return std::nullopt;
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
  if (!text) return std::nullopt;
  std::wstring copy = text;
  GlobalUnlock(data);
  return copy;
}

bool PutClipboardText(const std::wstring& text) {
  const OpenedClipboard clipboard;
  if (!clipboard.opened() || !EmptyClipboard()) return false;
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return false;
  void* target = GlobalLock(memory);
  if (target) {
    memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
  }
  if (!target || !SetClipboardData(CF_UNICODETEXT, memory)) {
    GlobalFree(memory);
    return false;
  }
  return true;
}

bool EmptyTheClipboard() {
  const OpenedClipboard clipboard;
  return clipboard.opened() && EmptyClipboard();
}

int ClipboardFormatCount() {
  const OpenedClipboard clipboard;
  return clipboard.opened() ? CountClipboardFormats() : -1;
}

void MovePointer(POINT to) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  input.mi.dx = MulDiv(to.x, 65535, width - 1);
  input.mi.dy = MulDiv(to.y, 65535, height - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof input);
}

// Input is paced so that the receiving loops (drag detection, the drag's
// own loop) see every step, as they would from a hand.
void GlidePointer(POINT from, POINT to, int steps) {
  for (int step = 1; step <= steps; ++step) {
    MovePointer({from.x + (to.x - from.x) * step / steps, from.y + (to.y - from.y) * step / steps});
    Sleep(40);
  }
}

void PointerButton(bool right, bool down) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = right ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                           : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
  SendInput(1, &input, sizeof input);
  Sleep(40);
}

void ClickAt(POINT at, bool right) {
  MovePointer(at);
  Sleep(40);
  PointerButton(right, true);
  PointerButton(right, false);
}

void Key(WORD virtualKey, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof input);
  Sleep(40);
}

void KeyChord(WORD modifier, WORD virtualKey) {
  Key(modifier, true);
  Key(virtualKey, true);
  Key(virtualKey, false);
  Key(modifier, false);
}

}  // namespace e2e
