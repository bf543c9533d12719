// Tool detection and the three calibration scans, step by step as the
// program's command thread runs them, find plausible values that agree with
// the modelled geometry, on both machines with their configured places.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sim_test_util.h"

namespace {

using namespace simtest;
using sim::Counts;

constexpr std::int32_t kSafeZ = 10500;  // ZLIMIT on both machines

// The moves of the cycles: read the position, change some axes, move or probe,
// and wait until the machine reports the command done.
class Cycles {
public:
    explicit Cycles(const sim::MachineProfile& profile) : machine(profile, clock) {}

    Counts Position() { return machine.MachinePosition(); }

    template <typename Change>
    void Move(Change change, double speed = 3000) {
        Counts target = Position();
        change(target);
        machine.MoveTo(target, speed);
        Wait();
    }

    template <typename Change>
    void Probe(Change change, double speed) {
        Counts target = Position();
        change(target);
        machine.ProbeTo(target.x, target.y, target.z, speed);
        Wait();
    }

    // The detection cycle: probe down, back off 0.50 mm, probe again slowly.
    std::int32_t Touch() {
        Probe([](Counts& c) { c.z = 4000; }, 120);
        Move([](Counts& c) { c.z += 50; }, 50);
        Probe([](Counts& c) { c.z = 4000; }, 10);
        return Position().z;
    }

    void Wait() {
        while (machine.Completion() != 0) clock.Advance(100ms);
    }

    sim::VirtualClock clock;
    sim::Machine machine;
};

class ProbeCycleTest : public ::testing::TestWithParam<const sim::MachineProfile*> {
protected:
    const sim::MachineProfile& profile = *GetParam();
    Cycles cycles{profile};
    sim::Machine& machine = cycles.machine;
};

TEST_P(ProbeCycleTest, ToolDetectionPutsTheZOriginOnTheRotaryAxisCentre) {
    std::uint8_t block4[38];
    ASSERT_TRUE(machine.ReadBlock(4, block4));
    const auto sensorOffset = static_cast<std::int16_t>((block4[36] << 8) | block4[37]);

    cycles.Move([](Counts& c) { c.z = kSafeZ; });
    cycles.Move([&](Counts& c) { c.x = profile.toolSensorX; });
    cycles.Move([&](Counts& c) { c.y = profile.toolSensorY; });
    cycles.Move([&](Counts& c) { c.z = profile.toolSensorZ; });
    cycles.Probe([](Counts& c) { c.z = 4000; }, 50);
    EXPECT_EQ(machine.SensorBits() & sim::kSensorNotTouched, 0) << "touched";
    cycles.Move([](Counts& c) { c.z += 50; }, 50);
    cycles.Probe([](Counts& c) { c.z = 4000; }, 1);

    const std::int32_t contact = cycles.Position().z;
    EXPECT_LT(contact, profile.toolSensorZ);
    EXPECT_GT(contact, profile.toolSensorZ - 1000) << "a few mm below the configured Z";
    EXPECT_NEAR(contact + sensorOffset, sim::kRotaryAxisZ, 1);
}

TEST_P(ProbeCycleTest, RunoutScanSeesAFewHundredthsBetweenTheFourAngles) {
    cycles.Move([](Counts& c) { c.z = kSafeZ; });
    cycles.Move([](Counts& c) { c.a = 0; });
    cycles.Move([&](Counts& c) { c.x = profile.rotaryAxisX; });
    cycles.Move([&](Counts& c) { c.y = profile.rotaryAxisY; });
    std::vector<std::int32_t> runout;
    for (std::int32_t a : {0, 9000, 18000, 27000}) {
        cycles.Move([&](Counts& c) { c.a = a; });
        runout.push_back(cycles.Touch());
        const double top = machine.Geometry().SensorPieceCentreZ(a) + sim::kSensorPieceRadius;
        EXPECT_NEAR(runout.back(), top, 1) << "at " << a / 100 << " degrees";
        cycles.Move([](Counts& c) { c.z += 200; });
    }
    const auto [low, high] = std::minmax_element(runout.begin(), runout.end());
    EXPECT_GE(*high - *low, 2);
    EXPECT_LE(*high - *low, 10);
}

TEST_P(ProbeCycleTest, YCentreScanFindsTheOffCentreAxis) {
    const std::int32_t yLimit = profile.maxY;
    cycles.Move([](Counts& c) { c.z = kSafeZ; });
    cycles.Move([](Counts& c) { c.a = 0; });
    cycles.Move([&](Counts& c) { c.x = profile.rotaryAxisX; });
    cycles.Move([&](Counts& c) { c.y = profile.rotaryAxisY - 1500; });
    cycles.Move([](Counts& c) { c.z = 6000; }, 1500);
    cycles.Probe([&](Counts& c) { c.y = yLimit; }, 50);
    const std::int32_t firstEdge = cycles.Position().y + 1159;
    cycles.Move([](Counts& c) { c.y -= 500; });
    cycles.Move([](Counts& c) { c.x -= 3000; });
    cycles.Probe([&](Counts& c) { c.y = yLimit; }, 50);
    EXPECT_NEAR(cycles.Position().y + 1159, firstEdge, 1) << "second column";
    cycles.Move([](Counts& c) { c.y -= 500; });
    cycles.Move([](Counts& c) { c.z = kSafeZ; });
    cycles.Move([&](Counts& c) { c.y = profile.rotaryAxisY + 1500; });
    cycles.Move([](Counts& c) { c.x += 3000; });
    cycles.Move([](Counts& c) { c.z = 6000; }, 1500);
    cycles.Probe([](Counts& c) { c.y = 0; }, 50);
    const std::int32_t secondEdge = cycles.Position().y - 1159;

    const auto centre = static_cast<std::int32_t>(std::floor((firstEdge + secondEdge) * 0.5 + 0.5));
    EXPECT_NEAR(centre, machine.Geometry().SensorPieceCentreY(0), 1);
    EXPECT_GT(centre - profile.rotaryAxisY, 20) << "a little off the configured Y";
    EXPECT_LT(centre - profile.rotaryAxisY, 60);
}

TEST_P(ProbeCycleTest, ToolSensorScanMeasuresTheFactorySensorOffset) {
    const std::int32_t centreY = std::lround(machine.Geometry().SensorPieceCentreY(0));
    cycles.Move([](Counts& c) { c.z = kSafeZ; });
    cycles.Move([&](Counts& c) { c.x = profile.rotaryAxisX; });
    cycles.Move([&](Counts& c) { c.y = centreY; });
    const std::int32_t referenceZ = cycles.Touch() - 1000;
    cycles.Move([](Counts& c) { c.z = kSafeZ; });
    cycles.Move([](Counts& c) { c.x -= 3000; });
    EXPECT_NEAR(cycles.Touch() - 1000, referenceZ, 1) << "the bar is level";
    cycles.Move([](Counts& c) { c.z = kSafeZ; });
    cycles.Move([&](Counts& c) { c.x = profile.toolSensorX; });
    cycles.Move([&](Counts& c) { c.y = profile.toolSensorY; });
    cycles.Probe([](Counts& c) { c.z = 4000; }, 120);
    cycles.Move([](Counts& c) { c.z += 50; }, 120);
    cycles.Probe([](Counts& c) { c.z = 4000; }, 10);
    const std::int32_t sensorOffset = referenceZ - cycles.Position().z;
    EXPECT_NEAR(sensorOffset, sim::DefaultSensorOffset(profile), 3);
}

INSTANTIATE_TEST_SUITE_P(BothMachines, ProbeCycleTest, ::testing::Values(&Mdx40(), &Jwx10()),
                         [](const auto& info) { return info.index == 0 ? "MDX40" : "JWX10"; });

}  // namespace
