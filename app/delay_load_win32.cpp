// The lookup behind the viewer's delay-loaded imports (the stubs are made at
// build time from what the code imports): on a function's first call, its
// DLL is loaded through the restricted search and the function looked up.
#include "platform/win32_api.h"

extern "C" void* vellum_resolve_delayed_import(void** pointer, const char* dll, const char* name) {
  const HMODULE module = LoadLibraryA(dll);
  void* function = module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
  if (!function) {
    // A system DLL or function this Windows lacks: nothing sensible can go
    // on; end as a failed import at start-up would have.
    RaiseException(module ? STATUS_ENTRYPOINT_NOT_FOUND : STATUS_DLL_NOT_FOUND, EXCEPTION_NONCONTINUABLE, 0,
                   nullptr);
  }
  // Threads may race to the same function; each stores the same address.
  InterlockedExchangePointer(pointer, function);
  return function;
}
