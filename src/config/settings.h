#pragma once
// Every value of the configuration file as held in memory.
#include <array>
#include <cstdint>

#include "config/machine_profile.h"

inline constexpr int kAuxLocationCount = 4;
inline constexpr int kFixtureOffsetCount = 4;
// Counts are hundredths of a millimetre (of a degree on A).
inline constexpr double kMillimetresPerCount = 0.01;

// An auxiliary (tool block) location, mm.
struct AuxLocation {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const AuxLocation&) const = default;
};

// A fixture offset, mm (A in degrees).
struct FixtureOffset {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double a = 0.0;
    bool operator==(const FixtureOffset&) const = default;
};

struct Settings {
    int machineType = 0;  // 0 JWX-10, 1 MDX-40, -1 not chosen yet
    MachineProfile profile;
    std::int32_t sensorOffset = 0;  // counts: scan sensor to tool sensor
    int currentTool = 0;            // 0 none, 1..4 tool changer position
    double toolOffsetValue = 0.0;   // mm; when not 0, the Z of every origin set
    std::array<AuxLocation, kAuxLocationCount> auxLocations{};
    std::array<FixtureOffset, kFixtureOffsetCount> fixtureOffsets{};
    int useFixture = 0;       // fixture offsets are in use when > 0
    int selectedFixture = 0;  // 0..3 for fixture offsets 1..4
    bool operator==(const Settings&) const = default;
};
