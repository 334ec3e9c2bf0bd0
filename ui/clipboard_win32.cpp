#include "ui/clipboard_win32.h"

namespace vellum {
namespace {

constexpr int kTries = 10;
constexpr DWORD kPauseMs = 50;

template <class Call>
HRESULT WhileClipboardBusy(Call call) {
  HRESULT result = call();
  for (int tries = 1; result == CLIPBRD_E_CANT_OPEN && tries < kTries; ++tries) {
    Sleep(kPauseMs);
    result = call();
  }
  return result;
}

}  // namespace

HRESULT SetClipboardPatiently(IDataObject* dataObject) {
  return WhileClipboardBusy([&] { return OleSetClipboard(dataObject); });
}

HRESULT GetClipboardPatiently(IDataObject** dataObject) {
  return WhileClipboardBusy([&] { return OleGetClipboard(dataObject); });
}

}  // namespace vellum
