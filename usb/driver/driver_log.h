#pragma once
// The library's log: lines on stderr, each "RDUPSLT: ...". Failures of the
// frames and of the job data are told once per run of equal ones (a failing
// poll repeats hundreds of times a second).
#include <array>
#include <initializer_list>
#include <mutex>
#include <string_view>

#include "driver/failure_run.h"

namespace usb_driver {

enum class Channel { Frames, JobData };

class DriverLog {
public:
    // One line of these parts. Allocates nothing and never throws, so that a
    // destructor or the entry points' last resort may log.
    static void Line(std::initializer_list<std::string_view> parts) noexcept;
    static void Line(std::string_view text) noexcept { Line({text}); }

    void Failure(Channel channel, std::string_view kind, std::string_view line);
    void Success(Channel channel);

private:
    // Each channel on its own lock: a failing Write never holds up a frame.
    struct Runs {
        std::mutex mutex;
        FailureRun run;
    };
    Runs& RunsOf(Channel channel) { return m_runs[static_cast<std::size_t>(channel)]; }

    std::array<Runs, 2> m_runs;
};

}  // namespace usb_driver
