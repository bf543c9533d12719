#pragma once
// How a host runs: where its sockets go, how fast machine time passes, and
// how long a reply takes.
#include <chrono>
#include <cstddef>
#include <string>

namespace sim {

inline constexpr std::chrono::microseconds kDefaultLatency{1000};  // about one USB round trip
// Job data the machine holds unexecuted before the host stops reading more.
inline constexpr std::size_t kDefaultJobMemory = 64u << 20;

struct HostOptions {
    std::string dir;
    double speed = 1;
    std::chrono::microseconds latency = kDefaultLatency;
    std::size_t jobMemory = kDefaultJobMemory;

    // TARNWICK_SIM_DIR, TARNWICK_SIM_SPEED, TARNWICK_SIM_LATENCY_US and
    // TARNWICK_SIM_JOB_MEMORY; a value that does not parse keeps its default.
    static HostOptions FromEnvironment();
};

}  // namespace sim
