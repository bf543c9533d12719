#include "platform/program_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::ProgramFolder;
using platform::SetProgramFolder;

class PlatformProgramFolder : public ::testing::Test {
protected:
    void SetUp() override {
        SetProgramFolder("");
        ::unsetenv("TARNWICK_PROGRAM_FOLDER");
    }
    void TearDown() override {
        SetProgramFolder("");
        ::unsetenv("TARNWICK_PROGRAM_FOLDER");
    }
};

std::string ExecutableFolder() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    const std::string path(buf, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

TEST_F(PlatformProgramFolder, DefaultIsTheExecutablesFolder) {
    const std::string folder = ProgramFolder();
    EXPECT_EQ(folder, ExecutableFolder());
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    // The test program lives in the tests' bin folder.
    EXPECT_EQ(folder, std::string(TARNWICK_TEST_BIN) + "/");
}

TEST_F(PlatformProgramFolder, OverrideGetsTrailingSlash) {
    SetProgramFolder("/opt/tarnwick");
    EXPECT_EQ(ProgramFolder(), "/opt/tarnwick/");
    SetProgramFolder("/opt/other/");
    EXPECT_EQ(ProgramFolder(), "/opt/other/");
    EXPECT_EQ(ProgramFolder() + "Tarnwick.cfg", "/opt/other/Tarnwick.cfg");
}

TEST_F(PlatformProgramFolder, EmptyOverrideRestoresDefault) {
    SetProgramFolder("/opt/tarnwick");
    SetProgramFolder("");
    EXPECT_EQ(ProgramFolder(), ExecutableFolder());
}

TEST_F(PlatformProgramFolder, EnvironmentOverridesDefault) {
    ::setenv("TARNWICK_PROGRAM_FOLDER", "/srv/portable", 1);
    EXPECT_EQ(ProgramFolder(), "/srv/portable/");
    ::setenv("TARNWICK_PROGRAM_FOLDER", "", 1);
    EXPECT_EQ(ProgramFolder(), ExecutableFolder()) << "an empty variable is no override";
}

TEST_F(PlatformProgramFolder, SetProgramFolderWinsOverEnvironment) {
    ::setenv("TARNWICK_PROGRAM_FOLDER", "/srv/portable/", 1);
    SetProgramFolder("/opt/tarnwick");
    EXPECT_EQ(ProgramFolder(), "/opt/tarnwick/");
    SetProgramFolder("");
    EXPECT_EQ(ProgramFolder(), "/srv/portable/");
}

TEST_F(PlatformProgramFolder, SafeFromSeveralThreads) {
    std::vector<std::thread> threads;
    bool wellFormed[4] = {true, true, true, true};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wellFormed] {
            for (int i = 0; i < 500; ++i) {
                if (t % 2 == 0) {
                    SetProgramFolder(i % 2 ? "/a" : "");
                } else {
                    const std::string f = ProgramFolder();
                    if (f.empty() || f.back() != '/') wellFormed[t] = false;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    for (bool ok : wellFormed) EXPECT_TRUE(ok);
}

}  // namespace
