// The Tool Changer and Set Aux. Locations dialogs as the operator opens them
// from the main window's context menu: what the selections and "Exit" keep,
// the refusals, and where the simulated machine goes.
#include <gmock/gmock.h>

#include <QAction>
#include <QDir>
#include <QTest>
#include <QTimer>

#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "pages/aux_locations_ids.h"
#include "pages/tool_changer_dlg.h"
#include "pages/tool_changer_ids.h"
#include "service/text_format.h"
#include "support/recording_driver_client.h"

using ::testing::ElementsAre;

namespace {

constexpr const char* kModel = "Roland JWX-10";

// Does `act` with the next dialog to come up modal over `over`, once it is
// up; cancels it afterwards if `act` left it open.
void WhenModal(QWidget* over, std::function<void(ui::Dialog&)> act) {
    QTimer::singleShot(0, [over, act = std::move(act)]() mutable {
        auto* dialog = qobject_cast<ui::Dialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog == over || !dialog->isVisible())
            return WhenModal(over, std::move(act));
        act(*dialog);
        if (dialog->isVisible()) dialog->EndDialog(ui::IDCANCEL);
    });
}

void ClickIn(ui::Dialog& dialog, int id) { dialog.Control<QAbstractButton>(id)->click(); }

void SaveScreenshot(QWidget& window, const char* name) {
    const QString folder = QStringLiteral(TARNWICK_TEST_BIN "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(window.grab().save(folder + "/" + name));
}

class ToolChangerTest : public MainWindowTest {
protected:
    QAction* MenuEntry() {
        for (QAction* action : window->actions())
            if (action->text() == "Tool Changer...") return action;
        return nullptr;
    }
    // Opens the Tool Changer from the context menu and does `act` while it is up.
    void OpenToolChanger(std::function<void(ui::Dialog&)> act) {
        QAction* entry = MenuEntry();
        ASSERT_NE(entry, nullptr);
        WhenModal(nullptr, [act = std::move(act)](ui::Dialog& dialog) {
            EXPECT_EQ(dialog.TemplateId(), IDD_TOOL_CHANGER);
            EXPECT_EQ(dialog.windowTitle(), "Tool Changer");
            act(dialog);
        });
        entry->trigger();
    }
    // Waits for the machine to stand still at `position` with no cycle pending.
    bool WaitForMachineAt(const MachinePosition& position) {
        SharedState& state = window->State();
        return WaitUntil([&] {
            return state.cycleCode.load() == kNoCycle && state.lastStatus.load() == 2 &&
                   state.lastPosition.Get() == position;
        });
    }
};

// On the recording driver the machine is never idle: a requested cycle stays
// pending, and the next tool request is refused.
TEST_F(ToolChangerTest, SelectionsChangeWhetherOrNotTheMachineTakesTheRequest) {
    UseDriver(Driver::Recording);
    LoadRecordingDriver()->Reset();
    WriteConfig("TSO", "CURRENT", "2");
    Start();
    SharedState& state = window->State();
    // The run page's overrides, sent at start-up, pass first.
    ASSERT_TRUE(WaitUntil([&] { return state.cycleCode.load() == kNoCycle; }));
    OpenToolChanger([&](ui::Dialog& dialog) {
        EXPECT_TRUE(dialog.IsChecked(IDC_CURRENT_TOOL_NONE + 2));
        EXPECT_TRUE(dialog.IsChecked(IDC_TOOL_TO_GET_NONE));
        EXPECT_FALSE(dialog.IsShown(IDC_ADVANCED));
        EXPECT_FALSE(dialog.IsEnabled(IDC_ADVANCED));
        ClickIn(dialog, IDC_REPLACE_TOOL);
        EXPECT_EQ(config->CurrentTool(), 2);
        EXPECT_EQ(state.cycleCode.load(), kReplaceToolCycle);
        EXPECT_EQ(state.toolForCycle.load(), 2);
        EXPECT_TRUE(dialog.IsChecked(IDC_CURRENT_TOOL_NONE));
        ClickIn(dialog, ui::IDOK);
    });
    EXPECT_EQ(ReadConfig("TSO", "CURRENT"), "0");

    OpenToolChanger([&](ui::Dialog& dialog) {
        EXPECT_TRUE(dialog.IsChecked(IDC_CURRENT_TOOL_NONE));
        ClickIn(dialog, IDC_TOOL_TO_GET_NONE + 3);
        ClickIn(dialog, IDC_GET_TOOL);
        EXPECT_TRUE(dialog.IsChecked(IDC_CURRENT_TOOL_NONE + 3));
        ClickIn(dialog, ui::IDOK);
    });
    EXPECT_EQ(ReadConfig("TSO", "CURRENT"), "3");
    // The pending cycle still goes where it was sent.
    EXPECT_EQ(state.cycleCode.load(), kReplaceToolCycle);
    EXPECT_EQ(state.toolForCycle.load(), 2);

    // Escape keeps what "Replace Tool" set in memory, unsaved. The other
    // buttons ask the main window; the clamp buttons only record.
    state.spindleClampWord = 9;
    OpenToolChanger([&](ui::Dialog& dialog) {
        ClickIn(dialog, IDC_CURRENT_TOOL_NONE + 1);
        ClickIn(dialog, IDC_REPLACE_TOOL);
        ClickIn(dialog, IDC_MEASURE_TOOL);
        ClickIn(dialog, IDC_OPEN_SPINDLE);
        EXPECT_EQ(state.spindleClampRequest.load(), CToolChangerDlg::kClampOpen);
        EXPECT_EQ(state.spindleClampWord.load(), 0);
        ClickIn(dialog, IDC_CLOSE_SPINDLE);
        EXPECT_EQ(state.spindleClampRequest.load(), CToolChangerDlg::kClampClose);
        ClickIn(dialog, IDC_TOOL_CHANGER_STOP);
        // The thread may have sent the pulses already: nothing waits for a Stop.
        EXPECT_TRUE(state.cycleCode.load() == kStopCycle || state.cycleCode.load() == kNoCycle);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(config->CurrentTool(), 1);
    EXPECT_EQ(ReadConfig("TSO", "CURRENT"), "3");

    // A number no radio stands for, as a file edited by hand may hold.
    config->SetCurrentTool(7);
    OpenToolChanger([&](ui::Dialog& dialog) {
        for (int id = IDC_CURRENT_TOOL_NONE; id <= IDC_CURRENT_TOOL4; ++id)
            EXPECT_FALSE(dialog.IsChecked(id)) << id;
        ClickIn(dialog, ui::IDOK);
    });
    EXPECT_EQ(config->CurrentTool(), -1);
    EXPECT_EQ(ReadConfig("TSO", "CURRENT"), "-1");
    EXPECT_THAT(
        Boxes(),
        ElementsAre("Error: Can't run the Get the new Tool cycle while the machine is running!",
                    "Error: Can't run the Replace Tool cycle while the machine is running!",
                    "Error: Can't run the Tool Detection cycle until the machine is not busy!"));
}

TEST_F(ToolChangerTest, ExitRightAfterReplaceToolStillTakesTheMachineToThatTool) {
    UseDriver(Driver::Simulated);
    WriteConfig("TSO", "CURRENT", "2");
    WriteConfig("TOOLPOSITION2", "X", "60.25");
    WriteConfig("TOOLPOSITION2", "Y", "40.50");
    Start();
    const std::int32_t top = config->Profile().zLimit;
    window->RequestTargetMove({2000, 3000, 4000, 0}, 3000);
    ASSERT_TRUE(WaitForMachineAt({2000, 3000, 4000, 0}));
    OpenToolChanger([&](ui::Dialog& dialog) {
        ClickIn(dialog, IDC_REPLACE_TOOL);
        ClickIn(dialog, ui::IDOK);
    });
    EXPECT_EQ(ReadConfig("TSO", "CURRENT"), "0");
    EXPECT_TRUE(WaitForMachineAt({6025, 4050, top, 0}));
}

TEST_F(ToolChangerTest, AnAuxLocationReplacesAPendingMoveAndKeepsWhereTheMachineIs) {
    UseDriver(Driver::Simulated);
    WriteConfig("TOOLPOSITION1", "X", "30.00");
    WriteConfig("TOOLPOSITION1", "Y", "20.00");
    Start();
    SharedState& state = window->State();
    window->RequestTargetMove({5000, 2500, 4000, 0}, 3000);
    ASSERT_TRUE(WaitForMachineAt({5000, 2500, 4000, 0}));
    // In View mode the machine takes no cycle: the move stays pending.
    Panel(kModel, "view on");
    ASSERT_TRUE(WaitUntil([&] { return (state.lastStatus.load() & 128) != 0; }));
    state.moveSelection = kMoveAuxLoc1;
    ASSERT_TRUE(RequestIfIdle(state, kMoveRequest));

    OpenToolChanger([&](ui::Dialog& toolChanger) {
        SaveScreenshot(toolChanger, "tool_changer.png");
        WhenModal(&toolChanger, [&](ui::Dialog& aux) {
            // What the operator sees from the first moment it is up.
            EXPECT_EQ(aux.TemplateId(), IDD_AUX_LOCATIONS);
            EXPECT_EQ(aux.windowTitle(), "Set Aux. Locations");
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(aux.Text(IDC_SET_TOOL1 + i), QString("Aux. Loc. %1").arg(i + 1));
            EXPECT_EQ(aux.Text(ui::IDOK), "Close");
            SaveScreenshot(aux, "aux_locations.png");
            ClickIn(aux, IDC_SET_TOOL1 + 2);
            EXPECT_EQ(state.cycleCode.load(), kAuxLocationCycle);
            EXPECT_EQ(state.cycleStep.load(), 3);
            EXPECT_THAT(Boxes(),
                        ElementsAre("Aux. Position Set: Auxillary position #3 is now set"));
            EXPECT_EQ(ReadConfig("TOOLPOSITION3", "X"), "<missing>");
            ClickIn(aux, ui::IDOK);
        });
        ClickIn(toolChanger, IDC_SET_TOOL_BLOCK);
        EXPECT_EQ(QApplication::activeModalWidget(), &toolChanger);
    });

    Panel(kModel, "view off");
    ASSERT_TRUE(WaitUntil([&] { return state.cycleCode.load() == kNoCycle; }));
    // Where View mode parked the machine: the move to Aux. Loc. 1 never ran.
    const MachinePosition here = state.lastPosition.Get();
    EXPECT_NE(here.x, 3000);
    EXPECT_NE(here.y, 2000);
    EXPECT_EQ(ReadConfig("TOOLPOSITION3", "X"), FormatText("%.2f", here.x * 0.01));
    EXPECT_EQ(ReadConfig("TOOLPOSITION3", "Y"), FormatText("%.2f", here.y * 0.01));
}

TEST_F(ToolChangerTest, TheMenuEntryIsEnabledWithTheHiddenToolChangerButton) {
    UseDriver(Driver::Simulated);
    Start();
    QAction* entry = MenuEntry();
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(window->IsShown(IDC_TOOL_CHANGER));
    EXPECT_TRUE(entry->isEnabled());
    // The operator's spindle locks the tool changer until it stops.
    SharedState& state = window->State();
    state.spindleSwitch = 1;
    state.SetCycleCode(kSpindleCycle);
    EXPECT_TRUE(WaitUntil([&] { return !window->IsEnabled(IDC_TOOL_CHANGER); }));
    EXPECT_FALSE(entry->isEnabled());
    state.spindleSwitch = 0;
    state.SetCycleCode(kSpindleCycle);
    EXPECT_TRUE(WaitUntil([&] { return window->IsEnabled(IDC_TOOL_CHANGER); }));
    EXPECT_TRUE(entry->isEnabled());
}

}  // namespace
