#pragma once
// How a command frame travels to the machine: one vendor control transfer on
// the printer interface. Byte 0 of the frame is the request, bytes 1-2 its
// value (high byte first), the rest the data of a frame that wants no reply.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace usb_driver {

inline constexpr std::uint32_t kFrameNoReply = 0x220038;
inline constexpr std::uint32_t kFrameWithReply = 0x22003C;
// The program's longest frame is 256 bytes; a page is what usbfs carries in
// one control transfer on every kernel.
inline constexpr std::uint32_t kMaxControlData = 4096;

struct ControlSetup {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
    std::span<const std::uint8_t> outData;  // empty for a request with reply

    bool In() const { return (requestType & 0x80) != 0; }
};

struct FrameMapping {
    std::optional<ControlSetup> setup;
    std::string_view refusal;  // why the frame cannot be carried, when there is no setup
};

// The transfer that carries `frame` under control code `code`, or why none can:
// an unknown code, a frame of 0 or 2 bytes, a one-byte frame of a request that
// has a value (or the reverse), data on a request with reply, too much data.
// Nothing is sent for a refused frame.
FrameMapping MapFrame(std::uint32_t code, std::span<const std::uint8_t> frame,
                      std::uint32_t replyLength, std::uint8_t interfaceNumber);

}  // namespace usb_driver
