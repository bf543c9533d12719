// Job files run from the run list through the command thread's job output
// into the simulated machine, as an operator runs them: the examples, and the
// shared folder's real files when it is there.
#include <chrono>
#include <ctime>
#include <thread>

#include "integration/running_machine.h"
#include "service/control_ids.h"
#include "service/requests.h"
#include "service/text_format.h"

namespace {

std::string Example(const char* name) { return std::string(TARNWICK_EXAMPLES_DIR) + "/" + name; }

class JobRunTest : public RunningMachineTest {
protected:
    JobRunTest() : RunningMachineTest("500") {}
    void SetUp() override {
        RunningMachineTest::SetUp();
        // Work origin at mid-table, 30 mm above the table, as an operator sets it.
        port.SetOrigin(15250, 15250, 3000, 0);
        thread.Resume();
    }
    // Runs the run list to the end: the machine then reports `commands` done.
    void RunToTheEnd(std::uint32_t commands) {
        EXPECT_EQ(state.runList.CommandCount(), commands);
        ASSERT_TRUE(RequestRun(state, config));
        // Started a minute ago, as far as the cut time can tell: the run itself
        // may end within the second it started in.
        state.jobStartTime = std::time(nullptr) - 60;
        ASSERT_TRUE(WaitFor([&] { return state.commandsDone.load() > 0; }));
        ASSERT_TRUE(WaitFor([&] { return RunEnded(); }));
        EXPECT_EQ(CommandsDone(), commands);
    }
    // Runs the run list and stops it once more than `after` commands are done:
    // the machine drops what it has not done of the first file and the rest.
    void StopAfter(std::uint32_t after, std::uint32_t firstFileCommands) {
        ASSERT_TRUE(RequestRun(state, config));
        ASSERT_TRUE(WaitFor([&] { return state.commandsDone.load() > after; }));
        RequestStopCycle(state);
        ASSERT_TRUE(WaitFor([&] { return RunEnded(); }));
        // All files were spooled long before the stop.
        const std::uint32_t done = CommandsDone();
        EXPECT_LT(done, firstFileCommands);
        // Nothing more executes.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(CommandsDone(), done);
        EXPECT_EQ(port.ReadStatus(), 2);
    }
};

TEST_F(JobRunTest, TwoExamplesRunToTheEnd) {
    ASSERT_TRUE(state.runList.Add(Example("engraving.rml")));
    ASSERT_TRUE(state.runList.Add(Example("rotary.rml")));
    RunToTheEnd(128u + 101u);
    // Both end parked at X 0, Y 100 mm, Z 60 mm; the rotary axis has turned four times.
    MachinePosition machine;
    ASSERT_TRUE(port.ReadMachinePosition(machine));
    EXPECT_EQ(machine, (MachinePosition{15250, 25250, 9000, 144000}));
    // The displays followed the job: percentages on the way, the position at the end.
    const auto percents = display.History(Window::RunPage, IDC_PERCENT_TEXT);
    EXPECT_NE(std::find_if(percents.begin(), percents.end(),
                           [](const std::string& p) { return p != "0%"; }),
              percents.end());
    EXPECT_EQ(display.Text(Window::RunPage, IDC_CUT_TIME).rfind("1.", 0), 0u)
        << display.Text(Window::RunPage, IDC_CUT_TIME);  // "1.0 min." or a little more
    EXPECT_TRUE(WaitFor([&] {
        return display.Text(Window::Main, IDC_POS_X) == FormatText("%.2f", machine.x * 0.01);
    }));
}

TEST_F(JobRunTest, StopMidJobEndsTheRunAndSendsNothingMore) {
    ASSERT_TRUE(state.runList.Add(Example("pocket.rml")));
    ASSERT_TRUE(state.runList.Add(Example("engraving.rml")));
    StopAfter(20, 161);
}

#ifdef TARNWICK_JOBS_DIR
TEST_F(JobRunTest, TwoRealFilesRunToTheEnd) {
    ASSERT_TRUE(state.runList.Add(TARNWICK_JOBS_DIR "/pcb_outline.rml"));
    ASSERT_TRUE(state.runList.Add(TARNWICK_JOBS_DIR "/test_square.rml"));
    RunToTheEnd(43u + 16u);
}

TEST_F(JobRunTest, StopMidRealFileEndsTheRun) {
    ASSERT_TRUE(state.runList.Add(TARNWICK_JOBS_DIR "/pcb_traces.rml"));
    ASSERT_TRUE(state.runList.Add(TARNWICK_JOBS_DIR "/test_square.rml"));
    StopAfter(100, 2060);
}
#endif

}  // namespace
