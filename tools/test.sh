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
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)"
