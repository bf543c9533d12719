// Mesa's driver holds two small blocks from its own globals (any shown GL
// widget makes it do so) but is unloaded when Qt closes the display, before
// LeakSanitizer looks; the blocks then count as leaks. Keeping every loaded
// driver in memory to the end leaves them reachable, so nothing is silenced.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <string>
#include <vector>

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
        // Outside the iteration, which holds the loader's lock.
        for (const std::string& driver : drivers)
            dlopen(driver.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    }
};

[[maybe_unused]] const auto* const kKeepDrivers =
    ::testing::AddGlobalTestEnvironment(new KeepGlDriversLoaded);

}  // namespace
