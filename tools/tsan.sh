#!/usr/bin/env bash
# The threaded host tests built with ThreadSanitizer, as one program of
# their own (test_threads): the event ring, the emulation thread and its
# join, the graphics pack's tile lookups on a level builder's thread, the
# level-picture builders, the music loader's loading threads, and the fast
# input thread beside the main thread (on a private Xvfb display, as
# tools/test.sh runs the window tests).
# Extra arguments go to CMake after ours.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
build=${BKM_TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBKM_TSAN=ON -DBKM_BENCH=OFF "$@"
cmake --build "$build" --target test_threads
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
display=(env LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1280x1024x24")
[ "${BKM_REAL_DISPLAY:-0}" = 1 ] && display=()
"${display[@]}" "$build/tests/test_threads" \
  --gtest_filter='EventRing*:EmuThread*:pack_lookup_test.*Thread*:LevelCache*:MusicLoader*:PackPlayback*:fast_input_test*'
