// Job output: the bytes the driver library's Write takes, file after file,
// Stop and the double-fixture switch; and the run list that feeds it.
#include "service/job_output.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/profile_file.h"
#include "service/as_sent.h"
#include "service/control_ids.h"
#include "service/requests.h"
#include "service/service_fixture.h"

using ::testing::ElementsAre;

namespace {

class JobOutputTest : public ServiceTest {
protected:
    std::string WriteFile(const std::string& name, const std::string& contents) {
        const std::string path = m_folder + name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    void Run(std::initializer_list<std::string> paths) {
        for (const auto& p : paths) ASSERT_TRUE(state.runList.Add(p));
        ASSERT_TRUE(RequestRun(state, *config));
    }
    bool RunEnds() {
        return IterateUntil([&] { return state.jobState.load() == kJobIdle; });
    }
    std::string Sent() { return Driver().JobData(); }
};

TEST_F(JobOutputTest, EachCommandIsFollowedByOneZeroByteAndTheTailIsNotSent) {
    ASSERT_TRUE(log.Open(m_folder));
    Run({WriteFile("two.prn", "PA;\nPU100,100;\n")});
    EXPECT_EQ(state.jobState.load(), kJobRunning);
    EXPECT_EQ(state.commandsDone.load(), 0u);
    EXPECT_NE(state.jobStartTime.load(), 0);
    // A one-file run ends right after that file is sent.
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(Sent(), std::string("PA;\0\nPU100,100;\0", 16));
    EXPECT_EQ(state.runList.JobFile(), nullptr);
    log.Close();
    EXPECT_EQ(ReadLog(), "Spindle=0\nStarting File Output\n");
}

TEST_F(JobOutputTest, AFileWithoutCommandsSendsNothingAndTheRunMovesOn) {
    Run({WriteFile("drill.nc", "G0 X1 Y1\nM30\n"), WriteFile("one.rml", "^IN;")});
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(state.runList.CurrentIndex(), 2);
    EXPECT_EQ(Sent(), std::string("^IN;\0", 5));
}

// Data that reaches no one ends the run with the operator told: never a file
// skipped in silence, never a later file cut without the one before it.
TEST_F(JobOutputTest, AFileTheMachineDoesNotTakeEndsTheRun) {
    struct Case {
        const char* name;
        std::size_t takenBeforeFailing;  // what Write takes before it fails
    };
    for (const Case& c : {Case{"refused at once", 0}, Case{"lost midway", 4}}) {
        Driver().Reset();
        state.filesNotSent = 0;
        while (state.runList.Count() > 0) state.runList.Delete(0);
        Driver().writeLimit = 2;
        Driver().onWrite = [&](const std::string&) {
            if (Driver().jobData.size() >= c.takenBeforeFailing) Driver().writeResult = 0;
        };
        if (c.takenBeforeFailing == 0) Driver().writeResult = 0;
        Run({WriteFile("a.prn", "AAA;BBB;"), WriteFile("b.prn", "B;")});
        state.SetCycle(3, 0);  // a code no cycle serves: the job waits for it
        Iterate(2);
        EXPECT_TRUE(Sent().empty()) << c.name;
        state.EndCycle();
        ASSERT_TRUE(RunEnds()) << c.name;
        EXPECT_EQ(Sent().size(), c.takenBeforeFailing) << c.name;
        EXPECT_EQ(state.filesNotSent.load(), 1) << c.name;
        EXPECT_EQ(state.runList.CurrentIndex(), 0) << c.name << ": a later file was sent";
        EXPECT_EQ(state.runList.JobFile(), nullptr) << c.name;
        EXPECT_EQ(display.Text(Window::Main, IDC_STATUS), JobOutput::kNotSentText) << c.name;
    }
}

TEST_F(JobOutputTest, ACommandLongerThanTheLineBufferIsSentWhole) {
    const std::string longCommand = "PA" + std::string(300000, '1') + ";";
    Run({WriteFile("long.prn", longCommand + "PU;" + std::string(1000, 'x'))});
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(Sent(), longCommand + '\0' + "PU;" + '\0');
}

// Files are read and handed to the queue in large blocks: commands that span
// two reads, a command longer than a read, and many small ones around them
// reach the machine exactly as the byte-by-byte rule says, however little
// the machine takes at a time.
TEST_F(JobOutputTest, CommandsAcrossReadsReachTheMachineByteForByte) {
    std::string file;
    for (int i = 0; file.size() < (1u << 20) - 5; ++i)
        file += "Z" + std::to_string(i) + ",1,-10;\n";
    file += "PU" + std::string((3u << 19), '7') + ";";  // 1.5 MiB, across the next read
    for (int i = 0; i < 40000; ++i) file += i % 3 ? "PA;" : "V15;\r\n";
    file += "PU1,2";  // no ';': not sent
    const std::string expected = AsSent(file);
    Driver().writeLimit = 40000;
    Run({WriteFile("blocks.prn", file)});
    ASSERT_TRUE(RunEnds());
    ASSERT_EQ(Sent().size(), expected.size());
    EXPECT_TRUE(Sent() == expected);
}

TEST_F(JobOutputTest, StopDuringStreamingEndsTheRunAndRaisesZ) {
    ASSERT_TRUE(log.Open(m_folder));
    std::string big;
    for (int i = 0; i < 200000; ++i) big += "Z100,100,-50;\n";
    const std::string first = WriteFile("big.prn", big);
    Run({first, WriteFile("next.prn", "PU;")});
    // The operator presses Stop as soon as the machine sees data.
    Driver().writeLimit = 4096;
    Driver().onWrite = [&](const std::string&) {
        if (state.jobState.load() == kJobRunning) RequestStopCycle(state);
    };
    SetPosition({500, 600, 700, 800});
    ASSERT_TRUE(IterateUntil([&] { return state.runList.JobFile() == nullptr; }));
    const std::string sent = Sent();
    EXPECT_LT(sent.size(), big.size());
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(sent == AsSent(big).substr(0, sent.size()))
        << "the commands before the Stop, exactly";
    EXPECT_EQ(state.jobState.load(), kJobCancel);
    // The stop cycle's pulses; sent again once the stream has ended when it
    // was still writing as they went out.
    EXPECT_THAT(FramesWithOpcode(0x12).size(), ::testing::AnyOf(4u, 8u));

    // The next iteration raises Z at speed 2000 and ends the run.
    ClearFrames();
    Iterate(3);
    EXPECT_THAT(Moves(), ElementsAre(MachinePosition{500, 600, config->Profile().zLimit, 800}));
    EXPECT_THAT(MoveSpeeds(), ElementsAre(2000));
    EXPECT_EQ(state.jobState.load(), kJobIdle);
    EXPECT_EQ(Sent(), sent);  // the second file was never sent
    log.Close();
    EXPECT_EQ(ReadLog(), "Spindle=0\nStarting File Output\nFile Output Cancelled\n");
}

// A machine whose memory is full takes nothing for as long as it works
// through it (minutes at real speed). Meanwhile the loop goes on showing the
// machine and serving the requests that need no idle machine; one that does
// waits; and Stop does not wait for the machine to take data.
TEST_F(JobOutputTest, WhileTheMachineTakesNoDataTheLoopGoesOnAndStopEndsTheStream) {
    Driver().writeLimit = 0;
    Run({WriteFile("a.prn", "PU1,1;")});
    Iterate();  // the stream begins
    RequestIfIdle(state, kMoveRequest);
    ClearFrames();
    Iterate(5);
    EXPECT_EQ(FramesWithOpcode(0x1F).size(), 10u) << "status and spindle read every pass";
    EXPECT_EQ(state.cycleCode.load(), kMoveCycle) << "the move waits for the job";
    EXPECT_TRUE(Moves().empty());
    state.SetCycle(kOverrideCycle, 0);
    Iterate();
    EXPECT_EQ(FramesWithOpcode(0x26).size(), 1u) << "an override is sent during the job";

    const auto start = std::chrono::steady_clock::now();
    RequestStopCycle(state);
    ASSERT_TRUE(IterateUntil([&] { return state.jobState.load() == kJobIdle; }, 2000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(state.runList.JobFile(), nullptr);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(JobOutputTest, StopBeforeTheStreamBeginsClosesTheJobFile) {
    Run({WriteFile("a.prn", "A;")});
    ASSERT_NE(state.runList.JobFile(), nullptr);
    RequestStopCycle(state);
    Iterate(2);  // the pulses, then the cancel
    EXPECT_EQ(state.runList.JobFile(), nullptr);
    EXPECT_EQ(state.jobState.load(), kJobIdle);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(JobOutputTest, StopRaisesTheToolExactlyOnceWhetherOrNotTheStreamHadEnded) {
    const std::int32_t safeZ = config->Profile().zLimit;
    struct Case {
        const char* name;
        int jobStateAtStop;  // 1: still streaming, 0: all sent, the machine still cutting
        std::uint32_t statusAtStop;
        int raises;
    };
    for (const Case& c :
         {Case{"during the stream", kJobRunning, 3, 1}, Case{"after the stream", kJobIdle, 3, 1},
          Case{"nothing running (a jog)", kJobIdle, 1, 0}}) {
        ClearFrames();
        state.jobState = c.jobStateAtStop;
        SetStatus(c.statusAtStop);
        SetPosition({500, 600, 700, 800});
        RequestStopCycle(state);
        Iterate();
        EXPECT_EQ(FramesWithOpcode(0x12).size(), 4u) << c.name;  // the pulses come first
        SetStatus(3);                                            // the machine clears its memory
        Iterate(4);
        SetStatus(2);
        Iterate(4);
        const std::vector<MachinePosition> raised(c.raises, MachinePosition{500, 600, safeZ, 800});
        EXPECT_EQ(Moves(), raised) << c.name;
        EXPECT_EQ(MoveSpeeds(), std::vector<int>(c.raises, 2000)) << c.name;
        EXPECT_EQ(state.jobState.load(), kJobIdle) << c.name;
    }
}

TEST_F(JobOutputTest, DoubleFixtureSetsFixture2OriginBeforeTheSecondFile) {
    platform::WriteProfileString("MACHINEINFO", "USE_DOUBLE_FIXTURE", "1", config->Path());
    std::string model;
    config->LoadSettings(port, model);
    config->SetFixtureOffset(0, {1.5, 2.5, 0.0, 0.0});
    config->SetFixtureOffset(1, {101.239, -20.5, 7.0, 45.0});
    config->SetToolOffsetValue(-30.0);
    state.activeOffsets.z = 4.0;
    Run({WriteFile("a.prn", "A;"), WriteFile("b.prn", "B;")});
    // Run makes fixture 1 active and asks for its origin first.
    EXPECT_EQ(state.cycleCode.load(), kSetOriginCycle);
    EXPECT_EQ(state.activeOffsets.x.load(), 1.5);
    EXPECT_EQ(config->SelectedFixture(), 0);
    Iterate();  // the set origin cycle; the job waits for it
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(FramesWithOpcode(0x23).size(), 1u);
    ClearFrames();
    // File 1 out, then the switch to fixture 2.
    ASSERT_TRUE(IterateUntil([&] { return state.runList.CurrentIndex() == 1; }));
    EXPECT_EQ(Sent(), std::string("A;\0", 3));
    const auto origins = FramesWithOpcode(0x23);
    ASSERT_EQ(origins.size(), 1u);
    EXPECT_EQ(FrameS32(origins[0], 3), 10123);
    EXPECT_EQ(FrameS32(origins[0], 7), -2050);
    EXPECT_EQ(FrameS32(origins[0], 11), -3000);  // Z from the measured tool
    EXPECT_EQ(FrameS32(origins[0], 15), 4500);
    EXPECT_EQ(state.activeOffsets.x.load(), 101.239);
    EXPECT_EQ(state.activeOffsets.z.load(), 4.0);
    EXPECT_EQ(config->SelectedFixture(), 1);
    EXPECT_EQ(platform::ReadProfileString("WORKOFFSET", "NUM", "", config->Path()), "1");
    EXPECT_EQ(state.runList.CurrentIndex(), 1);
    EXPECT_NE(state.runList.JobFile(), nullptr);
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(Sent(), std::string("A;\0B;\0", 6));
}

TEST_F(JobOutputTest, ANextFileThatCannotBeOpenedEndsTheRun) {
    const std::string second = WriteFile("gone.prn", "B;");
    Run({WriteFile("a.prn", "A;"), second});
    std::remove(second.c_str());
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(state.runList.JobFile(), nullptr);
}

TEST_F(JobOutputTest, RunStartsOnlyWithAReadableFirstFileAndNoRunGoing) {
    EXPECT_FALSE(RequestRun(state, *config));  // empty list
    const std::string path = WriteFile("a.prn", "A;");
    ASSERT_TRUE(state.runList.Add(path));
    std::remove(path.c_str());
    EXPECT_FALSE(RequestRun(state, *config));
    EXPECT_EQ(state.jobState.load(), kJobIdle);
    WriteFile("a.prn", "A;");
    state.jobStartTime = 0;
    state.commandsDone = 7;
    EXPECT_TRUE(RequestRun(state, *config));
    EXPECT_EQ(state.commandsDone.load(), 0u);
    EXPECT_FALSE(RequestRun(state, *config));  // still running
}

TEST(RunList, CountsEverySemicolonAndKeepsTwentySlots) {
    char pattern[] = "/tmp/tarnwick-runlist-XXXXXX";
    const std::string folder = std::string(mkdtemp(pattern)) + "/";
    const std::string path = folder + "long.prn";
    // Lines far longer than 255 characters still count every ';'.
    std::ofstream(path) << std::string(1000, ';') << "\nPU;\n" << std::string(300, 'x') << ";";
    EXPECT_EQ(RunList::CountCommands(path), 1002u);
    EXPECT_EQ(RunList::CountCommands(folder + "missing.prn"), std::nullopt);

    RunList list;
    ASSERT_TRUE(list.Add(path));
    ASSERT_TRUE(list.Add(path));
    EXPECT_EQ(list.CommandCount(), 2004u);
    ASSERT_TRUE(list.Add(folder + "missing.prn"));  // listed, 0 commands
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.CommandCount(), 2004u);
    ASSERT_TRUE(list.Delete(0));
    EXPECT_EQ(list.CommandCount(), 1002u);
    EXPECT_EQ(list.Path(1), folder + "missing.prn");
    EXPECT_FALSE(list.Delete(2));
    while (list.Count() < RunList::kMaxFiles) ASSERT_TRUE(list.Add(path));
    EXPECT_FALSE(list.Add(path));  // the 21st is refused
    EXPECT_EQ(list.Count(), RunList::kMaxFiles);
    EXPECT_EQ(list.Path(RunList::kMaxFiles), "");
    std::filesystem::remove_all(folder);
}

// Counting goes by blocks and by runs inside a block: every ';' counts once,
// whether it falls on a run's or a read's edge, and so does every byte of a
// file that is nothing but ';'.
TEST(RunList, CountsAcrossBlockEdges) {
    char pattern[] = "/tmp/tarnwick-runlist-XXXXXX";
    const std::string folder = std::string(mkdtemp(pattern)) + "/";
    const std::string path = folder + "edges.prn";
    const std::size_t mib = 1 << 20;
    for (const std::size_t size :
         {std::size_t(1), std::size_t(239), std::size_t(240), std::size_t(241), std::size_t(4799),
          mib - 1, mib, mib + 241, 3 * mib + 17}) {
        std::string all(size, ';');
        std::ofstream(path, std::ios::binary) << all;
        EXPECT_EQ(RunList::CountCommands(path), size) << size << " bytes of ';'";

        // One in seven, and the first and last byte of every 240 and of every MiB.
        std::string mixed(size, 'Z');
        std::uint32_t expected = 0;
        for (std::size_t i = 0; i < size; ++i) {
            if (i % 7 == 3 || i % 240 == 0 || i % 240 == 239 || i % mib == mib - 1) {
                mixed[i] = ';';
                ++expected;
            }
        }
        std::ofstream(path, std::ios::binary) << mixed;
        EXPECT_EQ(RunList::CountCommands(path), expected) << size << " mixed bytes";
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
