// The Tool Changer and Set Aux. Locations dialogs, opened from the main
// window's context menu as the operator opens them.
#include <gmock/gmock.h>

#include <QAction>
#include <QDir>
#include <QTimer>

#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "pages/aux_locations_ids.h"
#include "pages/tool_changer_ids.h"
#include "service/text_format.h"
#include "support/recording_driver_client.h"

using ::testing::ElementsAre;

namespace {

// Does `act` with the next dialog to come up modal over `over`; cancels it
// afterwards if `act` left it open.
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

class ToolChangerTest : public MainWindowTest {
protected:
    QAction* MenuEntry() {
        for (QAction* action : window->actions())
            if (action->text() == "Tool Changer...") return action;
        return nullptr;
    }
    void OpenToolChanger(std::function<void(ui::Dialog&)> act) {
        ASSERT_NE(MenuEntry(), nullptr);
        WhenModal(nullptr, std::move(act));
        MenuEntry()->trigger();
    }
};

// The recording machine is never idle: a requested cycle stays pending.
TEST_F(ToolChangerTest, SelectionsChangeWhetherOrNotTheMachineTakesTheRequest) {
    UseDriver(Driver::Recording);
    LoadRecordingDriver()->Reset();
    WriteConfig("TSO", "CURRENT", "2");
    Start();
    SharedState& state = window->State();
    ASSERT_TRUE(WaitUntil([&] { return state.cycleCode.load() == kNoCycle; }));
    OpenToolChanger([&](ui::Dialog& dialog) {
        EXPECT_TRUE(dialog.IsChecked(IDC_CURRENT_TOOL_NONE + 2));
        ClickIn(dialog, IDC_REPLACE_TOOL);
        EXPECT_EQ(config->CurrentTool(), 2);
        EXPECT_EQ(state.cycleCode.load(), kReplaceToolCycle);
        EXPECT_TRUE(dialog.IsChecked(IDC_CURRENT_TOOL_NONE));
        ClickIn(dialog, ui::IDOK);
    });
    EXPECT_EQ(ReadConfig("TSO", "CURRENT"), "0");
    OpenToolChanger([&](ui::Dialog& dialog) {
        ClickIn(dialog, IDC_TOOL_TO_GET_NONE + 3);
        ClickIn(dialog, IDC_GET_TOOL);
        EXPECT_TRUE(dialog.IsChecked(IDC_CURRENT_TOOL_NONE + 3));
        ClickIn(dialog, ui::IDOK);
    });
    EXPECT_THAT(Boxes(), ElementsAre("Error: Can't run the Get the new Tool cycle while the "
                                     "machine is running!"));
    EXPECT_EQ(ReadConfig("TSO", "CURRENT"), "3");
    EXPECT_EQ(state.toolForCycle.load(), 2);  // the pending cycle still goes to tool 2
    // A number no radio stands for, as a file edited by hand may hold.
    config->SetCurrentTool(7);
    OpenToolChanger([&](ui::Dialog& dialog) {
        for (int id = IDC_CURRENT_TOOL_NONE; id <= IDC_CURRENT_TOOL4; ++id)
            EXPECT_FALSE(dialog.IsChecked(id));
        ClickIn(dialog, ui::IDOK);
    });
    EXPECT_EQ(ReadConfig("TSO", "CURRENT"), "-1");
}

TEST_F(ToolChangerTest, AnAuxLocationReplacesAPendingMoveAndKeepsWhereTheMachineIs) {
    UseDriver(Driver::Simulated);
    WriteConfig("TOOLPOSITION1", "X", "30.00");
    Start();
    SharedState& state = window->State();
    // In View mode the machine takes no cycle: the move stays pending.
    Panel("Roland JWX-10", "view on");
    ASSERT_TRUE(WaitUntil([&] { return (state.lastStatus.load() & 128) != 0; }));
    state.moveSelection = kMoveAuxLoc1;
    ASSERT_TRUE(RequestIfIdle(state, kMoveRequest));
    QDir().mkpath(TARNWICK_TEST_BIN "/screenshots");
    OpenToolChanger([&](ui::Dialog& toolChanger) {
        toolChanger.grab().save(TARNWICK_TEST_BIN "/screenshots/tool_changer.png");
        WhenModal(&toolChanger, [&](ui::Dialog& aux) {
            // As the operator first sees it.
            EXPECT_EQ(aux.TemplateId(), IDD_AUX_LOCATIONS);
            EXPECT_EQ(aux.windowTitle(), "Set Aux. Locations");
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(aux.Text(IDC_SET_TOOL1 + i), QString("Aux. Loc. %1").arg(i + 1));
            aux.grab().save(TARNWICK_TEST_BIN "/screenshots/aux_locations.png");
            ClickIn(aux, IDC_SET_TOOL1 + 2);
            EXPECT_EQ(state.cycleCode.load(), kAuxLocationCycle);
            EXPECT_EQ(state.cycleStep.load(), 3);
            EXPECT_THAT(Boxes(),
                        ElementsAre("Aux. Position Set: Auxillary position #3 is now set"));
        });
        ClickIn(toolChanger, IDC_SET_TOOL_BLOCK);
    });
    Panel("Roland JWX-10", "view off");
    ASSERT_TRUE(WaitUntil([&] { return state.cycleCode.load() == kNoCycle; }));
    // Where View mode parked the machine; the move to Aux. Loc. 1 never ran.
    const MachinePosition here = state.lastPosition.Get();
    EXPECT_NE(here.x, 3000);
    EXPECT_EQ(ReadConfig("TOOLPOSITION3", "X"), FormatText("%.2f", here.x * 0.01));
    EXPECT_EQ(ReadConfig("TOOLPOSITION3", "Y"), FormatText("%.2f", here.y * 0.01));
}

TEST_F(ToolChangerTest, TheMenuEntryIsEnabledWithTheHiddenToolChangerButton) {
    UseDriver(Driver::Simulated);
    Start();
    ASSERT_NE(MenuEntry(), nullptr);
    EXPECT_TRUE(MenuEntry()->isEnabled());
    SharedState& state = window->State();
    for (int spindle : {1, 0}) {  // the operator's spindle locks the tool changer
        state.spindleSwitch = spindle;
        state.SetCycleCode(kSpindleCycle);
        EXPECT_TRUE(WaitUntil([&] { return window->IsEnabled(IDC_TOOL_CHANGER) == !spindle; }));
        EXPECT_EQ(MenuEntry()->isEnabled(), !spindle);
    }
}

}  // namespace
