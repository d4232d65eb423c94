#!/usr/bin/env bash
# Installs what is needed, builds, and lists the frames of FILE (the bundled sample when none is named).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" release
file=${1:-"$top/samples/sample.ac3"}
exec "$top/build/release/src/cli/corvane-cli" list "$file"
