// The calibration dialogs on the simulated "Roland MDX-40", with the main
// window's command thread: the scans from the dialog and what they show,
// refusal, Stop, closing mid-scan, the buttons' silent checks, and the
// settings written into the machine's parameter memory.
#include <gmock/gmock.h>

#include <QAction>
#include <QDir>
#include <QTest>
#include <QTimer>
#include <array>

#include "app/about_dlg.h"
#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "pages/calibration_dlg.h"
#include "pages/calibration_settings_dlg.h"
#include "service/control_ids.h"
#include "service/sensor_pauses.h"

// For ThreadSanitizer: Qt's own threads (its parallel fills) synchronise inside
// the uninstrumented Qt libraries, and the simulator's panel forks its tool.
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1:die_after_fork=0";
}

using ::testing::Each;
using ::testing::ElementsAre;

namespace {

constexpr const char* kModel = "Roland MDX-40";

class CalibrationOnMachineTest : public MainWindowTest {
protected:
    void SetUp() override {
        UseDriver(Driver::Simulated);
        Configuration(folder).WriteMachineProfile(1);  // the mill with the rotary axis
        Start();
        profile = config->Profile();
        ASSERT_TRUE(WaitUntilIdle());
    }
    bool WaitUntilIdle() {
        const SharedState& s = window->State();
        return WaitUntil(
            [&] { return s.lastStatus == 2 && s.cycleCode == kNoCycle && s.scanKind == kNoScan; });
    }
    std::unique_ptr<CCalibrationDlg> Open() {
        auto dialog = std::make_unique<CCalibrationDlg>(window->CalibrationLinks(), window.get());
        dialog->InitDialog();
        dialog->show();
        return dialog;
    }
    static void Press(ui::Dialog& dialog, int id) { dialog.Control<QAbstractButton>(id)->click(); }
    static std::vector<std::string> Texts(const ui::Dialog& dialog, std::vector<int> ids) {
        std::vector<std::string> texts;
        for (int id : ids) texts.push_back(dialog.Text(id).toStdString());
        return texts;
    }
    // Runs a scan from its button to its status line's last text.
    bool Scan(CCalibrationDlg& dialog, int button, const char* last = "Scan complete!") {
        if (!WaitUntilIdle()) return false;
        Press(dialog, button);
        EXPECT_EQ(dialog.Text(IDC_SCAN_STATUS).toStdString(), CCalibrationDlg::kScanInProcessText);
        return WaitUntil([&] { return dialog.Text(IDC_SCAN_STATUS) == last; });
    }
    MachinePosition MachineNow() {
        MachinePosition position;
        EXPECT_TRUE(window->Port().ReadMachinePosition(position));
        return position;
    }
    QAction* Action(const QString& text) {
        for (QAction* action : window->actions())
            if (action->text() == text) return action;
        return nullptr;
    }

    MachineProfile profile;
};

TEST_F(CalibrationOnMachineTest, EachScanRunsFromItsButtonToScanComplete) {
    auto dialog = Open();
    const std::vector<int> all = {IDC_SCAN_0,     IDC_SCAN_90,     IDC_SCAN_180,  IDC_SCAN_270,
                                  IDC_LEFT_FRONT, IDC_RIGHT_FRONT, IDC_LEFT_BACK, IDC_RIGHT_BACK,
                                  IDC_NOMINAL,    IDC_REF_LEFT,    IDC_REF_RIGHT, IDC_TOOL_SENSOR,
                                  IDC_ZA,         IDC_SCAN_STATUS};
    EXPECT_THAT(Texts(*dialog, all), Each(""));
    ASSERT_TRUE(Scan(*dialog, IDC_CHECK_RUNOUT));
    ASSERT_TRUE(Scan(*dialog, IDC_FIND_ROTARY_CENTER));
    // At the Y centre the scan before made the origin's Y.
    ASSERT_TRUE(Scan(*dialog, IDC_TOOL_SENSOR_SETUP));
    // Each scan's values stay: no transfer of the dialog's own blanks them.
    EXPECT_THAT(Texts(*dialog, all), ElementsAre("76.01", "76.02", "75.98", "75.97", "153.40",
                                                 "153.40", "153.39", "153.39", "153.40", "66.01",
                                                 "66.01", "75.50", "-949", "Scan complete!"));
    EXPECT_EQ(dialog->YCenter(), 15340);
    EXPECT_EQ(config->SensorOffset(), -949);
    EXPECT_THAT(Boxes(), ElementsAre(std::string("Pause: ") + kSensorPauseTexts[0],
                                     std::string("Pause: ") + kSensorPauseTexts[1]));
    QDir().mkpath(TARNWICK_TEST_BIN "/screenshots");
    EXPECT_TRUE(dialog->grab().save(TARNWICK_TEST_BIN "/screenshots/calibration.png"));
}

TEST_F(CalibrationOnMachineTest, ASecondScanIsRefusedStopHaltsAndAClosedDialogTakesNothing) {
    SharedState& state = window->State();
    auto dialog = Open();
    Panel(kModel, "speed 1");  // the move to the rotary axis takes seconds
    Press(*dialog, IDC_CHECK_RUNOUT);
    // Refused whenever the machine is idle between the scan's moves.
    ASSERT_TRUE(WaitUntil([&] {
        Press(*dialog, IDC_CHECK_RUNOUT);
        return !boxes->Boxes().empty();
    }));
    EXPECT_THAT(Boxes(),
                ElementsAre("Error: Can't run the RunOut cycle while another cycle is running!"));
    ASSERT_TRUE(WaitUntil([&] { return MachineNow().x > 100; }));
    Press(*dialog, IDC_STOP);
    ASSERT_TRUE(WaitUntil([&] { return dialog->Text(IDC_SCAN_STATUS) == "Scan cancelled!"; }));
    ASSERT_TRUE(WaitUntil([&] { return state.cycleCode == kNoCycle; }));
    const MachinePosition stopped = MachineNow();
    EXPECT_LT(stopped.x, profile.rotAxisLocX);
    QTest::qWait(300);
    EXPECT_EQ(MachineNow(), stopped);

    // Closed before its first value, the dialog keeps what it showed; the scan
    // runs to its end, where the runout scan leaves the machine.
    Panel(kModel, "speed 200");
    ASSERT_TRUE(WaitUntilIdle());
    Press(*dialog, IDC_CHECK_RUNOUT);
    ASSERT_TRUE(WaitUntil([&] { return state.scanStep >= 2; }));
    ASSERT_LT(state.scanStep.load(), 5);
    Press(*dialog, ui::IDOK);  // "Exit"
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(MachineNow(),
              (MachinePosition{profile.rotAxisLocX, profile.rotAxisLocY, profile.zLimit, 0}));
    QTest::qWait(100);  // anything still posted
    EXPECT_THAT(Texts(*dialog, {IDC_SCAN_0, IDC_SCAN_270, IDC_SCAN_STATUS}),
                ElementsAre("", "", CCalibrationDlg::kScanInProcessText));

    // Destroyed mid-scan: the results have nowhere to go, the scan goes on.
    dialog = Open();
    Press(*dialog, IDC_FIND_ROTARY_CENTER);
    ASSERT_TRUE(WaitUntil([&] { return state.scanStep >= 2; }));
    dialog.reset();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(window->Display().YCenter(), 15340);
    EXPECT_EQ(boxes->Boxes().size(), 1u);
}

TEST_F(CalibrationOnMachineTest, WithoutTheSensorCableOrAnIdleMachineTheButtonsDoNothing) {
    SharedState& state = window->State();
    auto dialog = Open();
    auto pressAll = [&](const char* condition) {
        for (int id : {IDC_CHECK_RUNOUT, IDC_FIND_ROTARY_CENTER, IDC_TOOL_SENSOR_SETUP})
            Press(*dialog, id);
        EXPECT_EQ(state.scanKind.load(), kNoScan) << condition;
        EXPECT_EQ(dialog->Text(IDC_SCAN_STATUS).toStdString(), "") << condition;
        EXPECT_TRUE(boxes->Boxes().empty()) << condition;
    };
    Panel(kModel, "cable off");
    pressAll("cable off");
    Panel(kModel, "cable on");
    Panel(kModel, "view on");
    ASSERT_TRUE(WaitUntil([&] { return state.lastStatus == 130; }));
    pressAll("View mode");
    Panel(kModel, "view off");
    Panel(kModel, "speed 1");
    window->RequestTargetMove({profile.xLimit, 0, profile.zLimit, 0}, 3000);
    ASSERT_TRUE(WaitUntil([&] { return window->Port().ReadStatus() == 1; }));
    pressAll("moving");
    window->OnStop();

    // The context menu's entry follows the hidden "Set Up" button's enabling.
    QAction* calibration = Action("Machine Calibration...");
    ASSERT_NE(calibration, nullptr);
    window->Enable(IDC_SET_UP, false);
    EXPECT_FALSE(calibration->isEnabled());
    window->Enable(IDC_SET_UP, true);
    EXPECT_TRUE(calibration->isEnabled());
}

// Ends a modal dialog a test step left open, so that a failure cannot hang the run.
struct EndAtExit {
    ui::Dialog* dialog;
    ~EndAtExit() {
        if (dialog && dialog->isVisible()) dialog->EndDialog(ui::IDCANCEL);
    }
};

TEST_F(CalibrationOnMachineTest, SettingsFromTheAboutDialogReachTheParameterMemory) {
    SharedState& state = window->State();
    std::array<std::uint8_t, 38> block4{}, machine4{};
    std::array<std::uint8_t, 22> block5{}, machine5{};
    ASSERT_NE(window->Port().ReadBlock(4, block4.data(), 38), 0);
    ASSERT_NE(window->Port().ReadBlock(5, block5.data(), 22), 0);
    config->SetSensorOffset(-949);  // as a tool sensor scan leaves it

    auto roundTrip = [&](CCalibrationSettingsDlg& settings) {
        ASSERT_TRUE(WaitUntil([&] { return settings.IsEnabled(IDC_INITIALIZE); }));
        Panel(kModel, "view on");
        ASSERT_TRUE(WaitUntil([&] { return state.lastStatus == 130; }));
        Press(settings, IDC_INITIALIZE);
        EXPECT_FALSE(settings.IsEnabled(IDC_Y_WIDE_NARROW) || settings.IsEnabled(ui::IDOK));
        Panel(kModel, "view off");
        ASSERT_TRUE(WaitUntil([&] { return state.lastStatus == 2; }));
        Press(settings, IDC_INITIALIZE);
        // Block 5 words 3, 4 and 10 as the machine holds them.
        EXPECT_THAT(Texts(settings, {IDC_Y_WIDE_NARROW, IDC_Z_WIDE_NARROW, IDC_WORK_WIDTH}),
                    ElementsAre("10000", "1159", "1000"));
        settings.SetText(IDC_Y_WIDE_NARROW, "40000");
        settings.SetText(IDC_Z_WIDE_NARROW, "-12");
        settings.SetText(IDC_WORK_WIDTH, "2500");
        EXPECT_TRUE(
            settings.grab().save(TARNWICK_TEST_BIN "/screenshots/calibration_settings.png"));
        // A pending cycle (here one that never ends by itself) is not replaced.
        state.SetCycle(kReplaceToolCycle, 0);
        Press(settings, ui::IDOK);
        EXPECT_TRUE(settings.isVisible());
        state.EndCycle();
        Press(settings, ui::IDOK);
    };
    bool ran = false;
    QTimer::singleShot(0, window.get(), [&] {
        auto* about = window->findChild<CAboutDlg*>();
        EndAtExit endAbout{about};
        ASSERT_NE(about, nullptr);
        QTimer::singleShot(0, about, [&, about] {
            auto* settings = about->findChild<CCalibrationSettingsDlg*>();
            EndAtExit endSettings{settings};
            ASSERT_NE(settings, nullptr);
            roundTrip(*settings);
            ran = true;
        });
        Press(*about, IDC_CALIBRATION);
    });
    QDir().mkpath(TARNWICK_TEST_BIN "/screenshots");
    Action("&About Tarnwick...")->trigger();
    ASSERT_TRUE(ran);
    EXPECT_THAT(Boxes(), ElementsAre("Tarnwick: Machine is in View Mode...can't initialize!",
                                     "Error: Can't run the Write Parameters cycle while the "
                                     "machine is busy!",
                                     "Tarnwick: The machine must be turn off and restarted\n"
                                     "before these changes will take effect!"));
    ASSERT_TRUE(WaitUntil([&] { return state.cycleCode == kNoCycle; }));
    // Big-endian on the wire: the sensor offset -949 closes block 4; block 5
    // holds 40000 as -25536 and -12 twice each, a cleared word and the width.
    block4[36] = 0xFC;
    block4[37] = 0x4B;
    const std::pair<int, int> words[] = {{0, 0x9C40}, {2, 0xFFF4}, {4, 0},
                                         {6, 0x9C40}, {8, 0xFFF4}, {20, 2500}};
    for (auto [at, word] : words) {
        block5[at] = static_cast<std::uint8_t>(word >> 8);
        block5[at + 1] = static_cast<std::uint8_t>(word);
    }
    ASSERT_NE(window->Port().ReadBlock(4, machine4.data(), 38), 0);
    ASSERT_NE(window->Port().ReadBlock(5, machine5.data(), 22), 0);
    EXPECT_EQ(machine4, block4);
    EXPECT_EQ(machine5, block5);

    // OK before Initialize writes nothing and says nothing.
    boxes->Clear();
    CCalibrationSettingsDlg settings({state, *config});
    settings.InitDialog();
    ASSERT_TRUE(WaitUntil([&] { return settings.IsEnabled(IDC_INITIALIZE); }));
    static_cast<QDialog&>(settings).accept();  // OK's handler: the button is still disabled
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    EXPECT_TRUE(boxes->Boxes().empty());
}

}  // namespace
