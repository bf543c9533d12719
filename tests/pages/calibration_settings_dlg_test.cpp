// The calibration settings on their own, with the test standing in for the
// command thread: the read it waits for, the View-mode refusal, the edited
// record that OK builds from typed numbers, and the cycles it never replaces.
#include "pages/calibration_settings_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <functional>

#include "config/configuration.h"
#include "platform/test_util.h"
#include "service/requests.h"
#include "service/shared_state.h"
#include "ui/recording_message_box_service.h"

namespace {

bool WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 5000) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

class CalibrationSettingsTest : public ::testing::Test {
protected:
    CalibrationSettingsTest() : config(dir.path() + "/"), dialog({state, config}) {
        state.lastStatus = 2;
        config.SetSensorOffset(-949);
        // Every byte different, so that a byte taken from the wrong place shows.
        for (std::size_t i = 0; i < kParameterRecordLength; ++i)
            machine.bytes[i] = static_cast<std::uint8_t>(0x80 + i);
    }

    // What the command thread does when it serves the read.
    void ServeRead() {
        ASSERT_EQ(state.cycleCode.load(), kReadParametersCycle);
        {
            std::lock_guard lock(state.parameters.mutex);
            state.parameters.current = machine;
            ++state.parameters.reads;
        }
        state.EndCycle();
    }
    void OpenAndRead() {
        dialog.InitDialog();
        dialog.show();
        ServeRead();
        ASSERT_TRUE(WaitUntil([&] { return dialog.IsEnabled(IDC_INITIALIZE); }));
    }
    void Click(int id) { dialog.Control<QAbstractButton>(id)->click(); }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes->Boxes())
            texts.push_back((box.caption + ": " + box.text).toStdString());
        return texts;
    }
    bool EditsEnabled() {
        return dialog.IsEnabled(IDC_Y_WIDE_NARROW) && dialog.IsEnabled(IDC_Z_WIDE_NARROW) &&
               dialog.IsEnabled(IDC_WORK_WIDTH);
    }

    std::shared_ptr<ui::RecordingMessageBoxService> boxes =
        std::make_shared<ui::RecordingMessageBoxService>();
    ui::ScopedMessageBoxService installed{boxes};
    platform_test::TempDir dir;
    SharedState state;
    Configuration config;
    ParameterRecord machine;
    CCalibrationSettingsDlg dialog;
};

TEST_F(CalibrationSettingsTest, InitializeWaitsForTheReadAndRefusesInViewMode) {
    dialog.InitDialog();
    EXPECT_EQ(state.cycleCode.load(), kReadParametersCycle);
    EXPECT_FALSE(EditsEnabled());
    EXPECT_FALSE(dialog.IsEnabled(ui::IDOK));
    EXPECT_FALSE(dialog.IsEnabled(IDC_INITIALIZE));
    machine.SetField(kYWideNarrowField, 0xFFFE);  // shown as the signed 16-bit value
    machine.SetField(kZWideNarrowField, 1159);
    machine.SetField(kWorkWidthField, 32767);
    ServeRead();
    ASSERT_TRUE(WaitUntil([&] { return dialog.IsEnabled(IDC_INITIALIZE); }));

    state.lastStatus = 130;  // View mode
    Click(IDC_INITIALIZE);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"Tarnwick: Machine is in View Mode...can't initialize!"});
    EXPECT_FALSE(EditsEnabled());
    EXPECT_FALSE(dialog.IsEnabled(ui::IDOK));
    EXPECT_FALSE(dialog.Initialised());

    state.lastStatus = 2;
    Click(IDC_INITIALIZE);
    EXPECT_EQ(boxes->Boxes().size(), 1u);
    EXPECT_TRUE(EditsEnabled());
    EXPECT_TRUE(dialog.IsEnabled(ui::IDOK));
    EXPECT_EQ(dialog.Text(IDC_Y_WIDE_NARROW).toStdString(), "-2");
    EXPECT_EQ(dialog.Text(IDC_Z_WIDE_NARROW).toStdString(), "1159");
    EXPECT_EQ(dialog.Text(IDC_WORK_WIDTH).toStdString(), "32767");
}

TEST_F(CalibrationSettingsTest, OkPutsTheSevenFieldsIntoACopyOfTheReadRecord) {
    struct Case {
        const char* typed;
        std::uint16_t kept;
    };
    // C atol rules, then the low 16 bits.
    const Case cases[] = {{"40000", 40000}, {"-5mm", 0xFFFB}, {" 12.7", 12},
                          {"abc", 0},       {"70000", 4464},  {"-32768", 0x8000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        boxes->Clear();
        CCalibrationSettingsDlg settings({state, config});
        settings.InitDialog();
        ServeRead();
        ASSERT_TRUE(WaitUntil([&] { return settings.IsEnabled(IDC_INITIALIZE); }));
        settings.Control<QAbstractButton>(IDC_INITIALIZE)->click();
        settings.SetText(IDC_Y_WIDE_NARROW, c.typed);
        settings.SetText(IDC_Z_WIDE_NARROW, "-1");
        settings.SetText(IDC_WORK_WIDTH, "2500");
        settings.Control<QAbstractButton>(ui::IDOK)->click();

        EXPECT_EQ(settings.result(), ui::IDOK);
        EXPECT_EQ(state.cycleCode.load(), kWriteParametersCycle);
        EXPECT_EQ(Boxes(),
                  std::vector<std::string>{"Tarnwick: The machine must be turn off and "
                                           "restarted\nbefore these changes will take effect!"});
        ParameterRecord expected = machine;
        expected.SetField(kSensorOffsetField, static_cast<std::uint16_t>(-949));
        expected.SetField(38, c.kept);
        expected.SetField(40, 0xFFFF);
        expected.SetField(42, 0);
        expected.SetField(44, c.kept);
        expected.SetField(46, 0xFFFF);
        expected.SetField(58, 2500);
        std::lock_guard lock(state.parameters.mutex);
        EXPECT_EQ(state.parameters.edited, expected);
        EXPECT_EQ(state.parameters.current, machine);
        state.EndCycle();
    }
}

TEST_F(CalibrationSettingsTest, OkWithoutInitializeWritesNothingAndShowsNothing) {
    OpenAndRead();
    // OK's handler itself: the button is disabled until Initialize.
    static_cast<QDialog&>(dialog).accept();
    EXPECT_EQ(dialog.result(), ui::IDOK);
    EXPECT_TRUE(boxes->Boxes().empty());
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    std::lock_guard lock(state.parameters.mutex);
    EXPECT_EQ(state.parameters.edited, ParameterRecord{});
}

TEST_F(CalibrationSettingsTest, NeitherTheReadNorTheWriteReplacesAPendingCycle) {
    state.SetCycleCode(kStopCycle);
    dialog.InitDialog();
    dialog.show();
    QTest::qWait(3 * CCalibrationSettingsDlg::kReadPollMs);
    EXPECT_EQ(state.cycleCode.load(), kStopCycle);
    // The read is asked for once the Stop has been served.
    state.EndCycle();
    ASSERT_TRUE(WaitUntil([&] { return state.cycleCode.load() == kReadParametersCycle; }));
    ServeRead();
    ASSERT_TRUE(WaitUntil([&] { return dialog.IsEnabled(IDC_INITIALIZE); }));

    Click(IDC_INITIALIZE);
    state.SetCycleCode(kStopCycle);
    Click(ui::IDOK);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           "Error: Can't run the Write Parameters cycle while the machine "
                           "is busy!"});
    EXPECT_EQ(state.cycleCode.load(), kStopCycle);
    EXPECT_TRUE(dialog.isVisible());  // OK again once the machine is free
    state.EndCycle();
    Click(ui::IDOK);
    EXPECT_EQ(state.cycleCode.load(), kWriteParametersCycle);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
