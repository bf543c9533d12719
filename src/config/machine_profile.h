#pragma once
// The machine profile: travel limits and the fixed places of the view
// position, the tool sensor and the rotary axis, in counts (0.01 mm), as kept
// in section MACHINEINFO.
#include <cstdint>
#include <string>
#include <string_view>

#include "config/setting_key.h"

inline constexpr char kModelJwx10[] = "Roland JWX-10";  // machine type 0
inline constexpr char kModelMdx40[] = "Roland MDX-40";  // machine type 1

// The model name of a machine type; empty for any type but 0 and 1.
std::string_view ModelName(int machineType);

struct MachineProfile {
    std::int32_t xLimit = 0;
    std::int32_t yLimit = 0;
    std::int32_t zLimit = 0;  // also the safe height cycles retract to
    std::int32_t xViewPos = 0;
    std::int32_t yViewPos = 0;
    std::int32_t toolSensorLocX = 0;
    std::int32_t toolSensorLocY = 0;
    std::int32_t toolSensorLocZ = 0;  // where tool detection starts probing
    std::int32_t rotAxisLocX = 0;
    std::int32_t rotAxisLocY = 0;
    std::int32_t toolBarHt1 = 0;  // kept, no operation uses it
    std::int32_t toolBarHt2 = 0;  // kept, no operation uses it
    int auxOutputOnSpindle = 0;   // kept, no operation uses it
    int useDoubleFixture = 0;     // 1: a run applies fixture offset 1, its next file offset 2
    bool operator==(const MachineProfile&) const = default;
};

namespace config {

// The fourteen profile keys in file order, with their read defaults.
SettingKeys ProfileKeys(MachineProfile& profile);

// MACHINETYPE as "%d" of `type`, then the twelve written profile keys with the
// JWX-10 texts for type 0 and the MDX-40 texts for any other type.
bool WriteProfileColumn(int type, const std::string& path);

}  // namespace config
