// Reading the toolpath of a 100 MB job file (about six million commands) in
// the page cache: bytes per second, and the memory the model holds.
//
// TARNWICK_BENCH_TOOLPATH_FILE names the job file; without it one is made in /tmp.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "job_text.h"
#include "jobs/toolpath.h"

namespace {

constexpr std::uint64_t kFileBytes = 100'000'000;

// Resident memory now, in MiB.
double ResidentMiB() {
    long pages = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return double(resident) * 4096 / (1 << 20);
}

void BM_ReadToolpath(benchmark::State& state) {
    const char* env = std::getenv("TARNWICK_BENCH_TOOLPATH_FILE");
    const std::string path = env && *env ? env : "/tmp/tarnwick-bench-toolpath-100M.rml";
    if (!(env && *env) && !bench::MakeJobFile(path, kFileBytes))
        return state.SkipWithError("cannot write the file");
    const jobs::MachineLimits limits;
    double modelMiB = 0;
    std::size_t moves = 0;
    double seconds = 0;
    for (auto _ : state) {
        const double before = ResidentMiB();
        auto toolpath = jobs::ReadToolpath(path, limits);
        if (!toolpath) return state.SkipWithError("cannot read the file");
        // The first pass shows it: later ones reuse what the last one freed.
        modelMiB = std::max(modelMiB, ResidentMiB() - before);
        moves = toolpath->MoveCount();
        seconds = toolpath->Seconds();
        benchmark::DoNotOptimize(toolpath);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * std::filesystem::file_size(path)));
    state.counters["moves"] = double(moves);
    state.counters["model_MiB"] = modelMiB;
    state.counters["job_min"] = seconds / 60;
}
BENCHMARK(BM_ReadToolpath)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
