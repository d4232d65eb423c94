# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64): the
# same sources as a program that runs under wine64 here, where 32-bit programs do not run.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CORVANE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
