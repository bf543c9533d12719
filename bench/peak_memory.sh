#!/usr/bin/env bash
# The program's peak memory (maximum resident set size) while it runs a job
# file from start to end on the simulated machine, unattended:
#   bench/peak_memory.sh [build dir] [job file] [machine speed factor]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
job="${2:-../shared/jobs/mold_master.prn}"
if [ ! -f "$job" ]; then
  [ -n "${2:-}" ] && { echo "no job file at $job" >&2; exit 2; }
  # A clone without the shared folder beside it: measure a small example instead.
  echo "$job (a large real job) is not there; measuring examples/pocket.rml instead."
  echo "To measure another file: $0 ${build} JOB-FILE [speed factor]"
  job=examples/pocket.rml
fi
export TARNWICK_SIM_SPEED="${3:-500}"
export TARNWICK_SIM_DIR="$(mktemp -d)"
export TARNWICK_PROGRAM_FOLDER="$(mktemp -d)/"
ln -s "$(realpath "$build/bin/RDUPSLT.DLL")" "$TARNWICK_PROGRAM_FOLDER/RDUPSLT.DLL"
# The machine in a process of its own, as a real one has its own memory: only
# the program is measured (in-process, the simulated machine's job memory counts).
"$build/bin/tarnwick-sim" serve "Roland MDX-40" >/dev/null &
machine=$!
trap 'kill $machine 2>/dev/null; rm -rf "$TARNWICK_SIM_DIR" "$TARNWICK_PROGRAM_FOLDER"' EXIT
for _ in $(seq 50); do "$build/bin/tarnwick-sim" status "Roland MDX-40" >/dev/null 2>&1 && break; sleep 0.1; done
report="$(mktemp)"
start=$(date +%s%N)
xvfb-run -a /usr/bin/time -f "%M" -o "$report" "$build/bin/tarnwick" --machine-type 1 \
  --add "$job" --run --quit-when-done | tail -n 1
end=$(date +%s%N)
echo "job: $job at machine speed x$TARNWICK_SIM_SPEED"
echo "peak resident memory: $(cat "$report") KiB; wall time: $(( (end - start) / 1000000 )) ms"
rm -f "$report"
