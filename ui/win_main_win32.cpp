// The process's entry: first the DLL search is restricted, for every system
// DLL but kernel32 is loaded on first use; then the viewer runs.
#include "app/dll_search.h"
#include "ui/main_wnd.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  vellum::RestrictDllSearchToSystem();
  return vellum::RunViewer(instance);
}
