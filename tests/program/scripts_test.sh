#!/usr/bin/env bash
# Scripted runs of the real program under BKM_TEST, one script per call:
#   scripts_test.sh <script> <brakmoor> <write_synthetic_bkm> <shot_count> <state_probe>
# A script passes only on evidence from outside the process: the exit
# status, error.log, the files it leaves, and screenshots whose colours are
# the ones the program must draw (counted by shot_count), never pictures
# saved from an earlier run. Needs an X display with OpenGL, as the window
# tests do.
set -uo pipefail
script=$1 program=$2 writer=$3 count=$4 probe=$5
work=$(mktemp -d /tmp/bkm_script_XXXXXX)
source "$(dirname "$0")/program_runs.sh"
failures=0
fail() { echo "FAIL ($script): $*"; failures=$((failures + 1)); }
log=$work/user/error.log

# However the script ends (a failed check, or the shell stopped by a
# mistake of its own), a failure shows what the program said.
finish() {
  local status=$?
  stop_runner
  if [ "$status" -ne 0 ]; then
    echo "---- output"; cat "$work/out.txt" 2> /dev/null
    echo "---- error.log"; cat "$log" 2> /dev/null
  fi
  rm -rf "$work"
}
trap finish EXIT

mkdir -p "$work/data" "$work/user" "$work/nodata" "$work/shots"
"$writer" "$work/data" > /dev/null || { echo "could not write the synthetic data"; exit 1; }
export BKM_USER_DIR=$work/user LIBGL_ALWAYS_SOFTWARE=1 BKM_NODUMP=1

# The scripts wait for what the game reaches (a screen, a log line, a file),
# never for the clock, so a loaded machine only makes them slower. The one
# limit is the script's whole time (BKM_SCRIPT_SECONDS, which ctest sets a
# little under its own timeout for the script): a run that never gets there
# ends when the time left runs out (BKM_SECONDS, unless the run gives its
# own), or is killed 5 s later, and the script still reports what the
# program said.
script_deadline=$((SECONDS + ${BKM_SCRIPT_SECONDS:-240}))
run_limit() {
  local left=$((script_deadline - SECONDS - 5))
  echo $((left < 5 ? 5 : left))
}

# Runs the program with the given environment until it ends by itself; the
# status is left in $status.
run() { run_until false "$@"; }

# The same, but the program is asked to quit as soon as the condition holds.
run_until() {
  local condition=$1 limit
  shift
  limit=$(run_limit)
  until_then "$condition" env BKM_SECONDS="$limit" "$@" timeout $((limit + 5)) "$program" > "$work/out.txt" 2>&1
}

# The newest of the shots taken every half second into a folder.
last_shot() { ls "$1"/s*.png 2> /dev/null | sort | tail -n 1; }

# Pixels of a shot within tolerance of a colour.
pixels() { "$count" "$1" "$2" "${3:-2}"; }

# At least min pixels of the colour in the shot.
expect_colour() {
  local shot=$1 what=$2 colour=$3 min=$4 tolerance=${5:-2}
  local n
  n=$(pixels "$shot" "$colour" "$tolerance") || { fail "cannot read $shot"; return; }
  [ "$n" -ge "$min" ] || fail "$(basename "$shot"): $what ($colour) on $n pixels, want at least $min"
}
# A colour that is not drawn: only the odd anti-aliased text pixel may
# come near it.
expect_no_colour() {
  local shot=$1 what=$2 colour=$3
  local n
  n=$(pixels "$shot" "$colour" 1) || { fail "cannot read $shot"; return; }
  [ "$n" -le 40 ] || fail "$(basename "$shot"): $what ($colour) on $n pixels, want none"
}

# The panel colour 0x0A0C18 at alpha 238 over a black frame.
panel=$(printf '%02X%02X%02X' $(( (0x0A * 238 + 127) / 255 )) $(( (0x0C * 238 + 127) / 255 )) $(( (0x18 * 238 + 127) / 255 )))
gold_title=FFD75A

# Through the title to the world map: fire pressed for half a second every
# two seconds (the title takes fire only after a while, and only as a
# press) until the player-count screen shows, then the "1" key there
# (twice, should the first come while the screen still settles).
title_fire=""
for second in $(seq 1 2 119); do title_fire+="$second:128,$second.5:0,"; done
title_fire+="players+0:0"
prompt_keys="players+0.3:2,players+1:2"
# A failure injected in the mission some 150 VBLs after it begins: the
# autopilot's walk over the map and through the shop counts VBLs, and it
# reaches the mission at about VBL 700 however long that takes.
mission_corrupt_vbl=850
script_finished() { grep -qx "autopilot: script finished" "$log"; }

case $script in
no_data)
  # The missing-data screen until SIGTERM (once it has been shot five
  # times, half a second apart), then 1 (windowed, as in every test run).
  # SDL is held to its X11 driver: the start-up reads the refresh rate and
  # opens the video twice, and an X11 driver started afresh each time could
  # miss the display, upon which SDL fell back to drawing off-screen, into
  # a window nobody saw.
  run_until 'files_at_least 5 "$work/shots/s*.png"' SDL_VIDEODRIVER=x11 BKM_TEST=1 BKM_ORIGINAL_DIR="$work/nodata" \
    BKM_SHOTS="$work/shots"
  [ $status -eq 1 ] || fail "status $status, want 1"
  # The last shot: on a loaded machine the first may come before the
  # window has settled at its size.
  shot=$(last_shot "$work/shots")
  if [ -s "$shot" ]; then
    expect_colour "$shot" "panel" "$panel" 50000
    expect_colour "$shot" "red title" FF7A66 30
    expect_colour "$shot" "game-data folder in gold" $gold_title 30
  else
    fail "no shot of the missing-data screen"
  fi
  # Fullscreen asked for in options.json: under a bare X server nobody
  # carries the request out, and the screen must still show whole (the
  # red title is at its top).
  mkdir -p "$work/full"
  echo '{"version": 3, "fullscreen": true}' > "$work/user/options.json"
  run_until 'files_at_least 5 "$work/full/s*.png"' SDL_VIDEODRIVER=x11 BKM_TEST=1 BKM_ORIGINAL_DIR="$work/nodata" \
    BKM_SHOTS="$work/full"
  [ "$status" = 1 ] || fail "fullscreen: status $status, want 1"
  shot=$(last_shot "$work/full")
  if [ -s "$shot" ]; then
    expect_colour "$shot" "panel" "$panel" 50000
    expect_colour "$shot" "red title" FF7A66 30
  else
    fail "no shot in fullscreen"
  fi
  ;;
splash)
  # The loading screen asked for in a test run: its rows over the panel.
  run BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_SECONDS=1 BKM_SPLASH=1 BKM_SHOTS="$work/shots" \
    BKM_SHOT_EVERY=100
  shot=$work/shots/s0000.png
  if [ -s "$shot" ]; then
    expect_colour "$shot" "panel" "$panel" 50000
    expect_colour "$shot" "gold title" $gold_title 30
    expect_colour "$shot" "row labels" DCC878 100
    expect_colour "$shot" "row values" FFFFFF 100
  else
    fail "the loading screen was not shown"
  fi
  grep -q "^Game data: original/BKM" "$log" || fail "the game data's description was not logged"
  ;;
menu_tour)
  # The menu opened at once, so the game stays paused before its first VBL:
  # every tab, a preset change, the controls menu and back, the tab bar.
  # The steps are played in their order, and each "shot" writes the frame
  # drawn after the steps before it (m00.png, m01.png, ...): one shot per
  # state the menu reaches, however slowly the frames come. The run ends
  # once the script is done.
  echo '{"version": 3, "stereo_pan": true}' > "$work/user/options.json"
  mseq="0:open,0:shot"                                              # m00: the game tab
  mseq+=",0:tabnext,0:down,0:down,0:down,0:down,0:right,0:shot"     # m01: video, the shader preset
  mseq+=",0:tabnext,0:shot"                                         # m02: motion
  mseq+=",0:tabnext,0:shot"                                         # m03: controls, the gamepad picture
  mseq+=",0:down,0:down,0:enter,0:shot"                             # m04: the controls menu
  mseq+=",0:up,0:enter,0:up,0:up,0:up,0:shot"                       # m05: back; the tab bar
  mseq+=",0:tabnext,0:shot"                                         # m06: system, still on the tab bar
  run_until 'grep -qx "menu script: finished" "$log"' BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 \
    BKM_SHOTS="$work/shots" BKM_MSEQ="$mseq"
  [ "$status" = 0 ] || fail "status $status, want 0 (the menu held the game paused)"
  # Every step was played once, in its order, each shot after its steps.
  want=() n=0
  IFS=, read -ra steps <<< "$mseq"
  for step in "${steps[@]}"; do
    command=${step#*:}
    if [ "$command" = shot ]; then
      want+=("shot $(printf 'm%02d.png' $n)")
      n=$((n + 1))
    else
      want+=("$command")
    fi
  done
  want+=(finished)
  mapfile -t played < <(sed -n 's/^menu script: //p' "$log")
  [ "${played[*]}" = "${want[*]}" ] || fail "the menu script played: ${played[*]}; want: ${want[*]}"
  grep -q "Emulation ERROR" "$log" && fail "the paused game reported an error"
  # What each state shows: the current tab's chip while the cursor is in
  # a tab (m00 to m03), no tabs in the controls menu (m04), the focused
  # tab chip on the tab bar (m05, m06).
  chip=373E76 focused_chip=5A69BE
  for i in 0 1 2 3 4 5 6; do
    shot=$work/shots/m0$i.png
    [ -s "$shot" ] || { fail "no shot m0$i.png"; continue; }
    expect_colour "$shot" "panel" "$panel" 50000
    expect_colour "$shot" "gold title" $gold_title 30
    case $i in
    [0-3])
      expect_colour "$shot" "current tab's chip" $chip 300 1
      expect_no_colour "$shot" "focused chip" $focused_chip
      ;;
    4)
      expect_no_colour "$shot" "tab chip" $chip
      expect_no_colour "$shot" "focused chip" $focused_chip
      ;;
    *) expect_colour "$shot" "focused tab chip" $focused_chip 300 1 ;;
    esac
  done
  [ "$(cat "$work/user/options.json")" = '{"version": 3, "stereo_pan": true}' ] || fail "options.json was changed"
  # BKM_SHOT is written only without BKM_SHOTS, at the end of a run that
  # BKM_SECONDS ends: a second, short run.
  run BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_SECONDS=1 BKM_SHOT="$work/last.png" BKM_MSEQ="0:open"
  [ "$status" = 0 ] || fail "the BKM_SHOT run ended with $status"
  if [ -s "$work/last.png" ]; then
    expect_colour "$work/last.png" "panel in the last shot" "$panel" 50000
  else
    fail "BKM_SHOT was not written"
  fi
  ;;
corrupt_first_vbl)
  # An injected failure at the first VBL (13 in the start-up state), where
  # no snapshot exists: the error once, with that VBL, and status 1.
  run BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_CORRUPT=13
  [ "$status" = 1 ] || fail "status $status, want 1"
  n=$(grep -c "^Emulation ERROR: Emulation error near [0-9A-F]\{6\} (vbl 13)$" "$log")
  [ "$n" = 1 ] || fail "the emulation error for vbl 13 was logged $n times"
  ls "$work/user/saves"/crash* > /dev/null 2>&1 && fail "a crash report without a snapshot"
  ;;
map_slots)
  # Through the title to the world map; there, through the menu: a save to
  # slot 1, the pointer moved, a save to slot 2, a load of slot 1 and a save
  # to slot 3; the run ends once slot 3 reads back. The map starts with its
  # pointer at (160, 125), in no mission's box. The menu's commands reach
  # the emulation in the order they were given, so they need no more than
  # a frame between them. The emulation takes the joystick's changes by the
  # batch, though, when it falls behind the frames on a loaded machine:
  # the pointer is held right for six seconds, so that its steps run some
  # VBLs between the press and the release however late it is.
  joy="$title_fire,map+2:8,map+8:0"
  mseq="map+1:open,map+1.1:down,map+1.2:down,map+1.3:enter,map+1.4:close"          # save slot 1
  mseq+=",map+8.5:open,map+8.6:up,map+8.7:right,map+8.8:down,map+8.9:enter"        # save slot 2
  mseq+=",map+9:up,map+9.1:left,map+9.2:down,map+9.3:down,map+9.4:enter"           # load slot 1 (closes)
  mseq+=",map+10:open,map+10.1:up,map+10.2:up,map+10.3:right,map+10.4:right,map+10.5:down,map+10.6:enter"  # save slot 3
  echo '{"version": 3, "stereo_pan": true}' > "$work/user/options.json"
  slot3=$work/user/saves/slot3.bkms
  run_until '[ -s "$slot3" ] && "$probe" "$slot3" 1FE > /dev/null 2>&1' \
    BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_JOYSEQ="$joy" BKM_KEYS="$prompt_keys" BKM_MSEQ="$mseq"
  [ "$status" = 0 ] || fail "status $status, want 0"
  # Each slot reads back as a machine state on the map (split_map $FF at
  # $1FE), with the pointer where it was: at its start for slots 1 and 3,
  # moved right along its line for slot 2.
  declare -A where
  for n in 1 2 3; do
    slot=$work/user/saves/slot$n.bkms
    if ! words=$("$probe" "$slot" 1EC 1EE 1FE); then
      fail "slot$n.bkms was not written or does not read back"
      continue
    fi
    read -r x y split <<< "$(echo $words)"
    [ "${split:0:2}" = FF ] || fail "slot $n was not saved on the map (split_map $split)"
    where[$n]="$((16#$x)),$((16#$y))"
  done
  [ "${where[1]:-}" = "160,125" ] || fail "slot 1 holds the pointer at ${where[1]:-?}, want 160,125"
  x2=${where[2]:-}
  x2=${x2%,*}
  { [ -n "${where[2]:-}" ] && [ "${x2:-0}" -gt 160 ] && [ "${where[2]#*,}" = 125 ]; } ||
    fail "slot 2 holds the pointer at ${where[2]:-?}, want it moved right of 160 on line 125"
  [ "${where[3]:-}" = "160,125" ] || fail "slot 3 holds the pointer at ${where[3]:-?}: the load did not bring slot 1 back"
  grep -q "Emulation ERROR" "$log" && fail "the game reported an error"
  [ "$(cat "$work/user/options.json")" = '{"version": 3, "stereo_pan": true}' ] || fail "options.json was changed"
  ;;
corrupt_map)
  # An injected failure on the world map, where no mission has run, so
  # there is no snapshot to go back to: the error once, with its VBL,
  # status 1 and no crash report. The map is reached as in map_slots and
  # saved to slot 1 through the menu; that run ends once the save reads
  # back. The second run starts from the saved state, without input (so
  # nothing leaves the map), and the failure comes 50 VBLs into it: each
  # run waits for a state, not for a time on the clock.
  slot1=$work/user/saves/slot1.bkms
  run_until '[ -s "$slot1" ] && "$probe" "$slot1" 1FE > /dev/null 2>&1' \
    BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_JOYSEQ="$title_fire" BKM_KEYS="$prompt_keys" \
    BKM_MSEQ="map+1:open,map+1.1:down,map+1.2:down,map+1.3:enter,map+1.4:close"
  [ "$status" = 0 ] || fail "the run to the map ended with $status, want 0"
  grep -q "Emulation ERROR" "$log" && fail "the run to the map reported an error"
  read -r split saved_vbl <<< "$("$probe" "$slot1" 1FE vbl | tr '\n' ' ')"
  [ "${split:0:2}" = FF ] || fail "slot 1 was not saved on the map (split_map ${split:-?})"
  if [ -n "${saved_vbl:-}" ]; then
    corrupt=$((saved_vbl + 50))
    : > "$log"
    run BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_NOINPUT=1 BKM_STATE="$slot1" BKM_CORRUPT=$corrupt
    [ "$status" = 1 ] || fail "status $status, want 1"
    n=$(grep -c "^Emulation ERROR: Emulation error near [0-9A-F]\{6\} (vbl $corrupt)$" "$log")
    [ "$n" = 1 ] || fail "the emulation error for vbl $corrupt was logged $n times"
    grep -q "^recovery: " "$log" && fail "a recovery without a snapshot"
    ls "$work/user/saves"/crash* > /dev/null 2>&1 && fail "a crash report without a snapshot"
  else
    fail "slot 1 does not read back"
  fi
  ;;
effect_boom)
  # A sound effect 40 VBLs and an explosion 60 VBLs after the first step
  # (VBL 13 in the start-up state), each once, logged to the file only, and
  # the game goes on; the run ends once the explosion is logged.
  run_until 'grep -q "^explosion created" "$log"' BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 \
    BKM_EFFECT=40 BKM_EFFECT_N=2 BKM_BOOM=60:100:80:0
  [ "$status" = 0 ] || fail "status $status, want 0"
  for line in "effect started at vbl 53" "explosion created at vbl 73"; do
    n=$(grep -cx "$line" "$log")
    [ "$n" = 1 ] || fail "\"$line\" logged $n times, want once"
    grep -q "$line" "$work/out.txt" && fail "\"$line\" went to the console too"
  done
  grep -q "Emulation ERROR" "$log" && fail "the game reported an error"
  ;;
automission)
  # The autopilot from the title: fire pulses through the title, the "1"
  # key at the player-count prompt, the world map walked to mission 6's
  # box (the nearest to where the pointer starts), a weapon bought in the
  # shop (a new game owns none, and the shop lets no one leave without),
  # the exit, then the mission's frames with the whole movement script;
  # the run ends when the autopilot says the script is done. With
  # BKM_ATLAS the program prints the atlas of the mission's pictures as it
  # ends.
  run_until script_finished BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_AUTOMISSION=6 BKM_KEYS="$prompt_keys" \
    BKM_ATLAS=1
  [ "$status" = 0 ] || fail "status $status, want 0"
  n=$(grep -Ec '^ATLAS [^ :]+:[0-9]+:[0-9]+ [0-9]+ [0-9]+ -?[0-9]+ -?[0-9]+ [0-9a-f]{16}$' "$work/out.txt")
  [ "$n" -gt 0 ] || fail "no atlas report with BKM_ATLAS"
  [ "$(grep -c '^ATLAS ' "$work/out.txt")" = "$n" ] || fail "atlas lines not in their format"
  started=$(sed -n 's/^autopilot: mission started at vbl \([0-9]\+\)$/\1/p' "$log")
  [ "$(echo "$started" | grep -c .)" = 1 ] || fail "the mission start was logged ${started:-no} times, want once"
  n=$(grep -cx "autopilot: script finished" "$log")
  [ "$n" = 1 ] || fail "\"autopilot: script finished\" logged $n times, want once"
  grep -q "Emulation ERROR" "$log" && fail "the game reported an error"
  grep -q "^recovery: " "$log" && fail "a recovery in an undisturbed run"
  ls "$work/user/saves"/crash* > /dev/null 2>&1 && fail "a crash report in an undisturbed run"
  ;;
corrupt_mission)
  # The autopilot into mission 6 as above, and a failure injected well
  # inside it: the crash snapshots taken during the mission's frames let
  # the game go back to the oldest of them, with a report of three files,
  # and the game plays on to the end of the autopilot's script, where the
  # run ends normally.
  run_until script_finished BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_AUTOMISSION=6 \
    BKM_KEYS="$prompt_keys" BKM_CORRUPT="$mission_corrupt_vbl"
  [ "$status" = 0 ] || fail "status $status, want 0"
  started=$(sed -n 's/^autopilot: mission started at vbl \([0-9]\+\)$/\1/p' "$log" | head -1)
  { [ -n "$started" ] && [ "$started" -lt "$mission_corrupt_vbl" ]; } ||
    fail "the mission started at vbl ${started:-never}, not before the failure at $mission_corrupt_vbl"
  n=$(grep -cx "recovery: the game was corrupted at VBL $mission_corrupt_vbl; going back to an earlier snapshot" "$log")
  [ "$n" = 1 ] || fail "the recovery from vbl $mission_corrupt_vbl was logged $n times, want once"
  saves=$work/user/saves
  n=$(grep -cxF "corruption report saved in $saves/crash1_*  (previous snapshot, inputs and corrupted state)" "$log")
  [ "$n" = 1 ] || fail "the corruption report was logged $n times, want once"
  for f in crash1_start.bkms crash1_inputs.txt crash1_end.bkms; do
    [ -s "$saves/$f" ] || fail "no $f"
  done
  ls "$saves"/crash2_* > /dev/null 2>&1 && fail "a second crash report"
  # Both states read back, taken in the mission: split_map ($1FE) is off.
  for f in crash1_start crash1_end; do
    split=$("$probe" "$saves/$f.bkms" 1FE) || { fail "$f.bkms does not read back"; continue; }
    [ "${split:0:2}" = 00 ] || fail "$f.bkms was not taken in the mission (split_map $split)"
  done
  grep -q "Emulation ERROR" "$log" && fail "the recovered game reported an error"
  grep -q '^ATLAS ' "$work/out.txt" && fail "an atlas report without BKM_ATLAS"
  ;;
display_lost)
  # The X server goes away under the program, on the missing-data screen
  # and in a running game: it ends within 10 s, with a status that is not 0
  # and the reason in error.log, instead of waiting on the dead connection
  # for ever. Each run has an X server of its own, which the test kills.
  # Outside tests ("play": no BKM_TEST) the options are saved first, so
  # that what changed since the menu last closed (the lead keys, F11)
  # is kept: options.json, which held one key, is written whole.
  command -v Xvfb > /dev/null || fail "Xvfb is needed for this test"
  echo '{"version": 3, "stereo_pan": true}' > "$work/user/options.json"
  for where in nodata data play; do
    n=$((100 + RANDOM % 4000))
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((100 + RANDOM % 4000)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.txt" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    rm -f "$log"
    extra=(BKM_TEST=1 BKM_ORIGINAL_DIR="$work/$where")
    [ $where = data ] && extra+=(BKM_SECONDS=60)
    [ $where = play ] && extra=(BKM_ORIGINAL_DIR="$work/data" BKM_SECONDS=60 BKM_SHOTS="$work/shots" BKM_SHOT_EVERY=0.5)
    env DISPLAY=":$n" SDL_VIDEODRIVER=x11 "${extra[@]}" "$program" > "$work/out.txt" 2>&1 &
    pid=$!
    # Shown once the window has its GL context (logged), and a moment more;
    # in play, once the game's frames are shot.
    for _ in $(seq 200); do grep -q "^OpenGL " "$log" 2> /dev/null && break; sleep 0.1; done
    if [ $where = play ]; then
      for _ in $(seq 600); do files_at_least 1 "$work/shots/t*.png" && break; sleep 0.1; done
    fi
    sleep 2
    kill -0 $pid 2> /dev/null || fail "$where: the program ended before the display went away"
    kill $xvfb
    wait $xvfb 2> /dev/null
    for _ in $(seq 100); do kill -0 $pid 2> /dev/null || break; sleep 0.1; done
    if kill -0 $pid 2> /dev/null; then
      fail "$where: still running 10 s after the display went away"
      kill -KILL $pid
    fi
    wait $pid
    status=$?
    [ $status -ne 0 ] || fail "$where: status 0 after losing the display"
    grep -q "^The X display was lost" "$log" || fail "$where: the lost display was not logged"
  done
  options=$(cat "$work/user/options.json")
  for member in '"stereo_pan": true' '"latency": ' '"fullscreen": false'; do
    [[ "$options" == *"$member"* ]] || fail "options.json lacks $member after the display was lost: $options"
  done
  ;;
log_lines)
  # error.log is never cut: each start adds one line that marks it (the
  # version, the date and time, where the game data is looked for), and
  # within a start no line comes twice (the start-up opens the video
  # twice). A tool-mode start without game data logs why, once.
  for n in 1 2; do
    run BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_SECONDS=1
    [ "$status" = 0 ] || fail "run $n: status $status, want 0"
  done
  run BKM_ORIGINAL_DIR="$work/nodata" BKM_BOOT_OUT="$work/none.bkms"
  [ "$status" = 1 ] || fail "the tool mode without data: status $status, want 1"
  when='[0-9]{4}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [+-][0-9]{4}'
  start="^Brakmoor native [0-9]+\.[0-9]+\.[0-9]+( \([0-9A-Za-z._-]+\))? started $when; game data looked for in "
  n=$(grep -Ec "$start$work/data\$" "$log")
  [ "$n" = 2 ] || fail "$n start lines with the data, want 2"
  n=$(grep -Ec "$start$work/nodata\$" "$log")
  [ "$n" = 1 ] || fail "$n start lines without the data, want 1"
  head -n 1 "$log" | grep -Eq "$start" || fail "error.log does not begin with a start line"
  n=$(grep -c "^No supported game data found" "$log")
  [ "$n" = 1 ] || fail "the missing data was logged $n times, want once"
  n=$(grep -c "^OpenGL " "$log")
  [ "$n" = 2 ] || fail "the GL line was logged $n times in two runs with a window, want twice"
  # Each start's lines, numbered by the start they follow: none twice.
  twice=$(awk '/^Brakmoor native / { run++ } { print run ": " $0 }' "$log" | sort | uniq -d)
  [ -z "$twice" ] || fail "lines logged twice in one start: $twice"
  ;;
thread_left_behind)
  # An emulation thread that does not stop: here it waits for ever to open
  # its audio dump, a pipe nobody reads. The program says so and ends at
  # once with 1, without the exit-time clean-up (exit handlers, static
  # destructors), which would run under the thread still going. A library
  # loaded into the program says when that clean-up runs; an ordinary run
  # shows that it can tell.
  [ -n "${EXIT_PROBE:-}" ] || fail "EXIT_PROBE names no library"
  probe=(LD_PRELOAD="${EXIT_PROBE:-}" ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0)
  ran="exit-time clean-up ran in brakmoor"
  run BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_SECONDS=1 "${probe[@]}"
  [ "$status" = 0 ] || fail "the ordinary run ended with $status, want 0"
  grep -qx "$ran" "$work/out.txt" || fail "the probe did not see the ordinary run's clean-up"
  mkfifo "$work/dump.pipe"
  left="The emulation thread did not stop within 3 s; leaving it behind"
  # The thread reaches the pipe at its first VBL; a loaded machine may need
  # more of the run for that.
  for seconds in 3 10 40; do
    run BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_SECONDS=$seconds BKM_FAKEAUDIO=1 \
      BKM_AUDIODUMP="$work/dump.pipe" "${probe[@]}"
    grep -qx "$left" "$log" && break
  done
  [ "$status" = 1 ] || fail "status $status, want 1"
  n=$(grep -cx "$left" "$log")
  [ "$n" = 1 ] || fail "the thread left behind was logged $n times, want once"
  grep -qx "$ran" "$work/out.txt" && fail "the exit-time clean-up ran under the thread left behind"
  ;;
bad_slots)
  # Two slots whose header is valid but whose game cannot run, made from
  # the start-up state: slot 2 with random register fields, loaded on the
  # title, and slot 1 with pc $FFFFFE, loaded on the world map (reached as
  # in map_slots). Each fails at once and gives back the game as it was,
  # which goes on: a save to slot 3 on the map ends the run. Both slot
  # files stay as they were.
  saves=$work/user/saves
  mkdir -p "$saves"
  BKM_ORIGINAL_DIR=$work/data BKM_BOOT_OUT=$work/boot.bkms "$program" > "$work/out.txt" 2>&1 ||
    fail "the start-up state was not written"
  cp "$work/boot.bkms" "$saves/slot1.bkms"
  printf '\x00\xFF\xFF\xFE' | dd of="$saves/slot1.bkms" bs=1 seek=8 conv=notrunc status=none
  cp "$work/boot.bkms" "$saves/slot2.bkms"
  registers=5cdc7fd75eab3479764e9a0306188c92824fde5374b6845f2ec7fc856926ca301efcb6724d29b7614d9a4a8b12d093de
  registers+=135b4444f07b1620a8bad5775c2298c321f3948861d18aee9882659a5fa413a0c045ae92c55d2d91627bed70
  printf "$(sed 's/../\\x&/g' <<< "$registers")" | dd of="$saves/slot2.bkms" bs=1 seek=8 conv=notrunc status=none
  cp "$saves/slot1.bkms" "$work/slot1.copy"
  cp "$saves/slot2.bkms" "$work/slot2.copy"
  "$probe" "$saves/slot1.bkms" > /dev/null && "$probe" "$saves/slot2.bkms" > /dev/null ||
    fail "the crafted slots do not read as machine states"
  # The menu opens on its first item; the cursor stays where it was.
  mseq="other+2:open,other+2.1:down,other+2.2:right,other+2.3:down,other+2.4:down,other+2.5:enter"  # load slot 2
  mseq+=",map+1:open,map+1.1:up,map+1.2:up,map+1.3:left,map+1.4:down,map+1.5:down,map+1.6:enter"    # load slot 1
  mseq+=",map+3:open,map+3.1:up,map+3.2:up,map+3.3:right,map+3.4:right,map+3.5:down,map+3.6:enter"  # save slot 3
  slot3=$saves/slot3.bkms
  run_until '[ -s "$slot3" ] && "$probe" "$slot3" 1FE > /dev/null 2>&1' \
    BKM_ORIGINAL_DIR="$work/data" BKM_TEST=1 BKM_JOYSEQ="$title_fire" BKM_KEYS="$prompt_keys" BKM_MSEQ="$mseq"
  [ "$status" = 0 ] || fail "status $status, want 0"
  for n in 2 1; do
    c=$(grep -c "^slot $n could not be continued: its game failed at VBL [0-9]*, 0 VBLs after loading; back to the game before the load$" "$log")
    [ "$c" = 1 ] || fail "the failed load of slot $n was logged $c times, want once"
    cmp -s "$saves/slot$n.bkms" "$work/slot$n.copy" || fail "slot$n.bkms was changed"
  done
  split=$("$probe" "$slot3" 1FE) || fail "no save after the failed loads"
  [ "${split:0:2}" = FF ] || fail "the save after the failed loads was not on the map (split_map $split)"
  grep -q "Emulation ERROR" "$log" && fail "the session ended with an emulation error"
  ;;
*)
  echo "unknown script $script"
  exit 2
  ;;
esac

[ $failures -eq 0 ] || exit 1
echo "script $script passed"
