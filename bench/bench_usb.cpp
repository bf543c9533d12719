// The program on a mill on USB: the real mill's driver library
// (build/usb/RDUPSLT.DLL) on libusb's Linux backend, against an emulated mill
// (usb/emulated_mill) served in this process under libumockdev-preload.
//  - BM_StatusPoll/latency_us:N: CMachinePort::ReadStatus back to back:
//    frames per second (items_per_second) and the round trip (mean, p50, p99,
//    max) with the mill answering N µs after each request: 1000 as a real
//    USB round trip, 0 for what libusb, the library and the emulation cost.
//  - BM_ServicePoll/latency_us:N: one service-loop iteration
//    (CCommandThread::Iterate with its pauses taken out: status, position and
//    spindle reads, the displays), and the frames it sends.
//  - BM_JobDataThroughWrite: a job file streamed by JobOutput as the command
//    thread serves it (the file on a feed thread of its own, through the
//    library's Write, 64 KiB a slice) into a mill with 64 MiB of job memory
//    whose clock runs 1e7 times faster, so that only the USB path paces it.
//    Bytes per second of the file; CPU per MiB of the program (the process
//    less the emulator's threads), of the library's own long-lived threads
//    (libusb's event and hot-plug threads, part of the program's figure) and
//    of the emulator (umockdev's worker and the simulated machine behind it).
//    The preload's forwarding of each ioctl to that worker runs on the
//    program's threads and counts as the program's.
//  - BM_StopToPulses/during:0|1: a command thread running against the mill;
//    RequestStopCycle at a random moment, and the time until the mill has the
//    first stop-pulse frame (0x12): during a held jog (0: a far MoveTo at the
//    fast jog speed, the cycle waiting for it to arrive) and during a job
//    (1: a 2 MiB file streaming into a machine at real speed). A jog button's
//    release reaches the command thread through the main window's Stop, the
//    same RequestStopCycle, so it is not measured apart.
//  - BM_UnplugToExit: build/bin/tarnwick as a child in a scripted run of
//    examples/engraving.rml on the mill; the cable pulled 0-500 ms after job
//    data has begun to arrive; the time until the program has exited, and its
//    exit code (3: "Machine is no longer available.").
//
// Run by hand, not as a test: cmake --build build -j2 --target bench_usb,
// then build/bench/bench_usb (it starts itself again under the preload;
// --benchmark_filter=StopToPulses picks one). TARNWICK_BENCH_USB_JOB_MIB sets
// the job's size (default 32). The emulated node always polls ready, so
// libusb's event handling spins while a transfer is pending: CPU here is
// higher than on a real kernel.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// GLib's headers (under the emulated mill) come first, as in the tests.
#include "testbed.h"
// Then the program's.
#include "config/configuration.h"
#include "job_text.h"
#include "link/machine_port.h"
#include "platform/program_folder.h"
#include "platform/system_clock.h"
#include "service/command_thread.h"
#include "service/job_output.h"
#include "service/log_file.h"
#include "service/machine_status.h"
#include "service/recording_display.h"
#include "service/requests.h"
#include "service/shared_state.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kModel = "Roland MDX-40";
constexpr std::uint8_t kStopPulse = 0x12;
constexpr double kMiB = 1024.0 * 1024.0;
// The jog page's fast jog (CJogPage::kJogSpeeds[0]).
constexpr std::int32_t kFastJogSpeed = 2000;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Polls `done` until it holds or `limit` has passed; says whether it held.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A folder of its own below /tmp, removed with everything in it.
struct TempFolder {
    TempFolder() {
        std::string pattern = "/tmp/tarnwick-bench-usb-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        path = pattern + "/";
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path;
};

// Mean, median, 99th percentile and maximum of `samples`, as counters named `unit`.
void ReportSamples(benchmark::State& state, std::vector<double> samples, const std::string& unit) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double p) {
        const auto rank = static_cast<std::size_t>(std::ceil(p * double(samples.size())));
        return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
    };
    state.counters["mean_" + unit] =
        std::accumulate(samples.begin(), samples.end(), 0.0) / double(samples.size());
    state.counters["p50_" + unit] = at(0.50);
    state.counters["p99_" + unit] = at(0.99);
    state.counters["max_" + unit] = samples.back();
}

// --- CPU of this process and of its threads ---------------------------------

using ThreadIds = std::set<std::string>;

ThreadIds Threads() {
    ThreadIds ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(entry.path().filename());
    return ids;
}

// utime + stime of one thread (0 once it has gone).
double ThreadCpuSeconds(const std::string& id) {
    std::ifstream stat("/proc/self/task/" + id + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t name = text.rfind(')');
    if (name == std::string::npos) return 0;
    // Fields after the name in parentheses, from field 3; utime and stime are 14 and 15.
    std::istringstream fields(text.substr(name + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::stod(field);
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

double ThreadsCpuSeconds(const ThreadIds& ids) {
    double sum = 0;
    for (const auto& id : ids) sum += ThreadCpuSeconds(id);
    return sum;
}

// The whole process, threads that have ended included.
double ProcessCpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// --- the program's side -----------------------------------------------------

// A configuration, the shared state and the port of the program's own, on the
// USB driver library. Made after the testbed (libusb must end before it).
struct Session {
    Session() {
        platform::SetProgramFolder(USB_DRIVER_DIR);
        port.SetPortName(kModel);
        config.WriteMachineProfile(1);
    }
    ~Session() {
        port.ClosePort();
        platform::SetProgramFolder("");
    }
    bool Open() {
        if (!port.OpenPort()) return false;
        std::string model;
        config.LoadSettings(port, model);
        return true;
    }
    ServiceContext Context(std::function<void(int)> sleep) {
        return {port, config, state, display, log, std::move(sleep)};
    }
    bool Idle() const {
        return state.cycleCode.load() == kNoCycle && state.lastStatus.load() == kStatusIdle &&
               state.jobState.load() == kJobIdle;
    }

    TempFolder folder;
    CMachinePort port;
    Configuration config{folder.path};
    SharedState state;
    RecordingDisplay display;
    LogFile log;
};

// --- 1. the status poll -----------------------------------------------------

usbemu::MillOptions WithLatency(std::int64_t microseconds) {
    return {.replyLatency = std::chrono::microseconds(microseconds)};
}

void BM_StatusPoll(benchmark::State& state) {
    usbemu::Testbed testbed;
    testbed.AddMill(WithLatency(state.range(0)));
    Session session;
    if (!session.Open()) return state.SkipWithError("cannot open the mill");
    std::vector<double> roundTrips;
    roundTrips.reserve(state.max_iterations);
    for (auto _ : state) {
        const auto start = Clock::now();
        const int status = session.port.ReadStatus();
        roundTrips.push_back(Seconds(Clock::now() - start) * 1e6);
        if (status == kStatusLost) return state.SkipWithError("the mill stopped answering");
    }
    state.SetItemsProcessed(state.iterations());  // frames
    ReportSamples(state, std::move(roundTrips), "us");
}
BENCHMARK(BM_StatusPoll)
    ->ArgName("latency_us")
    ->Arg(1000)
    ->Arg(0)
    ->Iterations(3000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_ServicePoll(benchmark::State& state) {
    usbemu::Testbed testbed;
    usbemu::EmulatedMill& mill = testbed.AddMill(WithLatency(state.range(0)));
    Session session;
    if (!session.Open()) return state.SkipWithError("cannot open the mill");
    CCommandThread thread{session.Context([](int) {})};
    std::vector<double> iterations;
    iterations.reserve(state.max_iterations);
    const std::uint64_t framesBefore = mill.ControlTransferCount();
    for (auto _ : state) {
        const auto start = Clock::now();
        thread.Iterate();
        iterations.push_back(Seconds(Clock::now() - start) * 1e6);
    }
    if (session.state.lastStatus.load() != kStatusIdle)
        return state.SkipWithError("the loop did not see an idle machine");
    state.counters["frames_per_iteration"] =
        double(mill.ControlTransferCount() - framesBefore) / double(state.iterations());
    ReportSamples(state, std::move(iterations), "us");
}
BENCHMARK(BM_ServicePoll)
    ->ArgName("latency_us")
    ->Arg(1000)
    ->Arg(0)
    ->Iterations(1000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// --- 2. job data through Write ----------------------------------------------

std::uint64_t JobBytes() {
    const char* given = std::getenv("TARNWICK_BENCH_USB_JOB_MIB");
    const std::uint64_t mib = given && *given ? std::strtoull(given, nullptr, 10) : 32;
    return std::max<std::uint64_t>(mib, 1) << 20;
}

void BM_JobDataThroughWrite(benchmark::State& state) {
    const std::uint64_t bytes = JobBytes();
    const std::string job = "/tmp/tarnwick-bench-usb-job-" + std::to_string(bytes >> 20) + "M.rml";
    if (!bench::MakeJobFile(job, bytes)) return state.SkipWithError("cannot write the job file");
    const double mib = double(std::filesystem::file_size(job)) / kMiB;

    usbemu::Testbed testbed;
    usbemu::EmulatedMill& mill =
        testbed.AddMill({.jobMemoryBytes = 64u << 20, .speed = 1e7, .keptJobBytes = 0});
    // Every thread so far but this one is the emulator's.
    ThreadIds emulator = Threads();
    emulator.erase(std::to_string(::gettid()));
    Session session;
    if (!session.Open()) return state.SkipWithError("cannot open the mill");
    if (!session.state.runList.Add(job)) return state.SkipWithError("cannot add the job file");
    std::atomic<bool> stop{false};
    ServiceContext context = session.Context([](int) {});
    JobOutput output{context, stop};

    double program = 0, library = 0, emulation = 0, sent = 0;
    for (auto _ : state) {
        // The library's threads: those it has started by now (the feed's is not yet there).
        ThreadIds libraryThreads = Threads();
        for (const auto& id : emulator) libraryThreads.erase(id);
        libraryThreads.erase(std::to_string(::gettid()));
        const double processBefore = ProcessCpuSeconds();
        const double emulatorBefore = ThreadsCpuSeconds(emulator);
        const double libraryBefore = ThreadsCpuSeconds(libraryThreads);
        const std::uint64_t receivedBefore = mill.JobBytesReceived();
        if (!RequestRun(session.state, session.config)) return state.SkipWithError("Run refused");
        while (session.state.jobState.load() != kJobIdle) {
            output.Service(kNoCycle);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const double emulatorCpu = ThreadsCpuSeconds(emulator) - emulatorBefore;
        emulation += emulatorCpu;
        program += ProcessCpuSeconds() - processBefore - emulatorCpu;
        library += ThreadsCpuSeconds(libraryThreads) - libraryBefore;
        sent += double(mill.JobBytesReceived() - receivedBefore);
        if (session.state.filesNotSent.load() != 0)
            return state.SkipWithError("the mill did not take the file");
    }
    const double runs = double(state.iterations());
    state.SetBytesProcessed(std::int64_t(runs * mib * kMiB));
    state.counters["program_cpu_ms_per_MiB"] = program * 1e3 / (runs * mib);
    state.counters["library_threads_cpu_ms_per_MiB"] = library * 1e3 / (runs * mib);
    state.counters["emulator_cpu_ms_per_MiB"] = emulation * 1e3 / (runs * mib);
    // What reached the mill: each command followed by its zero byte.
    state.counters["sent_MiB"] = sent / kMiB / runs;
    state.SetLabel(std::to_string(std::lround(mib)) + " MiB job");
}
BENCHMARK(BM_JobDataThroughWrite)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// --- 3. Stop to the stop pulses ---------------------------------------------

// A command thread running against the mill, as the main window runs it.
class RunningMill {
public:
    explicit RunningMill(usbemu::EmulatedMill& mill) : m_mill(mill) {}
    ~RunningMill() {
        m_thread.RequestStop();
        m_thread.Join(10000);
    }
    bool Start() {
        if (!m_session.Open()) return false;
        m_thread.Resume();
        return WaitUntil([&] { return m_session.Idle(); }, std::chrono::seconds(10));
    }
    Session& Program() { return m_session; }

    // A held jog: a far MoveTo along X at the fast jog speed, under way.
    bool Jog() {
        const sim::Counts at = Position();
        const std::int32_t xLimit = m_session.config.Profile().xLimit;
        const std::int32_t far = at.x < xLimit / 2 ? xLimit : 0;
        RequestTargetMove(m_session.state, far, at.y, at.z, at.a, kFastJogSpeed);
        return WaitUntil([&] { return Position().x != at.x; }, std::chrono::seconds(5));
    }
    // A job streaming: the machine has some of it and runs it.
    bool RunJob() {
        const std::uint64_t before = m_mill.JobBytesReceived();
        if (!RequestRun(m_session.state, m_session.config)) return false;
        return WaitUntil(
            [&] {
                return m_mill.JobBytesReceived() > before &&
                       m_session.state.lastStatus.load() == kStatusJob;
            },
            std::chrono::seconds(20));
    }
    // Stop; the time until the mill saw the first stop pulse after it.
    std::optional<Clock::duration> Stop() {
        m_mill.ClearControlTransfers();
        const auto t0 = Clock::now();
        RequestStopCycle(m_session.state);
        std::optional<Clock::duration> pulse;
        WaitUntil(
            [&] {
                for (const auto& t : m_mill.ControlTransfers())
                    if ((t.requestType & 0x60) == 0x40 && t.request == kStopPulse &&
                        t.arrived >= t0) {
                        pulse = t.arrived - t0;
                        return true;
                    }
                return false;
            },
            std::chrono::seconds(2));
        return pulse;
    }
    // The machine clears its memory in its own time: a faster clock for that.
    bool Settle() {
        m_mill.Machine().HandleText("speed 100");
        const bool idle = WaitUntil([&] { return m_session.Idle(); }, std::chrono::seconds(20));
        m_mill.Machine().HandleText("speed 1");
        return idle;
    }

private:
    sim::Counts Position() {
        return m_mill.Machine().With([](sim::Machine& m) { return m.MachinePosition(); });
    }

    usbemu::EmulatedMill& m_mill;
    Session m_session;
    CCommandThread m_thread{m_session.Context(platform::SleepMs)};
};

void BM_StopToPulses(benchmark::State& state) {
    const bool duringJob = state.range(0) == 1;
    usbemu::Testbed testbed;
    usbemu::EmulatedMill& mill = testbed.AddMill();
    RunningMill running(mill);
    Session& program = running.Program();
    if (duringJob) {
        const std::string job = program.folder.path + "job.rml";
        std::ofstream(job) << bench::JobText(2u << 20);
        if (!program.state.runList.Add(job)) return state.SkipWithError("cannot add the job");
    }
    if (!running.Start()) return state.SkipWithError("the mill does not come up idle");
    // Stops fall anywhere in the service loop's period.
    std::mt19937 random(20240);
    std::uniform_int_distribution<int> phaseMs(0, 120);
    std::vector<double> latencies;
    for (auto _ : state) {
        if (!(duringJob ? running.RunJob() : running.Jog()))
            return state.SkipWithError("the motion did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(phaseMs(random)));
        const auto pulse = running.Stop();
        if (!pulse) return state.SkipWithError("no stop pulse within 2 s");
        const double latency = Seconds(*pulse);
        state.SetIterationTime(latency);
        latencies.push_back(latency * 1e3);
        if (!running.Settle()) return state.SkipWithError("the mill did not come to rest");
    }
    ReportSamples(state, std::move(latencies), "ms");
}
BENCHMARK(BM_StopToPulses)
    ->ArgName("during")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// --- 4. unplug to the program's exit ----------------------------------------

// The program in a scripted run, its output into `log`; -1 when it cannot start.
pid_t StartProgram(const std::vector<std::string>& environment, const std::string& log) {
    std::vector<std::string> arguments = {TARNWICK_PROGRAM_DIR "/tarnwick",
                                          "--machine-type",
                                          "1",
                                          "--add",
                                          TARNWICK_EXAMPLES_DIR "/engraving.rml",
                                          "--run",
                                          "--quit-when-done"};
    const auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> p;
        for (auto& text : texts) p.push_back(text.data());
        p.push_back(nullptr);
        return p;
    };
    std::vector<std::string> env = environment;
    std::vector<char*> argv = pointers(arguments), envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

// The child's exit code once it has ended within `limit`; killed and reaped otherwise.
std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    const bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return std::nullopt;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void BM_UnplugToExit(benchmark::State& state) {
    // The cable goes at any moment of the running job, not only as it begins.
    std::mt19937 random(20241);
    std::uniform_int_distribution<int> intoJobMs(0, 500);
    std::vector<double> exits, starts;
    std::string codes;
    for (auto _ : state) {
        usbemu::Testbed testbed;
        usbemu::EmulatedMill& mill = testbed.AddMill();
        const TempFolder folder;
        std::filesystem::create_symlink(USB_DRIVER_DIR "/RDUPSLT.DLL", folder.path + "RDUPSLT.DLL");
        const auto environment = testbed.ChildEnvironmentEntries(
            {{"TARNWICK_PROGRAM_FOLDER", folder.path}, {"QT_QPA_PLATFORM", "offscreen"}});
        const std::string outputPath = folder.path + "output.txt";
        const auto started = Clock::now();
        const pid_t child = StartProgram(environment, outputPath);
        if (child < 0) return state.SkipWithError("cannot start the program");
        if (!WaitUntil([&] { return mill.JobBytesReceived() > 0; }, std::chrono::seconds(30))) {
            WaitForExit(child, std::chrono::milliseconds(0));
            return state.SkipWithError("no job data reached the mill");
        }
        starts.push_back(Seconds(Clock::now() - started));
        std::this_thread::sleep_for(std::chrono::milliseconds(intoJobMs(random)));
        const auto unplugged = Clock::now();
        mill.Unplug();
        const std::optional<int> code = WaitForExit(child, std::chrono::seconds(15));
        const auto exited = Clock::now();
        if (!code) return state.SkipWithError("the program did not exit within 15 s");
        state.SetIterationTime(Seconds(exited - unplugged));
        exits.push_back(Seconds(exited - unplugged) * 1e3);
        codes += (codes.empty() ? "" : ",") + std::to_string(*code);
        std::ifstream output(outputPath);
        const std::string said((std::istreambuf_iterator<char>(output)), {});
        if (said.find(CCommandThread::kMachineLostText) == std::string::npos)
            return state.SkipWithError(("the program did not say so: " + said).c_str());
    }
    ReportSamples(state, std::move(exits), "ms");
    state.counters["start_to_job_data_s"] =
        std::accumulate(starts.begin(), starts.end(), 0.0) / double(starts.size());
    state.SetLabel("exit codes " + codes);
}
BENCHMARK(BM_UnplugToExit)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
