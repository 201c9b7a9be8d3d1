# Cross build for x86-64 Windows with Debian's mingw-w64, the variant with
# POSIX threads (g++-mingw-w64-x86-64-posix), whose C++ library has
# std::thread. The programs link the C runtime that this mingw-w64 targets
# by default: the old msvcrt.dll on Debian 12 and 13.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)  # GoogleTest's project enables C
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# The tests and the programs they start run under wine, through our script,
# with a wine prefix of the build's own (see cmake/wine-run).
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wine")
endif()

# Libraries, headers and packages come from the toolchain's tree only;
# programs run during the build are this machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
