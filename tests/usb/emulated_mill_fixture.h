#pragma once
// What tests against emulated mills share: a testbed made before anything
// starts libusb, mills plugged into it, and the environment a child process
// needs to see them. The test program must be built with tarnwick_add_test's
// UMOCKDEV option (it then runs under libumockdev-preload).
//
// A fixture derived from EmulatedMillTest makes its libusb contexts (or loads
// its driver library) in SetUp, after EmulatedMillTest::SetUp, and holds them
// as members: they then end before the testbed does.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "preload.h"
#include "testbed.h"

namespace usbtest {

class EmulatedMillTest : public ::testing::Test {
protected:
    void SetUp() override {
        const usbemu::PreloadStatus preload = usbemu::CheckPreload();
        ASSERT_TRUE(preload.active) << "not under libumockdev-preload: " << preload.reason;
        testbed.emplace();
    }

    usbemu::EmulatedMill& AddMill(const usbemu::MillOptions& options = {}) {
        return testbed->AddMill(options);
    }

    std::optional<usbemu::Testbed> testbed;
};

// A testbed with one mill plugged in; a derived fixture overrides Options().
class MillTest : public EmulatedMillTest {
protected:
    virtual usbemu::MillOptions Options() const { return {}; }
    void SetUp() override {
        EmulatedMillTest::SetUp();
        if (!HasFatalFailure()) m_mill = &AddMill(Options());
    }
    usbemu::EmulatedMill& Mill() { return *m_mill; }

private:
    usbemu::EmulatedMill* m_mill = nullptr;
};

// Polls `done` until it holds or `limit` has passed; says whether it held.
template <typename F>
bool WaitUntil(F&& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Starts `args` (the program first) with the testbed's environment; -1 when it cannot start.
inline pid_t Spawn(const usbemu::Testbed& testbed, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = testbed.ChildEnvironmentEntries();
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t child = -1;
    return posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0 ? child
                                                                                         : -1;
}

// Its exit status, or -1 when it had not ended within 30 s (it is killed then).
inline int ExitStatus(pid_t child) {
    int status = 0;
    if (child <= 0) return -1;
    if (!WaitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; },
                   std::chrono::seconds(30))) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace usbtest
