# Cross build for the access point's CPU: 32-bit big-endian PowerPC.
# Test programs run under qemu-user with the target's shared libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(CMAKE_C_COMPILER powerpc-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER powerpc-linux-gnu-g++)

set(FED_TARGET_SYSROOT /usr/powerpc-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc -L ${FED_TARGET_SYSROOT})

# Libraries, headers and CMake packages come from the target's root only, so
# the host's GoogleTest is never picked up; host programs stay usable.
set(CMAKE_FIND_ROOT_PATH ${FED_TARGET_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
