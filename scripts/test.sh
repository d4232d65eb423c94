#!/usr/bin/env bash
# Installs what is needed, cross-builds and checks the Windows programs (32- and 64-bit), replays
# the fuzz targets' corpora and fuzzes each briefly, then builds the release and the sanitizer
# trees and runs every test in both (the release tree's tests include building and checking the
# Debian package), and finally runs the 64-bit Windows build under wine: its unit tests and the
# window as a person uses it.
set -euo pipefail
# Seconds of fuzzing per target; the whole fuzz step (build included) stays within a few minutes.
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-10}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
echo "== Windows programs"
"$top/scripts/build-windows.sh" all
echo "== fuzz targets: every committed input, then $fuzz_seconds s of fuzzing each"
"$top/scripts/fuzz.sh" "$fuzz_seconds"
echo "== packaging files with Unix Makefiles (CMake's default generator)"
# Every target builds with Make as with Ninja; this tree builds what only a generator's own
# rules make (the icons, the manual page) and the command-line program they need.
cmake -S "$top" -B "$top/build/make" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_TESTS=OFF \
  -DCORVANE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$top/build/make" --target corvane_package_files -- -j2 >/dev/null
export QT_QPA_PLATFORM=offscreen
for kind in release asan; do
  echo "== $kind build"
  "$top/scripts/build.sh" "$kind"
  echo "== $kind tests"
  ctest --test-dir "$top/build/$kind" --output-on-failure -j2
done
# The Windows unit tests under wine take a quarter of an hour to build and run; the test command
# compares the Windows corvane-cli's output with the transcript (scripts/wine-test.sh runs them all).
echo "== Windows corvane-cli under wine"
"$top/scripts/wine-test.sh" cli
echo "== Windows window under wine"
"$top/scripts/wine-gui-test.sh"
# The window as a user starts it, under a real X server and window manager: where its frame
# comes back (6 to 15 s on two cores).
if command -v xvfb-run >/dev/null; then
  echo "== the window under Xvfb and openbox: placement"
  "$top/tests/app/window-placement.sh" "$top/build/release/src/app/corvane"
fi
