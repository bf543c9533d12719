#pragma once
// Shared helpers for the simulated-machine tests.
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "machine/machine.h"
#include "machine/profile.h"
#include "machine/virtual_clock.h"

namespace simtest {

using namespace std::chrono_literals;

inline const sim::MachineProfile& Mdx40() { return *sim::FindProfile("Roland MDX-40"); }
inline const sim::MachineProfile& Jwx10() { return *sim::FindProfile("Roland JWX-10"); }

inline std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Advances the clock in steps until the machine reports `status`, at most `limit`.
inline bool AdvanceUntilStatus(sim::VirtualClock& clock, sim::Machine& machine,
                               std::uint32_t status, sim::Nanos step = 10ms,
                               sim::Nanos limit = std::chrono::hours(24)) {
    for (sim::Nanos spent{0}; spent <= limit; spent += step) {
        if (machine.StatusWord() == status) return true;
        clock.Advance(step);
    }
    return false;
}

// A whole job as the program streams it: each ';'-terminated command followed
// by one zero byte; anything after the last ';' is not sent.
inline std::string AsStreamed(std::string_view file) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] != ';') continue;
        out.append(file.substr(start, i + 1 - start));
        out.push_back('\0');
        start = i + 1;
    }
    return out;
}

std::string ReadFile(const std::string& path);

}  // namespace simtest
