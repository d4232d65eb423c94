#!/usr/bin/env bash
# Installs what is needed, cross-builds corvane-cli.exe for 32-bit Windows, then builds the
# release and the sanitizer trees and runs every test in both (the release tree's tests include
# building and checking the Debian package).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
echo "== Windows command-line build"
"$top/scripts/build-windows-cli.sh"
export QT_QPA_PLATFORM=offscreen
for kind in release asan; do
  echo "== $kind build"
  "$top/scripts/build.sh" "$kind"
  echo "== $kind tests"
  ctest --test-dir "$top/build/$kind" --output-on-failure -j2
done
