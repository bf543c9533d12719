#include "host/host_options.h"

#include <cstdlib>

#include "host/runtime_dir.h"

namespace sim {

HostOptions HostOptions::FromEnvironment() {
    HostOptions options;
    options.dir = RuntimeDir();
    if (const char* text = std::getenv("TARNWICK_SIM_SPEED")) {
        char* end = nullptr;
        const double speed = std::strtod(text, &end);
        if (*text && *end == '\0' && speed > 0) options.speed = speed;
    }
    if (const char* text = std::getenv("TARNWICK_SIM_LATENCY_US")) {
        char* end = nullptr;
        const long long latency = std::strtoll(text, &end, 10);
        if (*text && *end == '\0' && latency >= 0) {
            options.latency = std::chrono::microseconds(latency);
        }
    }
    if (const char* text = std::getenv("TARNWICK_SIM_JOB_MEMORY")) {
        char* end = nullptr;
        const long long bytes = std::strtoll(text, &end, 10);
        if (*text && *end == '\0' && bytes > 0) options.jobMemory = static_cast<std::size_t>(bytes);
    }
    return options;
}

}  // namespace sim
