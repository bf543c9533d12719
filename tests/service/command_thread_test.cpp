// The service loop, one iteration at a time, against the recording driver.
#include <gmock/gmock.h>

#include <fstream>
#include <functional>
#include <thread>

#include "platform/beep.h"
#include "service/control_ids.h"
#include "service/requests.h"
#include "service/service_fixture.h"

using ::testing::ElementsAre;

namespace {

TEST_F(ServiceTest, PositionDisplaysChangeOnlyWithCountOrOffset) {
    SetPosition({12345, -50, 3000, 9000});
    state.activeOffsets.x = 10.0;
    Iterate();
    EXPECT_EQ(display.Text(Window::Main, IDC_POS_X), "113.45");
    EXPECT_EQ(display.Text(Window::Main, IDC_POS_Y), "-0.50");
    EXPECT_EQ(display.Text(Window::Main, IDC_POS_Z), "30.00");
    EXPECT_EQ(display.Text(Window::Main, IDC_POS_A), "90.00");
    EXPECT_EQ(state.lastPosition.Get(), (MachinePosition{12345, -50, 3000, 9000}));

    display.ClearHistory();
    Iterate();
    EXPECT_TRUE(display.History(Window::Main, IDC_POS_X).empty());

    // With no active Z offset the Z display subtracts the tool offset value.
    config->SetToolOffsetValue(12.5);
    Iterate();
    EXPECT_THAT(display.History(Window::Main, IDC_POS_Z), ElementsAre("17.50"));
    state.activeOffsets.z = 1.0;
    Iterate();
    EXPECT_THAT(display.History(Window::Main, IDC_POS_Z), ElementsAre("17.50", "29.00"));
    EXPECT_TRUE(display.History(Window::Main, IDC_POS_X).empty());
    EXPECT_EQ(display.Text(Window::Main, IDC_CURRENT_TOOL), "Current Tool: 0");
    config->SetCurrentTool(3);
    Iterate();
    EXPECT_EQ(display.Text(Window::Main, IDC_CURRENT_TOOL), "Current Tool: 3");
}

TEST_F(ServiceTest, ViewModeIsAnnouncedOnceAndHoldsGatedCycles) {
    ASSERT_TRUE(RequestIfIdle(state, kMoveRequest));
    SetStatus(130);
    Iterate(3);
    EXPECT_THAT(display.History(Window::Main, IDC_STATUS),
                ElementsAre("Machine is in View mode..."));
    EXPECT_EQ(state.lastStatus.load(), 130);
    EXPECT_EQ(state.cycleStep.load(), 0);
    EXPECT_TRUE(Moves().empty());
    SetStatus(2);
    Iterate();
    EXPECT_THAT(display.History(Window::Main, IDC_STATUS),
                ElementsAre("Machine is in View mode...", ""));
    EXPECT_EQ(state.cycleStep.load(), 1);
}

TEST_F(ServiceTest, StopIndicationBlinksWhileTheMachineClearsMemory) {
    // Stop while a job cuts: its spindle has the buttons disabled.
    state.SetCycleCode(kStopCycle);
    SetStatus(3, 8000);
    Iterate();  // the stop cycle runs and starts the indication
    EXPECT_EQ(FramesWithOpcode(0x12).size(), 4u);
    EXPECT_FALSE(display.IsEnabled(IDC_MOVE));
    SetStatus(3, 0);  // the spindle stops while the machine clears its memory
    // One character per iteration: 'T' while the text shows, '-' while blank.
    std::string cadence;
    for (int i = 0; i < 38; ++i) {
        Iterate();
        cadence +=
            display.Text(Window::Main, IDC_STATUS) == "Machine is clearing memory..." ? 'T' : '-';
        // Nothing is enabled again while the machine clears its memory.
        EXPECT_FALSE(display.IsEnabled(IDC_MOVE)) << i;
    }
    EXPECT_EQ(cadence, std::string(14, 'T') + std::string(5, '-') + std::string(14, 'T') +
                           std::string(5, '-'));
    // It clears once as soon as the status leaves 3, and the buttons come back.
    SetStatus(2);
    display.ClearHistory();
    Iterate(3);
    EXPECT_THAT(display.History(Window::Main, IDC_STATUS), ElementsAre(""));
    EXPECT_TRUE(display.IsEnabled(IDC_MOVE));

    // Entering View mode resets a running indication.
    state.SetCycleCode(kStopCycle);
    SetStatus(3);
    Iterate(2);
    SetStatus(131);
    display.ClearHistory();
    Iterate(30);
    EXPECT_THAT(display.History(Window::Main, IDC_STATUS),
                ElementsAre("Machine is in View mode..."));
}

TEST_F(ServiceTest, SpindleDisplayScalesAndClamps) {
    struct Case {
        std::int32_t reported;
        std::uint16_t override;
        const char* shown;
    };
    for (const Case& c : {Case{3000, 100, "6000"}, Case{15000, 200, "20000"},
                          Case{12000, 50, "6000"}, Case{14000, 100, "14000"}, Case{0, 100, "0"},
                          Case{2000000000, 200, "20000"}, Case{-5, 100, "-5"}}) {
        state.spindleOverride = c.override;
        SetStatus(2, c.reported);
        Iterate();
        EXPECT_EQ(display.Text(Window::Main, IDC_SPINDLE_SPEED), c.shown) << c.reported;
    }
}

TEST_F(ServiceTest, ButtonsFollowTheSpindleAndTheJob) {
    ASSERT_TRUE(log.Open(m_folder));
    SetStatus(3, 8000);  // the spindle runs for a job
    Iterate(2);
    EXPECT_FALSE(display.IsEnabled(IDC_MOVE));
    EXPECT_FALSE(display.IsEnabled(IDC_CLOSE));
    EXPECT_FALSE(display.IsEnabled(IDC_FIXTURE4));
    EXPECT_TRUE(display.IsEnabled(IDC_STOP));

    // Spindle stopped but job output still running: nothing changes.
    state.jobState = kJobRunning;
    SetStatus(2, 0);
    Iterate();
    EXPECT_FALSE(display.IsEnabled(IDC_MOVE));
    state.jobState = kJobIdle;
    Iterate();
    EXPECT_TRUE(display.IsEnabled(IDC_MOVE));
    EXPECT_TRUE(display.IsEnabled(IDC_OPEN));

    // Switched on by the operator: only what would start work is locked.
    state.spindleSwitch = 1;
    SetStatus(2, 10000);
    Iterate();
    EXPECT_FALSE(display.IsEnabled(IDC_START));
    EXPECT_FALSE(display.IsEnabled(IDC_SET_UP));
    EXPECT_TRUE(display.IsEnabled(IDC_MOVE));
    log.Close();
    EXPECT_EQ(ReadLog(),
              "Spindle=8000\nDisabling buttons\nSpindle=0\nEnabling buttons\nSpindle=10000\n"
              "Disabling buttons\n");
}

TEST_F(ServiceTest, ALostMachineEndsTheMainWindowWithItsReason) {
    struct Case {
        std::uint8_t opcode;
        const char* reason;
    };
    for (const Case& c : {Case{0x1F, "Machine is no longer available."},
                          Case{0x17, "Machine is no longer returning coordinate info."}}) {
        state.closingAcknowledged = true;
        Driver().failures[c.opcode] = 1;
        Iterate();
        EXPECT_EQ(state.closingReason.Get(), c.reason);
        EXPECT_FALSE(state.closingAcknowledged.load());
    }
    // The spindle is read from the second status block of an iteration.
    state.closingAcknowledged = true;
    Driver().outcomes[0x1F] = {true, false};
    Iterate();
    EXPECT_EQ(state.closingReason.Get(), "Machine is no longer returning spindle info.");
    EXPECT_FALSE(state.closingAcknowledged.load());
    // Unplugged after the status read: the machine is gone, not just its coordinates.
    Driver().failures[0x17] = 1;
    Driver().outcomes[0x1F] = {true, false};
    Iterate();
    EXPECT_EQ(state.closingReason.Get(), "Machine is no longer available.");
    EXPECT_THAT(display.EndResults(), ElementsAre(-1, -1, -1, -1));
    // The loop goes on after the machine is lost.
    Iterate();
    EXPECT_THAT(display.EndResults(), ElementsAre(-1, -1, -1, -1));
}

TEST_F(ServiceTest, ProgressAndCutTimeWhileTheJobRuns) {
    std::ofstream(m_folder + "job.prn") << std::string(200, ';');
    ASSERT_TRUE(state.runList.Add(m_folder + "job.prn"));
    SetCommandsDone(50);
    SetStatus(3);
    state.jobStartTime = std::time(nullptr) - 90;
    Iterate();
    EXPECT_EQ(display.Text(Window::RunPage, IDC_PERCENT_TEXT), "25.0%");
    EXPECT_EQ(display.progress.load(), 25);
    EXPECT_EQ(state.commandsDone.load(), 50u);
    const std::string cut = display.Text(Window::RunPage, IDC_CUT_TIME);
    EXPECT_TRUE(cut == "1.5 min." || cut == "1.6 min.") << cut;

    // No start time, no elapsed time; an empty run list shows 0 %.
    state.jobStartTime = 0;
    ASSERT_TRUE(state.runList.Delete(0));
    display.ClearHistory();
    Iterate();
    EXPECT_TRUE(display.History(Window::RunPage, IDC_CUT_TIME).empty());
    EXPECT_EQ(display.Text(Window::RunPage, IDC_PERCENT_TEXT), "0.0%");

    // The job ends: one last count covers the commands finished after the last read.
    SetCommandsDone(200);
    SetStatus(2);
    Iterate();
    EXPECT_EQ(state.commandsDone.load(), 200u);
    EXPECT_EQ(display.Text(Window::RunPage, IDC_PERCENT_TEXT), "0%");
    EXPECT_EQ(display.progress.load(), 0);
}

TEST_F(ServiceTest, ProgressAndCutTimeFollowTheCycleCode) {
    std::ofstream(m_folder + "job.prn") << std::string(200, ';');
    ASSERT_TRUE(state.runList.Add(m_folder + "job.prn"));
    SetCommandsDone(50);
    SetStatus(3);  // executing job data: no gated cycle acts
    // Per cycle code 0..17: 'p' the percentage shows, 'c' the cut time shows.
    // A Stop (12) has gone out by then: the code is 0 again.
    const char* expected[] = {"pc", "",  "p", "p",  "p", "p", "pc", "pc", "pc",
                              "p",  "p", "p", "pc", "p", "p", "p",  "p",  "pc"};
    for (int code = 0; code <= 17; ++code) {
        state.jobStartTime = std::time(nullptr) - 90;
        state.SetCycle(code, 0);
        display.ClearHistory();
        Iterate();
        std::string shown;
        if (!display.History(Window::RunPage, IDC_PERCENT_TEXT).empty()) shown += 'p';
        if (!display.History(Window::RunPage, IDC_CUT_TIME).empty()) shown += 'c';
        EXPECT_EQ(shown, expected[code]) << "cycle code " << code;
    }
}

TEST_F(ServiceTest, ContactBeepsDuringToolDetectionProbing) {
    int beeps = 0;
    platform::SetBeepHandler([&](int hz, int ms) {
        EXPECT_EQ(hz, 420);
        EXPECT_EQ(ms, 50);
        ++beeps;
    });
    Driver().replies[0x05] = {0x01};  // cable in, touched
    SetStatus(1);                     // busy: the cycle does not advance
    state.SetCycle(kToolDetectionCycle, 4);
    Iterate();
    EXPECT_EQ(beeps, 0);
    state.SetCycle(kToolDetectionCycle, 5);
    Iterate(3);
    EXPECT_EQ(beeps, 3);
    Driver().replies[0x05] = {0x03};  // not touched
    Iterate();
    EXPECT_EQ(beeps, 3);
    platform::SetBeepHandler({});
}

TEST_F(ServiceTest, StopRequestEndsTheThreadEvenDuringAMachineCommand) {
    ASSERT_TRUE(log.Open(m_folder));
    Driver().busyPolls = 1 << 30;  // every move waits for ever
    RequestTargetMove(state, 0, 0, 0, 0, 100);
    thread->Resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    thread->RequestStop();
    EXPECT_TRUE(thread->Join(5000));
    log.Close();
    EXPECT_THAT(ReadLog(), ::testing::HasSubstr(
                               "Command thread stoppped\nExist instance of Command thread\n"));
}

TEST_F(ServiceTest, StopEndsTheWaitForAMoveAndPulsesAtOnce) {
    Driver().busyPolls = 1 << 30;  // the move would take for ever
    RequestTargetMove(state, 28000, 0, 0, 0, 3000);
    thread->Resume();
    auto waitFor = [](const std::function<bool()>& condition) {
        for (int i = 0; i < 2000 && !condition(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return condition();
    };
    ASSERT_TRUE(waitFor([&] { return FramesWithOpcode(0x02).size() > 3; }));  // waiting
    RequestStopCycle(state);
    // The first pulse goes out while the machine still reports the move busy.
    ASSERT_TRUE(waitFor([&] { return !FramesWithOpcode(0x12).empty(); }));
    {
        std::lock_guard lock(Driver().mutex);
        Driver().busyPolls = 0;  // the pulses themselves complete at once
    }
    EXPECT_TRUE(waitFor([&] { return FramesWithOpcode(0x12).size() == 4; }));
    EXPECT_TRUE(waitFor([&] { return state.cycleCode.load() == kNoCycle; }));
    // Stopped, the machine is not told to move again.
    EXPECT_EQ(Moves().size(), 1u);
    thread->RequestStop();
    EXPECT_TRUE(thread->Join(5000));
}

// Overrides, jogs and the fixture radios do not wait for a free machine: one
// made right after Stop, before the thread came round, must not swallow it.
TEST_F(ServiceTest, ARequestRightAfterStopRunsAfterThePulses) {
    SetStatus(2);
    const std::vector<std::pair<const char*, std::function<void()>>> requests = {
        {"override", [&] { RequestOverride(state, Override::Feed, 50); }},
        {"target move", [&] { RequestTargetMove(state, 100, 0, 0, 0, 500); }},
        {"set origin", [&] { RequestSetOrigin(state, 0, 0, 0, 0); }},
        {"aux location", [&] { RequestAuxLocation(state, 1); }},
    };
    for (const auto& [name, request] : requests) {
        SCOPED_TRACE(name);
        ClearFrames();
        RequestStopCycle(state);
        request();
        Iterate();
        EXPECT_EQ(FramesWithOpcode(0x12).size(), 4u);  // abort job, clear memory
        EXPECT_NE(state.cycleCode.load(), kNoCycle);   // the later request is still to come
        Iterate(3);
        EXPECT_EQ(FramesWithOpcode(0x12).size(), 4u);
        EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    }
    EXPECT_EQ(state.feedOverride.load(), 50);
}

TEST_F(ServiceTest, AStopBeforeTheThreadRunsIsNotLost) {
    thread->RequestStop();
    thread->Resume();
    EXPECT_TRUE(thread->Join(5000));
}

}  // namespace
