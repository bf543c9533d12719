#include "service/log_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

class LogFileTest : public ::testing::Test {
protected:
    LogFileTest() {
        char pattern[] = "/tmp/tarnwick-log-XXXXXX";
        folder = std::string(mkdtemp(pattern)) + "/";
    }
    ~LogFileTest() override { std::filesystem::remove_all(folder); }
    std::string Contents() {
        std::ifstream in(folder + "log.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string folder;
    LogFile log;
};

TEST_F(LogFileTest, WritesOnlyWhileOnAndOpeningEmptiesIt) {
    log.Write("before\n");
    EXPECT_FALSE(log.IsEnabled());
    std::ofstream(folder + "log.txt") << "old session\n";
    ASSERT_TRUE(log.Open(folder));
    EXPECT_TRUE(log.IsEnabled());
    log.Write("Enabling buttons\n");
    log.Close();
    log.Write("after\n");
    EXPECT_EQ(Contents(), "Enabling buttons\n");
    EXPECT_FALSE(log.Open(folder + "missing/"));
    EXPECT_FALSE(log.IsEnabled());
}

TEST_F(LogFileTest, AWriterRacingCloseNeverReachesAClosedStream) {
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!done) log.Write("Spindle=6000\n");
    });
    for (int i = 0; i < 200; ++i) {
        log.Open(folder);
        log.Close();
    }
    done = true;
    writer.join();
    for (char c : Contents()) ASSERT_TRUE(c == '\n' || std::isprint(static_cast<unsigned char>(c)));
}

}  // namespace
