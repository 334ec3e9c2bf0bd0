#pragma once
#include "app/text.h"
#include "platform/platform.h"

namespace vellum {

// Paths are plain text: only the backslash and the colon separate
// components; nothing is normalised or resolved.

struct SplitResult {
  Text folder;  // up to and including the last separator; empty when none
  Text name;    // the rest
};
SplitResult SplitPath(const Text& path);

// folder + name with one backslash between them unless folder already ends
// in a separator (an empty folder gives a leading backslash).
Text JoinPath(const Text& folder, const Text& name);

// Removes the folder at path with everything in it. True only when every
// entry and the folder itself went. Junctions and symbolic links to folders
// are removed as links; what they point to is left alone.
bool DeleteTree(Platform& platform, const Text& path);

}  // namespace vellum
