#pragma once
#include <memory>

#include "base/text.h"
#include "platform/archive_storage.h"
#include "platform/platform.h"

namespace vellum {

// A ZIP file as a storage of its top-level elements: the shell's own ZIP
// folder where the system offers one and it takes the file, else the
// built-in reader over the file, reading names and times as this system
// does. Null when neither can open it.
std::unique_ptr<ArchiveStorage> OpenArchive(Platform& platform, const Text& path);

}  // namespace vellum
