#pragma once
#include "base/text.h"

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

}  // namespace vellum
