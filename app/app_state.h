#pragma once
#include <memory>

#include "base/text.h"
#include "crypto/crypto_factory.h"
#include "platform/win32_api.h"

namespace vellum {

class CMainWnd;

// Everything the run knows, in one static record. The loading thread writes
// only workFolder, packageTitle and loadMessage, and the interface thread
// reads them only after the loading thread has posted its last message.
struct AppStateRecord {
  HINSTANCE instance = nullptr;
  CMainWnd* mainWindow = nullptr;  // deleted by the main loop, not here
  Text exePath;
  Text exeFolder;
  Text exeFileName;
  Text baseName;  // initial window title and every message box's caption
  Text packageName;
  Text packagePath;
  Text tempDir;
  Text loadMessage;
  std::unique_ptr<CryptoFactory> cryptoFactory;
  Text workFolder;
  HACCEL accelerators = nullptr;
  Text packageTitle;
};
extern AppStateRecord AppState;

// Start-up: processor features, the names derived from the executable's
// path, OLE and the temporary directory. False only when OLE fails.
bool InitApp(HINSTANCE instance);

// The executable's full path; returns the count the system reported, or 0
// when the path was too long and got truncated.
unsigned GetExePath(Text& path);

}  // namespace vellum
