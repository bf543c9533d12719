#include "driver/failure_run.h"

namespace usb_driver {

std::string FailureRun::EndOfRun(std::string_view how) const {
    return std::string(how) + " after " + std::to_string(m_count) +
           (m_count == 1 ? " failure: " : " failures in a row: ") + m_line;
}

std::vector<std::string> FailureRun::Failed(std::string_view kind, std::string_view line) {
    if (m_count > 0 && kind == m_kind) {
        ++m_count;
        return {};
    }
    std::vector<std::string> lines;
    if (m_count > 1) lines.push_back(EndOfRun("another failure"));
    lines.emplace_back(line);
    m_kind = kind;
    m_line = line;
    m_count = 1;
    return lines;
}

std::vector<std::string> FailureRun::Succeeded() {
    if (m_count == 0) return {};
    std::vector<std::string> lines{EndOfRun("working again")};
    m_count = 0;
    return lines;
}

}  // namespace usb_driver
