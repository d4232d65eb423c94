#!/usr/bin/env bash
# Cross-builds the Qt-free libraries and corvane-cli.exe for 32-bit Windows with Debian's
# MinGW-w64 into build/mingw, and checks that the program is a PE32 executable that needs no
# DLL of the compiler's. Usage: scripts/build-windows-cli.sh [CMAKE OPTION...]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$top/build/mingw
prefix=$tree/prefix

# The JSON library is header-only but Debian installs it for the build machine only: stage a
# copy of its headers and CMake package where the cross-build looks, so that the build
# machine's /usr/include never reaches the cross compiler.
mkdir -p "$prefix/include" "$prefix/share/cmake"
rm -rf "$prefix/include/nlohmann" "$prefix/share/cmake/nlohmann_json"
cp -r /usr/include/nlohmann "$prefix/include/"
cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"

cmake -S "$top" -B "$tree" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" -DCORVANE_MINGW_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_GUI=OFF -DCORVANE_BUILD_TESTS=OFF \
  -DCORVANE_BUILD_BENCHMARKS=OFF -DCORVANE_WERROR=ON "$@" >/dev/null
cmake --build "$tree"

exe=$tree/src/cli/corvane-cli.exe
kind=$(file -b "$exe")
case "$kind" in
  "PE32 executable (console) Intel 80386"*) ;;
  *) echo "corvane-cli.exe is not a 32-bit Windows console program: $kind" >&2; exit 1 ;;
esac
# Statically linked: only DLLs that every Windows has.
if dlls=$(i686-w64-mingw32-objdump -p "$exe" | grep -i "DLL Name" | grep -i -E "libstdc|libgcc|libwinpthread"); then
  echo "corvane-cli.exe needs the compiler's DLLs:" >&2
  echo "$dlls" >&2
  exit 1
fi
echo "$exe: $kind"
