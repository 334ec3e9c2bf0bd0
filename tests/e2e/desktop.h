#pragma once
// What the driver does as the desktop and as the user: finds a process's
// windows and message boxes, reads and answers them, reads and fills the
// clipboard, moves the pointer and presses keys, and saves screenshots.
#include <windows.h>

#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The visible top-level windows of a process, optionally of one class.
std::vector<HWND> VisibleWindowsOf(DWORD processId, const wchar_t* windowClass = nullptr);
std::wstring WindowText(HWND window);

// A message box of the process: a dialog with at least one button (the
// preparing dialog has none).
HWND FindMessageBox(DWORD processId);
// The preparing dialog of the process: a dialog without buttons.
HWND FindPreparingDialog(DWORD processId);
struct MessageBoxView {
  std::wstring caption;
  std::wstring text;  // the non-empty static texts, joined by '|' if several
  HWND owner = nullptr;
};
MessageBoxView ReadMessageBox(HWND box);
// Presses the button with this id (IDOK, IDYES, IDNO) the way the box's own
// button would.
bool AnswerMessageBox(HWND box, int buttonId);

// The files a CF_HDROP block names.
std::vector<std::wstring> FilesOfDrop(HDROP drop);
// The clipboard's file list, or nothing when it holds no CF_HDROP.
std::optional<std::vector<std::wstring>> ClipboardFiles();
std::optional<std::wstring> ClipboardText();
bool PutClipboardText(const std::wstring& text);
bool EmptyTheClipboard();
int ClipboardFormatCount();

// Pointer and keyboard, as real input through the system's queue.
void MovePointer(POINT to);
void GlidePointer(POINT from, POINT to, int steps);
void PointerButton(bool right, bool down);
void ClickAt(POINT at, bool right = false);
void Key(WORD virtualKey, bool down);
void KeyChord(WORD modifier, WORD virtualKey);

// Saves the screen's pixels inside rect as a PNG file.
bool SaveScreenshot(const RECT& rect, const std::wstring& pngPath);
bool SaveWindowShot(HWND window, const std::wstring& pngPath);
bool SaveScreenShot(const std::wstring& pngPath);

}  // namespace e2e
