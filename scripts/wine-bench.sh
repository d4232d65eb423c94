#!/usr/bin/env bash
# Times the Windows window's navigation steps on the 2 GiB stream under wine64 on a virtual X
# screen: builds the 64-bit benchmark and runs it in a wine prefix of its own, so that no stored
# window size changes the layout being timed (the window opens at its design size).
# The virtual screen is given an X resource database, as every desktop session has one (the
# session's xrdb): without any, Xlib reads ~/.Xdefaults afresh each time wine selects a font.
# --width PX opens the window PX pixels wide instead (below about 1000 px the tree shows a
# horizontal scroll bar, which wine's tree view paints again each time it paints a row).
# Usage: scripts/wine-bench.sh [--width PX] [REPETITIONS [PART-OF-A-STEP-NAME]]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
width=
if [ "${1:-}" = --width ]; then
  width=${2:?--width needs a number of pixels}
  shift 2
fi

for tool in wine xvfb-run; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: run scripts/setup.sh" >&2
    exit 1
  fi
done
tree=$top/build/mingw64-bench
cmake -S "$top" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCHMARKS=ON >/dev/null
if ! built=$(cmake --build "$tree" --target corvane_win32_bench 2>&1); then
  echo "$built" >&2
  exit 1
fi

export WINEDEBUG=-all
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
resources=$(mktemp)
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$resources"
}
trap cleanup EXIT
printf '! The resource database of a desktop session; what it holds does not matter here.\nCorvane.benchmark: on\n' >"$resources"
wineboot -i >/dev/null 2>&1
if [ -n "$width" ]; then
  wine reg add 'HKCU\Software\Halvern\Corvane' /v FormWidth /t REG_DWORD /d "$width" /f >/dev/null 2>&1
fi
wineserver -w
XENVIRONMENT=$resources xvfb-run -a -s "-screen 0 1600x1000x24" \
  wine "$tree/bench/win32/corvane_win32_bench.exe" "$@" 2> >(grep -v "^X connection to .* broken" >&2)
