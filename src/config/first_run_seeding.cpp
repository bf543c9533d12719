#include "config/first_run_seeding.h"

#include <cstdint>

#include "config/config_keys.h"
#include "config/setting_key.h"
#include "config/settings.h"
#include "link/machine_port.h"
#include "link/parameter_record.h"

namespace config {

namespace {

// The MDX-40's work origin sits 1.15 mm in X from where the machine reports it.
constexpr std::int64_t kMdx40OriginShiftX = 115;

bool ReadParameterRecord(CMachinePort& port, ParameterRecord& record) {
    if (port.ReadBlock(kParameterBlock4, record.Block4(), int{kParameterBlock4Length}) == 0 ||
        port.ReadBlock(kParameterBlock5, record.Block5(), int{kParameterBlock5Length}) == 0) {
        return false;
    }
    SwapParameterFields(record);
    return true;
}

}  // namespace

bool SeedFromMachine(CMachinePort& port, int machineType, const std::string& path) {
    MachinePosition origin;
    ParameterRecord record;
    if (!port.ReadOrigin(origin) || !ReadParameterRecord(port, record)) return false;

    // 64 bits: the shift must not overflow whatever the machine reports.
    const std::int64_t x = origin.x + (machineType == 1 ? kMdx40OriginShiftX : 0);
    double xMm = static_cast<double>(x) * kMillimetresPerCount;
    double yMm = origin.y * kMillimetresPerCount;
    double aMm = origin.a * kMillimetresPerCount;
    std::int32_t sensorOffset = static_cast<std::int16_t>(record.Field(kSensorOffsetField));
    int one = 1;  // fixture offsets in use, fixture offset 2 selected

    SettingKeys keys;
    for (int i = 0; i < 3; ++i) {  // Z of these and all of fixture offset 4 stay as they are
        const std::string section = FixtureSection(i);
        keys.push_back({section, kX, "0", &xMm});
        keys.push_back({section, kY, "0", &yMm});
        keys.push_back({section, kA, "0", &aMm});
    }
    keys.push_back({kToolSensor, kSensorOffset, "0", &sensorOffset});
    keys.push_back({kFixtureChoice, kValue, "0", &one});
    keys.push_back({kFixtureChoice, kSelectedFixture, "0", &one});
    WriteKeys(keys, path);
    return true;
}

}  // namespace config
