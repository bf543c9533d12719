#pragma once
// Keeps a failing poll from flooding the log: of a run of equal failures only
// the first is told, and then its end, with how many there were.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace usb_driver {

class FailureRun {
public:
    // The lines to log for a failure of this `kind` (failures of one kind are
    // equal), said by `line`: none while the run of that kind goes on.
    std::vector<std::string> Failed(std::string_view kind, std::string_view line);
    // The line that ends a run, when one was going on.
    std::vector<std::string> Succeeded();

private:
    std::string EndOfRun(std::string_view how) const;

    std::string m_kind;
    std::string m_line;
    std::uint64_t m_count = 0;  // failures in the run going on; 0 when none is
};

}  // namespace usb_driver
