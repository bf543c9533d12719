#pragma once
// The keys of the configuration file bound to a Settings, grouped as the
// operations read and write them, each group in file order.
#include "config/setting_key.h"
#include "config/settings.h"

namespace config {

// MACHINEINFO: MACHINETYPE, read default "0".
SettingKey MachineTypeKey(int& machineType);
// TSO: sensor offset, current tool, tool offset value.
SettingKeys ToolSensorKeys(Settings& settings);
// TOOLPOSITION<index + 1>: X, Y.
SettingKeys AuxLocationKeys(AuxLocation& location, int index);
// WORKOFFSET1..4: X, Y, Z, A each; then WORKOFFSET: VALUE, NUM.
SettingKeys FixtureKeys(Settings& settings);

// All keys in the order LoadSettings reads them.
SettingKeys LoadedKeys(Settings& settings);
// The keys SaveSettings writes, in its order.
SettingKeys SavedKeys(Settings& settings);

}  // namespace config
