#include "descriptors.h"

namespace usbemu {

namespace {

enum DescriptorType : std::uint8_t {
    kDevice = 1,
    kConfiguration = 2,
    kString = 3,
    kInterface = 4,
    kEndpoint = 5
};
constexpr std::uint8_t kHubClass = 9;
constexpr std::uint8_t kVendorClass = 0xFF;
constexpr std::uint8_t kBulk = 2;
constexpr std::uint8_t kInterrupt = 3;
constexpr std::uint16_t kFullSpeedPacket = 64;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

struct DeviceFields {
    std::uint8_t deviceClass, deviceProtocol;
    std::uint16_t vendor, product;
    bool strings;
};

std::vector<std::uint8_t> Device(const DeviceFields& f) {
    std::vector<std::uint8_t> d{18, kDevice};
    Put16(d, 0x0200);  // USB 2.0
    d.insert(d.end(), {f.deviceClass, 0, f.deviceProtocol, kFullSpeedPacket});
    Put16(d, f.vendor);
    Put16(d, f.product);
    Put16(d, 0x0100);  // device release 1.00
    if (f.strings) {
        d.insert(d.end(), {kManufacturerString, kProductString, kSerialString});
    } else {
        d.insert(d.end(), {0, 0, 0});
    }
    d.push_back(1);  // one configuration
    return d;
}

void AddInterface(std::vector<std::uint8_t>& c, std::uint8_t number, std::uint8_t endpoints,
                  std::uint8_t cls, std::uint8_t subclass, std::uint8_t protocol) {
    c.insert(c.end(), {9, kInterface, number, 0, endpoints, cls, subclass, protocol, 0});
}

void AddEndpoint(std::vector<std::uint8_t>& c, std::uint8_t address, std::uint8_t type,
                 std::uint16_t packet, std::uint8_t interval) {
    c.insert(c.end(), {7, kEndpoint, address, type});
    Put16(c, packet);
    c.push_back(interval);
}

// The header goes in front once the interfaces are there, since it carries the total length.
std::vector<std::uint8_t> Configuration(std::uint8_t interfaces, std::uint8_t attributes,
                                        const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> c{9, kConfiguration};
    Put16(c, static_cast<std::uint16_t>(9 + body.size()));
    c.insert(c.end(), {interfaces, kConfigurationValue, 0, attributes, 1});
    c.insert(c.end(), body.begin(), body.end());
    return c;
}

}  // namespace

std::vector<std::uint8_t> DeviceDescriptors::All() const {
    std::vector<std::uint8_t> all = device;
    all.insert(all.end(), configuration.begin(), configuration.end());
    return all;
}

DeviceDescriptors MillDescriptors(const MillOptions& o) {
    std::vector<std::uint8_t> body;
    for (std::uint8_t number = 0; number < o.printerInterface; ++number)
        AddInterface(body, number, 0, kVendorClass, 0, 0);
    const bool printer = o.interfaceClass == kPrinterClass;
    const bool bidirectional = o.printerProtocol == 2;
    AddInterface(body, o.printerInterface, bidirectional ? 2 : 1, o.interfaceClass,
                 printer ? kPrinterSubclass : 0, printer ? o.printerProtocol : 0);
    AddEndpoint(body, kJobEndpoint, kBulk, kFullSpeedPacket, 0);
    if (bidirectional) AddEndpoint(body, kBackChannelEndpoint, kBulk, kFullSpeedPacket, 0);
    const auto interfaces = static_cast<std::uint8_t>(o.printerInterface + 1);
    return {Device({0, 0, kVendorId, kProductId, true}),
            Configuration(interfaces, 0xC0 /* self-powered */, body)};
}

DeviceDescriptors HubDescriptors(bool rootHub) {
    // A root hub carries the Linux Foundation's ids, as the kernel's do; an
    // external hub one of the test range.
    const DeviceFields device = rootHub ? DeviceFields{kHubClass, 0, 0x1D6B, 0x0002, false}
                                        : DeviceFields{kHubClass, 1, kVendorId, 0x0002, false};
    std::vector<std::uint8_t> body;
    AddInterface(body, 0, 1, kHubClass, 0, 0);
    AddEndpoint(body, 0x81, kInterrupt, 4, 12);
    return {Device(device), Configuration(1, 0xE0 /* self-powered, remote wake-up */, body)};
}

std::vector<std::uint8_t> StringDescriptor(const std::string& text) {
    // bLength is one byte: at most 126 characters fit.
    const std::string shown = text.substr(0, 126);
    std::vector<std::uint8_t> d{static_cast<std::uint8_t>(2 + 2 * shown.size()), kString};
    for (char c : shown) Put16(d, static_cast<std::uint8_t>(c));
    return d;
}

std::vector<std::uint8_t> LanguageDescriptor() {
    std::vector<std::uint8_t> d{4, kString};
    Put16(d, kLanguageUsEnglish);
    return d;
}

}  // namespace usbemu
