# Cross build for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu); the release-aarch64 preset names this file.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Programs built for the target, the tests among them, run under qemu-user
# (qemu-user-static); -L lets a dynamically linked one find the target's
# loader and libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /usr/aarch64-linux-gnu)

# Libraries, headers and packages come from the target's trees only, so that
# no x86-64 library is linked in: the cross toolchain's, and the arm64
# packages of Debian's multiarch (such as libgtest-dev:arm64 for the tests),
# which keep their files in /usr/lib/aarch64-linux-gnu. Programs run during
# the build are the build machine's own.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
