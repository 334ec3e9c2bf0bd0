# 64-bit Windows cross build with Debian's mingw-w64: for testing only, where
# 32-bit x86 code runs only emulated and the 64-bit viewer under wine64 stands
# in for it end to end. The product stays the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VELLUM_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
