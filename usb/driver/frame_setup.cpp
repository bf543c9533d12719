#include "driver/frame_setup.h"

#include <algorithm>
#include <array>

namespace usb_driver {

namespace {

constexpr std::uint8_t kVendorToInterface = 0x41;    // vendor, host to device, interface
constexpr std::uint8_t kVendorFromInterface = 0xC1;  // vendor, device to host, interface

// The machine rebuilds these requests as one byte: they travel without a
// value, so any longer frame of theirs would arrive changed.
constexpr std::array<std::uint8_t, 3> kOneByteRequests{0x17, 0x1D, 0x1F};

FrameMapping Refuse(std::string_view why) { return {std::nullopt, why}; }

}  // namespace

FrameMapping MapFrame(std::uint32_t code, std::span<const std::uint8_t> frame,
                      std::uint32_t replyLength, std::uint8_t interfaceNumber) {
    const bool in = code == kFrameWithReply;
    if (!in && code != kFrameNoReply) return Refuse("unknown control code");
    if (frame.empty()) return Refuse("empty frame");
    const bool oneByteRequest =
        std::ranges::find(kOneByteRequests, frame[0]) != kOneByteRequests.end();
    if (oneByteRequest && frame.size() != 1) return Refuse("this request is a one-byte frame");
    if (!oneByteRequest && frame.size() < 3) return Refuse("frame shorter than its value");
    const std::span<const std::uint8_t> data = frame.size() > 3 ? frame.subspan(3) : frame.last(0);
    if (in && !data.empty()) return Refuse("a request with reply carries nothing beyond its value");
    const std::size_t length = in ? replyLength : data.size();
    if (length > kMaxControlData) return Refuse("longer than a control transfer carries");

    ControlSetup setup;
    setup.requestType = in ? kVendorFromInterface : kVendorToInterface;
    setup.request = frame[0];
    if (frame.size() >= 3) setup.value = static_cast<std::uint16_t>(frame[1] << 8 | frame[2]);
    setup.index = interfaceNumber;
    setup.length = static_cast<std::uint16_t>(length);
    if (!in) setup.outData = data;
    return {setup, {}};
}

}  // namespace usb_driver
