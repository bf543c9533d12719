// Job output through the print spooler: a private CUPS scheduler with a raw
// queue to the simulated machine's job port, as a networked mill would have.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/print_channel.h"
#include "private_spooler.h"
#include "running_machine.h"
#include "service/control_ids.h"
#include "service/job_output.h"
#include "service/requests.h"

namespace {

std::string Example(const char* name) { return std::string(TARNWICK_EXAMPLES_DIR) + "/" + name; }

// What the machine must receive for a job file: each ';'-terminated command
// followed by one zero byte, nothing after the last ';'.
std::string Sent(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    std::string sent;
    std::size_t whole = 0;
    for (const char c : text) {
        sent += c;
        if (c == ';') whole = (sent += '\0').size();
    }
    return sent.substr(0, whole);
}

// A networked "printer" on the loopback address that keeps what each
// connection brought.
class CapturingPrinter {
public:
    CapturingPrinter() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            std::abort();
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            for (int client; (client = ::accept(m_listener, nullptr, nullptr)) >= 0;) {
                std::string document;
                char buffer[65536];
                for (ssize_t n; (n = ::read(client, buffer, sizeof buffer)) > 0;)
                    document.append(buffer, std::size_t(n));
                ::close(client);
                const std::lock_guard lock(m_mutex);
                m_documents.push_back(std::move(document));
            }
        });
    }
    ~CapturingPrinter() {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
    }
    std::string Device() const { return "socket://127.0.0.1:" + std::to_string(m_port); }
    std::vector<std::string> Documents() {
        const std::lock_guard lock(m_mutex);
        return m_documents;
    }

private:
    int m_listener = -1;
    int m_port = 0;
    std::mutex m_mutex;
    std::vector<std::string> m_documents;
    std::thread m_thread;
};

class SpoolerTest : public RunningMachineTest {
protected:
    explicit SpoolerTest(const char* speed = "500", const char* latencyUs = "0")
        : RunningMachineTest(speed, latencyUs) {}
    void SetUp() override {
        if (!spooler.WhyNot().empty()) GTEST_SKIP() << spooler.WhyNot();
        RunningMachineTest::SetUp();
        port.SetOrigin(15250, 15250, 3000, 0);
    }
    // The machine's queue, as `tarnwick-sim queue` makes it.
    void AddMachineQueue() {
        ASSERT_EQ(Sim({"queue", kModel, "add"}), 0);
    }
    static int Sim(const std::vector<std::string>& arguments) {
        return PrivateSpooler::Run(TARNWICK_PROGRAM_DIR "/tarnwick-sim", arguments);
    }
    void Run(const std::vector<std::string>& files) {
        for (const std::string& file : files) ASSERT_TRUE(state.runList.Add(file));
        thread.Resume();
        ASSERT_TRUE(RequestRun(state, config));
    }
    bool RunEnded() { return state.jobState.load() == kJobIdle && state.lastStatus.load() == 2; }
    std::uint32_t CommandsDone() {
        std::uint32_t done = 0;
        EXPECT_TRUE(port.ReadCommandsDone(done));
        return done;
    }
    void StartLargeDocument();
    // Asked on a thread of its own: the client library keeps the server a
    // thread asked first, and each test has a scheduler of its own.
    static bool SpoolerHoldsOurs() {
        return std::async(std::launch::async,
                          [] { return platform::SpoolerHoldsDocuments(kModel); })
            .get();
    }
    // A queue that takes no jobs, or a scheduler that dies while it takes one:
    // the run ends with the operator told, and nothing goes to the machine.
    void ExpectNotSent() {
        ASSERT_TRUE(WaitFor([&] { return state.jobState.load() == kJobIdle; }, 40000));
        EXPECT_EQ(state.filesNotSent.load(), 1);
        EXPECT_EQ(state.runList.CurrentIndex(), 0) << "a later file of the run was sent";
        EXPECT_EQ(display.Text(Window::Main, IDC_STATUS), JobOutput::kNotSentText);
        EXPECT_EQ(CommandsDone(), 0u);
    }

    PrivateSpooler spooler;
};

std::string RealJob() {
#ifdef TARNWICK_JOBS_DIR
    return TARNWICK_JOBS_DIR "/pcb_traces.rml";
#else
    return Example("engraving.rml");
#endif
}

TEST_F(SpoolerTest, ARealJobGoesThroughTheSpoolersQueueToTheMachine) {
    AddMachineQueue();
    EXPECT_EQ(PrivateSpooler::Run("sh", {"-c", std::string(TARNWICK_PROGRAM_DIR) +
                                                   "/tarnwick-sim status '" + kModel +
                                                   "' | grep -q '^job port: *[1-9]'"}),
              0);
    Run({RealJob()});
    const std::uint32_t commands = state.runList.CommandCount();
    ASSERT_TRUE(WaitFor([&] { return CommandsDone() == commands && RunEnded(); }));
    // The spooler has the job, done, under the queue's name.
    EXPECT_EQ(PrivateSpooler::Run("sh", {"-c", "lpstat -W completed -o | grep -q Roland_MDX-40"}),
              0);
    EXPECT_FALSE(SpoolerHoldsOurs());
    ASSERT_EQ(Sim({"queue", kModel, "remove"}), 0);
    EXPECT_NE(PrivateSpooler::Run("lpstat", {"-p", "Roland_MDX-40"}), 0);
}

TEST_F(SpoolerTest, EveryCommandArrivesWithItsZeroByteInOrderOneDocumentPerFile) {
    CapturingPrinter printer;
    ASSERT_EQ(PrivateSpooler::Run("lpadmin", {"-p", "Roland_MDX-40", "-D", kModel, "-v",
                                              printer.Device(), "-E"}),
              0);
    const std::string empty = folder + "no_commands.prn";
    std::ofstream(empty) << "PA\nno command ends here";
    std::vector<std::string> files = {Example("engraving.rml"), empty, Example("pocket.rml"),
                                      Example("rotary.rml")};
#ifdef TARNWICK_JOBS_DIR
    for (const auto& entry : std::filesystem::directory_iterator(TARNWICK_JOBS_DIR))
        if (entry.path().extension() != ".md") files.push_back(entry.path());
#endif
    Run(files);
    std::vector<std::string> expected;
    for (const std::string& file : files)
        if (!Sent(file).empty()) expected.push_back(Sent(file));
    ASSERT_TRUE(WaitFor([&] {
        return state.jobState.load() == kJobIdle && printer.Documents().size() >= expected.size();
    }));
    EXPECT_EQ(state.runList.CurrentIndex(), int(files.size()));
    EXPECT_EQ(state.filesNotSent.load(), 0);
    const std::vector<std::string> documents = printer.Documents();
    ASSERT_EQ(documents.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(documents[i] == expected[i]) << "document " << i << " differs";
    EXPECT_TRUE(WaitFor([] { return !SpoolerHoldsOurs(); }));
}

TEST_F(SpoolerTest, AMachineWithoutAQueueGetsTheJobOnItsOwnChannel) {
    Run({Example("engraving.rml")});
    ASSERT_TRUE(WaitFor([&] { return CommandsDone() == 128 && RunEnded(); }));
    EXPECT_NE(PrivateSpooler::Run("sh", {"-c", "lpstat -W all -o | grep -q ."}), 0);
}

TEST_F(SpoolerTest, AQueueThatTakesNoJobsEndsTheRunAsNotSent) {
    AddMachineQueue();
    for (const char* refusal : {"cupsdisable", "cupsreject"}) {
        SCOPED_TRACE(refusal);
        ASSERT_EQ(PrivateSpooler::Run(refusal, {"Roland_MDX-40"}), 0);
        state.filesNotSent = 0;
        if (state.runList.Count() == 0) {
            Run({Example("engraving.rml"), Example("pocket.rml")});
        } else {
            ASSERT_TRUE(RequestRun(state, config));
        }
        ExpectNotSent();
        EXPECT_FALSE(SpoolerHoldsOurs());
        ASSERT_EQ(PrivateSpooler::Run("cupsenable", {"Roland_MDX-40"}), 0);
        ASSERT_EQ(PrivateSpooler::Run("cupsaccept", {"Roland_MDX-40"}), 0);
    }
    // The queue taking jobs again, the same run goes through; the message goes.
    ASSERT_TRUE(RequestRun(state, config));
    const std::uint32_t commands = state.runList.CommandCount();
    ASSERT_TRUE(WaitFor([&] { return CommandsDone() == commands && RunEnded(); }));
    EXPECT_EQ(display.Text(Window::Main, IDC_STATUS), "");
}

// A large document, and its first bytes in the scheduler's spool: a request's
// body goes into a file there named by eight hex digits.
void SpoolerTest::StartLargeDocument() {
    AddMachineQueue();
    const std::string big = folder + "big.prn";
    {
        std::ofstream out(big);
        std::string block;
        for (int i = 0; i < 4096; ++i) block += "PU0,0;";
        for (int i = 0; i < 3000; ++i) out << block;  // about 70 MiB
    }
    Run({big, Example("engraving.rml")});
    const std::string spool = spooler.Folder() + "/spool";
    ASSERT_TRUE(WaitFor([&] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(spool, error))
            if (entry.path().filename().string().size() == 8 && entry.file_size(error) > 0)
                return true;
        return false;
    }));
}

TEST_F(SpoolerTest, ASchedulerKilledMidDocumentEndsTheRunAsNotSent) {
    StartLargeDocument();
    spooler.Kill();
    ExpectNotSent();
}

TEST_F(SpoolerTest, ASchedulerThatStopsAnsweringEndsTheRunAsNotSent) {
    StartLargeDocument();
    spooler.Pause(true);
    ExpectNotSent();  // within the spooler's limits: 15 s for a write, 5 s for the cancel
    spooler.Pause(false);
}

// Stop while the spooler still feeds the machine one file and holds the next.
class SpoolerStopTest : public SpoolerTest {
protected:
    SpoolerStopTest() : SpoolerTest("1", "1000") {}
    void SetUp() override {
        // The machine takes little at a time, so the spooler is still writing.
        ::setenv("TARNWICK_SIM_JOB_MEMORY", "8192", 1);
        SpoolerTest::SetUp();
    }
    void TearDown() override {
        SpoolerTest::TearDown();
        ::unsetenv("TARNWICK_SIM_JOB_MEMORY");
    }
};

TEST_F(SpoolerStopTest, StopCancelsWhatTheSpoolerHoldsAndRaisesTheTool) {
    AddMachineQueue();
    port.SetOrigin(100, 100, 9000, 0);
    std::string text = "PA;VS50;!VZ30;!PZ-100,500;!MC1;PU0,0;PD0,0;VS5;PD5000,0;";
    // More than the socket buffers between the spooler and the machine hold.
    for (int i = 0; i < 1000000; ++i) text += "PD0,0;PD5000,0;";
    const std::string slot = folder + "slot.prn";
    std::ofstream(slot) << text << "PU0,0;!MC0;\n";
    Run({slot, Example("engraving.rml")});
    // Both files are with the spooler; the tool is in the stock.
    ASSERT_TRUE(WaitFor([&] {
        const MachinePosition p = Position();
        return state.jobState.load() == kJobIdle && p.z == 8900 && p.x > 300;
    }));
    ASSERT_TRUE(SpoolerHoldsOurs());
    RequestStopCycle(state);
    // The pulses end the cycle; the spooler's jobs are cancelled right after.
    ASSERT_TRUE(WaitFor([&] { return state.cycleCode.load() == kNoCycle; }, 2500));
    ASSERT_TRUE(WaitFor([] { return !SpoolerHoldsOurs(); }, 10000));
    const MachinePosition stopped = Position();
    const std::uint32_t doneAtStop = CommandsDone();
    ASSERT_EQ(Sim({"speed", kModel, "200"}), 0);

    const std::int32_t safeZ = config.Profile().zLimit;
    ASSERT_TRUE(WaitFor([&] { return Position().z == safeZ && port.ReadStatus() == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a minute of machine time
    EXPECT_EQ(Position(), (MachinePosition{stopped.x, stopped.y, safeZ, stopped.a}));
    EXPECT_LE(CommandsDone(), doneAtStop + 1);
    EXPECT_EQ(state.filesNotSent.load(), 0);
}

}  // namespace
