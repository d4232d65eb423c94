# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-i686).
# Only the Qt-free parts build this way: configured with this file and nothing else, the build
# leaves out the Qt parts and the tests it finds no libraries for and says so.
#
# CORVANE_MINGW_PREFIX names a directory of packages built or staged for this target (for
# example GoogleTest built with this file); it is searched besides the compiler's own sysroot,
# and the build machine's /usr never is. Without it, the build tree's mingw-prefix folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CORVANE_MINGW_TRIPLE i686-w64-mingw32)
# The posix thread model: GCC 12's win32 model has no std::mutex or std::thread.
set(CMAKE_C_COMPILER ${CORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_TRIPLE}-windres)

# GCC 12 reports overlapping copies inside std::string's own operator+ when it inlines it at
# -O3 for this target (a false report, gone in GCC 13); -Werror would make it fatal.
set(CMAKE_CXX_FLAGS_INIT -Wno-restrict)

if(NOT CORVANE_MINGW_PREFIX)
  set(CORVANE_MINGW_PREFIX ${CMAKE_BINARY_DIR}/mingw-prefix)
endif()
# The JSON library is header-only, but Debian installs it for the build machine only: a copy of
# its headers and CMake package goes into the prefix, so that the build machine's /usr/include
# never reaches the cross compiler.
if(NOT EXISTS ${CORVANE_MINGW_PREFIX}/share/cmake/nlohmann_json AND EXISTS /usr/share/cmake/nlohmann_json)
  file(COPY /usr/include/nlohmann DESTINATION ${CORVANE_MINGW_PREFIX}/include)
  file(COPY /usr/share/cmake/nlohmann_json DESTINATION ${CORVANE_MINGW_PREFIX}/share/cmake)
endif()

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
