// Job output through the print spooler: a private CUPS scheduler with a raw
// queue to the simulated machine's job port, as a networked mill would have.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "integration/private_spooler.h"
#include "integration/running_machine.h"
#include "service/as_sent.h"
#include "service/control_ids.h"
#include "service/job_output.h"
#include "service/requests.h"

namespace {

std::string Example(const char* name) { return std::string(TARNWICK_EXAMPLES_DIR) + "/" + name; }

class SpoolerTest : public RunningMachineTest {
protected:
    SpoolerTest() : RunningMachineTest("500") {}
    void SetUp() override {
        if (!spooler.WhyNot().empty()) GTEST_SKIP() << spooler.WhyNot();
        RunningMachineTest::SetUp();
        port.SetOrigin(15250, 15250, 3000, 0);
    }
    // `tarnwick-sim` with the words given (the machine's queue made by it, say).
    static int Sim(const std::string& words) {
        return PrivateSpooler::Run(TARNWICK_PROGRAM_DIR "/tarnwick-sim " + words);
    }
    void Run(const std::vector<std::string>& files) {
        for (const std::string& file : files) ASSERT_TRUE(state.runList.Add(file));
        thread.Resume();
        ASSERT_TRUE(RequestRun(state, config));
    }
    bool RanToTheEnd() { return CommandsDone() == state.runList.CommandCount() && RunEnded(); }
    // A queue that takes no jobs, or a scheduler that dies or stops answering
    // while it takes one: the run ends with the operator told, and nothing
    // goes to the machine.
    void ExpectNotSent() {
        ASSERT_TRUE(WaitFor([&] { return state.jobState.load() == kJobIdle; }, 40000));
        EXPECT_EQ(state.filesNotSent.load(), 1);
        EXPECT_EQ(state.runList.CurrentIndex(), 0) << "a later file of the run was sent";
        EXPECT_EQ(display.Text(Window::Main, IDC_STATUS), JobOutput::kNotSentText);
        EXPECT_EQ(CommandsDone(), 0u);
    }

    PrivateSpooler spooler;
};

TEST_F(SpoolerTest, ARealJobGoesOnTheMachinesOwnChannelOrThroughItsQueue) {
#ifdef TARNWICK_JOBS_DIR
    Run({TARNWICK_JOBS_DIR "/pcb_traces.rml"});
#else
    Run({Example("engraving.rml")});
#endif
    // No queue for the machine: its own channel, and the spooler sees nothing.
    ASSERT_TRUE(WaitFor([&] { return RanToTheEnd(); }));
    EXPECT_NE(PrivateSpooler::Run("lpstat -W all -o | grep -q ."), 0);

    ASSERT_EQ(Sim("queue 'Roland MDX-40' add"), 0);
    EXPECT_EQ(Sim("status 'Roland MDX-40' | grep -q '^job port: *[1-9]'"), 0);
    ASSERT_TRUE(RequestRun(state, config));
    // The spooler's job done under the queue's name, then the machine's count.
    ASSERT_TRUE(WaitFor(
        [] { return PrivateSpooler::Run("lpstat -W completed -o | grep -q Roland_MDX") == 0; }));
    ASSERT_TRUE(WaitFor([&] { return RanToTheEnd(); }));
    EXPECT_FALSE(PrivateSpooler::HoldsDocumentsFor(kModel));
    ASSERT_EQ(Sim("queue 'Roland MDX-40' remove"), 0);
    EXPECT_NE(PrivateSpooler::Run("lpstat -p Roland_MDX-40"), 0);
}

// What the spooler was given for the machine: one document per file with
// commands, each command with its zero byte, byte for byte.
TEST_F(SpoolerTest, EveryFileGoesAsOneDocumentExactlyAsSent) {
    ASSERT_EQ(Sim("queue 'Roland MDX-40' add"), 0);
    std::ofstream(folder + "no_commands.prn") << "PA\nno command ends here";
    std::vector<std::string> files = {Example("engraving.rml"), folder + "no_commands.prn",
                                      Example("pocket.rml"), Example("rotary.rml")};
#ifdef TARNWICK_JOBS_DIR
    for (const auto& entry : std::filesystem::directory_iterator(TARNWICK_JOBS_DIR))
        if (entry.path().extension() != ".md") files.push_back(entry.path());
#endif
    std::vector<std::string> expected;
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string sent = AsSent({std::istreambuf_iterator<char>(in), {}});
        if (!sent.empty()) expected.push_back(sent);
    }
    Run(files);
    ASSERT_TRUE(WaitFor([&] { return RunEnded() && !PrivateSpooler::HoldsDocumentsFor(kModel); }));
    EXPECT_EQ(state.filesNotSent.load(), 0);
    EXPECT_TRUE(spooler.Documents() == expected);
}

TEST_F(SpoolerTest, AQueueThatTakesNoJobsEndsTheRunAsNotSent) {
    ASSERT_EQ(Sim("queue 'Roland MDX-40' add"), 0);
    for (const char* file : {"engraving.rml", "pocket.rml"})
        ASSERT_TRUE(state.runList.Add(Example(file)));
    thread.Resume();
    for (const char* refusal : {"cupsdisable", "cupsreject"}) {
        SCOPED_TRACE(refusal);
        ASSERT_EQ(PrivateSpooler::Run(std::string(refusal) + " Roland_MDX-40"), 0);
        state.filesNotSent = 0;
        ASSERT_TRUE(RequestRun(state, config));
        ExpectNotSent();
        EXPECT_FALSE(PrivateSpooler::HoldsDocumentsFor(kModel));
        ASSERT_EQ(PrivateSpooler::Run("cupsenable Roland_MDX-40 && cupsaccept Roland_MDX-40"), 0);
    }
    // The queue taking jobs again, the same run goes through; the message goes.
    ASSERT_TRUE(RequestRun(state, config));
    ASSERT_TRUE(WaitFor([&] { return RanToTheEnd(); }));
    EXPECT_EQ(display.Text(Window::Main, IDC_STATUS), "");
}

// A large document, and the scheduler killed, or stopped so that it answers
// nothing, while it takes it: not sent, within the spooler's limits (15 s for
// a write, 5 s for the cancel).
class SchedulerLostTest : public SpoolerTest, public ::testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(KilledOrStopped, SchedulerLostTest, ::testing::Values(SIGKILL, SIGSTOP));

TEST_P(SchedulerLostTest, MidDocumentEndsTheRunAsNotSent) {
    ASSERT_EQ(Sim("queue 'Roland MDX-40' add"), 0);
    const std::string big = folder + "big.prn";
    std::ofstream out(big);
    for (int i = 0; i < 12000000; ++i) out << "PU0,0;";  // about 70 MiB
    out.close();
    Run({big, Example("engraving.rml")});
    ASSERT_TRUE(WaitFor([] { return PrivateSpooler::HoldsDocumentsFor(kModel); }));
    spooler.Signal(GetParam());
    ExpectNotSent();
}

}  // namespace
