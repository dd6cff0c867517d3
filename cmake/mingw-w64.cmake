# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads variant).
# Programs built here run on this machine under Wine: scripts/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries are looked for only among those built for Windows: the compiler's own and those
# in VORNELLE_WINDOWS_PREFIXES (scripts/build-windows builds SDL and GoogleTest there).
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${VORNELLE_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every library linked in, the C++ and threads runtimes included: the program then needs
# nothing but the DLLs Windows itself ships.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
# Every test runs in a Wine session of its own (prefix, server, on the test's X server).
set(VORNELLE_TEST_SESSION ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-session)
