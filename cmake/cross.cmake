# Cross build for one Debian architecture of cmake/architectures.txt, named
# by ECHO_TOOLS_ARCH on the command line or in the environment (the
# release-cross and ci-cross presets), with Debian's cross compiler.
include("${CMAKE_CURRENT_LIST_DIR}/architectures.cmake")
if(NOT ECHO_TOOLS_ARCH)
  set(ECHO_TOOLS_ARCH "$ENV{ECHO_TOOLS_ARCH}" CACHE STRING
      "The Debian architecture to build for" FORCE)
endif()
architecture(debian "${ECHO_TOOLS_ARCH}")
if(NOT arch_debian)
  message(FATAL_ERROR "ECHO_TOOLS_ARCH is '${ECHO_TOOLS_ARCH}': set it to "
                      "one of ${arch_known}")
endif()
# The projects that try_compile makes read this file again, without the
# cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ECHO_TOOLS_ARCH)

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${arch_processor})
set(CMAKE_CXX_COMPILER ${arch_gnu}-g++)

# How the tests run the target's programs (natively, or under which
# emulator) is found by tests/CMakeLists.txt, for this toolchain and for a
# distribution's cross build alike.

# Libraries, headers and packages come from the target's trees only, so that
# no library of the build machine is linked in: the cross toolchain's, and
# the target's packages of Debian's multiarch (such as libgtest-dev:ARCH for
# the tests). Programs run during the build are the build machine's own.
set(CMAKE_LIBRARY_ARCHITECTURE ${arch_multiarch})
set(CMAKE_FIND_ROOT_PATH /usr/${arch_gnu} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
