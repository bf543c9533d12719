#include "host/hosted_machine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "machine/opcodes.h"

namespace sim {

namespace {

ControlResponse Text(bool ok, const std::string& text) {
    return {ok, std::vector<std::uint8_t>(text.begin(), text.end())};
}

std::optional<bool> OnOff(const std::string& word) {
    if (word == "on") return true;
    if (word == "off") return false;
    return std::nullopt;
}

std::optional<long> Number(const std::string& word, long low, long high) {
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || value < low || value > high) return std::nullopt;
    return value;
}

std::string Axes(const Counts& c) {
    char text[96];
    std::snprintf(text, sizeof text, "X %d Y %d Z %d A %d", c.x, c.y, c.z, c.a);
    return text;
}

}  // namespace

HostedMachine::HostedMachine(const MachineProfile& profile, double speed)
    : m_clock(speed), m_machine(profile, m_clock), m_frames(m_machine) {}

std::optional<ControlResponse> HostedMachine::HandleFrame(const ControlRequest& request) {
    std::lock_guard lock(m_mutex);
    if (m_lost) return std::nullopt;
    ControlResponse response;
    if (!request.payload.empty() && request.payload[0] == m_failingOpcode) return response;
    response.ok = m_frames.Handle(request.code, request.payload,
                                  std::min(request.replyCapacity, kMaxPayload), response.payload);
    if (response.ok && m_stalled && request.payload[0] == op::kWaitDone) response.payload[0] = 1;
    return response;
}

ControlResponse HostedMachine::HandleText(const std::string& line) {
    std::istringstream words(line);
    std::string command, first, second;
    words >> command >> first >> second;
    std::lock_guard lock(m_mutex);
    if (command == "attach") {
        if (m_lost) return Text(false, "the machine is not answering");
        return Text(true, m_machine.Profile().name);
    }
    if (command == "status") return Text(true, StatusText());
    if (command == "moves") {
        std::ostringstream out;
        for (const Counts& c : m_machine.JobMoves()) out << Axes(c) << "\n";
        return Text(true, out.str());
    }
    if (command == "view" || command == "cable") {
        const auto on = OnOff(first);
        if (!on) return Text(false, "expected on or off");
        if (command == "view") m_machine.SetViewMode(*on);
        if (command == "cable") m_machine.SetCableConnected(*on);
        return Text(true, command + " " + first);
    }
    if (command == "fault") return Fault(first, second);
    if (command == "speed") {
        char* end = nullptr;
        const double factor = std::strtod(first.c_str(), &end);
        if (first.empty() || *end != '\0' || !(factor > 0))
            return Text(false, "expected a factor > 0");
        m_clock.SetFactor(factor);
        return Text(true, "speed " + first);
    }
    if (command == "tool") {
        const auto length = Number(first, 0, 20000);
        if (!length) return Text(false, "expected a tool length of 0..20000 counts");
        m_machine.SetToolLength(static_cast<std::int32_t>(*length));
        return Text(true, "tool length " + first);
    }
    return Text(false, "unknown command: " + command);
}

ControlResponse HostedMachine::Fault(const std::string& what, const std::string& argument) {
    if (what == "lose") {
        m_lost = true;
    } else if (what == "stall") {
        m_stalled = true;
    } else if (what == "clear") {
        m_lost = m_stalled = false;
        m_failingOpcode.reset();
    } else if (what == "fail-opcode") {
        const auto opcode = Number(argument, 0, 255);
        if (!opcode) return Text(false, "expected an opcode of 0..255");
        m_failingOpcode = static_cast<std::uint8_t>(*opcode);
    } else {
        return Text(false, "expected lose, fail-opcode N, stall or clear");
    }
    return Text(true, "fault " + what + (argument.empty() ? "" : " " + argument));
}

std::string HostedMachine::StatusText() {
    Machine& m = m_machine;
    std::ostringstream out;
    const std::uint32_t word = m.StatusWord();
    out << "model:            " << m.Profile().name << "\n"
        << "position:         " << Axes(m.MachinePosition()) << "\n"
        << "user position:    " << Axes(m.UserPosition()) << "\n"
        << "status word:      " << word << (word & kStatusView ? " (View mode)" : "") << "\n"
        << "spindle:          " << m.SpindleRpm() << " rpm\n"
        << "feed override:    " << m.FeedOverride() << " %\n"
        << "spindle override: " << m.SpindleOverride() << " %\n"
        << "commands done:    " << m.CommandsDone() << "\n"
        << "job bytes queued: " << m.JobBytesQueued() << "\n"
        << "sensor cable:     " << (m.CableConnected() ? "connected" : "unplugged") << "\n"
        << "tool length:      " << m.ToolLength() << "\n"
        << "speed factor:     " << m_clock.Factor() << "\n"
        << "job port:         " << m_jobPort.load() << "\n"
        << "faults:          " << (m_lost ? " lost" : "") << (m_stalled ? " stall" : "")
        << (m_failingOpcode ? " fail-opcode " + std::to_string(*m_failingOpcode) : "")
        << (!m_lost && !m_stalled && !m_failingOpcode ? " none" : "") << "\n";
    return out.str();
}

void HostedMachine::ReceiveJobData(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    m_machine.ReceiveJobData(bytes);
}

std::size_t HostedMachine::JobBytesQueued() {
    std::lock_guard lock(m_mutex);
    return m_machine.JobBytesQueued();
}

}  // namespace sim
