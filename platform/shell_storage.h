#pragma once
#include <memory>

#include "base/text.h"
#include "platform/archive_storage.h"

namespace vellum {

// The shell's own view of the file at path as a structured storage (its ZIP
// folder for a ZIP file). Null when the shell cannot parse the path or bind
// it to a storage. COM must be initialised on the calling thread.
std::unique_ptr<ArchiveStorage> OpenShellStorage(const Text& path);

}  // namespace vellum
