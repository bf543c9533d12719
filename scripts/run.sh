#!/usr/bin/env bash
# Builds the program and starts it on the simulated "Roland MDX-40".
# Without a display it runs the engraving example under a virtual one and prints its progress.
#   scripts/run.sh --mill [ARGS]   starts it on the real mill on USB instead, with the
#                                  mill's own program folder (settings, offsets, log)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
cmake --build build -j2
bin=build/bin

if [ "${1:-}" = "--mill" ]; then
  shift
  # A folder of the mill's own, outside the build tree, so that neither a new build
  # nor the simulated machine's settings and fixture offsets ever reach the real one.
  folder="${TARNWICK_MILL_FOLDER:-${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick/mill}"
  mkdir -p "$folder"
  install -m 0755 build/usb/RDUPSLT.DLL "$folder/RDUPSLT.DLL"
  export TARNWICK_PROGRAM_FOLDER="$folder"
  echo "The real mill on USB; program folder $folder"
  runner=()
  [ -z "${DISPLAY:-}" ] && runner=(bash scripts/with_display.sh)
  exec "${runner[@]}" "$bin/tarnwick" "$@"
fi
# A fresh installation is set up as a Roland MDX-40 without asking.
args=(--machine-type 1)
if [ -n "${DISPLAY:-}" ]; then
  exec "$bin/tarnwick" "${args[@]}" "$@"
fi

job=examples/engraving.rml
# Machine time runs ten times faster: the job's two minutes take about 12 seconds.
export TARNWICK_SIM_SPEED="${TARNWICK_SIM_SPEED:-10}"
echo "No display: running $job on the simulated Roland MDX-40 under a virtual display."
status=0
bash scripts/with_display.sh -s "-screen 0 1024x768x24" "$bin/tarnwick" "${args[@]}" \
  --add "$job" --run --quit-when-done --screenshot build/tarnwick-run.png "$@" || status=$?
echo "Finished with exit code $status; the window at the end: build/tarnwick-run.png"
exit $status
