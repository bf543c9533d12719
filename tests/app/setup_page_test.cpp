// The fixture offsets page and the set-up dialog in the main window, on the
// simulated machine: captures, Apply with and without fixture offsets in use,
// the sensor offset as typed, the field display on showing the tab, and the
// dialog's own reading of the position.
#include "pages/setup_page.h"

#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "jobs/page_tab_ctrl.h"
#include "link/machine_port.h"
#include "pages/fixture_offsets_form.h"
#include "pages/setup_dlg.h"
#include "pages/setup_page_ids.h"

namespace {

using fixture_form::EditId;
using fixture_form::IDC_SENSOR_OFFSET;
using fixture_form::SetButtonId;

class SetupPageTest : public MainWindowTest {
protected:
    void SetUp() override {
        UseDriver(Driver::Simulated);
        Configuration(folder).WriteMachineProfile(1);  // the MDX-40 reaches Y 123.45
        WriteConfig("WORKOFFSET", "VALUE", "1");
        WriteConfig("WORKOFFSET", "NUM", "1");  // fixture 2
        WriteConfig("TSO", "VALUE", "7.5");
        Start();
        page = &window->Pages()->SetupPage();
    }
    // Moves the machine and waits until the thread has read the new position.
    void MoveMachineTo(const MachinePosition& p) {
        window->RequestTargetMove(p, 3000);
        ASSERT_TRUE(WaitUntil([&] { return window->State().lastPosition.Get() == p; }));
    }
    MachinePosition Origin() {
        MachinePosition origin;
        EXPECT_TRUE(window->Port().ReadOrigin(origin));
        return origin;
    }
    void ShowTab(int index) { window->Control<QTabWidget>(IDC_TABS)->setCurrentIndex(index); }

    CSetupPage* page = nullptr;
};

TEST_F(SetupPageTest, SetTakesTheMachinePositionSavesAndMovesTheOrigin) {
    MoveMachineTo({2000, 12345, 9000, 0});
    page->Control<QAbstractButton>(SetButtonId(1, 1))->click();  // fixture 2 Y
    EXPECT_EQ(config->FixtureOffsets()[1].y, 123.45);
    EXPECT_EQ(page->Text(EditId(1, 1)), "123.45");
    EXPECT_EQ(window->State().activeOffsets.y.load(), 123.45);
    EXPECT_EQ(ReadConfig("WORKOFFSET2", "Y"), "123.45");
    // The selected fixture's origin goes to the machine, Z from the measured tool.
    EXPECT_TRUE(WaitUntil([&] { return Origin().y == 12345 && Origin().z == 750; }));

    // Z of another fixture: stored, and the measured tool is forgotten.
    page->Control<QAbstractButton>(SetButtonId(2, 2))->click();  // fixture 3 Z
    EXPECT_EQ(page->Text(EditId(2, 2)), "90.00");
    EXPECT_EQ(config->ToolOffsetValue(), 0.0);
    EXPECT_EQ(ReadConfig("TSO", "VALUE"), "0.000000");
    // Now the origin's Z is the selected fixture's own Z.
    EXPECT_TRUE(WaitUntil([&] { return Origin().z == 0; }));
}

TEST_F(SetupPageTest, ApplyWithoutFixtureOffsetsSavesAndSendsNothing) {
    window->SetCheck(IDC_USE_FIXTURE_OFFSETS, false);
    window->OnUseFixtureOffsets();
    ASSERT_TRUE(WaitUntil([&] { return window->State().cycleCode.load() == kNoCycle; }));
    const MachinePosition origin = Origin();
    const double activeA = window->State().activeOffsets.a.load();
    MoveMachineTo({0, 0, 9000, -250});                           // the rotary axis turns either way
    page->Control<QAbstractButton>(SetButtonId(3, 3))->click();  // fixture 4 A
    EXPECT_EQ(page->Text(EditId(3, 3)), "-2.50");
    EXPECT_EQ(ReadConfig("WORKOFFSET4", "A"), "-2.50");
    EXPECT_EQ(window->State().cycleCode.load(), kNoCycle);
    EXPECT_EQ(window->State().activeOffsets.a.load(), activeA);
    EXPECT_EQ(Origin(), origin);

    // The sensor offset as typed: atol's reading, written back, saved.
    for (auto [typed, shown] : {std::pair{"12.7", "12"}, std::pair{"letters", "0"}}) {
        page->SetText(IDC_SENSOR_OFFSET, typed);
        page->Control<QAbstractButton>(IDC_SETUP_APPLY)->click();
        EXPECT_EQ(page->Text(IDC_SENSOR_OFFSET), shown);
        EXPECT_EQ(ReadConfig("TSO", "ZA"), shown);
    }
}

TEST_F(SetupPageTest, TheTabShowsWhatChangedElsewhere) {
    ShowTab(2);
    // A tool sensor scan, say, measures a new sensor offset meanwhile.
    ShowTab(0);
    config->SetSensorOffset(-321);
    config->SetFixtureAxis(0, 3, 45.5);
    ShowTab(2);
    EXPECT_EQ(page->Text(IDC_SENSOR_OFFSET), "-321");
    EXPECT_EQ(page->Text(EditId(0, 3)), "45.50");
    QDir().mkpath(TARNWICK_TEST_BIN "/screenshots");
    EXPECT_TRUE(window->grab().save(TARNWICK_TEST_BIN "/screenshots/setup_page.png"));
}

TEST_F(SetupPageTest, TheSetUpDialogReadsTheMachineAndSavesOnExit) {
    MoveMachineTo({3000, 4000, 9000, 0});
    // Runs "Set Up" with `operate` doing what the operator does in the dialog.
    auto setUp = [&](const std::function<void(CSetupDlg&)>& operate) {
        QTimer::singleShot(0, window.get(), [&] {
            auto* dialog = qobject_cast<CSetupDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            operate(*dialog);
        });
        window->OnSetUp();
    };
    // Escape: what was captured stays in memory, unsaved, and nothing is sent.
    setUp([&](CSetupDlg& dialog) {
        EXPECT_TRUE(dialog.IsShown(IDC_SETUP_CALIBRATION));
        EXPECT_TRUE(dialog.IsEnabled(IDC_SETUP_CALIBRATION));
        dialog.Control<QAbstractButton>(SetButtonId(1, 0))->click();  // fixture 2 X
        EXPECT_EQ(dialog.Text(EditId(1, 0)), "30.00");
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(config->FixtureOffsets()[1].x, 30.0);
    EXPECT_EQ(window->State().activeOffsets.x.load(), 30.0);
    EXPECT_EQ(config->ToolOffsetValue(), 7.5);  // the dialog leaves the tool alone
    EXPECT_EQ(ReadConfig("WORKOFFSET2", "X"), "<missing>");
    EXPECT_EQ(window->State().cycleCode.load(), kNoCycle);

    // "Exit" saves, the typed sensor offset with it; the window then applies fixture 2.
    setUp([&](CSetupDlg& dialog) {
        dialog.SetText(IDC_SENSOR_OFFSET, "55");
        dialog.Control<QAbstractButton>(SetButtonId(1, 1))->click();  // fixture 2 Y
        EXPECT_EQ(dialog.Text(IDC_SENSOR_OFFSET), "55");              // kept while capturing
        EXPECT_TRUE(dialog.grab().save(TARNWICK_TEST_BIN "/screenshots/setup_dialog.png"));
        dialog.Control<QAbstractButton>(ui::IDOK)->click();
    });
    EXPECT_EQ(ReadConfig("WORKOFFSET2", "X"), "30.00");
    EXPECT_EQ(ReadConfig("WORKOFFSET2", "Y"), "40.00");
    EXPECT_EQ(ReadConfig("TSO", "ZA"), "55");
    EXPECT_TRUE(WaitUntil([&] { return Origin() == MachinePosition{3000, 4000, 750, 0}; }));
}

TEST_F(SetupPageTest, TheWaysIntoTheSetUpAndAuxLocationDialogs) {
    // "Set Up..." in the window's context menu follows the hidden "Set Up" button.
    QAction* setUp = nullptr;
    for (QAction* action : window->actions())
        if (action->text() == "Set Up...") setUp = action;
    ASSERT_NE(setUp, nullptr);
    EXPECT_TRUE(setUp->isEnabled());
    window->Enable(IDC_SET_UP, false);
    EXPECT_FALSE(setUp->isEnabled());
    window->Enable(IDC_SET_UP, true);
    // "Set Aux. Loc." on the page and "Set Tool Block" in the dialog open the
    // Set Aux. Locations dialog.
    std::vector<QString> opened;
    std::function<void()> closeWhatOpens = [&] {
        QTimer::singleShot(0, window.get(), [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            opened.push_back(modal->windowTitle());
            if (auto* setup = qobject_cast<CSetupDlg*>(modal)) {
                closeWhatOpens();
                setup->Control<QAbstractButton>(IDC_SETUP_TOOL_BLOCK)->click();
            }
            QTest::keyClick(modal, Qt::Key_Escape);
        });
    };
    closeWhatOpens();
    page->Control<QAbstractButton>(IDC_SETUP_SET_AUX)->click();
    closeWhatOpens();
    setUp->trigger();
    EXPECT_THAT(opened, ::testing::ElementsAre("Set Aux. Locations", "", "Set Aux. Locations"));
}

}  // namespace
