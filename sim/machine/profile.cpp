#include "machine/profile.h"

#include <array>

namespace sim {

namespace {

// Travel and speeds as the machines are built; the tool-sensor and rotary-axis
// places are the ones the program's machine profiles carry for each model.
constexpr std::array<MachineProfile, 2> kProfiles{{
    {"Roland MDX-40", 30500, 30500, 10500, 3000, 1800, 3600, 4500, 15000,  //
     28000, 28400, 7900, 13500, 15300},
    {"Roland JWX-10", 14000, 10500, 10500, 3000, 1800, 3600, 6000, 20000,  //
     13300, 400, 7000, 6000, 7200},
}};

}  // namespace

std::span<const MachineProfile> Profiles() { return kProfiles; }

const MachineProfile* FindProfile(const std::string& name) {
    for (const auto& profile : kProfiles) {
        if (name == profile.name) return &profile;
    }
    return nullptr;
}

}  // namespace sim
