// Job output through the print spooler: a private CUPS scheduler with a raw
// queue to the simulated machine's job port, as a networked mill would have.
#include <gtest/gtest.h>

#include "private_spooler.h"
#include "running_machine.h"
#include "service/requests.h"

namespace {

std::string Example(const char* name) { return std::string(TARNWICK_EXAMPLES_DIR) + "/" + name; }

class SpoolerTest : public RunningMachineTest {
protected:
    SpoolerTest() : RunningMachineTest("500") {}
    void SetUp() override {
        if (!spooler.WhyNot().empty()) GTEST_SKIP() << spooler.WhyNot();
        RunningMachineTest::SetUp();
        port.SetOrigin(15250, 15250, 3000, 0);
        ASSERT_EQ(
            PrivateSpooler::Run(TARNWICK_PROGRAM_DIR "/tarnwick-sim", {"queue", kModel, "add"}), 0);
        thread.Resume();
    }
    bool RunEnded() { return state.jobState.load() == kJobIdle && state.lastStatus.load() == 2; }

    PrivateSpooler spooler;
};

TEST_F(SpoolerTest, AJobGoesThroughTheSpoolersQueueToTheMachine) {
    ASSERT_TRUE(state.runList.Add(Example("engraving.rml")));
    ASSERT_TRUE(RequestRun(state, config));
    ASSERT_TRUE(WaitFor([&] { return state.commandsDone.load() > 0; }));
    ASSERT_TRUE(WaitFor([&] { return RunEnded(); }));
    std::uint32_t done = 0;
    ASSERT_TRUE(port.ReadCommandsDone(done));
    EXPECT_EQ(done, 128u);
    // The spooler has the job, done, by the name the program gives it.
    EXPECT_EQ(PrivateSpooler::Run("sh", {"-c", "lpstat -W completed -o | grep -q Roland_MDX-40"}),
              0);
}

}  // namespace
