// Start-up and shutdown of the whole program: the machine type question, a
// missing driver, and how the main window ends.
#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <iterator>

#include "app/about_dlg.h"
#include "app/app_fixture.h"
#include "app/machine_type_dlg.h"
#include "app/main_window_ids.h"
#include "app/tarnwick_app.h"
#include "app/tarnwick_dlg.h"
#include "service/log_file.h"

using ::testing::ElementsAre;

namespace {

// Answers the Machine Type dialog once it is up: picks `index` (or nothing
// with -1) and presses OK, or presses Escape when `escape`.
void AnswerMachineType(int index, bool escape = false) {
    QTimer::singleShot(0, [index, escape] {
        auto* dialog = qobject_cast<CMachineTypeDlg*>(QApplication::activeModalWidget());
        if (!dialog) return AnswerMachineType(index, escape);
        if (escape) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        dialog->Control<QComboBox>(IDC_MACHINE_TYPE_LIST)->setCurrentIndex(index);
        dialog->Control<QAbstractButton>(ui::IDOK)->click();
    });
}

// Ends the main window with "Close" as soon as it runs.
void CloseWhenShown(CTarnwickApp& app, std::function<void(CTarnwickDlg&)> check = {}) {
    app.onMainWindowCreated = [check](CTarnwickDlg& window) {
        if (check) check(window);
        QTimer::singleShot(0, &window,
                           [&window] { window.Control<QAbstractButton>(IDC_CLOSE)->click(); });
    };
}

TEST_F(AppTest, WithoutTheDriverTheProgramEndsAfterTwoMessages) {
    UseDriver(Driver::None);
    CTarnwickApp app;
    EXPECT_EQ(app.InitInstance(), -1);
    EXPECT_THAT(Boxes(), ElementsAre("Tarnwick: Can't find the RDUPSLT.DLL file.",
                                     "Error: Roland machine not found"));
}

TEST_F(AppTest, AFreshInstallationAsksForTheMachineAndWritesItsProfileFirst) {
    UseDriver(Driver::Simulated);
    WriteConfig("MACHINEINFO", "MACHINETYPE", "-1");
    CTarnwickApp app;
    std::string typeWhenShown, xLimitWhenShown;
    CloseWhenShown(app, [&](CTarnwickDlg&) {
        typeWhenShown = ReadConfig("MACHINEINFO", "MACHINETYPE");
        xLimitWhenShown = ReadConfig("MACHINEINFO", "XLIMIT");
    });
    AnswerMachineType(1);
    EXPECT_EQ(app.InitInstance(), ui::IDOK);
    EXPECT_EQ(typeWhenShown, "1");
    EXPECT_EQ(xLimitWhenShown, "30500");
    // Seeded from the machine on this first start.
    EXPECT_EQ(ReadConfig("WORKOFFSET", "VALUE"), "1");
    EXPECT_EQ(ReadConfig("WORKOFFSET", "NUM"), "1");
    EXPECT_TRUE(Boxes().empty());  // "Close": no closing box
}

TEST_F(AppTest, EscapeAtTheMachineTypeQuestionMeansTheWaxMill) {
    UseDriver(Driver::Simulated);
    WriteConfig("MACHINEINFO", "MACHINETYPE", "-1");
    CTarnwickApp app;
    CloseWhenShown(app);
    AnswerMachineType(0, true);
    app.InitInstance();
    EXPECT_EQ(ReadConfig("MACHINEINFO", "MACHINETYPE"), "0");
    EXPECT_EQ(ReadConfig("MACHINEINFO", "XLIMIT"), "14000");
}

TEST_F(AppTest, OkWithNoMachineChosenAsksAgainNextTime) {
    UseDriver(Driver::Simulated);
    WriteConfig("MACHINEINFO", "MACHINETYPE", "-1");
    CTarnwickApp app;
    AnswerMachineType(-1);
    // No model name: the port cannot be opened, and the program says so.
    EXPECT_EQ(app.InitInstance(), -1);
    EXPECT_EQ(ReadConfig("MACHINEINFO", "MACHINETYPE"), "-1");
    EXPECT_EQ(ReadConfig("MACHINEINFO", "XLIMIT"), "30500");  // any type but 0: the MDX-40 column
    EXPECT_THAT(Boxes(), ElementsAre("Tarnwick: Couldn't open port to Roland machine.",
                                     "Error: Roland machine not found"));
}

TEST_F(AppTest, ActivateLogEmptiesTheLogAndKeepsItOn) {
    std::ofstream(folder + "log.txt") << "an old session\n";
    LogFile log;
    CAboutDlg about(log);
    about.InitDialog();
    ASSERT_TRUE(about.IsEnabled(IDC_ACTIVATE_LOG));
    EXPECT_FALSE(about.IsEnabled(IDC_CALIBRATION));
    EXPECT_FALSE(about.Control<QLabel>(IDC_ABOUT_ICON)->pixmap().isNull());
    about.Control<QAbstractButton>(IDC_ACTIVATE_LOG)->click();
    EXPECT_TRUE(log.IsEnabled());
    EXPECT_FALSE(about.IsEnabled(IDC_ACTIVATE_LOG));
    log.Write("Enabling buttons\n");
    log.Close();
    std::ifstream in(folder + "log.txt");
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, "Enabling buttons\n");
    // A later About dialog knows the log is on already.
    ASSERT_TRUE(log.Open(folder));
    CAboutDlg again(log);
    again.InitDialog();
    EXPECT_FALSE(again.IsEnabled(IDC_ACTIVATE_LOG));
}

TEST_F(AppTest, ALostMachineClosesTheWindowWithItsReason) {
    UseDriver(Driver::Simulated);
    CTarnwickApp app;
    app.onMainWindowCreated = [this](CTarnwickDlg& window) {
        QTimer::singleShot(200, &window, [this] { Panel("Roland JWX-10", "fault lose"); });
    };
    EXPECT_EQ(app.InitInstance(), -1);
    // Which read meets the lost machine first depends on where the loop was.
    EXPECT_THAT(Boxes(), ElementsAre(::testing::AnyOf(
                             "Closing: Machine is no longer available.",
                             "Closing: Machine is no longer returning coordinate info.",
                             "Closing: Machine is no longer returning spindle info.")));
}

}  // namespace
