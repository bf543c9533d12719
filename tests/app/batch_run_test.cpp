// The program run from a script: its exit codes and progress lines.
#include <gmock/gmock.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <filesystem>

#include "app/app_fixture.h"

namespace {

std::string JobFile(const char* name) { return std::string(TARNWICK_JOBS_DIR) + "/" + name; }

class BatchRunTest : public AppTest {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(JobFile("test_square.rml"))) GTEST_SKIP() << "no job files";
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
    EXPECT_EQ(Run({"--add", QString::fromStdString(JobFile("test_square.rml")), "--run",
                   "--quit-when-done", "--screenshot", QString::fromStdString(shot)}),
              0);
    EXPECT_THAT(output, ::testing::HasSubstr("test_square.rml, 100.0%"));
    EXPECT_TRUE(std::filesystem::exists(shot));
}

TEST_F(BatchRunTest, ARefusedFileEndsWithTwo) {
    EXPECT_EQ(
        Run({"--add", QString::fromStdString(folder + "missing.prn"), "--run", "--quit-when-done"}),
        2);
    EXPECT_THAT(output, ::testing::HasSubstr("missing.prn: cannot be added"));
}

TEST_F(BatchRunTest, ALostMachineEndsWithThree) {
    const int code = Run(
        {"--add", QString::fromStdString(JobFile("pcb_traces.rml")), "--run", "--quit-when-done"},
        [this] {
            // Wait for the program's machine to be up, then lose it.
            ASSERT_TRUE(WaitUntil(
                [this] { return std::filesystem::exists(sim.Path() + "/Roland JWX-10.ctl"); }));
            QThread::msleep(500);
            Panel("Roland JWX-10", "fault lose");
        });
    EXPECT_EQ(code, 3);
}

}  // namespace
