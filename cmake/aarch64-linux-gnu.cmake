# Cross-build for the camera's AArch64 Debian userland with Debian's g++-aarch64-linux-gnu; the
# built programs and tests run on the build machine under Debian's qemu-user.
#   cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Headers and libraries come from the cross toolchain's tree only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# With Debian's arm64 C library installed beside the cross toolchain (the package build needs it),
# qemu's loader would come from the toolchain's tree and the C library, through the host's loader
# cache, from the other: two builds of glibc that hang a program before main's first thread. Then
# the root holds a whole arm64 runtime, loader included, and qemu takes it from there.
if(EXISTS /lib/ld-linux-aarch64.so.1)
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
endif()
