// Job output: a 100 MiB job file streamed by JobOutput through the print queue
//  - into the job channel of a simulated machine served by `tarnwick-sim serve`
//    in its own process, as one run of the program sends it, then waited on
//    until the machine has executed every command;
//  - the same through a private CUPS scheduler and the machine's raw queue;
//  - into a driver library whose Write takes everything and keeps nothing
//    (the tests' recording driver), the program side alone.
// Reported per run: bytes per second of the stream (the job-output step, from
// the first byte to the document's end), the program's CPU time per MiB
// (getrusage of the process; the machine runs in its own), the machine
// process's CPU time per MiB and the time until the machine has done the last
// command.
//
// Environment: TARNWICK_SIM_SPEED is the machine's time factor (default 1e7:
// high enough that machine time never holds the stream back; at low factors the
// 64 MiB the machine holds fill up and its clock paces the stream);
// TARNWICK_BENCH_JOB names the job file; without it one is made in /tmp.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "config/configuration.h"
#include "integration/private_spooler.h"
#include "job_text.h"
#include "link/machine_port.h"
#include "platform/program_folder.h"
#include "service/display.h"
#include "service/job_output.h"
#include "service/log_file.h"
#include "service/machine_status.h"
#include "service/requests.h"
#include "service/shared_state.h"
#include "support/recording_driver_client.h"

namespace {

constexpr const char* kModel = "Roland MDX-40";
constexpr std::uint64_t kJobBytes = 100ull << 20;
constexpr double kMiB = 1024.0 * 1024.0;

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

const std::string& JobPath() {
    static const std::string path = [] {
        const std::string given = EnvOr("TARNWICK_BENCH_JOB", "");
        if (!given.empty()) return given;
        const std::string made = "/tmp/tarnwick-bench-job-100M.rml";
        if (!bench::MakeJobFile(made, kJobBytes)) std::abort();
        return made;
    }();
    return path;
}

std::string MakeTempDir(const char* stem) {
    std::string pattern = std::string("/tmp/") + stem + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    return pattern;
}

double ProgramCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double ProcessCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name in parentheses; utime and stime are 14 and 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

class NullDisplay : public IDisplay {
public:
    void SetText(Window, int, const std::string&) override {}
    void EnableControls(std::initializer_list<int>, bool) override {}
    bool IsEnabled(int) const override { return true; }
    void SetProgress(int) override {}
    void EndMainWindow(int) override {}
    void SetYCenter(int) override {}
    bool ShowSensorPauses(const std::atomic<bool>&) override { return true; }
};

// The program's side: a configuration, the shared state and a job output of
// their own, with the job file in the run list.
struct Program {
    explicit Program(const char* driverFolder = TARNWICK_PROGRAM_DIR)
        : folder(MakeTempDir("tarnwick-bench-prog") + "/"), config(folder) {
        platform::SetProgramFolder(driverFolder);
        port.SetPortName(kModel);
        config.WriteMachineProfile(1);
        if (!state.runList.Add(JobPath())) std::abort();
    }
    ~Program() {
        port.ClosePort();
        std::filesystem::remove_all(folder);
    }
    // One run of the file, served as the command thread serves it (the file
    // streams on a thread of its own); the program's CPU seconds.
    double Stream() {
        if (!RequestRun(state, config)) std::abort();
        const double before = ProgramCpuSeconds();
        while (state.jobState.load() != kJobIdle) {
            output.Service(kNoCycle);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (state.filesNotSent.load() != 0) std::abort();
        return ProgramCpuSeconds() - before;
    }

    std::string folder;
    CMachinePort port;
    Configuration config;
    SharedState state;
    NullDisplay display;
    LogFile log;
    std::atomic<bool> stop{false};
    ServiceContext context{port, config, state, display, log, [](int) {}};
    JobOutput output{context, stop};
};

// `tarnwick-sim serve` in a process of its own, in a private socket folder.
class MachineProcess {
public:
    explicit MachineProcess(const std::string& speed) : m_dir(MakeTempDir("tjob-bench")) {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setenv("TARNWICK_SIM_DIR", m_dir.c_str(), 1);
            ::setenv("TARNWICK_SIM_SPEED", speed.c_str(), 1);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::execl(TARNWICK_PROGRAM_DIR "/tarnwick-sim", "tarnwick-sim", "serve", kModel, nullptr);
            ::_exit(127);
        }
        ::setenv("TARNWICK_SIM_DIR", m_dir.c_str(), 1);
        const std::string control = m_dir + "/" + kModel + ".ctl";
        for (int i = 0; i < 500 && !std::filesystem::exists(control); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~MachineProcess() {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        std::filesystem::remove_all(m_dir);
    }
    pid_t Pid() const { return m_pid; }

private:
    std::string m_dir;
    pid_t m_pid = -1;
};

// Runs the file into the machine until it has executed every command.
void StreamIntoMachine(benchmark::State& state, const MachineProcess& machine, Program& program,
                       const std::string& speed) {
    if (!program.port.OpenPort()) return state.SkipWithError("cannot open the machine");
    const std::uint32_t commands = program.state.runList.CommandCount();
    double cpu = 0, machineCpu = 0, endToEnd = 0;
    for (auto _ : state) {
        const double machineBefore = ProcessCpuSeconds(machine.Pid());
        const auto start = std::chrono::steady_clock::now();
        cpu += program.Stream();
        const auto streamed = std::chrono::steady_clock::now();
        // The machine has done the job when it has done every command and no
        // longer runs job data.
        std::uint32_t done = 0;
        while (!program.port.ReadCommandsDone(done) || done < commands ||
               program.port.ReadStatus() == kStatusJob) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto end = std::chrono::steady_clock::now();
        machineCpu += ProcessCpuSeconds(machine.Pid()) - machineBefore;
        endToEnd += std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(std::chrono::duration<double>(streamed - start).count());
    }
    const double runs = double(state.iterations());
    const double mib = double(std::filesystem::file_size(JobPath())) / kMiB;
    state.SetBytesProcessed(std::int64_t(runs * mib * kMiB));
    state.counters["cpu_ms_per_MiB"] = cpu * 1e3 / (runs * mib);
    state.counters["machine_cpu_ms_per_MiB"] = machineCpu * 1e3 / (runs * mib);
    state.counters["end_to_end_s"] = endToEnd / runs;
    state.SetLabel("machine speed x" + speed);
}

void BM_JobOutputToMachine(benchmark::State& state) {
    const std::string speed = EnvOr("TARNWICK_SIM_SPEED", "1e7");
    MachineProcess machine(speed);
    Program program;
    StreamIntoMachine(state, machine, program, speed);
}
BENCHMARK(BM_JobOutputToMachine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The same through a CUPS scheduler of the benchmark's own and the machine's
// raw queue to its job port: the stream ends when the spooler has the whole
// document; the machine gets it from the spooler's backend.
void BM_JobOutputThroughSpooler(benchmark::State& state) {
    PrivateSpooler spooler;
    if (!spooler.WhyNot().empty()) return state.SkipWithError(spooler.WhyNot().c_str());
    const std::string speed = EnvOr("TARNWICK_SIM_SPEED", "1e7");
    MachineProcess machine(speed);
    if (PrivateSpooler::Run(TARNWICK_PROGRAM_DIR "/tarnwick-sim queue 'Roland MDX-40' add") != 0)
        return state.SkipWithError("the machine's queue cannot be made");
    Program program;
    StreamIntoMachine(state, machine, program, speed);
}
BENCHMARK(BM_JobOutputThroughSpooler)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A driver library that takes everything at once: what the program side alone can do.
void BM_JobOutputToSink(benchmark::State& state) {
    RecordingDriver* sink = LoadRecordingDriver();
    if (!sink) return state.SkipWithError("the recording driver is not built");
    sink->Reset();
    sink->keepJobData = false;
    Program program(RECORDING_DRIVER_DIR);
    if (!program.port.OpenPort()) return state.SkipWithError("cannot open the sink");
    double cpu = 0;
    for (auto _ : state) cpu += program.Stream();
    const double runs = double(state.iterations());
    const double mib = double(std::filesystem::file_size(JobPath())) / kMiB;
    state.SetBytesProcessed(std::int64_t(runs * mib * kMiB));
    state.counters["cpu_ms_per_MiB"] = cpu * 1e3 / (runs * mib);
    // What reached the library: each command followed by its zero byte.
    state.counters["sent_MiB"] = double(sink->jobBytes) / kMiB / runs;
}
BENCHMARK(BM_JobOutputToSink)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
