#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while
# (BKM_FUZZ_SECONDS, default 60). A crash fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${BKM_FUZZ_SECONDS:-60}
build=${BKM_FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBKM_FUZZ=ON -DBKM_TESTS=OFF -DBKM_BENCH=OFF
cmake --build "$build"
shopt -s nullglob
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "== $name (${seconds}s)"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$work" 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" || true
  status=${PIPESTATUS[0]}
  rm -rf "$work"
  [ "$status" -eq 0 ] || { echo "$name failed"; exit 1; }
done
