#!/usr/bin/env bash
# Installs what is needed, builds, and opens FILE (the bundled sample when none is named) in the
# desktop program. Without a display it says so and prints the frame list with corvane-cli.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" release
file=${1:-"$top/samples/sample.ac3"}
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$top/build/release/src/app/corvane" "$file"
fi
echo "No display found: printing the frame list with corvane-cli instead." >&2
exec "$top/build/release/src/cli/corvane-cli" list "$file"
