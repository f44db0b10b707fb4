#!/usr/bin/env bash
# The real program, end to end: its tool mode, the missing-data screen and a
# short test run on the synthetic game data. Needs an X display with
# OpenGL (tools/test.sh runs the tests under Xvfb).
#   program_test.sh <brakmoor> <write_synthetic_bkm> <state_probe>
set -uo pipefail
program=$1 writer=$2 probe=$3
work=$(mktemp -d /tmp/bkm_program_XXXXXX)
source "$(dirname "$0")/program_runs.sh"
trap 'stop_runner; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/data" "$work/user" "$work/nodata"
"$writer" "$work/data" || { echo "could not write the synthetic data"; exit 1; }
export BKM_USER_DIR=$work/user LIBGL_ALWAYS_SOFTWARE=1

# The start-up state tool writes a state the machine reads back.
BKM_ORIGINAL_DIR=$work/data BKM_BOOT_OUT=$work/boot.bkms "$program" > "$work/boot.log" 2>&1
[ $? -eq 0 ] || fail "BKM_BOOT_OUT should exit with 0"
"$probe" "$work/boot.bkms" || fail "the start-up state does not read back"

# Without game data the tool mode fails before any window.
DISPLAY= BKM_ORIGINAL_DIR=$work/nodata BKM_BOOT_OUT=$work/none.bkms "$program" > "$work/nodata.log" 2>&1
[ $? -eq 1 ] || fail "BKM_BOOT_OUT without data should exit with 1"
[ ! -e "$work/none.bkms" ] || fail "no state may be written without data"

# The graphics dump tool plays the game without a window and writes the
# dump folder; without game data it fails at once.
DISPLAY= BKM_ORIGINAL_DIR=$work/data BKM_DUMP_OUT=$work/dump "$program" > "$work/dump.log" 2>&1
[ $? -eq 0 ] || fail "BKM_DUMP_OUT should exit with 0"
grep -q "graphics dump: ok in [0-9.]* s" "$work/dump.log" || fail "the dump's result was not logged"
[ -s "$work/dump/index.json" ] && [ -s "$work/dump/sprites/player.png" ] || fail "the dump folder was not written"
DISPLAY= BKM_ORIGINAL_DIR=$work/nodata BKM_DUMP_OUT=$work/nodump "$program" > "$work/nodump.log" 2>&1
[ $? -eq 1 ] || fail "BKM_DUMP_OUT without data should exit with 1"
[ ! -e "$work/nodump" ] || fail "no dump may be written without data"

# Without game data: the missing-data screen until SIGTERM (sent once it
# has been shot), then 1.
mkdir -p "$work/shots"
until_then '[ -e "$work/shots/s0000.png" ]' env BKM_ORIGINAL_DIR="$work/nodata" BKM_SHOTS="$work/shots" \
  timeout 240 "$program" > "$work/missing.log" 2>&1
[ $status -eq 1 ] || fail "the missing-data screen should end with 1 on SIGTERM"
[ -e "$work/shots/s0000.png" ] || fail "the missing-data screen was not shown"

# A short test run on the synthetic data: it ends with 0 and writes its
# shot; the options file is left alone. Its first run makes the graphics
# dump (a development run without missions, which writes nothing).
echo '{"version": 3, "stereo_pan": true}' > "$work/user/options.json"
BKM_ORIGINAL_DIR=$work/data BKM_TEST=1 BKM_SECONDS=8 BKM_SHOT=$work/shot.png BKM_FOPEN=1 \
  BKM_ASSETS_DIR=$work/assets BKM_DUMP_MISSIONS=0 on_display "$program" > "$work/run.log" 2>&1
status=$?
[ $status -eq 0 ] || fail "the test run ended with $status, want 0"
[ -s "$work/shot.png" ] || fail "BKM_SHOT was not written"
grep -q "Emulation ERROR" "$work/run.log" && fail "the test run reported an emulation error"
grep -q "Game data: " "$work/run.log" || fail "the game data was not reported"
grep -q "graphics dump: partial run (development)" "$work/run.log" &&
  grep -q "graphics dump: ready" "$work/run.log" || fail "the first run did not dump the graphics"
# The cold start opens the game data through GEMDOS (the BKM_FOPEN trace
# goes to error.log only).
grep -q "^Fopen .* (selected original data, vbl [0-9]*)$" "$work/user/error.log" ||
  fail "the cold start did not open the game data"
[ "$(cat "$work/user/options.json")" = '{"version": 3, "stereo_pan": true}' ] || fail "options.json was changed"

if [ $failures -ne 0 ]; then
  for f in "$work"/*.log; do echo "---- $f"; cat "$f"; done
  exit 1
fi
echo "program tests passed"
