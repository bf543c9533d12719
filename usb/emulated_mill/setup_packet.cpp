#include "setup_packet.h"

namespace usbemu {

namespace {

bool OneByteOpcode(std::uint8_t opcode) {
    return opcode == 0x17 || opcode == 0x1D || opcode == 0x1F;
}

std::uint16_t Get16(std::span<const std::uint8_t, kSetupSize> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace

SetupPacket ParseSetup(std::span<const std::uint8_t, kSetupSize> b) {
    return {b[0], b[1], Get16(b, 2), Get16(b, 4), Get16(b, 6)};
}

std::optional<std::vector<std::uint8_t>> FrameOf(const SetupPacket& s,
                                                 std::span<const std::uint8_t> data) {
    if (OneByteOpcode(s.request)) {
        if (s.value != 0 || !data.empty()) return {};
        return std::vector<std::uint8_t>{s.request};
    }
    std::vector<std::uint8_t> frame{s.request, static_cast<std::uint8_t>(s.value >> 8),
                                    static_cast<std::uint8_t>(s.value & 0xFF)};
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

}  // namespace usbemu
