#pragma once
// A command thread on the recording driver, with a recording display, a
// configuration in a temporary folder and no pauses, stepped one iteration
// at a time.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "service/command_thread.h"
#include "service/log_file.h"
#include "service/recording_display.h"
#include "service/shared_state.h"
#include "support/recording_driver_client.h"

class ServiceTest : public ::testing::Test {
protected:
    ServiceTest();
    ~ServiceTest() override;

    RecordingDriver& Driver() { return *m_driver; }
    // Scripts the machine: status word, machine position, spindle speed.
    void SetStatus(std::uint32_t word, std::int32_t spindle = 0);
    void SetPosition(const MachinePosition& position);
    void SetCommandsDone(std::uint32_t done);
    // Runs `n` iterations of the service loop.
    void Iterate(int n = 1);
    // Iterates until `done` holds (a file streams on a thread of its own);
    // false when it still does not after `ms` milliseconds.
    bool IterateUntil(const std::function<bool()>& done, int ms = 10000);
    // The MoveTo targets sent since the last ClearFrames, in order.
    std::vector<MachinePosition> Moves();
    std::vector<int> MoveSpeeds();
    std::vector<std::vector<std::uint8_t>> FramesWithOpcode(std::uint8_t opcode);
    void ClearFrames() { m_driver->calls.clear(); }
    std::string ReadLog();

    std::string m_folder;
    RecordingDriver* m_driver = nullptr;
    CMachinePort port;
    std::unique_ptr<Configuration> config;
    SharedState state;
    RecordingDisplay display;
    LogFile log;
    std::unique_ptr<CCommandThread> thread;
    int sleptMs = 0;
    std::function<void()> onSleep;  // called at each of the thread's pauses
};
