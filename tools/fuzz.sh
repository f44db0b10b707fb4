#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them side by side, one
# core each, for a while (BKM_FUZZ_SECONDS, default 60; BKM_FUZZ_JOBS
# targets at a time, default the number of cores). A crash, a sanitizer
# report or an allocation beyond a target's memory limits fails the script.
# Extra arguments go to CMake after ours. Only the targets are built, not
# the program.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${BKM_FUZZ_SECONDS:-60}
jobs=${BKM_FUZZ_JOBS:-$(nproc)}
build=${BKM_FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBKM_FUZZ=ON -DBKM_TESTS=OFF -DBKM_BENCH=OFF "$@"
cmake --build "$build" --target fuzz_targets

# Everything a run leaves (corpus copies, logs, the targets' scratch files
# through TMPDIR) lives in one folder, in memory when /dev/shm exists, and
# goes when the script ends, however it ends.
scratch_root=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_root=/dev/shm
runs=$(mktemp -d "$scratch_root/bkm_fuzz.XXXXXX")
trap 'rm -rf "$runs"' EXIT
crashes="$build/fuzz-crashes"
mkdir -p "$crashes"

# The memory a target may take, in MB: one allocation (libFuzzer's
# -malloc_limit_mb) and the whole process (-rss_limit_mb), near what the
# largest real input of its readers needs, so that an input making a reader
# allocate without bound fails the target. The whole includes what the
# sanitizers keep for themselves (some 200 to 400 MB over a run).
memory_limits() {
  case "$1" in
    fuzz_amiga_disk) echo "65 512" ;;      # an archive member of up to 64 MB
    fuzz_music_decode) echo "80 640" ;;    # a song's output, 17,280,000 frames at most (66 MB), and one chunk, at any rate
    fuzz_png_reader) echo "24 512" ;;      # the largest picture the target takes, 2048 x 2048: 16 MB
    fuzz_gfxpack_index) echo "32 512" ;;   # sheets of a 320 x 200 screen at scale 2; a pack budget of 32 MB
    fuzz_state_file) echo "32 512" ;;      # a state file of 4.2 MB, the machine's 4 MB memory
    *) echo "16 512" ;;
  esac
}

# One target: its result is the file "<name>.status" beside its log.
run_target() {
  local target=$1 name corpus work status=0 malloc_mb rss_mb
  name=$(basename "$target")
  read -r malloc_mb rss_mb <<<"$(memory_limits "$name")"
  corpus="fuzz/corpus/${name#fuzz_}"
  work="$runs/$name"
  mkdir -p "$work/corpus" "$work/tmp"
  # libFuzzer adds to the corpus folder it is given: work on a copy.
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work/corpus"/
  # A failing input is kept in the build folder, outside the scratch.
  TMPDIR="$work/tmp" "$target" -max_total_time="$seconds" -malloc_limit_mb="$malloc_mb" -rss_limit_mb="$rss_mb" \
    -print_final_stats=1 \
    -artifact_prefix="$crashes/$name-" "$work/corpus" >"$work/log" 2>&1 || status=$?
  echo "$status" >"$work/status"
}

shopt -s nullglob
targets=()
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] && targets+=("$target")
done
echo "== ${#targets[@]} fuzz targets, ${seconds}s each, $jobs at a time"
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run_target "$target" &
  running=$((running + 1))
done
wait

failed=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  work="$runs/$name"
  status=$(cat "$work/status" 2>/dev/null || echo "no result")
  echo "== $name"
  grep -E "stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|ERROR|SUMMARY|runtime error" \
    "$work/log" || true
  if [ "$status" != 0 ] || grep -q -E "runtime error|SUMMARY: " "$work/log"; then
    echo "$name failed (exit $status); the input that failed is in $crashes"
    tail -40 "$work/log"
    failed=1
  fi
done
exit "$failed"
