#!/usr/bin/env bash
# Cross-builds the Qt-free libraries and corvane-cli.exe for 32-bit Windows with Debian's
# MinGW-w64 into build/mingw, and checks that the program is a PE32 executable that needs no
# DLL of the compiler's. Usage: scripts/build-windows-cli.sh [CMAKE OPTION...]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$top/build/mingw

# Configured with the toolchain file alone, as anyone would start: the build leaves out what
# it finds no libraries for (Qt, GoogleTest) and says so, and builds the rest.
log=$(cmake -S "$top" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON "$@")
for part in "the desktop program" "the unit tests"; do
  grep -q "Not built: $part" <<<"$log" || { echo "the Windows configure did not say it leaves out $part" >&2; exit 1; }
done
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
