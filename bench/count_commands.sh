#!/usr/bin/env bash
# Counting the commands of a 256 MiB job file in the page cache: the run
# page's count (build/bench/bench_count_commands) against
# `tr -cd ';' < file | wc -c` on the same file, each run several times; prints
# the medians and their ratio.
#   bench/count_commands.sh [build dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-7}"
file=/tmp/tarnwick-count-256M.rml
size=$((256 * 1024 * 1024))

# Real CAM text: the body of a PCB job repeated to the size, whole lines only,
# with the job's own header and footer. Without that job at hand the benchmark
# writes a file of the same kind itself.
job=../shared/jobs/pcb_traces.rml
[ -f "$job" ] || job=shared/jobs/pcb_traces.rml
if [ -f "$job" ] && { [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -lt $((size - 4096)) ]; }; then
  work="$(mktemp -d)"
  sed '1d;$d' "$job" > "$work/body"
  while [ "$(stat -c %s "$work/body")" -lt "$size" ]; do
    cat "$work/body" "$work/body" > "$work/double" && mv "$work/double" "$work/body"
  done
  footer="$(tail -n 1 "$job")"
  # Written in large blocks, as a program writes a file this size: the page
  # cache then holds it in large folios, which read back about twice as fast
  # as the small ones of a file written a few kilobytes at a time.
  { head -n 1 "$job"
    head -c $((size - ${#footer} - 200)) "$work/body" | head -n -1
    echo "$footer"; } | dd of="$file" bs=4M iflag=fullblock status=none
  rm -rf "$work"
fi
export TARNWICK_BENCH_COUNT_FILE="$file"

json="$(mktemp)"
trap 'rm -f "$json"' EXIT
"$build/bench/bench_count_commands" --benchmark_repetitions="$runs" \
  --benchmark_out="$json" --benchmark_out_format=json > /dev/null
# The file exists now (the benchmark makes it when missing); into the page cache.
cat "$file" > /dev/null
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
rate=$(awk '/"name"/ { name = $2 } /"bytes_per_second"/ && name ~ /_median/ { sub(",", "", $2); print $2 }' "$json")
commands=$(awk '/"commands"/ { sub(",", "", $2); printf "%d\n", $2; exit }' "$json")

times=()
for ((i = 0; i < runs; i++)); do
  start=$(date +%s%N)
  count=$(tr -cd ';' < "$file" | wc -c)
  end=$(date +%s%N)
  times+=($(( end - start )))
done
tr_ns=$(printf '%s\n' "${times[@]}" | median)
bytes=$(stat -c %s "$file")

awk -v bytes="$bytes" -v rate="$rate" -v tr_ns="$tr_ns" -v runs="$runs" \
    -v commands="$commands" -v count="$count" -v file="$file" 'BEGIN {
  tr_rate = bytes / (tr_ns / 1e9)
  printf "file:          %s, %d bytes, %d commands\n", file, bytes, count
  printf "CountCommands: %.2f GB/s (%.1f ms), median of %d runs\n", rate / 1e9, bytes / rate * 1e3, runs
  printf "tr | wc:       %.2f GB/s (%.1f ms), median of %d runs\n", tr_rate / 1e9, tr_ns / 1e6, runs
  printf "ratio:         %.1fx\n", rate / tr_rate
  if (commands != count) { printf "COUNTS DIFFER: %d against %d\n", commands, count; exit 1 }
}'
