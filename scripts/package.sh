#!/usr/bin/env bash
# Installs what is needed, builds the release tree and makes the Debian package in build/release,
# then the Windows zip beside it (the 32-bit corvane.exe and corvane-cli.exe with the README as
# text); prints both paths.
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

"$top/scripts/build-windows.sh" i686 >/dev/null
version=$(sed -n 's/^project(Corvane VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
folder=$staging/corvane-$version
mkdir -p "$folder"
cp "$top/build/mingw/src/win32/corvane.exe" "$top/build/mingw/src/cli/corvane-cli.exe" "$folder/"
# The README as a Windows text file.
sed 's/$/\r/' "$top/README.md" >"$folder/README.txt"
zip=$top/build/release/corvane-$version-windows-x86.zip
rm -f "$zip"
(cd "$staging" && cmake -E tar cf "$zip" --format=zip "corvane-$version")
echo "$zip"
