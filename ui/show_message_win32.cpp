#include "ui/show_message.h"

#include "app/messages.h"
#include "ui/main_wnd.h"

namespace vellum {

int ShowMessage(const Text& message, UINT type) {
  const HWND owner = AppState.mainWindow ? AppState.mainWindow->m_hWnd : nullptr;
  const Text text = ExpandPlaceholder(message, AppState.packageName);
  return MessageBoxW(owner, Wide(text), Wide(AppState.baseName), type);
}

}  // namespace vellum
