#!/usr/bin/env bash
# Builds the program and starts it on the simulated "Roland MDX-40".
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
cmake --build build -j2
bin=build/bin
if [ -x "$bin/tarnwick" ]; then
  exec "$bin/tarnwick" "$@"
elif [ -x "$bin/tarnwick-sim" ]; then
  # The windows are not built yet: show the simulated machine instead.
  exec "$bin/tarnwick-sim" status "Roland MDX-40"
else
  echo "Built the machine link; the program itself is not part of this build yet."
fi
