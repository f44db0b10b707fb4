# What the end-to-end scripts share, sourced by them: an X server of each
# script's own, and runs of the program that end once it has reached what
# the script waits for. Expects $work, a scratch folder.

# Each script gets an X server of its own: windows of tests running beside
# it on a shared display would take its focus, and it theirs.
display=()
if command -v xvfb-run > /dev/null && [ "${BKM_REAL_DISPLAY:-0}" != 1 ]; then
  # Tests start their servers side by side, and "-a" alone races them all
  # for the same first free number: each starts its search somewhere else.
  display=(xvfb-run -a -n $((100 + RANDOM % 4000)) -s "-screen 0 1280x1024x24")
fi

# Runs a command on that X server with the command's own status: xvfb-run
# may put one of its own in its place (a clean-up of its temporary folder
# that fails on a loaded machine), so the status comes back through a file.
on_display() {
  if [ ${#display[@]} -eq 0 ]; then
    "$@"
    return
  fi
  rm -f "$work/display.status"
  "${display[@]}" sh -c '"$@"; echo $? > "$0"' "$work/display.status" "$@"
  [ -s "$work/display.status" ] || return 99
  return "$(cat "$work/display.status")"
}

# Runs a command on the display until it ends; once the condition (a shell
# command) holds, the command is asked to quit with SIGTERM, as when its
# window is closed. The status is left in $status.
#   until_then <condition> <command...>
runner=
until_then() {
  local condition=$1
  shift
  rm -f "$work/pid"
  on_display sh -c 'echo $$ > "$0"; exec "$@"' "$work/pid" "$@" &
  runner=$!
  while kill -0 "$runner" 2> /dev/null; do
    if eval "$condition"; then
      kill -TERM "$(cat "$work/pid")"
      break
    fi
    sleep 0.2
  done
  wait "$runner"
  status=$?
  runner=
}

# A command still running when the script ends (a check that stopped the
# shell) is asked to quit.
stop_runner() {
  if [ -n "$runner" ] && kill -0 "$runner" 2> /dev/null && [ -s "$work/pid" ]; then
    kill -TERM "$(cat "$work/pid")"
  fi
}

# At least n files match a pattern (the shots a screen has had time for).
files_at_least() { [ "$(compgen -G "$2" | wc -l)" -ge "$1" ]; }
