#!/usr/bin/env bash
# Writes the synthetic game data into a folder, to see the program without
# the game's own data: the file "BKM" with made-up pictures, tunes and
# missions in the layout of the game's data, as the tests use it.
#   bash tools/synthetic_data.sh DIR
#   BKM_ORIGINAL_DIR=DIR bash tools/run.sh
# Only its writer is built, in the configuration the tests test and in a
# build folder of its own (build-synthetic), so that the settings of the
# program's build folder stay as tools/run.sh makes them.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: bash tools/synthetic_data.sh DIR" >&2
  exit 2
fi
mkdir -p "$1"
out=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
bash tools/deps.sh
build=build-synthetic
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBKM_TESTS=ON -DBKM_BENCH=OFF
cmake --build "$build" --target write_synthetic_bkm
"$build/tests/write_synthetic_bkm" "$out"
echo "synthetic game data written: $out/BKM"
