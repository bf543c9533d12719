// The beep and message-box seams, the clocks and thread priority.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/beep.h"
#include "platform/message_box.h"
#include "platform/system_clock.h"
#include "platform/thread_priority.h"

namespace {

class PlatformBeep : public ::testing::Test {
protected:
    void TearDown() override { platform::SetBeepHandler({}); }
};

TEST_F(PlatformBeep, HandlerRecordsEachBeep) {
    std::vector<std::pair<int, int>> beeps;
    platform::SetBeepHandler([&](int f, int d) { beeps.emplace_back(f, d); });
    platform::Beep(1000, 100);
    platform::Beep(2000, 50);
    ASSERT_EQ(beeps.size(), 2u);
    EXPECT_EQ(beeps[0], std::make_pair(1000, 100));
    EXPECT_EQ(beeps[1], std::make_pair(2000, 50));
}

TEST_F(PlatformBeep, EmptyHandlerRestoresTheBell) {
    int count = 0;
    platform::SetBeepHandler([&](int, int) { ++count; });
    platform::SetBeepHandler({});
    ::testing::internal::CaptureStderr();
    platform::Beep(750, 10);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\a");
    EXPECT_EQ(count, 0);
}

TEST_F(PlatformBeep, HandlerMaySwapItselfAndThreadsMayRace) {
    // A handler that replaces the handler must not deadlock.
    platform::SetBeepHandler([](int, int) { platform::SetBeepHandler([](int, int) {}); });
    platform::Beep(1, 1);

    // The command thread beeps while the UI thread swaps handlers.
    std::atomic<int> counted{0};
    std::atomic<bool> stop{false};
    std::thread beeper([&] {
        while (!stop.load()) platform::Beep(440, 1);
    });
    for (int i = 0; i < 200; ++i) {
        platform::SetBeepHandler([&counted](int, int) { ++counted; });
    }
    stop = true;
    beeper.join();
    platform::SetBeepHandler([&counted](int, int) { ++counted; });
    const int before = counted.load();
    platform::Beep(440, 1);
    EXPECT_EQ(counted.load(), before + 1);
}

class PlatformMessageBox : public ::testing::Test {
protected:
    void TearDown() override { platform::SetMessageBoxHandler({}); }
};

TEST_F(PlatformMessageBox, HandlerRecordsTextAndCaption) {
    std::vector<std::pair<std::string, std::string>> boxes;
    platform::SetMessageBoxHandler([&](const std::string& text, const std::string& caption) {
        boxes.emplace_back(text, caption);
    });
    platform::ShowMessageBox("Roland machine not found", "Error");
    platform::ShowMessageBox("Can't find the RDUPSLT.DLL file.");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0],
              std::make_pair(std::string("Roland machine not found"), std::string("Error")));
    EXPECT_EQ(boxes[1],
              std::make_pair(std::string("Can't find the RDUPSLT.DLL file."), std::string()));
}

TEST_F(PlatformMessageBox, DefaultPrintsCaptionAndText) {
    ::testing::internal::CaptureStderr();
    platform::ShowMessageBox("Machine is no longer available.", "Closing");
    platform::ShowMessageBox("Wrong Mutex for Roland machine.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Closing: Machine is no longer available.\n"
              "Tarnwick: Wrong Mutex for Roland machine.\n");
}

TEST_F(PlatformMessageBox, HandlerSwappedWhileAnotherThreadShows) {
    // Every handler installed counts, so each box is counted exactly once
    // whichever handler it meets.
    std::atomic<int> shown{0};
    platform::SetMessageBoxHandler([&](const std::string&, const std::string&) { ++shown; });
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) platform::ShowMessageBox("Pause", "Pause");
    });
    for (int i = 0; i < 300; ++i) {
        platform::SetMessageBoxHandler([&](const std::string&, const std::string&) { ++shown; });
    }
    worker.join();
    EXPECT_EQ(shown.load(), 300);
}

TEST(PlatformClock, SteadyMsAdvancesWithSleep) {
    const std::int64_t start = platform::SteadyMs();
    platform::SleepMs(30);
    const std::int64_t elapsed = platform::SteadyMs() - start;
    EXPECT_GE(elapsed, 30);
    EXPECT_LT(elapsed, 5000);
    platform::SleepMs(0);  // yields, returns
    platform::SleepMs(-5);
}

TEST(PlatformClock, CalendarTimeIsNow) {
    const std::time_t before = std::time(nullptr);
    const std::time_t t = platform::CalendarTime();
    EXPECT_GE(t, before);
    EXPECT_LE(t, std::time(nullptr));
}

TEST(PlatformThreadPriority, RaisesOnlyTheCallingThreadWithinTheNormalClass) {
    const int mainBefore = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    std::thread([] {
        const auto self = static_cast<id_t>(::syscall(SYS_gettid));
        const int before = ::getpriority(PRIO_PROCESS, self);
        const bool raised = platform::RaiseThreadPriority(2);
        EXPECT_EQ(::getpriority(PRIO_PROCESS, self), raised ? before - 2 : before);
        EXPECT_EQ(::sched_getscheduler(0), SCHED_OTHER);
        if (::geteuid() == 0) {
            EXPECT_TRUE(raised);  // root holds the privilege
        }
    }).join();
    EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid())), mainBefore);
}

}  // namespace
