# 32-bit Windows cross build with Debian's mingw-w64: the product.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELLUM_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
