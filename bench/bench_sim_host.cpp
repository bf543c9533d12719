// The simulated machine's host: how long a status call takes through it (no
// added latency), and how fast it takes in job data; and how fast the machine
// works through job data when its clock is no limit.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "host/control_client.h"
#include "host/machine_host.h"
#include "host/runtime_dir.h"
#include "host/unix_socket.h"
#include "job_text.h"
#include "machine/machine.h"
#include "machine/profile.h"
#include "machine/virtual_clock.h"

namespace {

constexpr const char* kModel = "Roland MDX-40";
constexpr std::uint32_t kRead = 0x22003C;

// One host for the whole run, in a private folder, replying without latency.
class BenchHost {
public:
    BenchHost() {
        char pattern[] = "/tmp/tsim-bench-XXXXXX";
        dir = ::mkdtemp(pattern);
        ::setenv("TARNWICK_SIM_DIR", dir.c_str(), 1);
        ::setenv("TARNWICK_SIM_LATENCY_US", "0", 1);
        std::string error;
        host = sim::MachineHost::Start(*sim::FindProfile(kModel),
                                       sim::HostOptions::FromEnvironment(), error);
        if (!host) std::abort();
    }
    ~BenchHost() {
        host.reset();
        std::filesystem::remove_all(dir);
    }
    std::string dir;
    std::unique_ptr<sim::MachineHost> host;
};

BenchHost& Host() {
    static BenchHost host;
    return host;
}

void BM_StatusRoundTrip(benchmark::State& state) {
    auto client = sim::ControlClient::Connect(sim::ControlSocketPath(Host().dir, kModel));
    const sim::ControlRequest status{sim::RequestKind::Frame, kRead, 31, {0x1F}};
    for (auto _ : state) {
        auto reply = client->Call(status);
        if (!reply || !reply->ok) state.SkipWithError("status call failed");
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_StatusRoundTrip)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

// The same through the driver library, as the program calls it.
void BM_DevIoCtlStatus(benchmark::State& state) {
    Host();
    using OpenFn = int (*)(const char*, std::uint32_t, std::uint32_t, void*, std::uint32_t,
                           std::uint32_t, void*);
    using DevIoCtlFn =
        int (*)(std::uint32_t, void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*, void*);
    void* library = ::dlopen(TARNWICK_PROGRAM_DIR "/RDUPSLT.DLL", RTLD_NOW);
    if (!library) return state.SkipWithError("RDUPSLT.DLL not found");
    auto open = reinterpret_cast<OpenFn>(::dlsym(library, "Open"));
    auto devIoCtl = reinterpret_cast<DevIoCtlFn>(::dlsym(library, "DevIoCtl"));
    if (open(kModel, 0xC0000000u, 0, nullptr, 3, 128, nullptr) != 1) {
        return state.SkipWithError("cannot open the machine");
    }
    std::uint8_t request[256] = {0x1F};
    std::uint8_t reply[256];
    std::uint32_t returned = 0;
    for (auto _ : state) {
        if (devIoCtl(kRead, request, 1, reply, 31, &returned, nullptr) != 1) {
            state.SkipWithError("DevIoCtl failed");
        }
    }
}
BENCHMARK(BM_DevIoCtlStatus)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

// Eight megabytes of job data per document, as the program streams it.
void BM_JobIntake(benchmark::State& state) {
    std::string document;
    for (int i = 0; document.size() < (8u << 20); ++i) {
        document += "Z" + std::to_string(i % 4800) + ",-76,-137;\n";
        document.push_back('\0');
    }
    auto& host = *Host().host;
    const std::string jobPath = sim::JobSocketPath(Host().dir, kModel);
    for (auto _ : state) {
        const std::uint64_t target = host.JobBytesReceived() + document.size();
        {
            sim::UniqueFd channel = sim::ConnectUnix(jobPath);
            if (!sim::SendAll(channel.Get(), document.data(), document.size())) {
                state.SkipWithError("job channel refused data");
            }
        }
        while (host.JobBytesReceived() < target) std::this_thread::yield();

        // Clear the machine's memory so that the next document starts afresh.
        state.PauseTiming();
        host.Machine().HandleText("speed 1000000");
        host.Machine().With([](sim::Machine& m) {
            m.SetOutputBits(true, 32);
            m.SetOutputBits(false, 32);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        host.Machine().HandleText("speed 1");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
}
BENCHMARK(BM_JobIntake)->Unit(benchmark::kMillisecond)->UseRealTime();

// 32 MiB of job data as the program streams it (a zero byte after each ';'),
// taken in 64 KiB at a time as the host reads it, with machine time far
// ahead: the machine's own work per byte and per command, which is what
// limits job intake at high speed factors.
void BM_MachineExecutesJobData(benchmark::State& state) {
    std::string document;
    std::uint32_t commands = 0;
    for (char c : bench::JobText(32u << 20)) {
        document.push_back(c);
        if (c == ';') {
            document.push_back('\0');
            ++commands;
        }
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(document.data());
    constexpr std::size_t kChunk = 64 * 1024;
    for (auto _ : state) {
        sim::VirtualClock clock;
        sim::Machine machine(*sim::FindProfile(kModel), clock);
        for (std::size_t at = 0; at < document.size(); at += kChunk) {
            machine.ReceiveJobData({bytes + at, std::min(kChunk, document.size() - at)});
            clock.Advance(std::chrono::hours(100));  // far more than 64 KiB of cuts take
            machine.Update();
        }
        if (machine.CommandsDone() != commands) state.SkipWithError("commands were lost");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
    state.counters["ns_per_command"] =
        benchmark::Counter(double(state.iterations()) * commands,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MachineExecutesJobData)->Unit(benchmark::kMillisecond);

}  // namespace
