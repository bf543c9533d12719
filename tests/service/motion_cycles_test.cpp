// The motion and setting cycles in the service loop, against the recording driver.
#include <gmock/gmock.h>

#include <cmath>

#include "platform/profile_file.h"
#include "service/motion_frames.h"
#include "service/requests.h"
#include "service/service_fixture.h"
#include "service/units.h"

using ::testing::ElementsAre;

namespace {

constexpr MachinePosition kStart{1000, 2000, 3000, 500};

class MotionCycleTest : public ServiceTest {
protected:
    MotionCycleTest() {
        SetPosition(kStart);
        profile = config->Profile();
    }
    MachineProfile profile;
};

TEST_F(MotionCycleTest, MoveToXYOriginRaisesZThenMovesXThenY) {
    state.activeOffsets.x = 12.349;
    state.activeOffsets.y = -0.001;
    state.moveSelection = kMoveXYOrigin;
    ASSERT_TRUE(RequestIfIdle(state, kMoveRequest));
    state.jobStartTime = 123;
    Iterate(5);
    // Each step starts from a fresh read of the position, which here stays put.
    EXPECT_THAT(Moves(), ElementsAre(MachinePosition{1000, 2000, profile.zLimit, 500},
                                     MachinePosition{1234, 2000, 3000, 500},
                                     MachinePosition{1000, -1, 3000, 500}));
    EXPECT_THAT(MoveSpeeds(), ElementsAre(3000, 3000, 3000));
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    EXPECT_EQ(state.jobStartTime.load(), 0);

    // A position read that fails loses no step: the raise still comes first.
    ClearFrames();
    ASSERT_TRUE(RequestIfIdle(state, kMoveRequest));
    Driver().outcomes[0x17] = {true, false};  // the loop's read, then the cycle's
    Iterate(5);
    EXPECT_EQ(Moves().front(), (MachinePosition{1000, 2000, profile.zLimit, 500}));
    EXPECT_EQ(Moves().size(), 3u);
}

TEST_F(MotionCycleTest, MoveToNamedPositions) {
    config->SetToolOffsetValue(-20.5);
    state.activeOffsets.a = 90.0;
    struct Case {
        int selection;
        std::vector<MachinePosition> moves;
    };
    const std::vector<Case> cases = {
        // Z origin with no active Z offset uses the tool offset value.
        {kMoveZOrigin, {{1000, 2000, -2050, 500}}},
        {kMoveAOrigin, {{1000, 2000, 3000, 9000}}},
        {kMoveViewPos,
         {{1000, 2000, profile.zLimit, 500},
          {1000, profile.yViewPos, 3000, 500},
          {profile.xViewPos, 2000, 3000, 500}}},
        {kMoveAuxLoc1 + 2, {{1000, 2000, profile.zLimit, 500}, {0, 0, 3000, 500}}},
    };
    for (const Case& c : cases) {
        ClearFrames();
        state.moveSelection = c.selection;
        ASSERT_TRUE(RequestIfIdle(state, kMoveRequest));
        Iterate(4);
        EXPECT_EQ(Moves(), c.moves) << c.selection;
        EXPECT_EQ(state.cycleCode.load(), kNoCycle) << c.selection;
    }
    // No valid selection: nothing moves and the cycle stays pending.
    ClearFrames();
    state.moveSelection = 9;
    ASSERT_TRUE(RequestIfIdle(state, kMoveRequest));
    Iterate(2);
    EXPECT_TRUE(Moves().empty());
    EXPECT_EQ(state.cycleCode.load(), kMoveCycle);
    EXPECT_FALSE(RequestIfIdle(state, kExecuteRequest));
}

TEST_F(MotionCycleTest, GoClampsToTheTravelButNotTheRotaryAxis) {
    state.goSpeed = 750;
    state.activeOffsets.z = 10.0;
    struct Case {
        int axis;
        const char* typed;
        MachinePosition expected;
    };
    const std::vector<Case> cases = {
        {0, "12.5", {1250, 2000, 3000, 500}},          {1, "-3", {1000, 0, 3000, 500}},
        {2, "100", {1000, 2000, profile.zLimit, 500}}, {2, "-5.5", {1000, 2000, 450, 500}},
        {3, "-720", {1000, 2000, 3000, -72000}},       {0, "abc", {0, 2000, 3000, 500}},
    };
    for (const Case& c : cases) {
        ClearFrames();
        state.goAxis = c.axis;
        state.positionEditText.Set(c.typed);
        ASSERT_TRUE(RequestIfIdle(state, kExecuteRequest));
        Iterate();
        EXPECT_THAT(Moves(), ElementsAre(c.expected)) << c.typed;
        EXPECT_THAT(MoveSpeeds(), ElementsAre(750));
        EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    }
}

TEST_F(MotionCycleTest, GatedCyclesWaitForAnIdleMachine) {
    SetStatus(1);
    RequestTargetMove(state, 1, 2, 3, 4, 1500);
    Iterate(3);
    EXPECT_TRUE(Moves().empty());
    SetStatus(2);
    Iterate();
    EXPECT_THAT(Moves(), ElementsAre(MachinePosition{1, 2, 3, 4}));
    EXPECT_THAT(MoveSpeeds(), ElementsAre(1500));
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
}

TEST_F(MotionCycleTest, SetOriginTakesZFromTheToolAndSavesTheConfiguration) {
    config->SetToolOffsetValue(-41.239);
    RequestSetOrigin(state, 100, 200, 300, 400);
    Iterate();
    const auto frames = FramesWithOpcode(0x23);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(FrameS32(frames[0], 3), 100);
    EXPECT_EQ(FrameS32(frames[0], 7), 200);
    EXPECT_EQ(FrameS32(frames[0], 11), -4123);
    EXPECT_EQ(FrameS32(frames[0], 15), 400);
    EXPECT_EQ(platform::ReadProfileString("TSO", "VALUE", "", config->Path()), "-41.239000");
}

TEST_F(MotionCycleTest, SpindleOverrideAndStopFrames) {
    state.spindleSwitch = 1;
    state.spindleSpeed = 12000;
    state.SetCycleCode(kSpindleCycle);
    Iterate();
    state.spindleSwitch = 0;
    state.SetCycleCode(kSpindleCycle);
    Iterate();
    const auto spindle = FramesWithOpcode(0x20);
    ASSERT_EQ(spindle.size(), 2u);
    EXPECT_EQ(FrameS32(spindle[0], 3), 12000);
    EXPECT_EQ(FrameS32(spindle[1], 3), 0);

    // Overrides and stop act even while the machine runs a job.
    SetStatus(3);
    ClearFrames();
    state.spindleOverride = 80;
    state.feedOverride = 150;
    state.SetCycleCode(kOverrideCycle);
    Iterate();
    std::vector<std::uint8_t> opcodes;
    for (const auto& call : Driver().Calls())
        if (call.code == 0x220038) opcodes.push_back(call.Opcode());
    EXPECT_THAT(opcodes, ElementsAre(0x28, 0x26));
    EXPECT_EQ(FramesWithOpcode(0x28)[0][4], 80);
    EXPECT_EQ(FramesWithOpcode(0x26)[0][4], 150);

    ClearFrames();
    state.jobState = kJobRunning;
    RequestStopCycle(state);
    EXPECT_EQ(state.jobState.load(), kJobCancel);
    Iterate();
    const auto pulses = FramesWithOpcode(0x12);
    ASSERT_EQ(pulses.size(), 4u);
    EXPECT_EQ(pulses[0][3], 64);
    EXPECT_EQ(pulses[2][3], 32);
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
}

// The slider moved on (or a second Set pressed) while the cycle sent the
// value before: the later request runs too, it is not wiped by the cycle's end.
TEST_F(MotionCycleTest, ARequestForTheRunningCycleIsNotLostWhenItEnds) {
    RequestOverride(state, Override::Spindle, 110);
    onSleep = [this] {
        if (state.spindleOverride.load() == 110 && !FramesWithOpcode(0x28).empty())
            RequestOverride(state, Override::Spindle, 120);
    };
    Iterate(2);
    const auto sent = FramesWithOpcode(0x28);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][4], 110);
    EXPECT_EQ(sent[1][4], 120);
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
}

TEST_F(MotionCycleTest, AuxLocationKeepsExactlyWhatItWrote) {
    SetPosition({12345, -678, 0, 0});
    Driver().outcomes[0x17] = {true, false};  // the loop's own read works, the cycle's fails
    RequestAuxLocation(state, 3);
    Iterate();
    EXPECT_EQ(state.cycleCode.load(), kAuxLocationCycle);  // tried again when idle next
    Iterate();
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    EXPECT_EQ(platform::ReadProfileString("TOOLPOSITION3", "X", "", config->Path()), "123.45");
    EXPECT_EQ(platform::ReadProfileString("TOOLPOSITION3", "Y", "", config->Path()), "-6.78");
    EXPECT_EQ(config->AuxLocations()[2].x, 123.45);
    RequestAuxLocation(state, 0);
    Iterate();
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
}

TEST_F(MotionCycleTest, ParameterBlocksAreReadSwappedAndWrittenOnlyWhenChanged) {
    std::vector<std::uint8_t> block4(38, 0), block5(22, 0);
    block4[36] = 0x01;  // sensor offset 0x0102 on the wire
    block4[37] = 0x02;
    Driver().replies[0x16] = block4;
    state.SetCycleCode(kReadParametersCycle);
    Iterate();
    {
        std::lock_guard lock(state.parameters.mutex);
        EXPECT_EQ(state.parameters.current.Field(kSensorOffsetField), 0x0102);
        EXPECT_EQ(state.parameters.reads, 1u);
        state.parameters.edited = state.parameters.current;
    }
    // A read whose second block fails leaves the record as the last whole read
    // made it, and is not counted: its bytes go back to the machine with the
    // next write.
    Driver().replies[0x16][36] = 0x07;
    Driver().outcomes[0x16] = {true, false};
    state.SetCycleCode(kReadParametersCycle);
    Iterate();
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    {
        std::lock_guard lock(state.parameters.mutex);
        EXPECT_EQ(state.parameters.current, state.parameters.edited);
        EXPECT_EQ(state.parameters.reads, 1u);
    }
    // Nothing changed: nothing sent.
    ClearFrames();
    state.SetCycleCode(kWriteParametersCycle);
    Iterate();
    EXPECT_TRUE(FramesWithOpcode(0x15).empty());

    // Only block 5 changed: only block 5 sent, in wire order.
    {
        std::lock_guard lock(state.parameters.mutex);
        state.parameters.edited.SetField(58, 0x0A0B);
    }
    state.SetCycleCode(kWriteParametersCycle);
    Iterate();
    auto writes = FramesWithOpcode(0x15);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0][2], 5);
    EXPECT_EQ(writes[0][3 + 20], 0x0A);
    EXPECT_EQ(writes[0][3 + 21], 0x0B);

    // A block 4 the machine refuses leaves the current record as the machine has it.
    ClearFrames();
    ParameterRecord before;
    {
        std::lock_guard lock(state.parameters.mutex);
        state.parameters.edited.SetField(kSensorOffsetField, 0x0304);
        before = state.parameters.current;
    }
    Driver().failures[0x15] = 1;
    state.SetCycleCode(kWriteParametersCycle);
    Iterate();
    EXPECT_EQ(FramesWithOpcode(0x15).size(), 1u);
    std::lock_guard lock(state.parameters.mutex);
    EXPECT_EQ(state.parameters.current, before);
}

TEST_F(MotionCycleTest, BusyCheckedRequestsRefuseWhileACyclePends) {
    constexpr int kUnservedCycle = 3;  // nothing serves it: pending until replaced
    state.SetCycleCode(kUnservedCycle);
    state.cycleStep = 7;
    for (const auto* r : {&kMoveRequest, &kExecuteRequest, &kToolDetectionRequest,
                          &kDetectionRequest, &kReplaceToolRequest, &kGetToolRequest}) {
        EXPECT_FALSE(RequestIfIdle(state, *r)) << r->refusal;
    }
    // A refused tool request leaves the tool of a pending one alone.
    state.toolForCycle = 2;
    EXPECT_FALSE(RequestToolCycle(state, kGetToolRequest, 3));
    EXPECT_EQ(state.toolForCycle.load(), 2);
    EXPECT_EQ(state.cycleCode.load(), kUnservedCycle);
    EXPECT_EQ(state.cycleStep.load(), 7);
    Iterate(3);
    EXPECT_EQ(state.cycleCode.load(), kUnservedCycle);
    EXPECT_FALSE(RequestStopCycle(state));
    EXPECT_EQ(state.cycleCode.load(), kStopCycle);
    // Neither parameter cycle replaces the Stop.
    EXPECT_FALSE(RequestIfIdle(state, kReadParametersRequest));
    EXPECT_FALSE(RequestIfIdle(state, kWriteParametersRequest));
    EXPECT_EQ(state.cycleCode.load(), kStopCycle);
}

TEST(ScanRequest, StartsFromStepZeroUnlessAScanRuns) {
    SharedState state;
    state.scanStep = 9;  // where a scan paused for its boxes
    EXPECT_TRUE(RequestScan(state, kRunoutScan));
    EXPECT_FALSE(RequestScan(state, kYCenterScan));
    EXPECT_EQ(state.scanKind.load(), kRunoutScan);
    EXPECT_EQ(state.scanStep.load(), 0);
}

TEST_F(MotionCycleTest, AToolCycleStopsTheSpindleAndRaisesZBeforeCrossing) {
    config->WriteAuxLocation(2, {12345, -678, 0, 0});
    // The cycle's first read fails: that step is taken again, not skipped.
    Driver().outcomes[0x17] = {true, false};
    ASSERT_TRUE(RequestToolCycle(state, kGetToolRequest, 2));
    state.jobStartTime = 123;
    Iterate();
    EXPECT_EQ(state.cycleStep.load(), 0);
    Iterate(3);
    EXPECT_EQ(state.jobStartTime.load(), 0);
    const std::string z = std::to_string(profile.zLimit);
    EXPECT_THAT(MotionFrames(Driver()), ElementsAre("move 1000 2000 " + z + " 500 @3000",
                                                    "move 12345 -678 " + z + " 500 @3000"));
    std::vector<std::uint8_t> order;
    for (const auto& call : Driver().Calls())
        if (call.Opcode() == 0x20 || call.Opcode() == 0x99) order.push_back(call.Opcode());
    EXPECT_THAT(order, ElementsAre(0x20, 0x99, 0x99));  // the spindle stops first
    EXPECT_EQ(FrameS32(FramesWithOpcode(0x20).at(0), 3), 0);
}

TEST(Units, MillimetresBecomeCountsWithoutLosingAHundredthToBinaryFractions) {
    struct Case {
        double mm;
        std::int32_t floor, trunc;
    };
    for (const Case& c :
         {Case{1.15, 115, 115}, Case{0.29, 29, 29}, Case{-1.15, -115, -115},
          Case{123.45, 12345, 12345}, Case{12.345, 1234, 1234}, Case{-12.345, -1235, -1234},
          Case{-0.001, -1, 0}, Case{1e12, INT32_MAX, INT32_MAX}, Case{std::nan(""), 0, 0}}) {
        EXPECT_EQ(FloorCounts(c.mm), c.floor) << c.mm;
        EXPECT_EQ(TruncCounts(c.mm), c.trunc) << c.mm;
    }
}

}  // namespace
