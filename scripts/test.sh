#!/usr/bin/env bash
# Installs what is needed, builds the release and the sanitizer trees and runs every test in both.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
for kind in release asan; do
  echo "== $kind build"
  "$top/scripts/build.sh" "$kind"
  echo "== $kind tests"
  ctest --test-dir "$top/build/$kind" --output-on-failure -j2
done
