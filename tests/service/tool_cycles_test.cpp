// The tool changer's two cycles on the simulated machine.
#include <gmock/gmock.h>

#include "service/requests.h"
#include "service/sim_fixture.h"

namespace {

constexpr MachinePosition kStart{15000, 12000, 2500, 4500};  // low, over the work

class ToolCycleTest : public SimServiceTest {
protected:
    void SetUp() override {
        SimServiceTest::SetUp();
        if (HasFatalFailure()) return;
        for (int n = 1; n <= 4; ++n) config->WriteAuxLocation(n, Over(n));
        Restart();
    }
    void Restart() {
        port.MoveTo(kStart.x, kStart.y, kStart.z, kStart.a, 3000);
        port.SetSpindle(8000);
    }
    std::int32_t Spindle() {
        std::int32_t rpm = -1;
        EXPECT_TRUE(port.ReadSpindle(rpm));
        return rpm;
    }
    // Tool n's place in the block, at the Z limit.
    MachinePosition Over(int n) const {
        return {2000 * n, 1000 + 1525 * n, profile.zLimit, kStart.a};
    }
};

TEST_F(ToolCycleTest, EndsOverTheToolsPlaceAtTheZLimitWithTheSpindleOff) {
    struct Case {
        const BusyCheckedRequest* request;
        int tool;
    };
    for (const Case& c : {Case{&kReplaceToolRequest, 3}, Case{&kGetToolRequest, 2}}) {
        Restart();
        ASSERT_TRUE(RequestToolCycle(state, *c.request, c.tool));
        Iterate();  // up where it stands first
        EXPECT_EQ(Position(), (MachinePosition{kStart.x, kStart.y, profile.zLimit, kStart.a}));
        EXPECT_EQ(Spindle(), 0);
        ASSERT_GE(IterateUntilIdle(), 0);
        EXPECT_EQ(Position(), Over(c.tool));
        EXPECT_TRUE(RequestIfIdle(state, kToolDetectionRequest));
        state.EndCycle();
    }
}

TEST_F(ToolCycleTest, NoToolEndsAtOnceTheToolGoesWithTheRequestAndStopEndsIt) {
    for (int tool : {0, 7}) {
        ASSERT_TRUE(RequestToolCycle(state, kReplaceToolRequest, tool));
        Iterate();
        EXPECT_EQ(state.cycleCode.load(), kNoCycle);
        EXPECT_EQ(Position(), kStart);
        EXPECT_GT(Spindle(), 0);
    }
    // "Exit" right after the request makes the current tool 0; a second
    // request is refused. Neither changes where the machine goes.
    ASSERT_TRUE(RequestToolCycle(state, kReplaceToolRequest, 2));
    Iterate();
    config->SetCurrentTool(0);
    EXPECT_FALSE(RequestToolCycle(state, kGetToolRequest, 3));
    ASSERT_GE(IterateUntilIdle(), 0);
    EXPECT_EQ(Position(), Over(2));

    Restart();
    ASSERT_TRUE(RequestToolCycle(state, kGetToolRequest, 4));
    Iterate();
    const MachinePosition raised = Position();
    RequestStopCycle(state);
    ASSERT_GE(IterateUntilIdle(), 0);
    Iterate(3);
    EXPECT_EQ(Position(), raised);
}

}  // namespace
