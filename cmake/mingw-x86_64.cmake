# Cross-compiles the same sources for 64-bit Windows. Hosts that cannot execute
# 32-bit code run the Windows test tiers on this build under 64-bit Wine.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
velmora_mingw_toolchain(x86_64-w64-mingw32 AMD64)
