// The main window's operations when memory runs out at any one allocation:
// nothing may unwind through the window manager (that ends the process with
// the working folder left behind); each operation fails as it otherwise can.
// Needs a display: under Wine without X no window can be made, and the tests
// say so and skip.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "app/app_state.h"
#include "resources/message_texts.h"
#include "resources/resource.h"
#include "tests/support/allocation_failure.h"
#include "ui/main_wnd.h"

namespace vellum {
namespace {

using testing::AllocationFailed;
using testing::FailAllocation;

constexpr uint64_t kMostAllocations = 2000;

// Answers every message box the thread shows with OK, keeping its text. Runs
// inside the operation under test, so it allocates nothing.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer() {
    text_[0] = L'\0';
    hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  }
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
  ~MessageBoxAnswerer() {
    if (hook_) UnhookWindowsHookEx(hook_);
  }
  static const wchar_t* text() { return text_; }
  static int shown() { return shown_; }
  static void Reset() {
    text_[0] = L'\0';
    shown_ = 0;
  }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
      const auto box = reinterpret_cast<HWND>(wParam);
      wchar_t className[16] = {};
      GetClassNameW(box, className, 16);
      if (!wcscmp(className, L"#32770")) {
        ++shown_;
        EnumChildWindows(box, KeepStaticText, 0);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static BOOL CALLBACK KeepStaticText(HWND child, LPARAM) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    if (!_wcsicmp(className, L"Static") && GetWindowTextLengthW(child) > 0) {
      GetWindowTextW(child, text_, 256);
    }
    return TRUE;
  }

  HHOOK hook_ = nullptr;
  static inline wchar_t text_[256];
  static inline int shown_ = 0;
};

bool ClipboardNamesFiles() { return IsClipboardFormatAvailable(CF_HDROP) != 0; }

void EmptyClipboard() {
  OleSetClipboard(nullptr);
  if (OpenClipboard(nullptr)) {
    ::EmptyClipboard();
    CloseClipboard();
  }
}

// A main window over a working folder with two files, as after loading.
class MainWindowOutOfMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    folder_ = std::wstring(temp) + L"vellum-window-test-" + std::to_wstring(GetCurrentProcessId());
    MakeWorkFolder();
    AppState.instance = GetModuleHandleW(nullptr);
    AppState.baseName = u"viewer";
    AppState.packageName = u"viewer_data";
    AppState.packageTitle = u"A title";
    window_ = new CMainWnd();
    AppState.mainWindow = window_;
    CreateWindowExW(0, kMainWindowClass, L"viewer", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                    AppState.instance, window_);
    if (!window_->m_hWnd) GTEST_SKIP() << "no window could be made (no display?)";
  }
  void TearDown() override {
    FailAllocation(0);
    EmptyClipboard();
    AppState.mainWindow = nullptr;
    delete window_;
    RemoveWorkFolder();
    AppState.packageTitle.clear();
    OleUninitialize();
  }

  void MakeWorkFolder() {
    CreateDirectoryW(folder_.c_str(), nullptr);
    for (const wchar_t* name : {L"\\a.txt", L"\\b.txt"}) {
      const HANDLE file =
          CreateFileW((folder_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written = 0;
      WriteFile(file, "text", 4, &written, nullptr);
      CloseHandle(file);
    }
    AppState.workFolder = FromWide(folder_.c_str());
  }
  int Rows() const { return static_cast<int>(SendMessageW(window_->m_hList, LVM_GETITEMCOUNT, 0, 0)); }
  HWND hwnd() const { return window_->m_hWnd; }

  std::wstring folder_;
  CMainWnd* window_ = nullptr;
};

TEST_F(MainWindowOutOfMemory, ShowingThePackageLeavesTheBaseNameOrAShortListAndNeverThrows) {
  for (uint64_t n = 1; n < kMostAllocations; ++n) {
    SendMessageW(window_->m_hList, LVM_DELETEALLITEMS, 0, 0);
    SetWindowTextW(hwnd(), L"viewer");
    FailAllocation(n);
    EXPECT_NO_THROW(window_->ShowPackage()) << "allocation " << n;
    const bool failed = AllocationFailed();
    FailAllocation(0);
    wchar_t title[64] = {};
    GetWindowTextW(hwnd(), title, 64);
    EXPECT_TRUE(!wcscmp(title, L"viewer") || !wcscmp(title, L"viewer - A title")) << "allocation " << n;
    if (!failed) {
      EXPECT_STREQ(title, L"viewer - A title");
      EXPECT_EQ(Rows(), 2);
      return;
    }
    EXPECT_LE(Rows(), 2) << "allocation " << n;
  }
  FAIL() << "never completed";
}

TEST_F(MainWindowOutOfMemory, CopyEitherNamesTheFilesOrSaysItCannotCopy) {
  window_->FillList();
  ASSERT_EQ(Rows(), 2);
  const MessageBoxAnswerer answerer;
  for (uint64_t n = 1; n < kMostAllocations; ++n) {
    EmptyClipboard();
    MessageBoxAnswerer::Reset();
    SendMessageW(hwnd(), WM_COMMAND, IDM_SELECT_ALL, 0);
    FailAllocation(n);
    SendMessageW(hwnd(), WM_COMMAND, IDM_COPY, 0);
    const bool failed = AllocationFailed();
    FailAllocation(0);
    const bool said = MessageBoxAnswerer::shown() == 1 &&
                      FromWide(MessageBoxAnswerer::text()) == Text(kMessageCannotCopy);
    if (!failed) {
      EXPECT_TRUE(ClipboardNamesFiles());
      EXPECT_EQ(MessageBoxAnswerer::shown(), 0);
      return;
    }
    EXPECT_NE(ClipboardNamesFiles(), said) << "allocation " << n;
  }
  FAIL() << "never completed";
}

// A drag that cannot start for want of memory just does not start; the
// window goes on.
TEST_F(MainWindowOutOfMemory, ADragThatRunsOutOfMemoryDoesNotStart) {
  window_->FillList();
  SendMessageW(hwnd(), WM_COMMAND, IDM_SELECT_ALL, 0);
  for (uint64_t n = 1; n < kMostAllocations; ++n) {
    NMLISTVIEW notification{};
    notification.hdr = {window_->m_hList, static_cast<UINT_PTR>(kListControlId), LVN_BEGINDRAG};
    FailAllocation(n);
    SendMessageW(hwnd(), WM_NOTIFY, kListControlId, reinterpret_cast<LPARAM>(&notification));
    const bool failed = AllocationFailed();
    FailAllocation(0);
    ASSERT_TRUE(IsWindow(hwnd())) << "allocation " << n;
    if (!failed) return;
  }
  FAIL() << "never completed";
}

TEST_F(MainWindowOutOfMemory, TheWorkingFolderGoesEvenWhenRemovingItRunsOutOfMemory) {
  for (uint64_t n = 1; n < kMostAllocations; ++n) {
    MakeWorkFolder();
    FailAllocation(n);
    RemoveWorkFolder();
    const bool failed = AllocationFailed();
    FailAllocation(0);
    EXPECT_EQ(GetFileAttributesW(folder_.c_str()), INVALID_FILE_ATTRIBUTES) << "allocation " << n;
    if (!failed) return;
  }
  FAIL() << "never completed";
}

}  // namespace
}  // namespace vellum
