#pragma once
// A command thread on the simulated machine: the real driver library from the
// program folder, a "Roland MDX-40" host of the test's own in a fresh socket
// folder, machine time a thousand times faster than real time, the MDX-40
// machine profile in a temporary configuration, no pauses. Stepped one
// iteration at a time; every move has finished when its step returns.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "service/command_thread.h"
#include "service/log_file.h"
#include "service/recording_display.h"
#include "service/sensor_pauses.h"
#include "service/shared_state.h"

// Records the Pause boxes with their texts and answers them.
class PauseRecordingDisplay : public RecordingDisplay {
public:
    bool ShowSensorPauses(const std::atomic<bool>& stop) override {
        ++pausesShown;
        return ShowSensorPausesWith([&](const char* text, const char* caption) {
            boxes.emplace_back(text, caption);
            if (whileShown) whileShown();
            return answerPauses && !stop.load();
        });
    }

    // Runs while a box is up (the operator's doings meanwhile).
    std::function<void()> whileShown;
    std::vector<std::pair<std::string, std::string>> boxes;  // text, caption
};

class SimServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A command of the simulator's panel ("cable off", "tool 2700",
    // "fault fail-opcode 29"); true when the machine took it.
    bool Panel(const std::string& command);
    void Iterate(int n = 1);
    // Iterates until no cycle and no scan is pending; the number of
    // iterations, or -1 when that took more than `limit`.
    int IterateUntilIdle(int limit = 200);
    // Iterates until `done` holds, at most `limit` times; false if it never did.
    bool IterateUntil(const std::function<bool()>& done, int limit = 200);
    void StartScan(int kind);
    MachinePosition Position();
    MachinePosition Origin();

    std::string m_simDir;
    std::string m_folder;
    CMachinePort port;
    std::unique_ptr<Configuration> config;
    MachineProfile profile;
    SharedState state;
    PauseRecordingDisplay display;
    LogFile log;
    std::unique_ptr<CCommandThread> thread;
};
