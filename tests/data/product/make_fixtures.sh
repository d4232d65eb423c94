#!/usr/bin/env bash
# Rebuilds the PE fixtures of the product tests from fixture.c and the .rc files beside it.
# Needs Debian's gcc-mingw-w64-i686 and binutils-mingw-w64-i686; the build itself does not,
# the fixtures are committed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for name in versioned noversion; do
  i686-w64-mingw32-windres --input-format=rc --output-format=coff -o "$work/$name.res.o" "$name.rc"
  i686-w64-mingw32-gcc -Os -s -nostdlib -Wl,-e,_start -Wl,--no-insert-timestamp \
    -o "$name.exe" fixture.c "$work/$name.res.o"
done
