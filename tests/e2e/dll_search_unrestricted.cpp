// Linked into a test-only copy of the viewer in place of the real
// restriction, so that the planted-DLL scenario can show it would notice a
// viewer that loads DLLs from its own folder.
#include "app/dll_search.h"

namespace vellum {

void RestrictDllSearchToSystem() {}

}  // namespace vellum
