#pragma once
// Endpoint 0 of an emulated mill: the standard requests (descriptors,
// status, configuration), the printer class's, and the vendor requests that
// carry the machine's command frames to the simulated machine. Stalls and
// held replies are injected here. Not thread-safe: the mill serialises calls.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "host/hosted_machine.h"
#include "mill_options.h"
#include "setup_packet.h"

namespace usbemu {

enum class ControlResult {
    Done,      // answered: the reply (IN) or the data taken (OUT)
    Stall,     // the device stalled it (EPIPE)
    Busy,      // refused by usbfs at submit: the interface belongs to another driver
    Held,      // never answered (a machine that stopped answering)
    NoDevice,  // the mill was unplugged
};

struct ControlAnswer {
    ControlResult result = ControlResult::Stall;
    std::vector<std::uint8_t> reply;  // IN only, at most wLength bytes
};

class ControlEndpoint {
public:
    ControlEndpoint(const MillOptions& options, sim::HostedMachine& machine)
        : m_options(options), m_machine(machine) {}

    // `data` is the OUT data stage (wLength bytes), empty for IN.
    ControlAnswer Answer(const SetupPacket& setup, std::span<const std::uint8_t> data);

    void StallOpcode(std::uint8_t opcode) { m_stalledOpcode = opcode; }
    void StallEveryRequest() { m_stallAll = true; }
    void StopStalling() {
        m_stalledOpcode.reset();
        m_stallAll = false;
    }
    void HoldReplies(bool hold) { m_hold = hold; }

private:
    ControlAnswer Standard(const SetupPacket& setup);
    ControlAnswer PrinterClass(const SetupPacket& setup);
    ControlAnswer Vendor(const SetupPacket& setup, std::span<const std::uint8_t> data);
    std::optional<std::vector<std::uint8_t>> Descriptor(const SetupPacket& setup) const;

    const MillOptions& m_options;
    sim::HostedMachine& m_machine;
    std::optional<std::uint8_t> m_stalledOpcode;
    bool m_stallAll = false;
    bool m_hold = false;
};

}  // namespace usbemu
