#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [release|asan]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kind=${1:-release}
case "$kind" in
  release) opts=(-DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON) ;;
  asan)    opts=(-DCMAKE_BUILD_TYPE=Debug -DCORVANE_WERROR=ON -DCORVANE_SANITIZE=ON -DCORVANE_BUILD_BENCHMARKS=OFF -DCORVANE_BUILD_PACKAGE=OFF) ;;
  *) echo "usage: scripts/build.sh [release|asan]" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$top/build/$kind" -G Ninja "${opts[@]}" >/dev/null
cmake --build "$top/build/$kind"
