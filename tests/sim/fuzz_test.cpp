// Bounded random input for the frame handler and the job interpreter: no
// crash, no reply longer than its buffer, the machine always within travel,
// and still working afterwards. Fixed seeds keep failures reproducible.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "control_codes.h"
#include "machine/frame_handler.h"
#include "sim_test_util.h"

namespace {

using namespace simtest;

constexpr std::uint8_t kOpcodes[] = {2, 3, 5, 18, 21, 22, 23, 29, 31, 32, 35, 38, 40, 41, 150, 153};

bool WithinTravel(sim::Machine& machine) {
    const auto c = machine.MachinePosition();
    const auto& p = machine.Profile();
    return c.x >= 0 && c.x <= p.maxX && c.y >= 0 && c.y <= p.maxY && c.z >= 0 && c.z <= p.maxZ;
}

class Fuzz : public ::testing::Test {
protected:
    std::uint8_t Byte() { return static_cast<std::uint8_t>(random()); }

    // Mostly well-formed frames of the known opcodes, with random fields, now
    // and then a random length, opcode or control code.
    void RandomFrame() {
        std::vector<std::uint8_t> frame(1 + random() % 24);
        for (auto& b : frame) b = Byte();
        frame[0] = random() % 8 ? kOpcodes[random() % std::size(kOpcodes)] : Byte();
        if (frame.size() > 2 && random() % 2) frame[1] = frame[2] = 0;
        const std::uint32_t code = random() % 16 ? (random() % 2 ? kWrite : kRead) : random();
        const std::uint32_t capacity = random() % 4 ? 256 : random() % 64;
        std::vector<std::uint8_t> reply;
        if (handler.Handle(code, frame, capacity, reply)) {
            ASSERT_LE(reply.size(), capacity);
        } else {
            ASSERT_TRUE(reply.empty());
        }
    }

    std::mt19937 random{20240607};
    sim::VirtualClock clock;
    sim::Machine machine{Mdx40(), clock};
    sim::FrameHandler handler{machine};
};

TEST_F(Fuzz, FrameHandlerSurvivesRandomFrames) {
    for (int i = 0; i < 100'000; ++i) {
        RandomFrame();
        if (i % 50 == 0) clock.Advance(std::chrono::milliseconds(random() % 5000));
        ASSERT_TRUE(WithinTravel(machine)) << "frame " << i;
    }
    machine.SetOutputBits(true, 32);
    machine.SetOutputBits(false, 32);
    machine.SetViewMode(false);
    machine.SetFeedOverride(100);
    machine.MoveTo({100, 200, 300, 0}, 3000);
    clock.Advance(std::chrono::hours(1));
    EXPECT_EQ(machine.StatusWord() & 0x8F, sim::kStatusIdle);
    EXPECT_EQ(machine.MachinePosition(), (sim::Counts{100, 200, 300, 0}));
}

TEST_F(Fuzz, JobInterpreterSurvivesRandomStreams) {
    // Bytes drawn mostly from the language's own alphabet, so that commands
    // really form and run; sometimes anything at all.
    const std::string alphabet = "PAUDRZVSFHIMWN!^@;;;,,,,---...0123456789      \t\n\r";
    machine.SetOrigin(0xF, {15000, 15000, 5000, 0});
    for (int round = 0; round < 200; ++round) {
        std::string chunk(random() % 8192, '\0');
        for (auto& c : chunk) {
            c = random() % 10 ? alphabet[random() % alphabet.size()] : static_cast<char>(Byte());
        }
        machine.ReceiveJobData(Bytes(chunk));
        if (round % 3 == 0) RandomFrame();
        clock.Advance(std::chrono::seconds(random() % 600));
        ASSERT_TRUE(WithinTravel(machine)) << "round " << round;
    }
    machine.SetViewMode(false);
    machine.SetFeedOverride(100);
    clock.Advance(std::chrono::hours(1'000'000));
    EXPECT_EQ(machine.JobBytesQueued(), 0u);
    EXPECT_NE(machine.StatusWord() & 0x0F, sim::kStatusJob);

    // Still a working machine: a clean job runs.
    machine.ReceiveJobData(Bytes(";PA;PU0,0;"));
    clock.Advance(std::chrono::hours(1));
    EXPECT_EQ(machine.CommandsDone(), 3u);
    EXPECT_EQ(machine.UserPosition().x, 0);
}

}  // namespace
