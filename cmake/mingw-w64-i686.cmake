# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-i686): the
# programs that are shipped.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CORVANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
