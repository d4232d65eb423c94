#!/usr/bin/env bash
# Installs what is needed, builds the release tree and makes the Debian package in build/release;
# prints the package's path.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" release
cd "$top/build/release"
if ! log=$(cpack -G DEB 2>&1); then
  echo "$log" >&2
  exit 1
fi
sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log"
