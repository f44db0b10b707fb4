#!/usr/bin/env bash
# The threaded host tests (the event ring, the emulation thread and its
# join) built with ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
build=${BKM_TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBKM_TSAN=ON -DBKM_BENCH=OFF
cmake --build "$build" --target test_host
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  "$build/tests/test_host" --gtest_filter='EventRing*:EmuThread*'
