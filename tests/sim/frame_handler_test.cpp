#include "machine/frame_handler.h"

#include <gtest/gtest.h>

#include <vector>

#include "control_codes.h"
#include "sim_test_util.h"

namespace {

using namespace simtest;
using Frame = std::vector<std::uint8_t>;

class FrameHandlerTest : public ::testing::Test {
protected:
    bool Call(std::uint32_t code, const Frame& frame, std::uint32_t capacity = 256) {
        return handler.Handle(code, frame, capacity, reply);
    }

    sim::VirtualClock clock;
    sim::Machine machine{Mdx40(), clock};
    sim::FrameHandler handler{machine};
    Frame reply;
};

struct FrameCase {
    const char* name;
    std::uint32_t code;
    Frame request;
    std::uint32_t capacity;
    std::size_t replyLength;
};

TEST_F(FrameHandlerTest, EveryFrameIsAnsweredWithItsReplyLength) {
    const std::vector<FrameCase> cases = {
        {"WaitDone", kRead, {0x02, 0, 0}, 6, 6},
        {"SetAddress", kWrite, {0x03, 0, 0, 0x00, 0xFF, 0xFF, 0x54}, 0, 0},
        {"ReadMemory", kRead, {0x05, 0, 1}, 3, 3},
        {"PulseBits raise", kWrite, {0x12, 0, 1, 64}, 0, 0},
        {"PulseBits lower", kWrite, {0x12, 0, 0, 64}, 0, 0},
        {"WriteBlock", kWrite, {0x15, 0, 5, 1, 2}, 0, 0},
        {"ReadBlock 4", kRead, {0x16, 0, 4}, 38, 38},
        {"ReadBlock 5", kRead, {0x16, 0, 5}, 22, 22},
        {"ReadBlock 0 bytes", kRead, {0x16, 0, 4}, 0, 0},
        {"ReadMachinePosition", kRead, {0x17}, 19, 19},
        {"ReadUserPosition", kRead, {0x1D}, 19, 19},
        {"ReadStatus", kRead, {0x1F}, 31, 31},
        {"SetSpindle", kWrite, {0x20, 0, 3, 0, 0, 0x27, 0x10}, 0, 0},
        {"SetOrigin",
         kWrite,
         {0x23, 0, 0x0F, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4},
         0,
         0},
        {"SetFeedOverride", kWrite, {0x26, 0, 0, 0, 100}, 0, 0},
        {"SetSpindleOverride", kWrite, {0x28, 0, 0, 0, 100}, 0, 0},
        {"ReadCommandsDone", kRead, {0x29, 0, 0}, 4, 4},
        {"ProbeTo", kWrite, {0x96, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x27, 0x10, 0, 50}, 0, 0},
        {"MoveTo",
         kWrite,
         {0x99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x27, 0x10, 0, 0, 0, 0, 0x0B, 0xB8},
         0,
         0},
    };
    for (const auto& c : cases) {
        reply.assign(3, 0xEE);
        EXPECT_TRUE(Call(c.code, c.request, c.capacity)) << c.name;
        EXPECT_EQ(reply.size(), c.replyLength) << c.name;
    }
}

TEST_F(FrameHandlerTest, MalformedFramesFailAndTheMachineKeepsWorking) {
    const std::vector<std::pair<std::uint32_t, Frame>> bad = {
        {kRead, {}},                                     // empty
        {kRead, {0x77}},                                 // unknown opcode
        {kWrite, {0x1F}},                                // a read sent as a write
        {kRead, {0x99, 0, 0}},                           // a write sent as a read
        {0x220040, {0x1F}},                              // unknown control code
        {kRead, {0x1F, 0}},                              // too long
        {kWrite, {0x99, 0, 0, 0, 0}},                    // too short
        {kRead, {0x02, 0, 1}},                           // field out of range
        {kWrite, {0x03, 0, 0, 0x00, 0xFF, 0xFF, 0x55}},  // an address the machine lacks
        {kRead, {0x16, 0, 7}},                           // no such block
        {kWrite, {0x12, 0, 2, 32}},                      // neither raise nor lower
        {kWrite, {0x23, 0, 0x10, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4}},  // bad mask
    };
    for (const auto& [code, frame] : bad) {
        EXPECT_FALSE(Call(code, frame)) << "opcode " << (frame.empty() ? -1 : frame[0]);
        EXPECT_TRUE(reply.empty());
    }
    EXPECT_FALSE(Call(kRead, {0x05, 0, 1})) << "memory read before any address";
    EXPECT_FALSE(Call(kRead, {0x1F}, 30)) << "reply buffer too small";
    EXPECT_FALSE(Call(kRead, {0x16, 0, 4}, 39)) << "read past the block";
    ASSERT_TRUE(Call(kRead, {0x1F}));
    EXPECT_EQ(reply[3], sim::kStatusIdle);
}

TEST_F(FrameHandlerTest, FieldsAreBigEndianBothWays) {
    // MoveTo X 0x00001234, Y 2, Z 10500, A -1 at 3000.
    ASSERT_TRUE(Call(kWrite, {0x99, 0, 0,    0,    0,    0x12, 0x34, 0,    0,    0,   2,
                              0,    0, 0x29, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x0B, 0xB8}));
    ASSERT_TRUE(Call(kRead, {0x02, 0, 0}, 6));
    EXPECT_EQ(reply[0], 1) << "busy while moving";
    clock.Advance(1min);
    ASSERT_TRUE(Call(kRead, {0x02, 0, 0}, 6));
    EXPECT_EQ(reply[0], 0);
    EXPECT_EQ(machine.MachinePosition(), (sim::Counts{0x1234, 2, 10500, -1}));

    ASSERT_TRUE(Call(kRead, {0x17}, 19));
    EXPECT_EQ(Frame(reply.begin(), reply.begin() + 8), (Frame{0, 0, 0x12, 0x34, 0, 0, 0, 2}));
    EXPECT_EQ(Frame(reply.begin() + 12, reply.begin() + 16), (Frame{0xFF, 0xFF, 0xFF, 0xFF}));

    ASSERT_TRUE(Call(kWrite, {0x20, 0, 3, 0, 0, 0x27, 0x10}));  // spindle 10000
    ASSERT_TRUE(Call(kRead, {0x1F}, 31));
    EXPECT_EQ(Frame(reply.begin(), reply.begin() + 4), (Frame{0, 0, 0, 0x22}));
    EXPECT_EQ(Frame(reply.begin() + 24, reply.begin() + 28), (Frame{0, 0, 0x27, 0x10}));
}

TEST_F(FrameHandlerTest, SensorBitsAreReadThroughTheAddressFrame) {
    ASSERT_TRUE(Call(kWrite, {0x03, 0, 0, 0x00, 0xFF, 0xFF, 0x54}));
    ASSERT_TRUE(Call(kRead, {0x05, 0, 1}, 3));
    EXPECT_EQ(reply[0], 3) << "connected, not touched";
    machine.SetCableConnected(false);
    ASSERT_TRUE(Call(kRead, {0x05, 0, 1}, 3));
    EXPECT_EQ(reply[0], 2);
}

TEST_F(FrameHandlerTest, ParameterBlockWritesReadBack) {
    Frame write = {0x15, 0, 4};
    for (int i = 0; i < 38; ++i) write.push_back(static_cast<std::uint8_t>(200 - i));
    ASSERT_TRUE(Call(kWrite, write));
    ASSERT_TRUE(Call(kRead, {0x16, 0, 4}, 38));
    EXPECT_EQ(reply, Frame(write.begin() + 3, write.end()));
    write.push_back(0);
    EXPECT_FALSE(Call(kWrite, write)) << "one byte more than the block";
}

TEST_F(FrameHandlerTest, StopPulsesThroughFramesClearAJob) {
    machine.ReceiveJobData(Bytes("VS1;PU100,0;"));
    for (std::uint8_t mask : {64, 32}) {
        ASSERT_TRUE(Call(kWrite, {0x12, 0, 1, mask}));
        ASSERT_TRUE(Call(kWrite, {0x12, 0, 0, mask}));
    }
    ASSERT_TRUE(Call(kRead, {0x1F}, 31));
    EXPECT_EQ(reply[3], sim::kStatusJob);
    clock.Advance(sim::kClearingPeriod);
    ASSERT_TRUE(Call(kRead, {0x1F}, 31));
    EXPECT_EQ(reply[3], sim::kStatusIdle);
}

}  // namespace
