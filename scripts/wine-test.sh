#!/usr/bin/env bash
# Runs the Windows build under wine: cross-builds the programs and the Qt-free unit tests for
# Windows into build/mingw-wine, runs the tests with ctest under wine (among them the comparison
# of corvane-cli's output on the committed streams with the stored transcript), and runs
# corvane-cli.exe detect on the bundled sample. GoogleTest is built for the target from Debian's
# sources (package googletest, /usr/src/googletest).
# The 64-bit build runs by default, under wine64: 32-bit programs do not run on a machine without
# 32-bit wine. CORVANE_WINE_ARCH=i686 builds and runs the 32-bit programs where wine32 is installed.
# With the argument "cli" it builds no tests: it compares only the output of the corvane-cli.exe
# that scripts/build-windows.sh made with the stored transcript (half a minute, for CI).
# Usage: scripts/wine-test.sh [cli]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=${CORVANE_WINE_ARCH:-x86_64}
tree=$top/build/mingw-wine-$arch
prefix=$tree/prefix
toolchain=$top/cmake/mingw-w64-$arch.cmake

if ! command -v wine >/dev/null; then
  echo "wine is not installed: nothing run (scripts/setup.sh installs wine64)" >&2
  exit 1
fi
if ! command -v "$arch-w64-mingw32-g++-posix" >/dev/null; then
  echo "the MinGW-w64 compiler is not installed: run scripts/setup.sh" >&2
  exit 1
fi
export WINEDEBUG=${WINEDEBUG:--all}
# A prefix of its own, and one wine server for the whole run: every test program starts at once.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
wineserver -p
wineboot -i >/dev/null 2>&1

if [ "${1:-}" = cli ]; then
  "$top/scripts/build-windows.sh" "$arch" >/dev/null
  [ "$arch" = i686 ] && programs=$top/build/mingw || programs=$top/build/mingw64
  echo "== corvane-cli.exe's output on the committed streams"
  cmake -DCLI="$programs/src/cli/corvane-cli.exe" -DEMULATOR=wine -DTOP="$top" \
    -DEXPECTED="$top/tests/cli/expected/cli-output.txt" -DACTUAL="$programs/cli-output.txt" \
    -P "$top/tests/cli/CompareOutput.cmake"
  echo "the same bytes as tests/cli/expected/cli-output.txt"
  exit 0
fi

run_tests=yes
if [ -f /usr/src/googletest/CMakeLists.txt ]; then
  if [ ! -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "== GoogleTest for Windows"
    cmake -S /usr/src/googletest -B "$tree/googletest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF >/dev/null
    cmake --build "$tree/googletest"
    cmake --install "$tree/googletest" >/dev/null
  fi
else
  echo "Debian's GoogleTest sources (/usr/src/googletest) are missing: the unit tests are skipped" >&2
  run_tests=no
fi

echo "== Windows build"
tests_option=-DCORVANE_BUILD_TESTS=OFF
[ "$run_tests" = yes ] && tests_option=-DCORVANE_BUILD_TESTS=ON
cmake -S "$top" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCORVANE_MINGW_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_BENCHMARKS=OFF -DCORVANE_WERROR=ON "$tests_option" \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$tree"

if [ "$run_tests" = yes ]; then
  echo "== unit tests under wine"
  ctest --test-dir "$tree" --output-on-failure -j2
fi

echo "== corvane-cli.exe detect"
detected=$(wine "$tree/src/cli/corvane-cli.exe" detect "$top/samples/sample.ac3" | tr -d '\r')
echo "$detected"
[ "$detected" = "AC-3 0" ]
