#!/usr/bin/env bash
# Builds and runs the whole test suite.
#   scripts/test.sh          normal build (build/)
#   scripts/test.sh --asan   AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
#   scripts/test.sh --tsan   ThreadSanitizer, the threaded tests only (build-tsan/)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

mode="${1:-}"
dir=build
# Explicit, since scripts/run.sh configures the same folder without tests.
flags=(-DTARNWICK_TESTS=ON)
labels=()
targets=()
case "$mode" in
  "") flags+=(-DTARNWICK_BENCH=ON) ;;
  --asan) dir=build-asan; flags+=(-DTARNWICK_ASAN=ON -DTARNWICK_BENCH=OFF) ;;
  --tsan) dir=build-tsan; flags+=(-DTARNWICK_TSAN=ON -DTARNWICK_BENCH=OFF); labels=(-L threaded); targets=(--target threaded_tests) ;;
  *) echo "usage: $0 [--asan|--tsan]" >&2; exit 2 ;;
esac
[ "${CI:-}" = "true" ] && flags+=(-DTARNWICK_WERROR=ON)
# A compiler cache, when there is one, spares compiling again what an earlier run compiled.
if command -v ccache >/dev/null; then
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD"
fi

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j2 "${targets[@]}"
# intercept_tls_get_addr=0: this compiler's LeakSanitizer guesses where a
# library's thread-local block starts from the bytes before it, and when the
# block happens to sit 16 bytes into a page it reads garbage there and crashes
# at the program's exit ("Tracer caught signal 11", now and then, after every
# test passed). Without the guess those blocks are scanned as the heap blocks
# they are; leaks are still found.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
# Window tests need a display; give them a virtual one of their own when there is none.
runner=()
[ -z "${DISPLAY:-}" ] && runner=(bash scripts/with_display.sh)
"${runner[@]}" ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300 "${labels[@]}"
