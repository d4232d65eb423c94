#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz, with clang, AddressSanitizer and UBSan) in build/fuzz and
# runs them one after another, so that one core does the work:
#   scripts/fuzz.sh [SECONDS [TARGET...]]
# replays each target's committed corpus, then fuzzes it for SECONDS (default 60; 0 only
# replays). TARGETs (fuzz_detect, ...) pick some of the targets; all of them by default.
# New inputs go to build/fuzz/corpus/<target>, findings to build/fuzz/findings. Prints one line
# of figures per target and exits non-zero when any target found a fault.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
case "$seconds" in ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS [TARGET...]]" >&2; exit 2 ;; esac
shift $(($# > 0 ? 1 : 0))
if ! command -v clang++-14 >/dev/null; then
  echo "clang++-14 is not installed: run scripts/setup.sh (clang-14 and libclang-rt-14-dev)" >&2
  exit 2
fi

build=$top/build/fuzz
CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_FUZZ=ON -DCORVANE_WERROR=ON -DCORVANE_BUILD_GUI=OFF -DCORVANE_BUILD_TESTS=OFF \
  -DCORVANE_BUILD_BENCHMARKS=OFF -DCORVANE_BUILD_PACKAGE=OFF >/dev/null
cmake --build "$build"

targets=(fuzz_ac3_frame fuzz_eac3_frame fuzz_detect fuzz_frame_window fuzz_stream_check fuzz_version_info
         fuzz_update_list fuzz_hex)
[ $# -gt 0 ] && targets=("$@")
export ASAN_OPTIONS=allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1
failed=()
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
  seeds=$top/tests/fuzz/corpus/$target
  work=$build/corpus/$target
  log=$build/$target.log
  mkdir -p "$work"
  runner=("$build/tests/fuzz/$target" -artifact_prefix="$build/findings/$target-" -timeout=30 -rss_limit_mb=4096
          -print_final_stats=1)
  # A session's cost grows with the square of the syncwords in its file; a few frames are enough
  # (its steps add the long gaps).
  [ "$target" = fuzz_frame_window ] && runner+=(-max_len=6144)
  found_before=$(find "$build/findings" -name "$target-*" | wc -l)
  # Every committed input first, each once: an input that ever found a fault must pass.
  if ! "${runner[@]}" -runs=0 "$seeds" >"$log" 2>&1; then
    echo "$target: a committed input fails (see $log)"
    failed+=("$target")
    continue
  fi
  if [ "$seconds" -gt 0 ] && ! "${runner[@]}" -max_total_time="$seconds" "$work" "$seeds" >"$log" 2>&1; then
    failed+=("$target")
  fi
  # The figures of the run: executions, their rate, coverage (edges and features) and corpus size.
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corpus=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
  findings=$(($(find "$build/findings" -name "$target-*" | wc -l) - found_before))
  printf '%-18s %12s runs %8s/s  cov %6s  ft %6s  corpus %5s  findings %s\n' \
    "$target" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$findings"
done
echo "fuzz: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  echo "Faults found by: ${failed[*]} (inputs in $build/findings, logs in $build/<target>.log)" >&2
  exit 1
fi
