#pragma once
// A command thread running on its own against a simulated "Roland MDX-40" of
// the test's own (the real driver library, loaded by name from the program
// folder), with a fresh configuration of that machine's profile.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "platform/program_folder.h"
#include "platform/system_clock.h"
#include "service/command_thread.h"
#include "service/log_file.h"
#include "service/recording_display.h"
#include "service/shared_state.h"
#include "sim/sim_environment.h"

class RunningMachineTest : public ::testing::Test {
protected:
    static constexpr const char* kModel = "Roland MDX-40";

    // `speed`: how much faster machine time runs; `latencyUs`: a reply's delay.
    explicit RunningMachineTest(const char* speed, const char* latencyUs = "0")
        : m_dir(speed, latencyUs) {}

    void SetUp() override {
        platform::SetProgramFolder(TARNWICK_PROGRAM_DIR);
        port.SetPortName(kModel);
        ASSERT_TRUE(port.OpenPort());
        config.WriteMachineProfile(1);
        std::string model;
        config.LoadSettings(port, model);
    }
    void TearDown() override {
        thread.RequestStop();
        EXPECT_TRUE(thread.Join(10000));
        port.ClosePort();
        platform::SetProgramFolder("");
        std::filesystem::remove_all(folder);
    }
    // Waits at most `ms` of real time until the condition holds.
    bool WaitFor(const std::function<bool()>& condition, int ms = 60000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return condition();
    }
    MachinePosition Position() {
        MachinePosition p;
        EXPECT_TRUE(port.ReadMachinePosition(p));
        return p;
    }
    std::uint32_t CommandsDone() {
        std::uint32_t done = 0;
        EXPECT_TRUE(port.ReadCommandsDone(done));
        return done;
    }
    // Everything handed to the machine, and the machine idle.
    bool RunEnded() { return state.jobState.load() == kJobIdle && state.lastStatus.load() == 2; }

    simtest::ScopedSimDir m_dir;
    std::string folder = [] {
        char pattern[] = "/tmp/tarnwick-run-XXXXXX";
        return std::string(mkdtemp(pattern)) + "/";
    }();
    CMachinePort port;
    Configuration config{folder};
    SharedState state;
    RecordingDisplay display;
    LogFile log;
    CCommandThread thread{ServiceContext{port, config, state, display, log, platform::SleepMs}};
};
