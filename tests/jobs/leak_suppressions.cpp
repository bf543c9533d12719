// LeakSanitizer and the window tests that draw with OpenGL.
//
// Under an X server Qt brings up D-Bus, whose library keeps one buffer until
// the process ends. Mesa's driver holds two small blocks from its own globals
// (any shown GL widget makes it do so) but is unloaded before the leak check,
// which then takes them for leaks; so the tests keep every loaded driver in
// memory to the end, and the blocks stay reachable.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <string>
#include <vector>

extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

class KeepGlDriversLoaded : public ::testing::Environment {
public:
    void TearDown() override {
        std::vector<std::string> drivers;
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void* found) {
                const std::string name = info->dlpi_name;
                if (name.ends_with("_dri.so"))
                    static_cast<std::vector<std::string>*>(found)->push_back(name);
                return 0;
            },
            &drivers);
        for (const std::string& driver : drivers)
            dlopen(driver.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    }
};

[[maybe_unused]] const auto* const kKeepDrivers =
    ::testing::AddGlobalTestEnvironment(new KeepGlDriversLoaded);

}  // namespace
