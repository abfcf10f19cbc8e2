# Shared body of the MinGW toolchain files.
macro(velmora_mingw_toolchain triple processor)
  set(CMAKE_SYSTEM_NAME Windows)
  set(CMAKE_SYSTEM_PROCESSOR ${processor})
  set(CMAKE_C_COMPILER   ${triple}-gcc-posix)
  set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
  set(CMAKE_RC_COMPILER  ${triple}-windres)
  set(CMAKE_FIND_ROOT_PATH /usr/${triple})
  set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
  # No MinGW DLL at run time: libgcc, libstdc++ and winpthread are linked in.
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
  # ctest runs the Windows programs under Wine, in the build's own prefix.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endmacro()
