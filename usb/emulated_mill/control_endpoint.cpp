#include "control_endpoint.h"

#include <algorithm>

#include "descriptors.h"
#include "machine/opcodes.h"

namespace usbemu {

namespace {

constexpr std::uint8_t kVendorOut = 0x41;  // vendor, interface, host to device
constexpr std::uint8_t kVendorIn = 0xC1;   // vendor, interface, device to host

enum StandardRequest : std::uint8_t {
    kGetStatus = 0,
    kGetDescriptor = 6,
    kGetConfiguration = 8,
    kGetInterface = 10
};
constexpr std::uint8_t kGetPortStatus = 1;
constexpr std::uint8_t kPrinterClassIn = 0xA1;  // class, interface, device to host
// Port status: selected, not in error, paper present.
constexpr std::uint8_t kPortStatusReady = 0x18;

ControlAnswer Reply(std::vector<std::uint8_t> bytes, std::uint16_t length) {
    if (bytes.size() > length) bytes.resize(length);
    return {ControlResult::Done, std::move(bytes)};
}

ControlAnswer Stalled() { return {ControlResult::Stall, {}}; }

}  // namespace

ControlAnswer ControlEndpoint::Answer(const SetupPacket& s, std::span<const std::uint8_t> data) {
    if (m_hold) return {ControlResult::Held, {}};
    switch (s.Type()) {
        case kStandardType:
            return Standard(s);
        case kClassType:
            return PrinterClass(s);
        case kVendorType:
            return Vendor(s, data);
        default:
            return Stalled();
    }
}

std::optional<std::vector<std::uint8_t>> ControlEndpoint::Descriptor(const SetupPacket& s) const {
    const std::uint8_t type = s.value >> 8, index = s.value & 0xFF;
    const DeviceDescriptors descriptors = MillDescriptors(m_options);
    if (type == 1 && index == 0) return descriptors.device;
    if (type == 2 && index == 0) return descriptors.configuration;
    if (type != 3) return {};  // no qualifier or BOS: a full-speed USB 2.0 device
    if (index == 0) return LanguageDescriptor();
    if (s.index != kLanguageUsEnglish) return {};
    switch (index) {
        case kManufacturerString:
            return StringDescriptor(m_options.manufacturer);
        case kProductString:
            return StringDescriptor(m_options.product);
        case kSerialString:
            return StringDescriptor(m_options.serial);
        default:
            return {};
    }
}

ControlAnswer ControlEndpoint::Standard(const SetupPacket& s) {
    // Nothing is set this way: configuration and interface go through usbfs' own calls.
    if (!s.In()) return Stalled();
    switch (s.Recipient()) {
        case kToDevice:
            if (s.request == kGetStatus) return Reply({1, 0}, s.length);  // self-powered
            if (s.request == kGetConfiguration) return Reply({kConfigurationValue}, s.length);
            if (s.request == kGetDescriptor) {
                if (auto d = Descriptor(s)) return Reply(std::move(*d), s.length);
            }
            return Stalled();
        case kToInterface:
            if ((s.index & 0xFF) > m_options.printerInterface) return Stalled();
            if (s.request == kGetStatus) return Reply({0, 0}, s.length);
            if (s.request == kGetInterface) return Reply({0}, s.length);  // one alternate setting
            return Stalled();
        case kToEndpoint:  // the bulk endpoints never halt
            if (s.request == kGetStatus) return Reply({0, 0}, s.length);
            return Stalled();
        default:
            return Stalled();
    }
}

ControlAnswer ControlEndpoint::PrinterClass(const SetupPacket& s) {
    if (m_options.interfaceClass != kPrinterClass || s.requestType != kPrinterClassIn)
        return Stalled();
    if (s.IsGetDeviceId()) {
        // wValue: configuration index; wIndex: interface << 8 | alternate setting.
        if (s.value != 0 || s.index != (m_options.printerInterface << 8)) return Stalled();
        const std::string& id = m_options.deviceId;
        const std::size_t length = std::min<std::size_t>(id.size() + 2, 0xFFFF);
        std::vector<std::uint8_t> reply{static_cast<std::uint8_t>(length >> 8),
                                        static_cast<std::uint8_t>(length & 0xFF)};
        reply.insert(reply.end(), id.begin(), id.begin() + (length - 2));
        return Reply(std::move(reply), s.length);
    }
    if (s.request == kGetPortStatus && s.index == m_options.printerInterface)
        return Reply({kPortStatusReady}, s.length);
    return Stalled();
}

ControlAnswer ControlEndpoint::Vendor(const SetupPacket& s, std::span<const std::uint8_t> data) {
    if (s.requestType != kVendorOut && s.requestType != kVendorIn) return Stalled();
    if (s.index != m_options.printerInterface) return Stalled();
    if (m_stallAll || s.request == m_stalledOpcode) return Stalled();
    auto frame = FrameOf(s, data);
    if (!frame) return Stalled();
    const bool in = s.In();
    const auto response =
        m_machine.HandleFrame({sim::RequestKind::Frame, in ? sim::kControlRead : sim::kControlWrite,
                               in ? s.length : 0u, std::move(*frame)});
    if (!response) return {ControlResult::Held, {}};  // the machine is gone: no answer at all
    if (!response->ok) return Stalled();
    return Reply(in ? response->payload : std::vector<std::uint8_t>{}, s.length);
}

}  // namespace usbemu
