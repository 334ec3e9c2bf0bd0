#pragma once
#include <string>

#include "platform/file.h"

namespace vellum::tool {

// Writes a ZIP archive of the regular files directly inside folder (sorted by
// name; sub-folders are not included, as the viewer shows only top-level
// files) to out: deflated, UTF-8 names (flag bit 11), NTFS times, ZIP64 where
// sizes need it. Refuses names the viewer would not extract.
bool WriteFolderZip(const std::string& folder, File& out, std::string& error);

}  // namespace vellum::tool
