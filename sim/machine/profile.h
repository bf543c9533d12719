#pragma once
// The two machine models: travel, speed limits, spindle range, and the fixed
// places (tool sensor, rotary axis) that the probe geometry is built around.
#include <cstdint>
#include <span>
#include <string>

namespace sim {

struct MachineProfile {
    const char* name;
    std::int32_t maxX, maxY, maxZ;  // travel is 0..max counts on X, Y, Z; A is unlimited
    double maxXyMmPerMin;
    double maxZMmPerMin;
    double maxADegPerMin;
    std::int32_t spindleMinRpm, spindleMaxRpm;
    // Where the operator's configuration says the tool sensor and rotary axis are.
    std::int32_t toolSensorX, toolSensorY, toolSensorZ;
    std::int32_t rotaryAxisX, rotaryAxisY;
};

// Both known models, MDX-40 first.
std::span<const MachineProfile> Profiles();
// Exact model name as the program uses it ("Roland MDX-40"); null when unknown.
const MachineProfile* FindProfile(const std::string& name);

}  // namespace sim
