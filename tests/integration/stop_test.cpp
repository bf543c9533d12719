// Stop as an operator presses it, against the simulated machine running at
// real speed: the machine halts at once, and the tool ends raised although the
// job's data had long been sent.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "integration/private_spooler.h"
#include "integration/running_machine.h"
#include "service/requests.h"

namespace {

class StopTest : public RunningMachineTest {
protected:
    StopTest() : RunningMachineTest("1", "1000") {}  // real time, a USB round trip per call
    void SetUp() override {
        // A machine that takes little job data at a time: a long job is still
        // being sent while the machine cuts, as on a slow queue.
        ::setenv("TARNWICK_SIM_JOB_MEMORY", "8192", 1);
        RunningMachineTest::SetUp();
        thread.Resume();
    }
    void TearDown() override {
        RunningMachineTest::TearDown();
        ::unsetenv("TARNWICK_SIM_JOB_MEMORY");
    }
    void StartSlowCut(int passes, const std::string& then = "");
    void StopInTheStockAndExpectTheToolRaised(int jobStateAtStop);
    // Machine time runs faster from here on: what follows needs no real time.
    void SpeedUp() {
        const std::string command = std::string(TARNWICK_PROGRAM_DIR) + "/tarnwick-sim speed '" +
                                    kModel + "' 200 >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
};

TEST_F(StopTest, StopDuringALongMoveHaltsTheMachineAtOnce) {
    const MachinePosition start = Position();
    const std::int32_t target = config.Profile().xLimit;  // about six seconds away
    RequestTargetMove(state, target, start.y, start.z, start.a, 3000);
    ASSERT_TRUE(WaitFor([&] { return Position().x > start.x + 1000; }));
    RequestStopCycle(state);
    // The pulses went out and the cycle ended while the move was under way.
    // Well before the move would have arrived, even on a loaded machine.
    ASSERT_TRUE(WaitFor([&] { return state.cycleCode.load() == kNoCycle; }, 2500));
    const MachinePosition stopped = Position();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Position(), stopped);
    EXPECT_LT(stopped.x, start.x + 10000) << "the machine went on toward X " << target;
}

// Runs a job that cuts 1 mm deep near the machine's home, slowly: the first
// cut takes ten seconds; `passes` back-and-forth passes follow it. The job
// file `then` comes after it in the run list.
void StopTest::StartSlowCut(int passes, const std::string& then) {
    port.SetOrigin(100, 100, 9000, 0);
    std::string text = "PA;VS50;!VZ30;!PZ-100,500;!MC1;PU0,0;PD0,0;VS5;PD5000,0;";
    for (int i = 0; i < passes; ++i) text += "PD0,0;PD5000,0;";
    text += "PU0,0;!MC0;\n";
    const std::string job = folder + "slot.prn";
    std::ofstream(job) << text;
    ASSERT_TRUE(state.runList.Add(job));
    if (!then.empty()) {
        ASSERT_TRUE(state.runList.Add(then));
    }
    ASSERT_TRUE(RequestRun(state, config));
}

// Stop with the tool down in the stock; afterwards the tool stands at the
// safe height where the machine stopped, the job goes no further and nothing
// moves again.
void StopTest::StopInTheStockAndExpectTheToolRaised(int jobStateAtStop) {
    ASSERT_TRUE(WaitFor([&] {
        const MachinePosition p = Position();
        return state.jobState.load() == jobStateAtStop && p.z == 8900 && p.x > 300;
    }));
    RequestStopCycle(state);
    ASSERT_TRUE(WaitFor([&] { return state.cycleCode.load() == kNoCycle; }, 2500));
    const MachinePosition stopped = Position();
    const std::uint32_t doneAtStop = CommandsDone();
    SpeedUp();

    const std::int32_t safeZ = config.Profile().zLimit;
    const MachinePosition raised{stopped.x, stopped.y, safeZ, stopped.a};
    ASSERT_TRUE(WaitFor([&] {
        return Position().z == safeZ && port.ReadStatus() == 2 && state.jobState.load() == kJobIdle;
    }));
    EXPECT_EQ(Position(), raised);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(CommandsDone(), doneAtStop + 1);  // at most the command the pulses cut short
    EXPECT_EQ(Position(), raised);
}

TEST_F(StopTest, StopWhileTheJobIsStillBeingSentRaisesTheToolOnce) {
    StartSlowCut(20000);  // far more than the machine takes at once
    StopInTheStockAndExpectTheToolRaised(kJobRunning);
}

TEST_F(StopTest, StopAfterTheStreamEndedRaisesTheToolOnceTheMachineHasCleared) {
    StartSlowCut(0);
    StopInTheStockAndExpectTheToolRaised(kJobIdle);
}

// Both files handed to the print spooler, which still feeds the machine the
// first: Stop cancels what the spooler holds, or it would go on cutting.
TEST_F(StopTest, StopWhileThePrintSpoolerFeedsTheMachineCancelsWhatItHolds) {
    PrivateSpooler spooler;
    if (!spooler.WhyNot().empty()) GTEST_SKIP() << spooler.WhyNot();
    ASSERT_EQ(PrivateSpooler::Run(TARNWICK_PROGRAM_DIR "/tarnwick-sim queue 'Roland MDX-40' add"),
              0);
    StartSlowCut(1000000, TARNWICK_EXAMPLES_DIR "/engraving.rml");
    StopInTheStockAndExpectTheToolRaised(kJobIdle);
    EXPECT_FALSE(PrivateSpooler::HoldsDocumentsFor(kModel));
    EXPECT_EQ(state.filesNotSent.load(), 0);
}

}  // namespace
