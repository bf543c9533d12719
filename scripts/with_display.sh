#!/usr/bin/env bash
# Runs a command under a virtual display of its own: an Xvfb started here and
# stopped when the command ends. Xvfb chooses a free display number itself
# (-displayfd), so runs started at the same moment never share one display and
# never lose it when the other run ends.
#   scripts/with_display.sh [-s "XVFB ARGS"] COMMAND...
set -euo pipefail
screen=(-screen 0 1280x1024x24)
if [ "${1:-}" = "-s" ]; then
  read -r -a screen <<<"$2"
  shift 2
fi
dir=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
# Local connections only; the display lives as long as the command. Without
# -noreset the server resets whenever its last client leaves, and a window
# test starting in that moment cannot connect.
Xvfb -displayfd 3 "${screen[@]}" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
number=$(tr -d '\n' <"$dir/display")
if [ -z "$number" ]; then
  echo "The virtual display did not start:" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$number"
status=0
"$@" || status=$?
exit $status
