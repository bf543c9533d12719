// The main window on a running machine: start-up order, the live displays,
// requests and their refusals, fixtures, overrides and Stop.
#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QDir>
#include <QTest>

#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "app/tarnwick_dlg.h"
#include "config/configuration.h"
#include "link/recording_driver.h"
#include "pages/status_label.h"
#include "service/log_file.h"
#include "support/recording_driver_client.h"
#include "ui/trackbar.h"

using ::testing::ElementsAre;

namespace {

// A code no cycle serves: pending until a request without a busy check replaces it.
constexpr int kUnservedCycle = 3;

TEST_F(MainWindowTest, StartUpSendsOriginAndOverridesBeforeTheThreadPolls) {
    UseDriver(Driver::Recording);
    RecordingDriver* driver = LoadRecordingDriver();
    ASSERT_NE(driver, nullptr);
    driver->Reset();
    WriteConfig("WORKOFFSET", "VALUE", "1");
    WriteConfig("WORKOFFSET", "NUM", "2");
    WriteConfig("WORKOFFSET3", "X", "12.50");
    WriteConfig("WORKOFFSET3", "A", "-90.00");
    Start();
    ASSERT_TRUE(WaitUntil([&] {
        for (const auto& call : driver->Calls())
            if (call.Opcode() == 0x1F) return true;
        return false;
    }));
    std::vector<std::uint8_t> opcodes;
    for (const auto& call : driver->Calls())
        if (call.Opcode() != 0x02) opcodes.push_back(call.Opcode());  // without the waits
    // Origin (from fixture 3, as the file says), feed, spindle, then the first poll.
    ASSERT_GE(opcodes.size(), 4u);
    EXPECT_THAT(std::vector<std::uint8_t>(opcodes.begin(), opcodes.begin() + 4),
                ElementsAre(0x23, 0x26, 0x28, 0x1F));
    const auto origin = driver->Calls().front().request;
    EXPECT_EQ(FrameS32(origin, 3), 1250);
    EXPECT_EQ(FrameS32(origin, 15), -9000);
    EXPECT_EQ(driver->opens.at(0).name, "Roland JWX-10");
    EXPECT_TRUE(window->IsEnabled(IDC_FIXTURE1));
    EXPECT_TRUE(window->IsChecked(IDC_FIXTURE3));
}

TEST_F(MainWindowTest, DisplaysFollowTheMachine) {
    UseDriver(Driver::Simulated);
    WriteConfig("TSO", "CURRENT", "2");
    Start();
    ASSERT_TRUE(WaitUntil([&] { return Shown(IDC_POS_Z) == "105.00"; }));
    // Jog-page style target move; the display follows the machine there.
    window->RequestTargetMove({5000, 2500, 10000, 9000}, 3000);
    EXPECT_TRUE(WaitUntil([&] {
        return Shown(IDC_POS_X) == "50.00" && Shown(IDC_POS_Y) == "25.00" &&
               Shown(IDC_POS_A) == "90.00";
    }));
    window->State().spindleSwitch = 1;
    window->State().spindleSpeed = 12000;
    window->State().SetCycleCode(kSpindleCycle);
    EXPECT_TRUE(WaitUntil([&] { return Shown(IDC_SPINDLE_SPEED) == "12000"; }));
    EXPECT_EQ(window->Text(IDC_CURRENT_TOOL), "Current Tool: 2");
    Panel("Roland JWX-10", "view on");
    EXPECT_TRUE(WaitUntil([&] { return Shown(IDC_STATUS) == "Machine is in View mode..."; }));
    QDir().mkpath(TARNWICK_TEST_BIN "/screenshots");
    EXPECT_TRUE(window->grab().save(TARNWICK_TEST_BIN "/screenshots/main_window.png"));
}

TEST_F(MainWindowTest, RequestsRefuseWhileBusyButFixturesAndStopDoNot) {
    UseDriver(Driver::Simulated);
    config = nullptr;
    WriteConfig("WORKOFFSET", "VALUE", "1");
    WriteConfig("WORKOFFSET", "NUM", "2");
    WriteConfig("WORKOFFSET2", "X", "20.25");
    WriteConfig("WORKOFFSET2", "Y", "-3.50");
    WriteConfig("WORKOFFSET2", "Z", "7.00");
    WriteConfig("WORKOFFSET2", "A", "45.00");
    Start();
    SharedState& state = window->State();
    state.SetCycle(kUnservedCycle, 0);
    Click(IDC_MOVE);
    EXPECT_THAT(Boxes(), ElementsAre("Error: Can't run the Go cycle while the machine is busy!"));
    EXPECT_EQ(state.cycleCode.load(), kUnservedCycle);

    // Fixture "2" replaces the pending cycle: its X, Y and A become active.
    Click(IDC_FIXTURE2);
    EXPECT_EQ(state.activeOffsets.x.load(), 20.25);
    EXPECT_EQ(state.activeOffsets.y.load(), -3.50);
    EXPECT_EQ(state.activeOffsets.a.load(), 45.0);
    EXPECT_EQ(state.target.x.load(), 2025);
    EXPECT_EQ(config->SelectedFixture(), 1);
    EXPECT_TRUE(state.cycleCode.load() == kSetOriginCycle || state.cycleCode.load() == kNoCycle);

    // Without fixture offsets the machine's own origin is the active offset.
    ASSERT_TRUE(WaitUntil([&] { return state.cycleCode.load() == kNoCycle; }));
    window->SetCheck(IDC_USE_FIXTURE_OFFSETS, false);
    window->OnUseFixtureOffsets();
    EXPECT_FALSE(window->IsEnabled(IDC_FIXTURE1));
    MachinePosition origin;
    ASSERT_TRUE(window->Port().ReadOrigin(origin));
    EXPECT_EQ(state.activeOffsets.x.load(), origin.x * 0.01);

    // A trackbar acts only when released.
    auto* feed = window->Control<ui::Trackbar>(IDC_FEED_TRACKBAR);
    feed->setValue(150);
    EXPECT_EQ(state.feedOverride.load(), 100);
    emit feed->Released();
    EXPECT_EQ(state.feedOverride.load(), 150);
    EXPECT_EQ(window->Text(IDC_FEED_LABEL), "150");
    EXPECT_EQ(state.cycleCode.load(), kOverrideCycle);

    state.jobState = kJobRunning;
    Click(IDC_STOP);
    EXPECT_EQ(state.jobState.load(), kJobCancel);
    // The thread may have sent the pulses already: nothing waits for a Stop.
    EXPECT_TRUE(state.cycleCode.load() == kStopCycle || state.cycleCode.load() == kNoCycle);
    EXPECT_TRUE(WaitUntil(
        [&] { return state.cycleCode.load() == kNoCycle && state.jobState.load() == kJobIdle; }));
}

TEST_F(MainWindowTest, EveryBusyRefusalSaysWhichCycleWasRefused) {
    UseDriver(Driver::Recording);
    LoadRecordingDriver()->Reset();
    Start();
    SharedState& state = window->State();
    state.SetCycle(kReplaceToolCycle, 0);  // pending until something replaces it
    Click(IDC_MOVE);
    Click(IDC_GO);
    Click(IDC_SET_TOOL_HEIGHT);
    EXPECT_FALSE(window->RequestDetection());
    EXPECT_FALSE(window->RequestReplaceTool(2));
    EXPECT_FALSE(window->RequestGetTool(3));
    EXPECT_THAT(
        Boxes(),
        ElementsAre("Error: Can't run the Go cycle while the machine is busy!",
                    "Error: Can't run the Execute cycle while the machine is busy!",
                    "Error: Can't run the Tool Detection cycle until the machine is not busy!",
                    "Error: Can't run the Detection cycle while the machine is busy!",
                    "Error: Can't run the Replace Tool cycle while the machine is running!",
                    "Error: Can't run the Get the new Tool cycle while the machine is running!"));
    EXPECT_EQ(state.cycleCode.load(), kReplaceToolCycle);
}

TEST_F(MainWindowTest, EscapeClosesWithAnEmptyClosingBox) {
    UseDriver(Driver::Simulated);
    Start();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    window->OnDestroy();
    EXPECT_THAT(Boxes(), ElementsAre("Closing: "));
    window.reset();
}

TEST_F(MainWindowTest, AThreadStuckInTheDriverKeepsPortAndLogOpenThroughShutdown) {
    UseDriver(Driver::Recording);
    RecordingDriver* driver = LoadRecordingDriver();
    driver->Reset();
    Start();
    ASSERT_TRUE(log.Open(folder));
    {
        std::lock_guard lock(driver->mutex);
        driver->hangOpcode = 0x17;  // the next position read never returns
    }
    ASSERT_TRUE(WaitUntil([&] { return driver->Hanging(); }));
    window->SetThreadJoinBound(100);
    window->OnDestroy();
    EXPECT_TRUE(window->ThreadAbandoned());
    {
        std::lock_guard lock(driver->mutex);
        EXPECT_EQ(driver->closeCount, 0);
    }
    EXPECT_TRUE(log.IsEnabled());
    EXPECT_THAT(Boxes(), ElementsAre("Closing: "));
    // The driver answers at last: the thread ends and the window may go.
    driver->ReleaseHang();
    window->SetThreadJoinBound(CTarnwickDlg::kThreadJoinMs);
    window.reset();
}

}  // namespace
