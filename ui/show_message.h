#pragma once
#include "app/app_state.h"

namespace vellum {

// A message box owned by the main window and captioned with the base name,
// every "%config%" replaced by the package file's name. Returns the answer.
int ShowMessage(const Text& message, UINT type);

}  // namespace vellum
