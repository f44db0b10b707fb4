#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs the tests.
# Tests and benchmarks are switched on here: the build folder may have been
# configured without them (tools/run.sh does), and CMake would keep that.
# Extra arguments go to CMake after ours, so they can switch either off.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
build=${BKM_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBKM_TESTS=ON -DBKM_BENCH=ON "$@"
cmake --build "$build"
# The window tests draw on a private X server (Xvfb with Mesa's software
# OpenGL); BKM_REAL_DISPLAY=1 uses the display in DISPLAY instead.
display=(env LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1280x1024x24")
[ "${BKM_REAL_DISPLAY:-0}" = 1 ] && display=()
"${display[@]}" ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)"
