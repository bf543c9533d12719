#include "platform/library_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/program_folder.h"
#include "test_util.h"

namespace {

using platform::FindEntryPoint;
using platform::LoadLibraryByName;
using platform::SetProgramFolder;

// The folder the test CMake builds "PLATFORMTEST.DLL" into.
const std::string kLibraryDir = PLATFORM_TEST_LIBRARY_DIR;

class PlatformLibraryLoader : public ::testing::Test {
protected:
    void TearDown() override { SetProgramFolder(""); }
};

TEST_F(PlatformLibraryLoader, LoadsFromTheProgramFolder) {
    SetProgramFolder(kLibraryDir);
    const platform::LibraryHandle library = LoadLibraryByName("PLATFORMTEST.DLL");
    ASSERT_NE(library, nullptr);
    auto answer = reinterpret_cast<int (*)()>(FindEntryPoint(library, "PlatformTestAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    auto add = reinterpret_cast<int (*)(int, int)>(FindEntryPoint(library, "PlatformTestAdd"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(40, 2), 42);
    // Loading again gives the same library.
    EXPECT_EQ(LoadLibraryByName("PLATFORMTEST.DLL"), library);
}

TEST_F(PlatformLibraryLoader, MissingEntryPointIsNull) {
    SetProgramFolder(kLibraryDir);
    const platform::LibraryHandle library = LoadLibraryByName("PLATFORMTEST.DLL");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(FindEntryPoint(library, "NoSuchEntryPoint"), nullptr);
    EXPECT_EQ(FindEntryPoint(library, nullptr), nullptr);
}

TEST_F(PlatformLibraryLoader, NullLibraryHasNoEntryPoints) {
    EXPECT_EQ(FindEntryPoint(nullptr, "PlatformTestAnswer"), nullptr);
}

TEST_F(PlatformLibraryLoader, NotInProgramFolderNorSystemIsNull) {
    SetProgramFolder(kLibraryDir);
    EXPECT_EQ(LoadLibraryByName("NOSUCHLIBRARY.DLL"), nullptr);
    EXPECT_EQ(LoadLibraryByName(""), nullptr);
    // The file name must match exactly: the file system is case sensitive.
    EXPECT_EQ(LoadLibraryByName("platformtest.dll"), nullptr);
}

TEST_F(PlatformLibraryLoader, FoundOnlyInTheProgramFolder) {
    // A copy under a name loaded nowhere else in this process (a library once
    // loaded is found again by its name alone, as on the home platform).
    platform_test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string name = platform_test::UniqueName("LOADERCOPY") + ".DLL";
    std::filesystem::copy_file(kLibraryDir + "/PLATFORMTEST.DLL", dir.File(name));

    SetProgramFolder("/nonexistent-tarnwick-folder");
    EXPECT_EQ(LoadLibraryByName(name), nullptr);
    SetProgramFolder(dir.path());
    const platform::LibraryHandle library = LoadLibraryByName(name);
    ASSERT_NE(library, nullptr);
    auto answer = reinterpret_cast<int (*)()>(FindEntryPoint(library, "PlatformTestAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
}

TEST_F(PlatformLibraryLoader, LoadedLibraryIsFoundAgainByName) {
    SetProgramFolder(kLibraryDir);
    const platform::LibraryHandle library = LoadLibraryByName("PLATFORMTEST.DLL");
    ASSERT_NE(library, nullptr);
    SetProgramFolder("/nonexistent-tarnwick-folder");
    EXPECT_EQ(LoadLibraryByName("PLATFORMTEST.DLL"), library);
}

TEST_F(PlatformLibraryLoader, FallsBackToTheSystemSearch) {
    SetProgramFolder(kLibraryDir);
    const platform::LibraryHandle library = LoadLibraryByName("libm.so.6");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(FindEntryPoint(library, "cos"), nullptr);
}

}  // namespace
