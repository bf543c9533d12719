#include "preload.h"

#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace usbemu {

namespace {

// Set on the second start, so that a preload the loader cannot find does not loop.
constexpr char kRestartedMarker[] = "TARNWICK_UMOCKDEV_RESTARTED";

// The path of the first loaded object whose file name starts with `stem`.
std::string LoadedObject(std::string_view stem) {
    struct Search {
        std::string_view stem;
        std::string path;
    } search{stem, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto& s = *static_cast<Search*>(data);
            const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
            const auto slash = name.rfind('/');
            const std::string_view file = name.substr(slash == name.npos ? 0 : slash + 1);
            if (file.substr(0, s.stem.size()) != s.stem) return 0;
            s.path = name;
            return 1;
        },
        &search);
    return search.path;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

PreloadStatus CheckPreload() {
    if (!LoadedObject("libumockdev-preload.so").empty()) return {true, {}};
    if (Environment("LD_PRELOAD").find("libumockdev-preload") == std::string::npos)
        return {false, "LD_PRELOAD does not name " + std::string(kPreloadLibrary) +
                           " (start the program through umockdev-wrapper)"};
    return {false, "LD_PRELOAD names " + std::string(kPreloadLibrary) +
                       " but the loader did not load it: is the umockdev package installed?"};
}

void ReexecUnderPreload(char** argv) {
    if (CheckPreload().active || std::getenv(kRestartedMarker)) return;
    // ASan insists on coming first among the loaded libraries; TSan is put
    // there too, so that both see the preload's calls as the program's.
    std::string preload = LoadedObject("libasan.so");
    if (preload.empty()) preload = LoadedObject("libtsan.so");
    preload += (preload.empty() ? "" : ":") + std::string(kPreloadLibrary);
    const std::string before = Environment("LD_PRELOAD");
    if (!before.empty()) preload += ":" + before;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::setenv(kRestartedMarker, "1", 1);
    ::execv("/proc/self/exe", argv);
    // Not started again: carry on as before, and let CheckPreload say why.
    if (before.empty()) {
        ::unsetenv("LD_PRELOAD");
    } else {
        ::setenv("LD_PRELOAD", before.c_str(), 1);
    }
}

std::string ChildPreload() {
    const std::string own = Environment("LD_PRELOAD");
    return CheckPreload().active && !own.empty() ? own : kPreloadLibrary;
}

}  // namespace usbemu
