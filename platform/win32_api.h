#pragma once
// The Windows headers, minus the macros that would rename the seam's own
// DeleteFile, CreateDirectory and RemoveDirectory methods to their ...W forms.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#undef DeleteFile
#undef CreateDirectory
#undef RemoveDirectory
