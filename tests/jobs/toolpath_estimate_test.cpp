// The time a job's toolpath says it takes, against the simulated machine's own
// machine time for it: the project's examples always, the real job files of
// the shared folder when it is there.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "jobs/toolpath.h"
#include "sim/sim_test_util.h"

namespace {

using namespace simtest;

std::vector<std::filesystem::path> JobFiles() {
    std::vector<std::filesystem::path> files;
    std::vector<std::string> folders = {TARNWICK_EXAMPLES_DIR};
#ifdef TARNWICK_JOBS_DIR
    folders.push_back(TARNWICK_JOBS_DIR);
#endif
    for (const auto& folder : folders)
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".rml" || entry.path().extension() == ".prn")
                files.push_back(entry.path());
    return files;
}

TEST(ToolpathEstimate, WithinFivePercentOfTheMachinesTimeForEachJob) {
    const sim::MachineProfile& profile = Mdx40();
    // Mid-table, 30 mm up: where every file stays within travel.
    const sim::Counts origin{15250, 15250, 3000, 0};
    jobs::MachineLimits limits{profile.maxXyMmPerMin, profile.maxZMmPerMin, profile.maxADegPerMin,
                               (profile.maxZ - origin.z) * 0.01};
    limits.travelLow = {-origin.x * 0.01f, -origin.y * 0.01f, -origin.z * 0.01f, 0};
    limits.travelHigh = {(profile.maxX - origin.x) * 0.01f, (profile.maxY - origin.y) * 0.01f,
                         (profile.maxZ - origin.z) * 0.01f, 0};
    const auto files = JobFiles();
    ASSERT_GE(files.size(), 3u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        sim::VirtualClock clock;
        sim::Machine machine(profile, clock);
        machine.SetOrigin(0xF, origin);
        // The job starts where its path does: at the origin.
        machine.MoveTo(origin, profile.maxXyMmPerMin);
        ASSERT_TRUE(AdvanceUntilStatus(clock, machine, sim::kStatusIdle));
        const sim::Nanos start = clock.Now();
        machine.ReceiveJobData(Bytes(AsStreamed(ReadFile(file))));
        ASSERT_TRUE(AdvanceUntilStatus(clock, machine, sim::kStatusIdle, 50ms));
        const double machineSeconds = std::chrono::duration<double>(clock.Now() - start).count();

        const auto path = jobs::ReadToolpath(file, limits);
        ASSERT_TRUE(path);
        EXPECT_NEAR(path->Seconds(), machineSeconds, 0.05 * machineSeconds + 0.1);
        EXPECT_EQ(path->CommandCount(), machine.CommandsDone());
    }
}

}  // namespace
