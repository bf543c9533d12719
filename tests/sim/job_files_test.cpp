// The real job files, streamed as the program streams them, run to the end on
// the simulated machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "sim_test_util.h"

namespace {

using namespace simtest;

std::string JobPath(const std::string& name) { return std::string(TARNWICK_JOBS_DIR) + "/" + name; }

#define SkipWithoutJobFiles()                              \
    if (!std::filesystem::is_directory(TARNWICK_JOBS_DIR)) \
    GTEST_SKIP() << "no job files at " TARNWICK_JOBS_DIR " (set TARNWICK_JOBS_DIR)"

using sim::Counts;

struct JobFile {
    const char* name;
    std::size_t commands;  // ';' in the file
    Counts end;            // user position after the last command
    // A recovered file with a stretch of scrambled bytes: its garbage commands
    // are errors and its wild coordinates are clipped to the travel.
    bool damaged = false;
};

bool WithinTravel(const Counts& c, const sim::MachineProfile& p) {
    return c.x >= 0 && c.x <= p.maxX && c.y >= 0 && c.y <= p.maxY && c.z >= 0 && c.z <= p.maxZ;
}

// The origin at mid-table in X and Y, 30 mm above the table in Z, where these
// files (which go down to -12 mm and up to +60.5 mm) stay within travel.
constexpr Counts kOrigin{15250, 15250, 3000, 0};

class JobFileTest : public ::testing::TestWithParam<JobFile> {
protected:
    void SetUp() override { SkipWithoutJobFiles(); }
};

TEST_P(JobFileTest, RunsToTheEndWithinTravelAndEndsWhereItsLastMoveSays) {
    const JobFile& job = GetParam();
    const std::string file = ReadFile(JobPath(job.name));
    ASSERT_EQ(static_cast<std::size_t>(std::count(file.begin(), file.end(), ';')), job.commands);

    sim::VirtualClock clock;
    sim::Machine machine(Mdx40(), clock);
    machine.SetOrigin(0xF, kOrigin);
    machine.StartDocument();
    machine.ReceiveJobData(Bytes(AsStreamed(file)));

    std::uint32_t done = 0;
    while ((machine.StatusWord() & 0x0F) == sim::kStatusJob &&
           clock.Now() < std::chrono::hours(48)) {
        const std::uint32_t now = machine.CommandsDone();
        ASSERT_GE(now, done);
        done = now;
        ASSERT_TRUE(WithinTravel(machine.MachinePosition(), Mdx40()));
        clock.Advance(1s);
    }
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.CommandsDone(), job.commands);
    if (job.damaged) {
        EXPECT_GT(machine.JobErrors(), 0u);
    } else {
        EXPECT_EQ(machine.TravelClamps(), 0u);
        EXPECT_EQ(machine.JobErrors(), 0u);
    }
    EXPECT_EQ(machine.UserPosition(), job.end);
    EXPECT_EQ(machine.SpindleRpm(), 0);
}

INSTANTIATE_TEST_SUITE_P(SharedJobs, JobFileTest,
                         ::testing::Values(JobFile{"pcb_traces.rml", 2060, {0, 15240, 6050, 0}},
                                           JobFile{"pcb_outline.rml", 43, {0, 15240, 6050, 0}},
                                           JobFile{"mold_master.prn", 41363, {0, 0, 0, 0}, true},
                                           JobFile{"test_square.rml", 16, {0, 0, 0, 0}}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(JobFiles, GCodeWithoutSemicolonExecutesNothing) {
    SkipWithoutJobFiles();
    const std::string file = ReadFile(JobPath("gcode_drill.nc"));
    EXPECT_TRUE(AsStreamed(file).empty()) << "the program sends nothing of it";

    // Even sent raw, no byte of it makes the machine move.
    sim::VirtualClock clock;
    sim::Machine machine(Mdx40(), clock);
    const Counts before = machine.MachinePosition();
    machine.StartDocument();
    machine.ReceiveJobData(Bytes(file));
    clock.Advance(1h);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.CommandsDone(), 0u);
    EXPECT_EQ(machine.MachinePosition(), before);
}

TEST(JobFiles, Status3FromTheFirstCommandToTheLast) {
    SkipWithoutJobFiles();
    const std::string file = ReadFile(JobPath("test_square.rml"));
    sim::VirtualClock clock;
    sim::Machine machine(Mdx40(), clock);
    machine.SetOrigin(0xF, kOrigin);
    machine.StartDocument();
    machine.ReceiveJobData(Bytes(AsStreamed(file)));
    while (machine.CommandsDone() < 16) {
        ASSERT_EQ(machine.StatusWord() & 0x0F, sim::kStatusJob)
            << machine.CommandsDone() << " done";
        clock.Advance(100ms);
    }
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
}

}  // namespace
