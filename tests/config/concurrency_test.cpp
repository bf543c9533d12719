// The UI thread and the command thread both change and save the values.
// Under ThreadSanitizer this must run without a report, and however the saves
// interleave, the file must end each round with the latest values, not older ones.
#include <gtest/gtest.h>

#include <barrier>
#include <thread>

#include "config/config_test_util.h"
#include "config/configuration.h"
#include "link/machine_port.h"

namespace {

constexpr int kRounds = 20;

class ConcurrencyTest : public config_test::ConfigFolder {
protected:
    // What a fresh start would read from the file.
    Settings Reread() {
        Configuration reread(Folder());
        CMachinePort port;
        std::string model;
        reread.LoadSettings(port, model);
        return reread.Values();
    }
};

TEST_F(ConcurrencyTest, SavesFromTwoThreadsEndWithTheLatestValues) {
    Configuration config(Folder());
    std::barrier sync(2);
    std::thread command([&] {
        for (int i = 1; i <= kRounds; ++i) {
            sync.arrive_and_wait();
            // As the cycles: a measurement, an origin, an aux location, then save.
            config.SetToolOffsetValue(0.5 * i);
            config.SetFixtureZ(i % kFixtureOffsetCount, -0.25 * i);
            config.WriteAuxLocation(i % kAuxLocationCount + 1, {100 * i, -100 * i, 0, 0});
            config.SaveSettings();
            EXPECT_EQ(config.Profile(), MachineProfile{});
            sync.arrive_and_wait();
            sync.arrive_and_wait();  // the UI thread looks at the file
        }
    });
    for (int i = 1; i <= kRounds; ++i) {
        sync.arrive_and_wait();
        // As the fixture offsets page: edit, then save.
        const double v = i;
        config.SetFixtureOffset((i + 1) % kFixtureOffsetCount, {v, 2 * v, 3 * v, 4 * v});
        config.SetSensorOffset(-i);
        config.SetCurrentTool(i % 5);
        config.SetUseFixture(i % 2);
        config.SetSelectedFixture(i % kFixtureOffsetCount);
        config.SaveSettings();
        sync.arrive_and_wait();
        Settings expected = config.Values();
        const Settings onFile = Reread();
        expected.profile = onFile.profile;  // never saved: the read defaults
        EXPECT_EQ(onFile, expected) << "round " << i;
        sync.arrive_and_wait();
    }
    command.join();
}

}  // namespace
