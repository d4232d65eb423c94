# What both Windows toolchain files share (mingw-w64-i686.cmake, the 32-bit program that is
# shipped, and mingw-w64-x86_64.cmake, the same sources as a 64-bit program for wine64): Debian's
# MinGW-w64 compilers, CORVANE_MINGW_TRIPLE set by the file that includes this one. Everything
# but the Qt window builds this way; a configure with nothing but the toolchain file says what
# it leaves out.
#
# CORVANE_MINGW_PREFIX names a directory of packages built or staged for this target (for
# example the header-only JSON library, or GoogleTest built with this file); it is searched
# besides the compiler's own sysroot, and the build machine's /usr never is.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: GCC 12's win32 model has no std::mutex or std::thread.
set(CMAKE_C_COMPILER ${CORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_TRIPLE}-windres)

# GCC 12 reports overlapping copies inside std::string's own operator+ when it inlines it at
# -O3 for this target (a false report, gone in GCC 13); -Werror would make it fatal.
set(CMAKE_CXX_FLAGS_INIT -Wno-restrict)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_MINGW_TRIPLE} ${CORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CORVANE_MINGW_PREFIX)

# One self-contained .exe: libgcc, libstdc++ and winpthread are linked in, so it runs on a
# Windows machine without the compiler's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# A release program carries no symbols (they would triple its size).
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT -s)
