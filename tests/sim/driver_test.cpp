// The driver library RDUPSLT.DLL as the program loads and calls it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "driver_library.h"
#include "sim_environment.h"

namespace {

using namespace simtest;

constexpr const char* kModel = "Roland MDX-40";

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(driver.handle, nullptr) << ::dlerror();
        ASSERT_EQ(driver.Open(kModel), 1);
    }
    void TearDown() override { driver.close(); }

    long ReadReply(const Frame& frame, std::uint32_t length) { return calls.Read(frame, length); }
    void Write(const Frame& frame) { EXPECT_EQ(calls.Write(frame), 1); }
    void WaitDone() { ASSERT_TRUE(calls.WaitDone()); }

    ScopedSimDir dir;
    DriverLibrary driver;
    DriverCalls calls{driver};
    std::array<std::uint8_t, 256>& reply = calls.reply;
};

TEST(Driver, ExportsTheNineEntryPointsAndOpensOnlyKnownMachines) {
    ScopedSimDir dir;
    DriverLibrary driver;
    ASSERT_NE(driver.handle, nullptr) << ::dlerror();
    for (const char* name : {"Open", "Read", "Write", "DevIoCtl", "ReadSlot", "WriteSlot",
                             "StatusSlot", "VersionSlot", "Close"}) {
        EXPECT_NE(::dlsym(driver.handle, name), nullptr) << name;
    }
    EXPECT_EQ(::dlsym(driver.handle, "_ZN3sim6Device4OpenEPKc"), nullptr) << "internals hidden";
    EXPECT_EQ(driver.open(nullptr, 0, 0, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(driver.Open(""), 0);
    EXPECT_EQ(driver.Open("Roland MDX-41"), 0);
    std::uint8_t reply[31];
    std::uint32_t returned = 7;
    EXPECT_EQ(driver.Call(kRead, {0x1F}, reply, 31, &returned), 0) << "not open";
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(driver.Open("Roland JWX-10"), 1);
    EXPECT_EQ(driver.Call(kRead, {0x1F}, reply, 31, &returned), 1);
    EXPECT_EQ(driver.close(), 1);
    EXPECT_EQ(driver.close(), 0) << "nothing left to close";
}

TEST_F(DriverTest, EveryFrameIsAnsweredWithItsStatedReplyLength) {
    EXPECT_EQ(ReadReply({0x02, 0, 0}, 6), 6);
    Write({0x03, 0, 0, 0x00, 0xFF, 0xFF, 0x54});
    EXPECT_EQ(ReadReply({0x05, 0, 1}, 3), 3);
    EXPECT_EQ(reply[0], 3) << "cable connected, not touched";
    EXPECT_EQ(ReadReply({0x16, 0, 4}, 38), 38);
    EXPECT_EQ(reply[38], 0xEE) << "nothing written past the reply length";
    EXPECT_EQ(ReadReply({0x16, 0, 5}, 22), 22);
    EXPECT_EQ(ReadReply({0x16, 0, 5}, 0), 0);
    EXPECT_EQ(ReadReply({0x17}, 19), 19);
    EXPECT_EQ(ReadReply({0x1D}, 19), 19);
    EXPECT_EQ(ReadReply({0x1F}, 31), 31);
    EXPECT_EQ(reply[31], 0xEE);
    EXPECT_EQ(ReadReply({0x29, 0, 0}, 4), 4);
    Write({0x15, 0, 5, 1, 2, 3});
    Write({0x20, 0, 3, 0, 0, 0x27, 0x10});
    Write({0x23, 0, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Write({0x26, 0, 0, 0, 100});
    Write({0x28, 0, 0, 0, 100});
    Write(
        {0x99, 0, 0, 0, 0, 0x03, 0xE8, 0, 0, 0x07, 0xD0, 0, 0, 0x23, 0x28, 0, 0, 0, 0, 0x0B, 0xB8});
    WaitDone();
    EXPECT_EQ(ReadReply({0x17}, 19), 19);
    EXPECT_EQ(Frame(reply.data(), 12),
              (Frame{0, 0, 0x03, 0xE8, 0, 0, 0x07, 0xD0, 0, 0, 0x23, 0x28}));
    Write({0x96, 0, 0, 0, 0, 0x03, 0xE8, 0, 0, 0x07, 0xD0, 0, 0, 0x0F, 0xA0, 0, 50});
    WaitDone();
    Write({0x12, 0, 1, 64});
    Write({0x12, 0, 0, 64});
}

TEST_F(DriverTest, BadCallsFailAndTheDeviceKeepsWorking) {
    std::uint32_t returned = 5;
    EXPECT_EQ(driver.devIoCtl(kRead, nullptr, 1, reply.data(), 31, &returned, nullptr), 0);
    EXPECT_EQ(returned, 0u);
    std::uint8_t status = 0x1F;
    EXPECT_EQ(driver.devIoCtl(kRead, &status, 0, reply.data(), 31, &returned, nullptr), 0);
    EXPECT_EQ(driver.devIoCtl(kRead, &status, 1, nullptr, 31, &returned, nullptr), 0);
    reply.fill(0xEE);
    EXPECT_EQ(driver.devIoCtl(kRead, &status, 1, reply.data(), 30, &returned, nullptr), 0)
        << "reply buffer shorter than the reply";
    EXPECT_EQ(reply[0], 0xEE);
    EXPECT_EQ(driver.Call(kRead, {0x63}, reply.data(), 31, &returned), 0) << "unknown opcode";
    EXPECT_EQ(driver.Call(0x1234, {0x1F}, reply.data(), 31, &returned), 0) << "unknown code";
    EXPECT_EQ(ReadReply({0x1F}, 31), 31);
}

TEST_F(DriverTest, TwoThreadsCallAtOnce) {
    std::atomic<int> failures{0};
    std::thread poller([&] {
        std::array<std::uint8_t, 256> buffer{};
        std::uint32_t returned = 0;
        for (int i = 0; i < 300; ++i) {
            if (driver.Call(kRead, {0x1F}, buffer.data(), 31, &returned) != 1 || returned != 31) {
                ++failures;
            }
        }
    });
    for (std::uint8_t x : {10, 20, 30, 40}) {
        Write({0x99, 0, 0, 0, 0, 0x10, x, 0, 0, 0x10, x, 0, 0, 0x20, 0, 0, 0, 0, 0, 0x0B, 0xB8});
        WaitDone();
        EXPECT_EQ(ReadReply({0x17}, 19), 19);
        EXPECT_EQ(reply[3], x);
    }
    poller.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(DriverTest, CloseEndsTheSessionButNotTheMachine) {
    Write({0x23, 0, 0x0F, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(driver.close(), 1);
    std::uint32_t returned = 0;
    EXPECT_EQ(driver.Call(kRead, {0x1D}, reply.data(), 19, &returned), 0);
    ASSERT_EQ(driver.Open(kModel), 1);
    EXPECT_EQ(ReadReply({0x1D}, 19), 19);
    EXPECT_EQ(reply[3], static_cast<std::uint8_t>(-5)) << "the origin is still set";
}

}  // namespace
