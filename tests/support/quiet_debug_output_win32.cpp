// GoogleTest copies every failure and skip message to OutputDebugStringA.
// That raises a debugger-notification exception, which Wine running under
// user-mode 32-bit emulation cannot deliver: the test process dies instead of
// reporting. The test programs therefore bind the import to a function that
// discards the text; stdout still carries every message.
#include <windows.h>

namespace {
void WINAPI DiscardDebugString(LPCSTR) {}
}  // namespace

// The import slot the linker would otherwise fill from kernel32 (32-bit
// symbols carry a leading underscore and the argument size).
#ifdef _WIN64
#define VELLUM_IMPORT_SLOT "__imp_OutputDebugStringA"
#else
#define VELLUM_IMPORT_SLOT "__imp__OutputDebugStringA@4"
#endif
extern "C" {
void(WINAPI* quietOutputDebugStringA)(LPCSTR) __asm__(VELLUM_IMPORT_SLOT) = DiscardDebugString;
}
