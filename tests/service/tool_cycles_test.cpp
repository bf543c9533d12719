// The tool changer's two cycles on the simulated machine: where the spindle
// ends, what a tool outside the block does, and what ends a cycle early.
#include <gmock/gmock.h>

#include "service/requests.h"
#include "service/sim_fixture.h"

namespace {

// Where each tool is parked (counts), and where the spindle starts: low, turning.
constexpr MachinePosition kPlaces[4] = {
    {2000, 3000, 0, 0}, {6050, 4025, 0, 0}, {10000, 1599, 0, 0}, {14000, 20000, 0, 0}};
constexpr MachinePosition kStart{15000, 12000, 2500, 4500};
constexpr std::int32_t kTurning = 8000;

class ToolCycleTest : public SimServiceTest {
protected:
    void SetUp() override {
        SimServiceTest::SetUp();
        if (HasFatalFailure()) return;
        for (int n = 1; n <= 4; ++n) config->WriteAuxLocation(n, kPlaces[n - 1]);
        Restart();
    }
    void Restart() {
        port.MoveTo(kStart.x, kStart.y, kStart.z, kStart.a, 3000);
        port.SetSpindle(kTurning);
        ASSERT_EQ(Position(), kStart);
        ASSERT_GT(Spindle(), 0);
    }
    std::int32_t Spindle() {
        std::int32_t rpm = -1;
        EXPECT_TRUE(port.ReadSpindle(rpm));
        return rpm;
    }
    // Over tool `n`'s place at the Z limit, A as it was.
    MachinePosition Over(int n) const {
        return {kPlaces[n - 1].x, kPlaces[n - 1].y, profile.zLimit, kStart.a};
    }
};

TEST_F(ToolCycleTest, EndsOverTheToolsPlaceAtTheZLimitWithTheSpindleOff) {
    struct Case {
        const BusyCheckedRequest* request;
        int tool;
    };
    for (const Case& c : {Case{&kReplaceToolRequest, 3}, Case{&kGetToolRequest, 2},
                          Case{&kReplaceToolRequest, 4}, Case{&kGetToolRequest, 1}}) {
        Restart();
        state.jobStartTime = 123;
        ASSERT_TRUE(RequestToolCycle(state, *c.request, c.tool));
        Iterate();
        // Up first, where it stood, with the spindle stopped.
        EXPECT_EQ(Position(), (MachinePosition{kStart.x, kStart.y, profile.zLimit, kStart.a}));
        EXPECT_EQ(Spindle(), 0);
        EXPECT_EQ(state.jobStartTime.load(), 0);
        EXPECT_EQ(state.cycleCode.load(), c.request->code);
        ASSERT_GE(IterateUntilIdle(), 0);
        EXPECT_EQ(Position(), Over(c.tool)) << c.tool;
        // The machine is free again for a request that checks.
        EXPECT_TRUE(RequestIfIdle(state, kToolDetectionRequest));
        state.EndCycle();
    }
}

TEST_F(ToolCycleTest, NoToolInTheBlockEndsAtOnceWithoutAMove) {
    for (int tool : {0, 5, 7, -1}) {
        for (const BusyCheckedRequest* request : {&kReplaceToolRequest, &kGetToolRequest}) {
            ASSERT_TRUE(RequestToolCycle(state, *request, tool));
            Iterate();
            EXPECT_EQ(state.cycleCode.load(), kNoCycle) << tool;
            EXPECT_EQ(Position(), kStart) << tool;
            EXPECT_EQ(Spindle(), kTurning) << tool;
        }
    }
}

TEST_F(ToolCycleTest, TheToolGoesWithTheRequestAndStopEndsTheCycleAnywhere) {
    ASSERT_TRUE(RequestToolCycle(state, kReplaceToolRequest, 2));
    Iterate();
    // What the dialog does next must not send the machine elsewhere: "Exit"
    // makes the current tool 0, a second request is refused.
    config->SetCurrentTool(0);
    EXPECT_FALSE(RequestToolCycle(state, kGetToolRequest, 3));
    ASSERT_GE(IterateUntilIdle(), 0);
    EXPECT_EQ(Position(), Over(2));

    // Stop after the raise: the machine stays where it is.
    Restart();
    ASSERT_TRUE(RequestToolCycle(state, kGetToolRequest, 4));
    Iterate();
    const MachinePosition raised = Position();
    RequestStopCycle(state);
    ASSERT_GE(IterateUntilIdle(), 0);
    Iterate(3);
    EXPECT_EQ(Position(), raised);
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
}

}  // namespace
