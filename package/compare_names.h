#pragma once
#include "base/text.h"

namespace vellum {

// Three-way comparison of file names: ignores letter case, compares runs of
// digits by value, and breaks ties by an ordinal comparison of the upper-cased
// code units, so only names that differ in letter case alone compare equal.
// Returns -1, 0 or +1 (-2 only when the platform's comparison fails).
int CompareNames(const Text& a, const Text& b);

}  // namespace vellum
