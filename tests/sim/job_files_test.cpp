// Job files, streamed as the program streams them, run to the end on the
// simulated machine: the project's examples always, the real job files of the
// shared folder when it is there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

#include "sim_test_util.h"

namespace {

using namespace simtest;
using sim::Counts;

// A machine and the origin a job is started from.
struct MachineSetup {
    const char* what;
    const sim::MachineProfile& profile;
    Counts origin;
};

// Mid-table in X and Y, 30 mm above the table in Z: where the shared files
// (which go down to -12 mm and up to +60.5 mm) stay within travel.
const MachineSetup kMidTable{"MDX-40, origin mid-table 30 mm up", Mdx40(), {15250, 15250, 3000, 0}};
// The machine's own origin, which a fresh installation takes (on the MDX-40
// shifted 1.15 mm in X): README's run command and the window tests run there.
const MachineSetup kFreshMdx40{"MDX-40, a fresh installation's origin", Mdx40(), {115, 0, 0, 0}};
const MachineSetup kFreshJwx10{"JWX-10, a fresh installation's origin", Jwx10(), {0, 0, 0, 0}};

struct JobFile {
    const char* folder;
    const char* name;
    std::size_t commands;  // ';' in the file
    Counts end;            // user position after the last command
    std::vector<const MachineSetup*> setups;
    // A recovered file with a stretch of scrambled bytes: its garbage commands
    // are errors and its wild coordinates are clipped to the travel.
    bool damaged = false;
};

std::string Path(const JobFile& job) { return std::string(job.folder) + "/" + job.name; }
// Names the file in test output rather than dumping the table row's bytes.
void PrintTo(const JobFile& job, std::ostream* out) { *out << job.name; }

// Where each kind of file is run from.
const std::vector<const MachineSetup*> kAnywhere{&kMidTable, &kFreshMdx40, &kFreshJwx10};
const std::vector<const MachineSetup*> kWithRotaryAxis{&kMidTable, &kFreshMdx40};
const std::vector<const MachineSetup*> kMidTableOnly{&kMidTable};

// Written by examples/make_examples.py; they all end raised at X 0, Y 100 mm, Z 60 mm,
// the rotary example four turns on.
const std::vector<JobFile> kExamples{
    {TARNWICK_EXAMPLES_DIR, "engraving.rml", 128, {0, 10000, 6000, 0}, kAnywhere},
    {TARNWICK_EXAMPLES_DIR, "pocket.rml", 161, {0, 10000, 6000, 0}, kAnywhere},
    {TARNWICK_EXAMPLES_DIR, "rotary.rml", 101, {0, 10000, 6000, 144000}, kWithRotaryAxis},
};

bool WithinTravel(const Counts& c, const sim::MachineProfile& p) {
    return c.x >= 0 && c.x <= p.maxX && c.y >= 0 && c.y <= p.maxY && c.z >= 0 && c.z <= p.maxZ;
}

class JobFileTest : public ::testing::TestWithParam<JobFile> {};

TEST_P(JobFileTest, RunsToTheEndWithinTravelAndEndsWhereItsLastMoveSays) {
    const JobFile& job = GetParam();
    const std::string file = ReadFile(Path(job));
    ASSERT_EQ(static_cast<std::size_t>(std::count(file.begin(), file.end(), ';')), job.commands);

    for (const MachineSetup* setup : job.setups) {
        SCOPED_TRACE(setup->what);
        sim::VirtualClock clock;
        sim::Machine machine(setup->profile, clock);
        machine.SetOrigin(0xF, setup->origin);
        machine.ReceiveJobData(Bytes(AsStreamed(file)));

        std::uint32_t done = 0;
        while ((machine.StatusWord() & 0x0F) == sim::kStatusJob &&
               clock.Now() < std::chrono::hours(48)) {
            const std::uint32_t now = machine.CommandsDone();
            ASSERT_GE(now, done);
            done = now;
            ASSERT_TRUE(WithinTravel(machine.MachinePosition(), setup->profile));
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
}

std::string TestName(const ::testing::TestParamInfo<JobFile>& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Examples, JobFileTest, ::testing::ValuesIn(kExamples), TestName);

// A regenerated example that comes out different must show up here first.
TEST(Examples, EveryExampleIsInTheTableWithItsCommandCount) {
    std::map<std::string, std::size_t> table;
    for (const JobFile& job : kExamples) table[job.name] = job.commands;
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TARNWICK_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".rml") continue;
        ++files;
        const std::string name = entry.path().filename();
        const std::string file = ReadFile(entry.path());
        ASSERT_TRUE(table.contains(name)) << name << " is missing from the table of examples";
        EXPECT_EQ(static_cast<std::size_t>(std::count(file.begin(), file.end(), ';')), table[name])
            << name;
    }
    EXPECT_EQ(files, table.size());
}

TEST(JobFiles, Status3FromTheFirstCommandToTheLast) {
    const JobFile& job = kExamples.front();
    const std::string file = ReadFile(Path(job));
    sim::VirtualClock clock;
    sim::Machine machine(Mdx40(), clock);
    machine.SetOrigin(0xF, kMidTable.origin);
    machine.ReceiveJobData(Bytes(AsStreamed(file)));
    while (machine.CommandsDone() < job.commands) {
        ASSERT_EQ(machine.StatusWord() & 0x0F, sim::kStatusJob)
            << machine.CommandsDone() << " done";
        clock.Advance(100ms);
    }
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
}

#ifdef TARNWICK_JOBS_DIR
INSTANTIATE_TEST_SUITE_P(
    SharedJobs, JobFileTest,
    ::testing::Values(
        JobFile{TARNWICK_JOBS_DIR, "pcb_traces.rml", 2060, {0, 15240, 6050, 0}, kMidTableOnly},
        JobFile{TARNWICK_JOBS_DIR, "pcb_outline.rml", 43, {0, 15240, 6050, 0}, kMidTableOnly},
        JobFile{TARNWICK_JOBS_DIR, "mold_master.prn", 41363, {0, 0, 0, 0}, kMidTableOnly, true},
        JobFile{TARNWICK_JOBS_DIR, "test_square.rml", 16, {0, 0, 0, 0}, kMidTableOnly}),
    TestName);

TEST(JobFiles, GCodeWithoutSemicolonExecutesNothing) {
    const std::string file = ReadFile(TARNWICK_JOBS_DIR "/gcode_drill.nc");
    EXPECT_TRUE(AsStreamed(file).empty()) << "the program sends nothing of it";

    // Even sent raw, no byte of it makes the machine move.
    sim::VirtualClock clock;
    sim::Machine machine(Mdx40(), clock);
    const Counts before = machine.MachinePosition();
    machine.ReceiveJobData(Bytes(file));
    clock.Advance(1h);
    EXPECT_EQ(machine.StatusWord(), sim::kStatusIdle);
    EXPECT_EQ(machine.CommandsDone(), 0u);
    EXPECT_EQ(machine.MachinePosition(), before);
}
#endif

}  // namespace