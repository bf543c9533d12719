#pragma once
// Decodes one command frame, carries it out on the machine and builds the
// reply. A frame with an unknown opcode, the wrong control code, a wrong
// length or a field out of range fails without touching the machine.
#include <cstdint>
#include <span>
#include <vector>

#include "machine/machine.h"

namespace sim {

class FrameHandler {
public:
    explicit FrameHandler(Machine& machine) : m_machine(machine) {}

    // `replyCapacity` is the caller's reply buffer size; a reply never exceeds it.
    // Returns false when the call fails; `reply` then holds nothing.
    bool Handle(std::uint32_t code, std::span<const std::uint8_t> request,
                std::uint32_t replyCapacity, std::vector<std::uint8_t>& reply);

private:
    bool Write(std::span<const std::uint8_t> frame);
    bool Read(std::span<const std::uint8_t> frame, std::uint32_t replyCapacity,
              std::vector<std::uint8_t>& reply);
    void PutPosition(const Counts& position, std::vector<std::uint8_t>& reply) const;

    Machine& m_machine;
    // Set by the address frame, used by the memory read that follows it.
    bool m_addressSet = false;
};

}  // namespace sim
