#!/usr/bin/env bash
# Builds the program and starts it on the simulated "Roland MDX-40".
# Without a display it runs the engraving example under a virtual one and prints its progress.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
cmake --build build -j2
bin=build/bin
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
