#!/usr/bin/env bash
# Builds the program and starts it on the simulated "Roland MDX-40".
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
cmake --build build -j2
bin=build/bin
model="Roland MDX-40"
if [ -x "$bin/tarnwick" ]; then
  exec "$bin/tarnwick" "$@"
fi

# Until the windows are built: run the simulated machine, send it a real job
# the way the program's job output does, and show the machine's state.
export TARNWICK_SIM_DIR="$(mktemp -d)"
export TARNWICK_SIM_SPEED="${TARNWICK_SIM_SPEED:-20}"
"$bin/tarnwick-sim" serve "$model" &
host=$!
trap 'kill $host 2>/dev/null; wait $host 2>/dev/null; rm -rf "$TARNWICK_SIM_DIR"' EXIT
for _ in $(seq 50); do "$bin/tarnwick-sim" status "$model" >/dev/null 2>&1 && break; sleep 0.1; done
"$bin/tarnwick-sim" status "$model"
"$bin/tarnwick-sim" print "$model" shared/jobs/test_square.rml 2>/dev/null \
  || "$bin/tarnwick-sim" print "$model" ../shared/jobs/test_square.rml
sleep 3
"$bin/tarnwick-sim" status "$model"
