# Cross-compiling for 64-bit ARM Linux (Debian's arm64, Raspberry Pi OS 64-bit) with Debian's
# crossbuild-essential-arm64 and the :arm64 development packages (scripts/test-arm64 installs
# them). Programs built here run on this machine under qemu-user, without binfmt_misc: every
# test starts them through the emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Libraries and CMake packages only from the arm64 folders; headers are shared between the
# architectures of a multiarch system, so /usr/include is searched too.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkgconf:arm64's wrapper reads only the arm64 .pc files.
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config)

# -L /: the arm64 dynamic linker and libraries are those multiarch installed in this system.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64-static -L /)
# The Debian architecture the package is built for (scripts/package --arch).
set(VORNELLE_DEBIAN_ARCH arm64)
