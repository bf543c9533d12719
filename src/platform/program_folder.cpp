#include "platform/program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

std::mutex g_folderMutex;
std::string g_override;       // set by SetProgramFolder; empty: none
std::string g_executableDir;  // folder of /proc/self/exe, found once
bool g_executableDirKnown = false;

std::string WithTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

// The home platform takes drive + directory of the module file name; here the
// folder of the executable the kernel ran.
std::string ExecutableDir() {
    std::string path(4096, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) return "./";
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
}

}  // namespace

std::string ProgramFolder() {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    if (!g_override.empty()) return g_override;
    // Read on every call, so that a test or a wrapper script may set it late.
    if (const char* env = std::getenv("TARNWICK_PROGRAM_FOLDER"); env != nullptr && *env != '\0') {
        return WithTrailingSlash(env);
    }
    if (!g_executableDirKnown) {
        g_executableDir = ExecutableDir();
        g_executableDirKnown = true;
    }
    return g_executableDir;
}

void SetProgramFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_override = WithTrailingSlash(folder);
}

}  // namespace platform
