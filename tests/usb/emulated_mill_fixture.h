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

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "preload.h"
#include "testbed.h"

extern char** environ;

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

// This process's environment ("NAME=value" entries) with the testbed's
// variables put in: for posix_spawn or execve.
inline std::vector<std::string> ChildEnvironment(const usbemu::Testbed& testbed) {
    const auto own = testbed.ChildEnvironment();
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!own.count(entry.substr(0, entry.find('=')))) entries.push_back(entry);
    }
    for (const auto& [name, value] : own) entries.push_back(name + "=" + value);
    return entries;
}

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

}  // namespace usbtest
