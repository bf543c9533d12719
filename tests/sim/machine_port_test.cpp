// The program's own machine port, CMachinePort, against the simulated driver
// library loaded by name from the program folder: every command it has, end
// to end, with the values the machine should give back.
#include "link/machine_port.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "host/control_client.h"
#include "host/runtime_dir.h"
#include "machine/probe_geometry.h"
#include "machine/profile.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "sim_environment.h"

namespace {

using namespace simtest;

constexpr const char* kModel = "Roland MDX-40";

class MachinePortTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramFolder(TARNWICK_PROGRAM_DIR);
        platform::SetMessageBoxHandler(
            [this](const std::string& text, const std::string&) { messages.push_back(text); });
        port.SetPortName(kModel);
        ASSERT_TRUE(port.OpenPort());
    }
    void TearDown() override {
        port.ClosePort();
        platform::SetMessageBoxHandler({});
        platform::SetProgramFolder("");
    }
    void Panel(const std::string& command) {
        auto client = sim::ControlClient::Connect(sim::ControlSocketPath(dir.Path(), kModel));
        ASSERT_TRUE(client);
        const auto answer = client->Command(command);
        ASSERT_TRUE(answer && answer->ok);
    }

    // Polls for at most five seconds of real time.
    bool StatusBecomes(int expected) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            if (port.ReadStatus() == expected) return true;
        }
        return false;
    }

    ScopedSimDir dir{"20"};
    CMachinePort port;
    std::vector<std::string> messages;
};

TEST_F(MachinePortTest, EveryCommandWorksAgainstTheSimulatedMachine) {
    EXPECT_EQ(port.ReadStatus(), 2);
    EXPECT_TRUE(port.SetFeedOverride(100));
    EXPECT_TRUE(port.SetSpindleOverride(100));
    EXPECT_TRUE(port.SetSpindle(10000));
    std::int32_t rpm = 0;
    ASSERT_TRUE(port.ReadSpindle(rpm));
    EXPECT_EQ(rpm, 10000);
    EXPECT_EQ(port.ReadStatus(), 2) << "the spindle bit lies outside the status mask";
    EXPECT_TRUE(port.SetSpindle(0));

    ASSERT_TRUE(port.MoveTo(1000, 2000, 9000, 0, 5000));  // returns once arrived
    MachinePosition position;
    ASSERT_TRUE(port.ReadMachinePosition(position));
    EXPECT_EQ(position, (MachinePosition{1000, 2000, 9000, 0}));
    EXPECT_TRUE(port.SetOrigin(100, 200, 300, 9000));
    ASSERT_TRUE(port.ReadUserPosition(position));
    EXPECT_EQ(position, (MachinePosition{900, 1800, 8700, -9000}));
    MachinePosition origin;
    ASSERT_TRUE(port.ReadOrigin(origin));
    EXPECT_EQ(origin, (MachinePosition{100, 200, 300, 9000}));

    std::uint8_t block4[38] = {};
    ASSERT_NE(port.ReadBlock(4, block4, 38), 0);
    EXPECT_EQ(static_cast<std::int16_t>((block4[36] << 8) | block4[37]), -950);
    std::uint8_t block5[22];
    for (int i = 0; i < 22; ++i) block5[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_NE(port.WriteBlock(5, block5, 22), 0);
    std::uint8_t back[22] = {};
    ASSERT_NE(port.ReadBlock(5, back, 22), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 22),
              std::vector<std::uint8_t>(block5, block5 + 22));

    std::uint32_t done = 99;
    ASSERT_TRUE(port.ReadCommandsDone(done));
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(port.WaitDone());
}

TEST_F(MachinePortTest, ToolDetectionProbeFindsTheSensor) {
    const auto& profile = *sim::FindProfile(kModel);
    EXPECT_TRUE(port.IsSensorConnected());
    ASSERT_TRUE(
        port.MoveTo(profile.toolSensorX, profile.toolSensorY, profile.toolSensorZ, 0, 3000));
    EXPECT_FALSE(port.IsSensorTouched());
    ASSERT_TRUE(port.ProbeTo(profile.toolSensorX, profile.toolSensorY, 4000, 50));
    MachinePosition position;
    ASSERT_TRUE(port.ReadMachinePosition(position));
    EXPECT_NEAR(position.z, sim::ProbeGeometry(profile).ToolSensorTopZ(), 1);
    EXPECT_TRUE(port.IsSensorTouched());
    Panel("cable off");
    EXPECT_FALSE(port.IsSensorConnected());
}

TEST_F(MachinePortTest, StopPulsesViewModeAndALostMachine) {
    EXPECT_TRUE(port.PulseBits(64));
    EXPECT_TRUE(port.PulseBits(32));
    EXPECT_EQ(port.ReadStatus(), 3) << "clearing memory";
    EXPECT_TRUE(StatusBecomes(2)) << "idle after the clearing period";

    Panel("view on");
    EXPECT_TRUE(StatusBecomes(130)) << "parked in View mode";
    Panel("view off");
    EXPECT_EQ(port.ReadStatus(), 2);

    Panel("fault lose");
    EXPECT_EQ(port.ReadStatus(), -1);
    MachinePosition position;
    EXPECT_FALSE(port.ReadMachinePosition(position));
    Panel("fault clear");
}

TEST(MachinePortOpen, AnUnknownMachineCannotBeOpened) {
    ScopedSimDir dir;
    platform::SetProgramFolder(TARNWICK_PROGRAM_DIR);
    std::vector<std::string> messages;
    platform::SetMessageBoxHandler(
        [&](const std::string& text, const std::string&) { messages.push_back(text); });
    CMachinePort port;
    port.SetPortName("Roland MDX-50");
    EXPECT_FALSE(port.OpenPort());
    EXPECT_EQ(messages, std::vector<std::string>{"Couldn't open port to Roland machine."});
    platform::SetMessageBoxHandler({});
    platform::SetProgramFolder("");
}

// Two programs on one machine: a write command holds the machine's port mutex
// from its send until the machine reports it done, so another process's write
// waits for all of it.
constexpr std::int32_t kFarX = 10000;  // 100 mm: two seconds at 3000 mm/min

TEST(MachinePortSharing, AWriteOfAnotherProcessWaitsUntilAMoveHasArrived) {
    ScopedSimDir dir{"1"};  // machine time at real speed
    platform::SetProgramFolder(TARNWICK_PROGRAM_DIR);
    CMachinePort port;
    port.SetPortName(kModel);
    ASSERT_TRUE(port.OpenPort());  // the machine's host runs in this process

    std::string program = TARNWICK_TEST_BIN "/machine_port_mover", model = kModel,
                folder = TARNWICK_PROGRAM_DIR, x = std::to_string(kFarX);
    char* argv[] = {program.data(), model.data(), folder.data(), x.data(), nullptr};
    pid_t child = -1;
    ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (port.ReadStatus() != 1 && std::chrono::steady_clock::now() < end) {
    }
    ASSERT_EQ(port.ReadStatus(), 1) << "the other process never started its move";

    // Sent now, the origin reaches the machine only once the move has arrived.
    port.SetOrigin(1, 2, 3, 4);
    MachinePosition machine;
    ASSERT_TRUE(port.ReadMachinePosition(machine));
    EXPECT_EQ(machine, (MachinePosition{kFarX, 0, 10500, 0}));
    MachinePosition origin;
    ASSERT_TRUE(port.ReadOrigin(origin));
    EXPECT_EQ(origin, (MachinePosition{1, 2, 3, 4}));

    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    port.ClosePort();
    platform::SetProgramFolder("");
}

}  // namespace
