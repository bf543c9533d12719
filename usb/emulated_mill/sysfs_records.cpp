#include "sysfs_records.h"

#include <cstdio>

namespace usbemu {

namespace {

constexpr int kUsbDeviceMajor = 189;
constexpr std::uint8_t kInterfaceType = 4;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char pair[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    return text;
}

std::string Format(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// An "A:" line. sysfs ends a text attribute with a newline; the record
// format writes it, and any backslash, escaped.
std::string Attribute(const std::string& name, const std::string& value, bool newline = true) {
    std::string escaped;
    for (char c : value) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return "A: " + name + "=" + escaped + (newline ? "\\n" : "") + "\n";
}

std::string Property(const std::string& name, const std::string& value) {
    return "E: " + name + "=" + value + "\n";
}

unsigned Get16(const std::vector<std::uint8_t>& d, std::size_t at) {
    return d[at] | unsigned(d[at + 1]) << 8;
}

// udev's "a/b/c" properties (PRODUCT, TYPE, INTERFACE).
std::string Triple(const char* format, unsigned a, unsigned b, unsigned c) {
    return Format(format, a) + "/" + Format(format, b) + "/" + Format(format, c);
}

// PRODUCT: vendor, product and release from the device descriptor.
std::string ProductProperty(const std::vector<std::uint8_t>& device) {
    return Property("PRODUCT",
                    Triple("%x", Get16(device, 8), Get16(device, 10), Get16(device, 12)));
}

std::string InterfaceRecords(const UsbDeviceRecord& r, const std::string& name) {
    std::string text;
    const auto& c = r.descriptors.configuration;
    for (std::size_t at = 0; at + 9 <= c.size() && c[at] > 0; at += c[at]) {
        if (c[at + 1] != kInterfaceType) continue;
        const unsigned number = c[at + 2], endpoints = c[at + 4];
        const unsigned cls = c[at + 5], subclass = c[at + 6], protocol = c[at + 7];
        text += "P: " + r.sysPath + "/" + InterfaceName(name, static_cast<int>(number)) + "\n" +
                Property("DEVTYPE", "usb_interface") + Property("SUBSYSTEM", "usb") +
                ProductProperty(r.descriptors.device) +
                Property("INTERFACE", Triple("%u", cls, subclass, protocol)) +
                Attribute("bInterfaceNumber", Format("%02x", number)) +
                Attribute("bAlternateSetting", Format("%2u", c[at + 3])) +
                Attribute("bInterfaceClass", Format("%02x", cls)) +
                Attribute("bInterfaceSubClass", Format("%02x", subclass)) +
                Attribute("bInterfaceProtocol", Format("%02x", protocol)) +
                Attribute("bNumEndpoints", Format("%02x", endpoints)) + "\n";
    }
    return text;
}

}  // namespace

std::string DevNodePath(int bus, int address) {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", bus, address);
    return path;
}

std::string InterfaceName(const std::string& deviceName, int interface) {
    return deviceName + ":" + std::to_string(kConfigurationValue) + "." + std::to_string(interface);
}

std::string DeviceRecords(const UsbDeviceRecord& r) {
    const std::string name = r.sysPath.substr(r.sysPath.rfind('/') + 1);
    const std::string node = DevNodePath(r.bus, r.address);
    const auto& dev = r.descriptors.device;
    const unsigned minor = unsigned(r.bus - 1) * 128 + unsigned(r.address - 1);
    std::string text = "P: " + r.sysPath + "\n";
    // A node with contents is a plain file (a device without them would be a
    // terminal); usbfs' read gives the descriptors, and so does this file.
    text += "N: " + node.substr(5) + "=" + Hex(r.descriptors.All()) + "\n";
    text += Property("DEVNAME", node) + Property("DEVTYPE", "usb_device") +
            Property("DRIVER", "usb") + Property("SUBSYSTEM", "usb") +
            Property("BUSNUM", Format("%03u", unsigned(r.bus))) +
            Property("DEVNUM", Format("%03u", unsigned(r.address))) +
            Property("MAJOR", std::to_string(kUsbDeviceMajor)) +
            Property("MINOR", std::to_string(minor)) + ProductProperty(dev) +
            Property("TYPE", Triple("%u", dev[4], dev[5], dev[6]));
    text += Attribute("busnum", std::to_string(r.bus)) +
            Attribute("devnum", std::to_string(r.address)) + Attribute("devpath", r.devPath) +
            Attribute("speed", r.speed) + Attribute("idVendor", Format("%04x", Get16(dev, 8))) +
            Attribute("idProduct", Format("%04x", Get16(dev, 10))) +
            Attribute("bcdDevice", Format("%04x", Get16(dev, 12))) +
            Attribute("bDeviceClass", Format("%02x", dev[4])) +
            Attribute("bMaxPacketSize0", std::to_string(dev[7])) +
            Attribute("bNumConfigurations", std::to_string(dev[17])) +
            Attribute("bConfigurationValue", std::to_string(kConfigurationValue)) +
            Attribute("bNumInterfaces", Format("%2u", r.descriptors.configuration[4])) +
            Attribute("maxchild", std::to_string(r.maxChild)) +
            Attribute("dev", std::to_string(kUsbDeviceMajor) + ":" + std::to_string(minor));
    if (!r.manufacturer.empty()) text += Attribute("manufacturer", r.manufacturer);
    if (!r.product.empty()) text += Attribute("product", r.product);
    if (!r.serial.empty()) text += Attribute("serial", r.serial);
    text += "H: descriptors=" + Hex(r.descriptors.All()) + "\n\n";
    return text + InterfaceRecords(r, name);
}

std::string PrinterNodeRecord(const std::string& interfaceSysPath, int minor,
                              const std::string& deviceId) {
    const std::string name = "lp" + std::to_string(minor);
    return "P: " + interfaceSysPath + "/usbmisc/" + name + "\n" +
           Property("DEVNAME", "/dev/usb/" + name) + Property("SUBSYSTEM", "usbmisc") +
           Property("MAJOR", std::to_string(kUsbMiscMajor)) +
           Property("MINOR", std::to_string(minor)) +
           Attribute("dev", std::to_string(kUsbMiscMajor) + ":" + std::to_string(minor)) +
           // usblp writes the ID without a newline.
           Attribute("ieee1284_id", deviceId, false) + "\n";
}

}  // namespace usbemu
