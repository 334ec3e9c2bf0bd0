#pragma once
#include <cstdint>
#include <functional>

#include "base/text.h"

namespace vellum {

// The names a run derives from the executable's own path.
struct ExeNames {
  Text exeFolder;    // up to and including the last separator
  Text exeFileName;  // the rest
  Text baseName;     // exeFileName without its last extension
  Text packageName;  // baseName + "_data"
  Text packagePath;  // the package file beside the executable
};
ExeNames DeriveExeNames(const Text& exePath);

// The main window's title once a package is open: the base name, and the
// package's title after " - " when it has one.
Text MainWindowTitle(const Text& baseName, const Text& packageTitle);

// The folder holding the entry at path, without a trailing backslash:
// C:\a\b.txt gives C:\a; a name without any folder gives an empty text.
Text ContainingFolder(const Text& path);

// One call of the system's module-file-name service: fills buffer (size
// units), returns the count it reports and leaves the thread's last error.
using ModuleFileNameCall = std::function<uint32_t(char16_t* buffer, uint32_t size, uint32_t& lastError)>;

// The executable's path, growing the buffer from 33 units by doubling while
// the system reports it too small, up to 32,769 units. Returns the reported
// count, or 0 when even the largest buffer was too small (path then holds
// the truncated text).
uint32_t GetExePathWith(const ModuleFileNameCall& call, Text& path);

}  // namespace vellum
