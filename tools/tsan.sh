#!/usr/bin/env bash
# The threaded host tests built with ThreadSanitizer: the event ring, the
# emulation thread and its join, the graphics pack's tile lookups on a
# level builder's thread, the level-picture builders, the music loader's
# loading threads, and the fast input thread beside the main thread (on a
# private Xvfb display, as tools/test.sh runs the window tests).
# Extra arguments go to CMake after ours.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
build=${BKM_TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBKM_TSAN=ON -DBKM_BENCH=OFF "$@"
cmake --build "$build" --target test_host test_window test_graphics test_sound
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
"$build/tests/test_host" --gtest_filter='EventRing*:EmuThread*'
"$build/tests/test_graphics" --gtest_filter='pack_lookup_test.*Thread*:LevelCache*'
"$build/tests/test_sound" --gtest_filter='MusicLoader*:PackPlayback*'
display=(env LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1280x1024x24")
[ "${BKM_REAL_DISPLAY:-0}" = 1 ] && display=()
"${display[@]}" "$build/tests/test_window" --gtest_filter='fast_input_test*'
