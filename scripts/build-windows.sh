#!/usr/bin/env bash
# Cross-builds the Windows programs with Debian's MinGW-w64 and checks them: corvane.exe (the
# native window) and corvane-cli.exe, with -Werror, statically linked.
#   i686    the 32-bit programs that are shipped, in build/mingw (the default)
#   x86_64  the same sources as 64-bit programs, which run under wine64 here, in build/mingw64
#   all     both
# Checks: each is a PE32 (PE32+ for x86_64) executable, corvane.exe of the GUI subsystem and
# corvane-cli.exe of the console one; they import only DLLs that every Windows has; and their
# version resource holds the project's version. Usage: scripts/build-windows.sh [i686|x86_64|all]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
which=${1:-i686}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-$(command -v ccache || true)}

# DLLs of Windows itself; the rich edit's library is loaded at run time and imports nothing.
system_dlls="kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll advapi32.dll version.dll wininet.dll ole32.dll msvcrt.dll"
# The project's version as its resource strings spell it, and as four numbers.
version=$(sed -n 's/^project(Corvane VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
numbers=$version
while [ "$(tr -cd . <<<"$numbers" | wc -c)" -lt 3 ]; do numbers=$numbers.0; done

# The reader of version resources runs on the build machine.
host=$top/build/host
cmake -S "$top" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_GUI=OFF -DCORVANE_BUILD_TESTS=OFF \
  -DCORVANE_BUILD_BENCHMARKS=OFF -DCORVANE_BUILD_PACKAGE=OFF >/dev/null
cmake --build "$host" --target corvane_peversion >/dev/null

check() {  # file, expected `file` description, objdump
  local exe=$1 kind=$2 objdump=$3 described dll
  described=$(file -b "$exe")
  case "$described" in
    "$kind"*) ;;
    *) echo "$exe is not a $kind: $described" >&2; return 1 ;;
  esac
  for dll in $("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    if [[ " $system_dlls " != *" $dll "* ]]; then
      echo "$exe imports $dll, which is not a DLL of Windows itself" >&2
      return 1
    fi
  done
  read -r fixed file_version product_version < <("$host/src/product/corvane_peversion" "$exe")
  if [ "$fixed" != "$numbers" ] || [ "$file_version" != "$version" ] || [ "$product_version" != "$version" ]; then
    echo "$exe carries version $fixed ($file_version, $product_version), not the project's $version" >&2
    return 1
  fi
  echo "$exe: $described; version $fixed"
}

build() {  # triple, tree, toolchain
  local arch=$1 tree=$2 toolchain=$3 pe
  cmake -S "$top" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCHMARKS=OFF -DCORVANE_WERROR=ON >/dev/null
  cmake --build "$tree" --target corvane corvane-cli
  if [ "$arch" = i686 ]; then pe="PE32 executable"; machine="Intel 80386"; else pe="PE32+ executable"; machine="x86-64"; fi
  check "$tree/src/win32/corvane.exe" "$pe (GUI) $machine" "$arch-w64-mingw32-objdump"
  check "$tree/src/cli/corvane-cli.exe" "$pe (console) $machine" "$arch-w64-mingw32-objdump"
}

case "$which" in
  i686) build i686 "$top/build/mingw" mingw-w64-i686.cmake ;;
  x86_64) build x86_64 "$top/build/mingw64" mingw-w64-x86_64.cmake ;;
  all)
    build i686 "$top/build/mingw" mingw-w64-i686.cmake
    build x86_64 "$top/build/mingw64" mingw-w64-x86_64.cmake
    ;;
  *) echo "usage: scripts/build-windows.sh [i686|x86_64|all]" >&2; exit 2 ;;
esac
