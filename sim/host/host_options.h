#pragma once
// How a host runs: where its sockets go, how fast machine time passes, and
// how long a reply takes.
#include <chrono>
#include <string>

namespace sim {

inline constexpr std::chrono::microseconds kDefaultLatency{1000};  // about one USB round trip

struct HostOptions {
    std::string dir;
    double speed = 1;
    std::chrono::microseconds latency = kDefaultLatency;

    // TARNWICK_SIM_DIR, TARNWICK_SIM_SPEED and TARNWICK_SIM_LATENCY_US; a value
    // that does not parse keeps its default.
    static HostOptions FromEnvironment();
};

}  // namespace sim
