#pragma once
#include "base/text.h"
#include "platform/platform.h"

namespace vellum {

// Removes the folder at path with everything in it. True only when every
// entry and the folder itself went. Junctions and symbolic links to folders
// are removed as links; what they point to is left alone.
bool DeleteTree(Platform& platform, const Text& path);

}  // namespace vellum
