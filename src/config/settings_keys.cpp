#include "config/settings_keys.h"

#include "config/config_keys.h"

namespace config {

namespace {

void Append(SettingKeys& keys, SettingKeys more) {
    keys.insert(keys.end(), std::make_move_iterator(more.begin()),
                std::make_move_iterator(more.end()));
}

}  // namespace

SettingKey MachineTypeKey(int& machineType) {
    return {kMachineInfo, kMachineType, "0", &machineType};
}

SettingKeys ToolSensorKeys(Settings& settings) {
    return {{kToolSensor, kSensorOffset, "0", &settings.sensorOffset},
            {kToolSensor, kCurrentTool, "0", &settings.currentTool},
            {kToolSensor, kValue, "0", &settings.toolOffsetValue, kToolOffsetDecimals}};
}

SettingKeys AuxLocationKeys(AuxLocation& location, int index) {
    const std::string section = AuxLocationSection(index);
    return {{section, kX, "0", &location.x}, {section, kY, "0", &location.y}};
}

SettingKeys FixtureKeys(Settings& settings) {
    SettingKeys keys;
    for (int i = 0; i < kFixtureOffsetCount; ++i) {
        FixtureOffset& offset = settings.fixtureOffsets[i];
        const std::string section = FixtureSection(i);
        Append(keys, {{section, kX, "0", &offset.x},
                      {section, kY, "0", &offset.y},
                      {section, kZ, "0", &offset.z},
                      {section, kA, "0", &offset.a}});
    }
    Append(keys, {{kFixtureChoice, kValue, "0", &settings.useFixture},
                  {kFixtureChoice, kSelectedFixture, "0", &settings.selectedFixture}});
    return keys;
}

SettingKeys LoadedKeys(Settings& settings) {
    SettingKeys keys = {MachineTypeKey(settings.machineType)};
    Append(keys, ProfileKeys(settings.profile));
    Append(keys, ToolSensorKeys(settings));
    for (int i = 0; i < kAuxLocationCount; ++i) {
        Append(keys, AuxLocationKeys(settings.auxLocations[i], i));
    }
    Append(keys, FixtureKeys(settings));
    return keys;
}

SettingKeys SavedKeys(Settings& settings) {
    SettingKeys keys = ToolSensorKeys(settings);
    Append(keys, FixtureKeys(settings));
    return keys;
}

}  // namespace config
