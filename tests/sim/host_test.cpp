// Machines shared between processes, hosts that go away, injected faults and
// the job channel, with the driver library and tarnwick-sim as separate parts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <fstream>
#include <thread>

#include "driver_library.h"
#include "host/control_client.h"
#include "host/machine_host.h"
#include "host/runtime_dir.h"
#include "host/unix_socket.h"
#include "sim_environment.h"
#include "sim_test_util.h"
#include "tool_process.h"

namespace {

using namespace simtest;

class HostTest : public ::testing::Test {
protected:
    long Read(const Frame& frame, std::uint32_t length) { return calls.Read(frame, length); }
    int Write(const Frame& frame) { return calls.Write(frame); }
    void WaitDone() { ASSERT_TRUE(calls.WaitDone()); }
    std::string ControlPath(const char* model) { return sim::ControlSocketPath(dir.Path(), model); }

    ScopedSimDir dir;
    DriverLibrary driver;
    DriverCalls calls{driver};
    std::array<std::uint8_t, 256>& reply = calls.reply;
};

TEST_F(HostTest, TwoProcessesShareOneMachine) {
    ASSERT_EQ(driver.Open("Roland MDX-40"), 1);  // starts the host inside this process
    ASSERT_EQ(
        Write({0x99, 0, 0, 0, 0, 0x04, 0xD2, 0, 0, 0, 0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0x0B, 0xB8}),
        1);
    WaitDone();

    const auto status = RunTool({"status", "Roland MDX-40"});
    EXPECT_EQ(status.exitCode, 0) << status.output;
    EXPECT_NE(status.output.find("position:         X 1234 Y 0 Z 8192 A 0"), std::string::npos)
        << status.output;

    // The other way round: another process moves it, this one reads where to.
    const std::string job = dir.Path() + "/move.rml";
    std::ofstream(job) << "VS50;!PZ0,0;PU700,900;\n";
    const auto print = RunTool({"print", "Roland MDX-40", job});
    EXPECT_EQ(print.exitCode, 0) << print.output;
    EXPECT_NE(print.output.find("sent 3 commands"), std::string::npos) << print.output;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(Read({0x29, 0, 0}, 4), 4);
        if (reply[3] == 3) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(Read({0x1D}, 19), 19);
    EXPECT_EQ(Frame(reply.data(), 8), (Frame{0, 0, 0x02, 0xBC, 0, 0, 0x03, 0x84}));
}

TEST_F(HostTest, KillingTheHostMakesEveryLaterCallFail) {
    const pid_t host = SpawnTool({"serve", "Roland JWX-10"});
    ASSERT_GT(host, 0);
    ASSERT_TRUE(WaitForFile(ControlPath("Roland JWX-10")));
    ASSERT_EQ(driver.Open("Roland JWX-10"), 1);
    EXPECT_EQ(Read({0x1F}, 31), 31);

    ::kill(host, SIGKILL);
    ::waitpid(host, nullptr, 0);
    EXPECT_EQ(Read({0x1F}, 31), -1);
    EXPECT_EQ(Read({0x17}, 19), -1);
    EXPECT_EQ(Write({0x26, 0, 0, 0, 100}), 0);

    // Opening again finds the dead host's socket and starts a fresh machine here.
    ASSERT_EQ(driver.Open("Roland JWX-10"), 1);
    EXPECT_EQ(Read({0x1F}, 31), 31);
}

TEST_F(HostTest, StoppedHostEndsItsConnectionsAndTheToolSaysSo) {
    const pid_t host = SpawnTool({"serve", "Roland JWX-10"});
    ASSERT_GT(host, 0);
    ASSERT_TRUE(WaitForFile(ControlPath("Roland JWX-10")));
    ASSERT_EQ(driver.Open("Roland JWX-10"), 1);
    ::kill(host, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(host, &status, 0), host);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Read({0x1F}, 31), -1);
    const auto result = RunTool({"status", "Roland JWX-10"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("is not running"), std::string::npos) << result.output;
    EXPECT_EQ(RunTool({"status", "Roland XYZ"}).exitCode, 2);
}

TEST_F(HostTest, InjectedFaults) {
    ASSERT_EQ(driver.Open("Roland MDX-40"), 1);
    const auto fault = [](const char* what) {
        return RunTool({"fault", "Roland MDX-40", what}).exitCode;
    };
    ASSERT_EQ(RunTool({"fault", "Roland MDX-40", "fail-opcode", "31"}).exitCode, 0);
    EXPECT_EQ(Read({0x1F}, 31), -1);
    EXPECT_EQ(Read({0x17}, 19), 19) << "other opcodes still work";

    ASSERT_EQ(fault("stall"), 0);
    ASSERT_EQ(Write({0x26, 0, 0, 0, 100}), 1);
    EXPECT_EQ(Read({0x02, 0, 0}, 6), 6);
    EXPECT_EQ(reply[0], 1) << "completion never comes";

    ASSERT_EQ(fault("clear"), 0);
    EXPECT_EQ(Read({0x1F}, 31), 31);
    EXPECT_EQ(Read({0x02, 0, 0}, 6), 6);
    EXPECT_EQ(reply[0], 0);

    ASSERT_EQ(fault("lose"), 0);
    EXPECT_EQ(Read({0x1F}, 31), -1);
    EXPECT_EQ(Read({0x1F}, 31), -1);
    EXPECT_EQ(driver.Open("Roland MDX-40"), 0) << "a lost machine cannot be opened";
    ASSERT_EQ(fault("clear"), 0);
    ASSERT_EQ(driver.Open("Roland MDX-40"), 1);
    EXPECT_EQ(Read({0x1F}, 31), 31);
    EXPECT_EQ(fault("bogus"), 1);
}

TEST_F(HostTest, PanelCommandsReachTheMachine) {
    ASSERT_EQ(driver.Open("Roland MDX-40"), 1);
    ASSERT_EQ(RunTool({"view", "Roland MDX-40", "on"}).exitCode, 0);
    ASSERT_EQ(Read({0x1F}, 31), 31);
    EXPECT_EQ(reply[3] & 0x80, 0x80);
    ASSERT_EQ(RunTool({"cable", "Roland MDX-40", "off"}).exitCode, 0);
    ASSERT_EQ(Write({0x03, 0, 0, 0x00, 0xFF, 0xFF, 0x54}), 1);
    ASSERT_EQ(Read({0x05, 0, 1}, 3), 3);
    EXPECT_EQ(reply[0] & 1, 0) << "cable unplugged";
    EXPECT_EQ(RunTool({"view", "Roland MDX-40", "maybe"}).exitCode, 1);
}

TEST(MachineHost, OneHostPerModelAndStopEndsWaitingConnectionsPromptly) {
    ScopedSimDir dir("1", "5000000");  // a reply takes five seconds
    std::string error;
    auto host = sim::MachineHost::Start(*sim::FindProfile("Roland MDX-40"),
                                        sim::HostOptions::FromEnvironment(), error);
    ASSERT_TRUE(host) << error;
    EXPECT_FALSE(sim::MachineHost::Start(*sim::FindProfile("Roland MDX-40"),
                                         sim::HostOptions::FromEnvironment(), error));
    EXPECT_NE(error.find("already running"), std::string::npos);

    auto client = sim::ControlClient::Connect(sim::ControlSocketPath(dir.Path(), "Roland MDX-40"));
    ASSERT_TRUE(client);
    std::optional<sim::ControlResponse> answer{sim::ControlResponse{}};
    std::thread caller([&] {
        answer = client->Call({sim::RequestKind::Frame, kRead, 31, {0x1F}});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    host->Stop();
    caller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(answer) << "the call in flight fails";
}

TEST(MachineHost, JobChannelTakesADocumentPerConnection) {
    ScopedSimDir dir("1000000");
    std::string error;
    auto host = sim::MachineHost::Start(*sim::FindProfile("Roland MDX-40"),
                                        sim::HostOptions::FromEnvironment(), error);
    ASSERT_TRUE(host) << error;
    const std::string job = AsStreamed("^IN;V15;Z100,100,100;Z0,0,0;trailing");
    {
        sim::UniqueFd channel = sim::ConnectUnix(sim::JobSocketPath(dir.Path(), "Roland MDX-40"));
        ASSERT_TRUE(channel.Valid());
        ASSERT_TRUE(sim::SendAll(channel.Get(), job.data(), job.size()));
    }
    for (int i = 0; i < 2000 && host->JobBytesReceived() < job.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(host->JobBytesReceived(), job.size());
    for (int i = 0; i < 2000; ++i) {
        if (host->Machine().With([](sim::Machine& m) { return m.StatusWord(); }) == 2) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(host->Machine().With([](sim::Machine& m) { return m.CommandsDone(); }), 4u);
}

}  // namespace
