// The whole program on an emulated USB mill, through the real mill's driver
// library and libusb: an operator's session in the main window (position,
// Go, a held jog, the calibration settings, Stop mid-job), and scripted runs
// of the program itself (a job to the end, an unplugged cable, no mill, a
// machine that takes no job data for a minute).
#define QTEST_QPA_MOUSE_HANDLING
// GLib's headers (under the emulated mill) use "signals" as a name: they come
// before Qt's, which make it a keyword.
#include "emulated_mill_fixture.h"
// Then the rest, in order.
#include <gmock/gmock.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTabWidget>
#include <QTest>
#include <array>
#include <fstream>
#include <optional>

#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "jobs/jog_button.h"
#include "jobs/jog_page.h"
#include "jobs/jog_page_ids.h"
#include "jobs/page_tab_ctrl.h"
#include "jobs/run_page.h"
#include "jobs/run_page_ids.h"
#include "machine/machine.h"
#include "pages/calibration_settings_dlg.h"
#include "service/as_sent.h"

using ::testing::HasSubstr;

// For ThreadSanitizer: Qt's own threads synchronise inside the uninstrumented
// Qt libraries (so do libusb's and udev's); the program's threads are checked.
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1:die_after_fork=0";
}

namespace {

constexpr const char* kModel = "Roland MDX-40";
constexpr std::uint8_t kStopPulse = 0x12;

std::string Example(const char* name) { return std::string(TARNWICK_EXAMPLES_DIR) + "/" + name; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class UsbProgramTest : public MainWindowTest {
protected:
    // The mill is plugged in before anything starts libusb.
    void SetUp() override {
        const usbemu::PreloadStatus preload = usbemu::CheckPreload();
        ASSERT_TRUE(preload.active) << "not under libumockdev-preload: " << preload.reason;
        testbed.emplace();
        UseDriver(Driver::Usb);
        Configuration(folder).WriteMachineProfile(1);
    }
    void TearDown() override {
        MainWindowTest::TearDown();  // the port, and libusb with it, end before the testbed
        window.reset();
    }
    usbemu::EmulatedMill& Plug(usbemu::MillOptions options = {}) {
        mill = &testbed->AddMill(options);
        return *mill;
    }

    sim::Counts MachineAt() {
        return mill->Machine().With([](sim::Machine& m) { return m.MachinePosition(); });
    }
    std::vector<usbemu::ControlTransfer> Frames(std::uint8_t opcode) {
        std::vector<usbemu::ControlTransfer> found;
        for (const auto& t : mill->ControlTransfers())
            if ((t.requestType & 0x60) == 0x40 && t.request == opcode) found.push_back(t);
        return found;
    }
    bool Idle() {
        const SharedState& state = window->State();
        return state.cycleCode.load() == kNoCycle && state.lastStatus.load() == 2 &&
               state.jobState.load() == kJobIdle;
    }
    void ClickOn(ui::Dialog& dialog, int id) { dialog.Control<QAbstractButton>(id)->click(); }

    // The program itself, run from a script: its exit code and what it printed.
    struct Outcome {
        int exitCode = -1;
        std::string output;
        qint64 ms = 0;  // from `whileRunning`'s end to the program's exit
    };
    Outcome RunProgram(const QStringList& arguments, const std::function<void()>& whileRunning = {},
                       int limitMs = 60000) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : testbed->ChildEnvironment())
            environment.insert(QString::fromStdString(name), QString::fromStdString(value));
        environment.insert("TARNWICK_PROGRAM_FOLDER", QString::fromStdString(folder));
        // What D-Bus and the GL driver keep at exit is not ours to report, nor
        // how Qt's uninstrumented libraries synchronise their own threads.
        const auto add = [&](const char* name, const char* option) {
            const QString given = environment.value(name);
            environment.insert(name, given + (given.isEmpty() ? "" : ":") + option);
        };
        add("ASAN_OPTIONS", "detect_leaks=0");
        add("TSAN_OPTIONS", "ignore_noninstrumented_modules=1");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(TARNWICK_PROGRAM_DIR "/tarnwick",
                      QStringList{"--machine-type", "1"} + arguments);
        EXPECT_TRUE(program.waitForStarted());
        if (whileRunning) whileRunning();
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(program.waitForFinished(limitMs));
        Outcome outcome{program.exitCode(), program.readAll().toStdString(), timer.elapsed()};
        if (program.state() != QProcess::NotRunning) program.kill();
        return outcome;
    }
    // Waits for the program's job data to reach the mill.
    bool JobRuns(int limitMs = 20000) {
        return usbtest::WaitUntil([&] { return mill->JobBytesReceived() > 0; },
                                  std::chrono::milliseconds(limitMs));
    }

    std::optional<usbemu::Testbed> testbed;
    usbemu::EmulatedMill* mill = nullptr;
};

// Start-up, the position display, Go, a held jog, the parameter memory and a
// Stop mid-job, as an operator meets them, all through USB.
TEST_F(UsbProgramTest, AnOperatorsSessionOnTheMill) {
    Plug();
    mill->Machine().With([](sim::Machine& m) {
        m.MoveTo({1234, 2345, 10000, 0}, 3000);
        return 0;
    });
    ASSERT_TRUE(usbtest::WaitUntil([&] { return MachineAt().z == 10000; }));
    Start();
    ASSERT_TRUE(window->Port().IsOpen());
    EXPECT_TRUE(
        WaitUntil([&] { return Shown(IDC_POS_X) == "12.34" && Shown(IDC_POS_Y) == "23.45"; }));
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
    // Start-up sent the origin and the overrides, and the loop polls.
    EXPECT_FALSE(Frames(0x23).empty());
    EXPECT_FALSE(Frames(0x26).empty());
    EXPECT_TRUE(WaitUntil([&] { return Frames(0x1F).size() > 4; }));

    // Go: X to 50 mm, one move frame on the printer interface.
    window->Control<QTabWidget>(IDC_TABS)->setCurrentIndex(1);
    CJogPage& jog = window->Pages()->JogPage();
    ClickOn(jog, IDC_GO_X);
    jog.SetText(IDC_POSITION_EDIT, "50");
    ClickOn(jog, IDC_GO);
    ASSERT_TRUE(WaitUntil([&] { return MachineAt().x == 5000 && Idle(); }));
    EXPECT_TRUE(WaitUntil([&] { return Shown(IDC_POS_X) == "50.00"; }));
    ASSERT_FALSE(Frames(0x99).empty());
    EXPECT_EQ(Frames(0x99).back().index, mill->Options().printerInterface);

    // A held jog stops where it is let go: the stop pulses follow the release.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    CJogButton& plus = jog.PlusButton();
    ClickOn(jog, IDC_JOG_FAST);
    QTest::mousePress(&plus, Qt::LeftButton, {}, plus.rect().center());
    ASSERT_TRUE(WaitUntil([&] { return MachineAt().x > 5100; }));
    const std::size_t pulsesBefore = Frames(kStopPulse).size();
    QTest::mouseRelease(&plus, Qt::LeftButton, {}, plus.rect().center());
    // Both pulses (each raised and lowered) have reached the machine.
    ASSERT_TRUE(WaitUntil([&] { return Frames(kStopPulse).size() >= pulsesBefore + 4; }));
    const int stopped = MachineAt().x;
    QTest::qWait(300);
    EXPECT_EQ(MachineAt().x, stopped);
    EXPECT_LT(stopped, config->Profile().xLimit / 2);
    mill->Machine().HandleText("speed 100");  // the machine clears its memory
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
    mill->Machine().HandleText("speed 1");

    // The calibration settings: read from the parameter memory, written back.
    {
        CCalibrationSettingsDlg settings({window->State(), *config}, window.get());
        settings.InitDialog();
        settings.show();
        ASSERT_TRUE(WaitUntil([&] { return settings.IsEnabled(IDC_INITIALIZE); }));
        ClickOn(settings, IDC_INITIALIZE);
        EXPECT_EQ(settings.Text(IDC_WORK_WIDTH), "1000");
        settings.SetText(IDC_WORK_WIDTH, "2500");
        ClickOn(settings, ui::IDOK);
    }
    EXPECT_TRUE(WaitUntil([&] {
        return mill->Machine().With([](sim::Machine& m) {
            std::array<std::uint8_t, 22> block5{};
            return m.ReadBlock(5, block5) && block5[20] == 0x09 && block5[21] == 0xC4;
        });
    }));

    // A job larger than the machine's memory, stopped while it still streams:
    // the writes end, nothing more reaches the machine, and Z rises.
    std::string job = "PA;VS20;PU1000,1000;";
    while (job.size() < (2u << 20)) job += "PD2000,1000;PD2000,2000;PD1000,2000;PD1000,1000;\n";
    std::ofstream(folder + "big.rml") << job;
    CRunPage::SetFileChooser([&](QWidget*) { return folder + "big.rml"; });
    window->Control<QTabWidget>(IDC_TABS)->setCurrentIndex(0);
    CRunPage& run = window->Pages()->RunPage();
    ClickOn(run, IDC_RUN_ADD);
    CRunPage::SetFileChooser({});
    ClickOn(run, IDC_RUN_RUN);
    ASSERT_TRUE(WaitUntil([&] { return mill->JobBytesReceived() > 100000; }));
    ClickOn(*window, IDC_STOP);
    mill->Machine().HandleText("speed 100");
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
    const std::uint64_t received = mill->JobBytesReceived();
    EXPECT_LT(received, AsSent(job).size());
    const std::vector<std::uint8_t> bytes = mill->JobBytes();
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == AsSent(job).substr(0, bytes.size()))
        << "what reached the machine is the job's beginning, unchanged";
    EXPECT_EQ(MachineAt().z, config->Profile().zLimit) << "the tool was raised";
    QTest::qWait(500);
    EXPECT_EQ(mill->JobBytesReceived(), received) << "job data after the Stop";
    QDir().mkpath(TARNWICK_TEST_BIN "/screenshots");
    EXPECT_TRUE(window->grab().save(TARNWICK_TEST_BIN "/screenshots/usb_mill_after_stop.png"));
    EXPECT_THAT(Boxes(), ::testing::ElementsAre(HasSubstr(CCalibrationSettingsDlg::kRestartText)));
}

TEST_F(UsbProgramTest, AScriptedJobRunsToTheEndWithEveryByteAtTheMachine) {
    Plug({.speed = 50});
    const Outcome run = RunProgram(
        {"--add", QString::fromStdString(Example("engraving.rml")), "--run", "--quit-when-done"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("engraving.rml, 100.0%"));
    const std::vector<std::uint8_t> bytes = mill->JobBytes();
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) ==
                AsSent(ReadFile(Example("engraving.rml"))));
    EXPECT_EQ(mill->Machine().With([](sim::Machine& m) { return m.CommandsDone(); }), 128u);
}

// The cable pulled mid-job, or no mill of this model at all: the program says
// so and ends, soon and without hanging.
TEST_F(UsbProgramTest, AnUnpluggedOrMissingMillEndsTheProgramWithThree) {
    Plug();
    const Outcome unplugged = RunProgram(
        {"--add", QString::fromStdString(Example("engraving.rml")), "--run", "--quit-when-done"},
        [&] {
            ASSERT_TRUE(JobRuns());
            mill->Unplug();
        });
    EXPECT_EQ(unplugged.exitCode, 3) << unplugged.output;
    EXPECT_THAT(unplugged.output, HasSubstr("Closing: Machine is no longer available."));
    EXPECT_LT(unplugged.ms, 5000) << "a second or so on an idle machine";

    Plug({.model = "Roland JWX-10", .portPath = "1-3"});  // another model only
    const Outcome missing = RunProgram({"--run", "--quit-when-done"});
    EXPECT_EQ(missing.exitCode, 3) << missing.output;
    EXPECT_THAT(missing.output, HasSubstr("Couldn't open port to Roland machine."));
    EXPECT_THAT(missing.output, HasSubstr("Roland machine not found"));
}

// A machine whose memory stays full (paused, say, for a tool change) takes
// nothing for a minute: the program keeps watching it, and the job goes on
// whole once the machine takes data again.
TEST_F(UsbProgramTest, AMachineThatTakesNoJobDataForAMinuteStillGetsTheWholeJob) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A minute of waiting checks no memory or thread the session test does not.
    GTEST_SKIP() << "a minute of real time: run in the plain build only";
#endif
    Plug({.speed = 50});
    mill->RefuseJobData(true);
    const Outcome run = RunProgram(
        {"--add", QString::fromStdString(Example("pocket.rml")), "--run", "--quit-when-done"}, [&] {
            ASSERT_TRUE(usbtest::WaitUntil([&] { return mill->UrbsInFlight() > 0; },
                                           std::chrono::seconds(20)));
            const std::uint64_t polled = mill->ControlTransferCount();
            std::this_thread::sleep_for(std::chrono::minutes(1));
            EXPECT_EQ(mill->JobBytesReceived(), 0u);
            EXPECT_GT(mill->ControlTransferCount(), polled + 300) << "the polls went on";
            mill->RefuseJobData(false);
        });
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::vector<std::uint8_t> bytes = mill->JobBytes();
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == AsSent(ReadFile(Example("pocket.rml"))));
}

}  // namespace
