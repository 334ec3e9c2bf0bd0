# Shared by the mingw-w64 toolchain files: Debian's cross compilers for the
# target triplet VELLUM_MINGW_TRIPLET, finding libraries and headers only in
# that target's root.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: the win32 one has no std::thread in GCC 12.
set(CMAKE_C_COMPILER ${VELLUM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLUM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELLUM_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELLUM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
