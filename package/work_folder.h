#pragma once
#include "base/text.h"
#include "platform/platform.h"

namespace vellum {

// The name of this run's working folder: a fresh GUID in braced upper-case
// form, {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}. Empty when no GUID could be
// made or formatted.
Text NewGuidName(Platform& platform);

}  // namespace vellum
