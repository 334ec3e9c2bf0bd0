#pragma once

namespace vellum {

// Makes the system folder the only place DLLs are loaded from by name: not
// the executable's folder (often a downloads folder anyone can write to), nor
// the current one. The process's first act; every system DLL other than
// kernel32 is loaded on first use, after this.
void RestrictDllSearchToSystem();

}  // namespace vellum
