#include "config/configuration.h"

#include "config/config_keys.h"
#include "config/first_run_seeding.h"
#include "config/settings_keys.h"
#include "config/value_text.h"

Configuration::Configuration(const std::string& programFolder) : m_path(PathIn(programFolder)) {}

std::string Configuration::PathIn(const std::string& programFolder) {
    return programFolder + config::kFileName;
}

int Configuration::ReadMachineType(const std::string& programFolder) {
    int type = 0;
    config::ReadKeys({config::MachineTypeKey(type)}, PathIn(programFolder));
    return type;
}

void Configuration::WriteMachineProfile(int type) {
    std::lock_guard file(m_fileMutex);
    config::WriteProfileColumn(type, m_path);
}

void Configuration::LoadSettings(CMachinePort& port, std::string& modelName) {
    std::lock_guard file(m_fileMutex);
    if (FirstRun() && config::SeedFromMachine(port, MachineType(), m_path)) SetFirstRun(false);

    Settings loaded;
    config::ReadKeys(config::LoadedKeys(loaded), m_path);
    {
        std::lock_guard lock(m_valuesMutex);
        m_values = loaded;
    }
    if (const std::string_view name = ModelName(loaded.machineType); !name.empty()) {
        modelName = name;
    }
}

void Configuration::SaveSettings() {
    // Under the file lock: a save that started later also ends later, so the
    // file never goes back to older values.
    std::lock_guard file(m_fileMutex);
    Settings snapshot = Values();
    config::WriteKeys(config::SavedKeys(snapshot), m_path);
}

bool Configuration::WriteAuxLocation(int number, const MachinePosition& position) {
    if (number < 1 || number > kAuxLocationCount) return false;
    AuxLocation location{position.x * kMillimetresPerCount, position.y * kMillimetresPerCount};
    const config::SettingKeys keys = config::AuxLocationKeys(location, number - 1);
    std::lock_guard file(m_fileMutex);
    config::WriteKeys(keys, m_path);
    // Memory keeps what the file holds, to the hundredth.
    for (const config::SettingKey& key : keys) config::AssignText(key, config::FormatValue(key));
    std::lock_guard lock(m_valuesMutex);
    m_values.auxLocations[number - 1] = location;
    return true;
}

Settings Configuration::Values() const {
    std::lock_guard lock(m_valuesMutex);
    return m_values;
}

FixtureOffset* Configuration::Fixture(int index) {
    if (index < 0 || index >= kFixtureOffsetCount) return nullptr;
    return &m_values.fixtureOffsets[index];
}

bool Configuration::SetFixtureOffset(int index, const FixtureOffset& offset) {
    std::lock_guard lock(m_valuesMutex);
    FixtureOffset* fixture = Fixture(index);
    if (fixture) *fixture = offset;
    return fixture != nullptr;
}

bool Configuration::SetFixtureAxis(int index, int axis, double mm) {
    std::lock_guard lock(m_valuesMutex);
    FixtureOffset* fixture = Fixture(index);
    double FixtureOffset::*axes[] = {&FixtureOffset::x, &FixtureOffset::y, &FixtureOffset::z,
                                     &FixtureOffset::a};
    if (!fixture || axis < 0 || axis > 3) return false;
    fixture->*axes[axis] = mm;
    return true;
}

bool Configuration::SetFixtureZ(int index, double z) {
    std::lock_guard lock(m_valuesMutex);
    FixtureOffset* fixture = Fixture(index);
    if (fixture) fixture->z = z;
    return fixture != nullptr;
}
