#include "machine/machine.h"

#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace {

using namespace simtest;
using sim::Counts;

class MachineTest : public ::testing::Test {
protected:
    sim::VirtualClock clock;
    sim::Machine machine{Mdx40(), clock};
};

TEST_F(MachineTest, PowersOnIdleAtTheTopWithNeutralSettings) {
    EXPECT_EQ(machine.MachinePosition(), (Counts{0, 0, 10500, 0}));
    EXPECT_EQ(machine.UserPosition(), machine.MachinePosition());
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.Completion(), 0);
    EXPECT_EQ(machine.SensorBits(), sim::kSensorConnected | sim::kSensorNotTouched);
    EXPECT_EQ(machine.SpindleRpm(), 0);
    EXPECT_EQ(machine.FeedOverride(), 100u);
    EXPECT_EQ(machine.CommandsDone(), 0u);
}

TEST_F(MachineTest, MoveTakesDistanceOverSpeedWithAllAxesArrivingTogether) {
    machine.MoveTo({3000, 4000, 10500, 0}, 500);  // 50 mm at 500 mm/min: 6 s
    clock.Advance(3s);
    EXPECT_EQ(machine.MachinePosition(), (Counts{1500, 2000, 10500, 0}));
    EXPECT_EQ(machine.StatusWord(), sim::kStatusBusy);
    EXPECT_EQ(machine.Completion(), 1);
    clock.Advance(2999ms);
    EXPECT_EQ(machine.Completion(), 1);
    clock.Advance(1ms);
    EXPECT_EQ(machine.Completion(), 0);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.MachinePosition(), (Counts{3000, 4000, 10500, 0}));
}

TEST_F(MachineTest, StopPulsesHaltAControlMoveOrProbeWhereItIs) {
    for (const bool probe : {false, true}) {
        sim::VirtualClock clock;
        sim::Machine machine(Mdx40(), clock);
        if (probe) {
            machine.ProbeTo(3000, 4000, 10500, 500);  // nothing to touch up here
        } else {
            machine.MoveTo({3000, 4000, 10500, 0}, 500);
        }
        clock.Advance(3s);
        machine.SetOutputBits(true, 64);
        EXPECT_EQ(machine.Completion(), 0) << probe;                 // raising a bit takes no time
        EXPECT_EQ(machine.StatusWord(), sim::kStatusBusy) << probe;  // the move goes on
        machine.SetOutputBits(false, 64);
        machine.SetOutputBits(true, 32);
        machine.SetOutputBits(false, 32);
        clock.Advance(1h);
        EXPECT_EQ(machine.MachinePosition(), (Counts{1500, 2000, 10500, 0})) << probe;
        EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle) << probe;
    }
}

TEST_F(MachineTest, ZMovesAreLimitedToTheZSpeed) {
    machine.MoveTo({0, 0, 500, 0}, 3000);  // 100 mm: Z tops out at 1800 mm/min
    clock.Advance(3333ms);
    EXPECT_EQ(machine.Completion(), 1);
    clock.Advance(1ms);
    EXPECT_EQ(machine.Completion(), 0);
}

TEST_F(MachineTest, SpeedAndTravelAreClamped) {
    machine.MoveTo({40000, -5, 10500, 0}, 5000);  // 305 mm at no more than 3000 mm/min
    clock.Advance(6099ms);
    EXPECT_EQ(machine.Completion(), 1);
    clock.Advance(1ms);
    EXPECT_EQ(machine.MachinePosition(), (Counts{30500, 0, 10500, 0}));
}

TEST_F(MachineTest, FeedOverrideScalesWhatIsLeftOfAMove) {
    machine.MoveTo({10000, 0, 10500, 0}, 1000);  // 6 s at 100 %
    clock.Advance(3s);
    machine.SetFeedOverride(50);
    clock.Advance(5999ms);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusBusy);
    clock.Advance(1ms);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    machine.SetFeedOverride(0);  // feed hold
    machine.MoveTo({0, 0, 10500, 0}, 3000);
    clock.Advance(1h);
    EXPECT_EQ(machine.MachinePosition().x, 10000);
}

TEST_F(MachineTest, OriginMakesUserPositionMachineMinusOrigin) {
    machine.SetOrigin(0xF, {100, 200, 300, 400});
    EXPECT_EQ(machine.UserPosition(), (Counts{-100, -200, 10200, -400}));
    machine.SetOrigin(0x2, {9, 9, 9, 9});  // Y only
    EXPECT_EQ(machine.Origin(), (Counts{100, 9, 300, 400}));
}

TEST_F(MachineTest, SpindleTurnsWithinItsRangeTimesTheOverride) {
    machine.SetSpindle(10000);
    EXPECT_EQ(machine.SpindleRpm(), 10000);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle | sim::kStatusSpindle);
    machine.SetSpindleOverride(120);
    EXPECT_EQ(machine.SpindleRpm(), 12000);
    machine.SetSpindleOverride(200);
    EXPECT_EQ(machine.SpindleRpm(), 15000);
    machine.SetSpindleOverride(100);
    machine.SetSpindle(100);
    EXPECT_EQ(machine.SpindleRpm(), 4500);
    machine.SetSpindle(0);
    EXPECT_EQ(machine.SpindleRpm(), 0);
}

TEST_F(MachineTest, ParameterBlocksHoldTheFactorySensorOffsetAndCanBeRewritten) {
    std::uint8_t block4[38];
    ASSERT_TRUE(machine.ReadBlock(4, block4));
    const auto offset = static_cast<std::int16_t>((block4[36] << 8) | block4[37]);
    EXPECT_EQ(offset, sim::DefaultSensorOffset(Mdx40()));
    EXPECT_EQ(offset, -950);  // (76.00 - 10.00) - 75.50 mm on the MDX-40

    std::uint8_t block5[22];
    ASSERT_TRUE(machine.ReadBlock(5, block5));
    const std::uint8_t written[] = {1, 2, 3};
    ASSERT_TRUE(machine.WriteBlock(5, written));
    ASSERT_TRUE(machine.ReadBlock(5, block5));
    EXPECT_EQ(block5[2], 3);

    std::uint8_t tooLong[39];
    EXPECT_FALSE(machine.ReadBlock(4, tooLong));
    EXPECT_FALSE(machine.ReadBlock(6, block5));
    EXPECT_FALSE(machine.WriteBlock(4, tooLong));
}

TEST_F(MachineTest, ProbeStopsAtTheToolSensorTopWithinOneCount) {
    const auto& p = Mdx40();
    machine.MoveTo({p.toolSensorX, p.toolSensorY, p.toolSensorZ, 0}, 3000);
    clock.Advance(1min);
    machine.ProbeTo(p.toolSensorX, p.toolSensorY, 4000, 50);
    EXPECT_EQ(machine.Completion(), 2);
    clock.Advance(4200ms);  // 3.50 mm at 50 mm/min
    EXPECT_EQ(machine.Completion(), 0);
    const double top = machine.Geometry().ToolSensorTopZ();
    EXPECT_NEAR(machine.MachinePosition().z, top, 1.0);
    EXPECT_EQ(machine.SensorBits(), sim::kSensorConnected);  // touched: bit 1 clear

    machine.MoveTo({p.toolSensorX, p.toolSensorY, machine.MachinePosition().z + 50, 0}, 50);
    clock.Advance(1s);
    EXPECT_EQ(machine.SensorBits(), sim::kSensorConnected | sim::kSensorNotTouched);

    // A tool 2.00 mm longer touches 2.00 mm higher.
    machine.SetToolLength(sim::kDefaultToolLength + 200);
    machine.MoveTo({p.toolSensorX, p.toolSensorY, p.toolSensorZ, 0}, 3000);
    clock.Advance(1min);
    machine.ProbeTo(p.toolSensorX, p.toolSensorY, 4000, 1000);
    clock.Advance(1min);
    EXPECT_NEAR(machine.MachinePosition().z, top + 200, 1.0);
}

TEST_F(MachineTest, ProbeWithoutTouchOrWithoutCableEndsAtItsTarget) {
    machine.ProbeTo(1000, 1000, 9000, 3000);
    clock.Advance(1min);
    EXPECT_EQ(machine.MachinePosition(), (Counts{1000, 1000, 9000, 0}));

    const auto& p = Mdx40();
    machine.SetCableConnected(false);
    EXPECT_EQ(machine.SensorBits(), sim::kSensorNotTouched);
    machine.MoveTo({p.toolSensorX, p.toolSensorY, p.toolSensorZ, 0}, 3000);
    clock.Advance(1min);
    machine.ProbeTo(p.toolSensorX, p.toolSensorY, 4000, 3000);
    clock.Advance(1min);
    EXPECT_EQ(machine.MachinePosition().z, 4000);
}

TEST_F(MachineTest, ViewModeParksTheTableAndSetsBit7) {
    machine.MoveTo({5000, 5000, 3000, 0}, 3000);
    clock.Advance(1min);
    machine.SetViewMode(true);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusView | sim::kStatusBusy);
    clock.Advance(1min);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusView | sim::kStatusIdle);
    EXPECT_EQ(machine.MachinePosition(), (Counts{0, 30500, 10500, 0}));
    machine.SetViewMode(false);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
}

// Jobs start with the tool at user Z 0, where the default heights keep it.
class MachineJobTest : public MachineTest {
protected:
    void SetUp() override {
        machine.MoveTo({0, 0, 0, 0}, 3000);
        clock.Advance(1min);
    }

    void Send(std::string_view data) { machine.ReceiveJobData(Bytes(data)); }
};

TEST_F(MachineJobTest, JobRunsInMachineTimeAndCountsItsCommands) {
    // 100 mm at 10 mm/s: 10 s, then a 2 s dwell.
    Send(std::string("PA;\0VS10;\0PU10000,0;\0W2000;\0", 28));
    EXPECT_EQ(machine.StatusWord(), sim::kStatusJob);
    clock.Advance(9999ms);
    EXPECT_EQ(machine.CommandsDone(), 2u);
    clock.Advance(1ms);
    EXPECT_EQ(machine.CommandsDone(), 3u);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusJob);
    clock.Advance(2s);
    EXPECT_EQ(machine.CommandsDone(), 4u);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.MachinePosition(), (Counts{10000, 0, 0, 0}));
}

TEST_F(MachineJobTest, JobMovesAreRelativeToTheUserOriginAndObeyTheFeedOverride) {
    machine.SetOrigin(0xF, {1000, 2000, 3000, 0});
    machine.SetFeedOverride(200);
    Send("VS10;!VZ30;PU1000,0;");  // up 30 mm, then 28.3 mm in X/Y: 2.7 s at 200 %
    clock.Advance(1s);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusJob);
    clock.Advance(3s);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.UserPosition(), (Counts{1000, 0, 0, 0}));
    EXPECT_EQ(machine.MachinePosition(), (Counts{2000, 2000, 3000, 0}));
    // Where the job went, in machine counts: up first, then across.
    EXPECT_EQ(machine.JobMoves(), (std::vector<Counts>{{0, 0, 3000, 0}, {2000, 2000, 3000, 0}}));
}

TEST_F(MachineJobTest, StopPulsesAbortTheJobAndStatus3ClearsAfterTheClearingPeriod) {
    Send("VS1;PU30000,0;PU0,0;");
    clock.Advance(5s);
    const Counts stopped = machine.MachinePosition();
    ASSERT_GT(stopped.x, 0);
    machine.SetOutputBits(true, 64);
    machine.SetOutputBits(false, 64);
    machine.SetOutputBits(true, 32);
    machine.SetOutputBits(false, 32);
    EXPECT_EQ(machine.JobBytesQueued(), 0u);
    clock.Advance(2999ms);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusJob);
    machine.ReceiveJobData(Bytes("PU0,0;"));  // dropped while memory clears
    clock.Advance(1ms);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.MachinePosition(), stopped);

    Send("PU0,0;");  // the next job runs normally
    clock.Advance(1h);
    EXPECT_EQ(machine.CommandsDone(), 1u);
    EXPECT_EQ(machine.MachinePosition().x, 0);
}

TEST_F(MachineJobTest, ControlMoveDuringAJobRunsAtOnceAndTheJobCarriesOn) {
    Send("VS1;PU30000,0;");  // 300 s
    clock.Advance(10s);
    machine.MoveTo({machine.MachinePosition().x, 0, 10500, 0}, 3000);  // raise Z
    EXPECT_EQ(machine.Completion(), 1);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusJob);
    clock.Advance(3500ms);  // 105 mm at the Z limit
    EXPECT_EQ(machine.Completion(), 0);
    EXPECT_EQ(machine.MachinePosition().z, 10500);
    clock.Advance(1h);
    EXPECT_EQ(machine.CommandsDone(), 2u);
    EXPECT_EQ(machine.MachinePosition(), (Counts{30000, 0, 0, 0}));
}

TEST_F(MachineJobTest, DataArrivingBeforeTheJobIsReportedDoneContinuesItsCount) {
    Send("VS1;PU1000,0;");
    Send("PU0,0;");
    clock.Advance(1h);
    Send("VS1;");  // the machine ran out of data, but nobody saw it idle
    EXPECT_EQ(machine.CommandsDone(), 4u);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    Send("PU5,0;");
    clock.Advance(1h);
    EXPECT_EQ(machine.CommandsDone(), 1u);
}

// The channel delivers data in pieces of any size; a command cut anywhere
// between two pieces runs as if it had come whole, and what is not yet
// executed counts as held.
TEST(MachineJob, CommandsCutBetweenPiecesRunAsIfWhole) {
    constexpr char kJob[] = "VS10;\0!PZ-250,300;PU1234,567;\0Z1500,800,-25;\0PU7,0;\0";
    const std::string job(kJob, sizeof kJob - 1);
    for (const std::size_t piece : {1, 2, 3, 5, 8, 13, 52}) {
        sim::VirtualClock clock;
        sim::Machine machine(Mdx40(), clock);
        for (std::size_t at = 0; at < job.size(); at += piece)
            machine.ReceiveJobData(Bytes(job.substr(at, piece)));
        EXPECT_GT(machine.JobBytesQueued(), 0u) << piece;  // the first move is under way
        clock.Advance(std::chrono::hours(1));
        EXPECT_EQ(machine.JobBytesQueued(), 0u) << piece;
        EXPECT_EQ(machine.CommandsDone(), 5u) << piece;
        EXPECT_EQ(machine.UserPosition(), (Counts{7, 0, 300, 0})) << piece;
    }
}

TEST_F(MachineJobTest, SurvivesTenMegabytesWithoutSemicolonAndRunsOfZeroBytes) {
    std::string garbage(10 << 20, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = "PA1,2Zq9-"[i % 9];
    Send(garbage);
    machine.ReceiveJobData(Bytes(std::string(1 << 20, '\0')));
    machine.ReceiveJobData(Bytes(";PU5,5;"));
    clock.Advance(1h);
    EXPECT_EQ(machine.JobBytesQueued(), 0u);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.CommandsDone(), 2u);
    EXPECT_EQ(machine.UserPosition(), (Counts{5, 5, 0, 0}));
}

TEST_F(MachineJobTest, ViewModePausesTheJob) {
    Send("VS1;PU1000,0;");
    clock.Advance(1s);
    machine.SetViewMode(true);
    clock.Advance(1h);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusView | sim::kStatusJob);
    machine.SetViewMode(false);
    clock.Advance(1h);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.UserPosition(), (Counts{1000, 0, 0, 0}));
}

}  // namespace
