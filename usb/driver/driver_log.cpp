#include "driver/driver_log.h"

#include <cstdio>
#include <string>

namespace usb_driver {

void DriverLog::Line(std::initializer_list<std::string_view> parts) noexcept {
    // The stream is held for the whole line, so that lines of several threads never mix.
    flockfile(stderr);
    std::fputs("RDUPSLT: ", stderr);
    for (const std::string_view part : parts) std::fwrite(part.data(), 1, part.size(), stderr);
    std::fputc('\n', stderr);
    funlockfile(stderr);
}

void DriverLog::Failure(Channel channel, std::string_view kind, std::string_view line) {
    Runs& runs = RunsOf(channel);
    std::lock_guard lock(runs.mutex);
    for (const std::string& text : runs.run.Failed(kind, line)) Line(text);
}

void DriverLog::Success(Channel channel) {
    Runs& runs = RunsOf(channel);
    std::lock_guard lock(runs.mutex);
    for (const std::string& text : runs.run.Succeeded()) Line(text);
}

}  // namespace usb_driver
