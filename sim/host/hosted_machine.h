#pragma once
// A machine as a host serves it: the model on a scaled real-time clock, its
// frame handler, the injected faults, and one lock around all of it, since
// every connection of the host runs on its own thread.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "host/control_wire.h"
#include "machine/frame_handler.h"
#include "machine/machine.h"
#include "machine/scaled_clock.h"

namespace sim {

class HostedMachine {
public:
    HostedMachine(const MachineProfile& profile, double speed);

    // A device-control call. Nothing when the machine is "lost": the caller
    // then drops the connection, as a vanished device would.
    std::optional<ControlResponse> HandleFrame(const ControlRequest& request);
    // The simulator's own commands (status, view, cable, fault, speed, tool).
    ControlResponse HandleText(const std::string& line);

    // The TCP port that takes job data, shown by "status".
    void SetJobPort(int port) { m_jobPort = port; }

    void ReceiveJobData(std::span<const std::uint8_t> bytes);
    std::size_t JobBytesQueued();

    // Direct access for tests and benchmarks in the same process.
    template <typename F>
    auto With(F&& f) {
        std::lock_guard lock(m_mutex);
        return f(m_machine);
    }

private:
    std::string StatusText();
    ControlResponse Fault(const std::string& what, const std::string& argument);

    std::mutex m_mutex;
    std::atomic<int> m_jobPort{0};
    ScaledClock m_clock;
    Machine m_machine;
    FrameHandler m_frames;
    // Injected faults: the machine gone, one opcode that always fails, and
    // completion that never comes.
    bool m_lost = false;
    std::optional<std::uint8_t> m_failingOpcode;
    bool m_stalled = false;
};

}  // namespace sim
