#pragma once
// The devices of a testbed as umockdev's text records describe them (the
// format umockdev-record writes): sysfs attributes, udev properties and the
// device node, laid out as the kernel lays out a USB device, its interfaces
// and the printer driver's node.
#include <string>

#include "descriptors.h"
#include "port_path.h"

namespace usbemu {

struct UsbDeviceRecord {
    std::string sysPath{};  // below /sys, e.g. "/devices/platform/emulated_hcd.1/usb1/1-4"
    int bus = 0;
    int address = 0;
    std::string devPath{};     // the ports ("4.2"); "0" for a root hub
    const char* speed = "12";  // Mbit/s, as sysfs writes it
    DeviceDescriptors descriptors{};
    std::string manufacturer{}, product{}, serial{};  // empty: the device has none
    int maxChild = 0;                                 // ports of a hub
};

// The device, its node /dev/bus/usb/BBB/DDD and one record per interface of its configuration.
std::string DeviceRecords(const UsbDeviceRecord& device);

// The character device major of the printer driver's usbmisc nodes.
inline constexpr int kUsbMiscMajor = 180;

// The usbmisc node "lp<minor>" the printer driver adds below the interface.
std::string PrinterNodeRecord(const std::string& interfaceSysPath, int minor,
                              const std::string& deviceId);

std::string DevNodePath(int bus, int address);  // "/dev/bus/usb/001/003"
// The sysfs name of a device's interface ("1-4.2:1.0").
std::string InterfaceName(const std::string& deviceName, int interface);

}  // namespace usbemu
