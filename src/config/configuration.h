#pragma once
// Configuration: the values of "Tarnwick.cfg" for the life of the process,
// and the operations that read and write the file.
//
// The command thread reads these values while the UI thread edits them, and
// both save them, so every value sits behind one mutex: getters return
// copies, and SaveSettings writes one consistent snapshot. File writes from
// this object are serialised, so the last save also writes the latest values.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "config/machine_profile.h"
#include "config/settings.h"
#include "link/machine_position.h"

class CMachinePort;

class Configuration {
public:
    // `programFolder` ends in '/'; the file is that folder + "Tarnwick.cfg".
    explicit Configuration(const std::string& programFolder);
    Configuration(const Configuration&) = delete;
    Configuration& operator=(const Configuration&) = delete;

    static std::string PathIn(const std::string& programFolder);
    // MACHINEINFO/MACHINETYPE with default "0", for start-up before anything else is read.
    static int ReadMachineType(const std::string& programFolder);

    const std::string& Path() const { return m_path; }

    // MACHINETYPE = type, then that type's profile column (type 0: JWX-10, any other: MDX-40).
    void WriteMachineProfile(int type);
    // On first run, seeds the fixture offsets, sensor offset and fixture choice
    // from the machine (a failed machine read skips that and keeps the flag);
    // then reads every key. Sets `modelName` for machine types 0 and 1 only.
    void LoadSettings(CMachinePort& port, std::string& modelName);
    // Writes the sensor offset, current tool, tool offset value, the four fixture
    // offsets, the use-fixture flag and the selected fixture, in that order.
    void SaveSettings();
    // The aux location cycle: writes TOOLPOSITION<number> X and Y as the
    // position's counts in mm with two decimals and keeps exactly the values
    // written. False, writing nothing, for a number outside 1..4.
    bool WriteAuxLocation(int number, const MachinePosition& position);

    // All values at once, consistent with each other.
    Settings Values() const;

    int MachineType() const { return Get(&Settings::machineType); }
    void SetMachineType(int type) { Set(&Settings::machineType, type); }
    // True between start-up choosing the machine type and its seeding in LoadSettings.
    bool FirstRun() const { return m_firstRun.load(); }
    void SetFirstRun(bool firstRun) { m_firstRun.store(firstRun); }

    MachineProfile Profile() const { return Get(&Settings::profile); }
    std::int32_t SensorOffset() const { return Get(&Settings::sensorOffset); }
    void SetSensorOffset(std::int32_t counts) { Set(&Settings::sensorOffset, counts); }
    int CurrentTool() const { return Get(&Settings::currentTool); }
    void SetCurrentTool(int tool) { Set(&Settings::currentTool, tool); }
    double ToolOffsetValue() const { return Get(&Settings::toolOffsetValue); }
    void SetToolOffsetValue(double mm) { Set(&Settings::toolOffsetValue, mm); }
    std::array<AuxLocation, kAuxLocationCount> AuxLocations() const {
        return Get(&Settings::auxLocations);
    }
    std::array<FixtureOffset, kFixtureOffsetCount> FixtureOffsets() const {
        return Get(&Settings::fixtureOffsets);
    }
    // `index` 0..3; false, changing nothing, for any other.
    bool SetFixtureOffset(int index, const FixtureOffset& offset);
    bool SetFixtureZ(int index, double z);
    // One axis (0 X, 1 Y, 2 Z, 3 A) of fixture offset `index`, in one step, so
    // that a change the other thread makes to the same fixture is not lost.
    bool SetFixtureAxis(int index, int axis, double mm);
    int UseFixture() const { return Get(&Settings::useFixture); }
    void SetUseFixture(int useFixture) { Set(&Settings::useFixture, useFixture); }
    int SelectedFixture() const { return Get(&Settings::selectedFixture); }
    void SetSelectedFixture(int index) { Set(&Settings::selectedFixture, index); }

private:
    template <class T>
    T Get(T Settings::*member) const {
        std::lock_guard lock(m_valuesMutex);
        return m_values.*member;
    }
    template <class T>
    void Set(T Settings::*member, T value) {
        std::lock_guard lock(m_valuesMutex);
        m_values.*member = value;
    }
    FixtureOffset* Fixture(int index);

    const std::string m_path;
    mutable std::mutex m_valuesMutex;
    Settings m_values;
    std::atomic<bool> m_firstRun{false};
    // Taken for every file write and before m_valuesMutex, never after it.
    std::mutex m_fileMutex;
};
