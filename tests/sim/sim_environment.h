#pragma once
// A private socket folder for one test, with the machine running fast, so that
// tests never meet each other's machines and never wait on real time.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace simtest {

class ScopedSimDir {
public:
    explicit ScopedSimDir(const char* speed = "1000", const char* latencyUs = "0") {
        char pattern[] = "/tmp/tsim-XXXXXX";  // short: socket paths have a length limit
        m_dir = ::mkdtemp(pattern);
        ::setenv("TARNWICK_SIM_DIR", m_dir.c_str(), 1);
        ::setenv("TARNWICK_SIM_SPEED", speed, 1);
        ::setenv("TARNWICK_SIM_LATENCY_US", latencyUs, 1);
    }
    ~ScopedSimDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    const std::string& Path() const { return m_dir; }

private:
    std::string m_dir;
};

}  // namespace simtest
