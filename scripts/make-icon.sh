#!/usr/bin/env bash
# Draws the Windows program's icon, src/win32/corvane.ico (16 to 256 pixels), from the same
# picture as the Linux icon, packaging/corvane.svg. Run it after changing the picture; the icon
# is committed, so that building needs neither tool.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures=()
for size in 16 24 32 48 256; do
  rsvg-convert --width "$size" --height "$size" --output "$work/$size.png" "$top/packaging/corvane.svg"
  pictures+=("$work/$size.png")
done
convert "${pictures[@]}" "$top/src/win32/corvane.ico"
echo "$top/src/win32/corvane.ico"
