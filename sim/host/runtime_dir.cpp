#include "host/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace sim {

std::string RuntimeDir() {
    if (const char* dir = std::getenv("TARNWICK_SIM_DIR"); dir && *dir) return dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return std::string(runtime) + "/tarnwick-sim";
    }
    return "/tmp/tarnwick-sim-" + std::to_string(::getuid());
}

bool PrepareRuntimeDir(const std::string& dir, std::string& error) {
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    struct stat info;
    if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "cannot create the folder " + dir;
        return false;
    }
    // A folder planted by someone else (in /tmp, say) must not be used.
    if (info.st_uid != ::getuid()) {
        error = "the folder " + dir + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 0777) != 0700 && ::chmod(dir.c_str(), 0700) != 0) {
        error = "cannot make the folder " + dir + " private";
        return false;
    }
    return true;
}

std::string ControlSocketPath(const std::string& dir, const std::string& model) {
    return dir + "/" + model + ".ctl";
}

std::string JobSocketPath(const std::string& dir, const std::string& model) {
    return dir + "/" + model + ".job";
}

std::string JobPortPath(const std::string& dir, const std::string& model) {
    return dir + "/" + model + ".jobport";
}

std::string HostLockPath(const std::string& dir, const std::string& model) {
    return dir + "/" + model + ".lock";
}

}  // namespace sim
