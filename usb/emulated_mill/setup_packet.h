#pragma once
// A control transfer's setup stage, and the command frame a vendor request
// carries: opcode = bRequest, then wValue big-endian, then the data stage;
// opcodes 0x17, 0x1D and 0x1F travel as one-byte frames (wValue 0, no data).
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace usbemu {

// bmRequestType: direction (bit 7), type (bits 5 and 6), recipient (bits 0 to 4).
enum RequestType : std::uint8_t { kStandardType = 0x00, kClassType = 0x20, kVendorType = 0x40 };
enum Recipient : std::uint8_t { kToDevice = 0, kToInterface = 1, kToEndpoint = 2 };

struct SetupPacket {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;

    bool In() const { return (requestType & 0x80) != 0; }
    std::uint8_t Type() const { return requestType & 0x60; }
    std::uint8_t Recipient() const { return requestType & 0x1F; }
    // The printer class's GET_DEVICE_ID (wIndex: interface << 8 | alternate setting).
    bool IsGetDeviceId() const { return requestType == 0xA1 && request == 0; }
};

inline constexpr std::size_t kSetupSize = 8;

// From the 8 bytes on the wire (little-endian fields).
SetupPacket ParseSetup(std::span<const std::uint8_t, kSetupSize> bytes);

// The frame of a vendor request; nothing when no frame travels this way (a
// one-byte opcode with a value or data).
std::optional<std::vector<std::uint8_t>> FrameOf(const SetupPacket& setup,
                                                 std::span<const std::uint8_t> data);

}  // namespace usbemu
