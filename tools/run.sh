#!/usr/bin/env bash
# Installs the dependencies, builds the program and runs it. The game data
# ("BKM" or a ".st" image) goes into the folder "original" beside the
# program, or wherever BKM_ORIGINAL_DIR points.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
# The configuration tools/test.sh and CI test (-O2), so the program run is
# the program tested: GCC 12 at -O3 has miscompiled code of ours.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBKM_TESTS=OFF -DBKM_BENCH=OFF
cmake --build build
exec build/source/brakmoor "$@"
