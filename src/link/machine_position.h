#pragma once
#include <cstdint>

// Four axis counts: X, Y, Z in 0.01 mm, A in 0.01 degree.
struct MachinePosition {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::int32_t a = 0;
    bool operator==(const MachinePosition&) const = default;
};
