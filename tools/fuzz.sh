#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while
# (BKM_FUZZ_SECONDS, default 60). A crash or a sanitizer report fails the
# script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${BKM_FUZZ_SECONDS:-60}
build=${BKM_FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBKM_FUZZ=ON -DBKM_TESTS=OFF -DBKM_BENCH=OFF
cmake --build "$build"
shopt -s nullglob
failed=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  # libFuzzer adds to the corpus folder it is given: work on a copy.
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "== $name (${seconds}s)"
  status=0
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$work" >"$work.log" 2>&1 || status=$?
  grep -E "stat::number_of_executed_units|ERROR|SUMMARY|runtime error" "$work.log" || true
  if [ "$status" -ne 0 ] || grep -q -E "runtime error|SUMMARY: " "$work.log"; then
    echo "$name failed (exit $status)"
    tail -40 "$work.log"
    failed=1
  fi
  rm -rf "$work" "$work.log"
done
exit "$failed"
