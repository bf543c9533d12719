// Counting the commands (';') of a 256 MiB job file in the page cache, as the
// run page counts every file it adds. bench/count_commands.sh runs this beside
// `tr -cd ';' | wc -c` on the same file.
//
// TARNWICK_BENCH_COUNT_FILE names the job file; without it one is made in /tmp.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "job_text.h"
#include "service/run_list.h"

namespace {

constexpr std::uint64_t kFileBytes = 256ull << 20;

void BM_CountCommands(benchmark::State& state) {
    const char* env = std::getenv("TARNWICK_BENCH_COUNT_FILE");
    const std::string path = env && *env ? env : "/tmp/tarnwick-bench-count-256M.rml";
    if (!(env && *env) && !bench::MakeJobFile(path, kFileBytes))
        return state.SkipWithError("cannot write the file");
    // One pass first so the file is in the page cache.
    auto commands = RunList::CountCommands(path);
    if (!commands) return state.SkipWithError("cannot read the file");
    for (auto _ : state) {
        commands = RunList::CountCommands(path);
        benchmark::DoNotOptimize(commands);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * std::filesystem::file_size(path)));
    state.counters["commands"] = double(commands.value_or(0));
}
BENCHMARK(BM_CountCommands)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
