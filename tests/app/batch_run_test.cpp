// The program run from a script: its exit codes and progress lines.
#include "app/batch_run.h"

#include <gmock/gmock.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <filesystem>
#include <fstream>

#include "app/app_fixture.h"
#include "integration/private_spooler.h"
#include "service/job_output.h"

namespace {

QString Example(const char* name) {
    return QString::fromStdString(std::string(TARNWICK_EXAMPLES_DIR) + "/" + name);
}

class BatchRunTest : public AppTest {
protected:
    void SetUp() override {
        // A program folder of the test's own: the simulated driver and a fresh configuration.
        UseDriver(Driver::Simulated);
    }
    int Run(QStringList arguments, const std::function<void()>& whileRunning = {}) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TARNWICK_PROGRAM_FOLDER", QString::fromStdString(folder));
        // In a sanitizer build the program's exit would report what D-Bus and the
        // unloaded GL driver keep; the window tests check our own leaks in-process.
        const QString asan = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "detect_leaks=0");
        program.setProcessEnvironment(environment);
        program.start(TARNWICK_PROGRAM_DIR "/tarnwick", arguments);
        EXPECT_TRUE(program.waitForStarted());
        if (whileRunning) whileRunning();
        EXPECT_TRUE(program.waitForFinished(60000));
        output = program.readAllStandardOutput().toStdString();
        return program.exitCode();
    }
    std::string output;
};

TEST_F(BatchRunTest, AGoodJobEndsWithZeroAndPrintsProgress) {
    const std::string shot = folder + "end.png";
    EXPECT_EQ(Run({"--add", Example("engraving.rml"), "--run", "--quit-when-done", "--screenshot",
                   QString::fromStdString(shot)}),
              0);
    EXPECT_THAT(output,
                ::testing::ContainsRegex("engraving.rml, 100.0%, [0-9.]+ min., 0.0 min. left, X "));
    EXPECT_TRUE(std::filesystem::exists(shot));
}

// README's run on a fresh installation of the 4-axis machine, with the rotary example too.
TEST_F(BatchRunTest, TheExamplesRunToTheEndOnAFreshMdx40) {
    EXPECT_EQ(Run({"--machine-type", "1", "--add", Example("engraving.rml"), "--add",
                   Example("rotary.rml"), "--run", "--quit-when-done"}),
              0);
    EXPECT_THAT(output, ::testing::HasSubstr("rotary.rml, 100.0%"));
}

#ifdef TARNWICK_JOBS_DIR
TEST_F(BatchRunTest, RealFilesEndWithZero) {
    EXPECT_EQ(Run({"--add", TARNWICK_JOBS_DIR "/pcb_outline.rml", "--add",
                   TARNWICK_JOBS_DIR "/test_square.rml", "--run", "--quit-when-done"}),
              0);
    EXPECT_THAT(output, ::testing::HasSubstr("test_square.rml, 100.0%"));
}
#endif

TEST_F(BatchRunTest, ARefusedFileEndsWithTwo) {
    EXPECT_EQ(
        Run({"--add", QString::fromStdString(folder + "missing.prn"), "--run", "--quit-when-done"}),
        2);
    EXPECT_THAT(output, ::testing::HasSubstr("missing.prn: cannot be added"));
}

TEST_F(BatchRunTest, ALostMachineEndsWithThree) {
    const int code = Run({"--add", Example("pocket.rml"), "--run", "--quit-when-done"}, [this] {
        // Wait for the program's machine to be up, then lose it.
        ASSERT_TRUE(WaitUntil(
            [this] { return std::filesystem::exists(sim.Path() + "/Roland JWX-10.ctl"); }));
        QThread::msleep(500);
        Panel("Roland JWX-10", "fault lose");
    });
    EXPECT_EQ(code, 3);
}

TEST_F(BatchRunTest, AJobThatLeavesTheSpindleOnStillEnds) {
    const std::string job = folder + "spindle.prn";
    std::ofstream(job) << "!MC1;PU100,100;";
    EXPECT_EQ(Run({"--add", QString::fromStdString(job), "--run", "--quit-when-done"}), 0);
    EXPECT_THAT(output, ::testing::HasSubstr(BatchRun::kSpindleLeftOnText));
}

TEST_F(BatchRunTest, AQueueThatRejectsTheJobEndsWithFive) {
    PrivateSpooler spooler;
    if (!spooler.WhyNot().empty()) GTEST_SKIP() << spooler.WhyNot();
    ASSERT_EQ(PrivateSpooler::Run("lpadmin -p Roland_JWX-10 -D 'Roland JWX-10' "
                                  "-v socket://127.0.0.1:9 -E && cupsreject Roland_JWX-10"),
              0);
    EXPECT_EQ(Run({"--add", Example("engraving.rml"), "--run", "--quit-when-done"}), 5);
    EXPECT_THAT(output, ::testing::HasSubstr(JobOutput::kNotSentText));
}

}  // namespace
