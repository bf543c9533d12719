#pragma once
// A private program folder for configuration tests, and direct looks at the
// file that bypass the code under test.
#include <gtest/gtest.h>

#include <string>

#include "config/configuration.h"
#include "platform/profile_file.h"
#include "platform/test_util.h"

namespace config_test {

inline constexpr char kMissing[] = "<missing>";

class ConfigFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }

    std::string Folder() const { return dir.path() + "/"; }
    std::string Path() const { return Folder() + "Tarnwick.cfg"; }
    std::string FileText() const { return platform_test::ReadBytes(Path()); }
    void SetFileText(const std::string& text) const { platform_test::WriteBytes(Path(), text); }
    bool FileExists() const { return platform_test::FileExists(Path()); }
    std::string Key(const std::string& section, const std::string& key) const {
        return platform::ReadProfileString(section, key, kMissing, Path());
    }

    platform_test::TempDir dir;
};

}  // namespace config_test
