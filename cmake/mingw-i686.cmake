# Cross-compiles for 32-bit Windows with MinGW-w64 (posix thread model), fully static.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
velmora_mingw_toolchain(i686-w64-mingw32 x86)
