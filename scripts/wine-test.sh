#!/usr/bin/env bash
# Runs the Windows build under wine, where wine is installed (it is not part of CI): cross-builds
# corvane-cli.exe and the Qt-free unit tests for 32-bit Windows into build/mingw-wine, runs the
# tests with ctest under wine, and runs corvane-cli.exe detect on the bundled sample.
# GoogleTest is built for the target from Debian's sources (package googletest, /usr/src/googletest).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$top/build/mingw-wine
prefix=$tree/prefix
toolchain=$top/cmake/mingw-w64-i686.cmake

if ! command -v wine >/dev/null; then
  echo "wine is not installed: nothing run (apt-get install wine wine32:i386 after dpkg --add-architecture i386)" >&2
  exit 1
fi
if ! command -v i686-w64-mingw32-g++-posix >/dev/null; then
  echo "the MinGW-w64 compiler is not installed: run scripts/setup.sh" >&2
  exit 1
fi
export WINEDEBUG=${WINEDEBUG:--all}

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
  -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_GUI=OFF -DCORVANE_BUILD_BENCHMARKS=OFF "$tests_option" \
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
