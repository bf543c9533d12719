#pragma once
// Choosing one machine among several that answer to the name: the one a
// setting names (port path or serial number), else the first in bus/port order.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace usb_driver {

// Where a machine is plugged in, and its serial number.
struct MachinePlace {
    std::uint8_t bus = 0;
    std::vector<std::uint8_t> ports;  // from the root hub down
    std::string serial;

    // As sysfs names the device: "1-4.2" for port 2 of the hub on port 4 of bus 1.
    std::string PortPath() const;
};

// Bus first, then the ports from the root hub down: "1-4" before "1-4.2" before "1-5".
bool InBusPortOrder(const MachinePlace& a, const MachinePlace& b);

// The index of the machine to use: with `wanted` set, the first whose port
// path or serial number it is (nothing when it names none); else the first in
// bus/port order. Nothing when `found` is empty.
std::optional<std::size_t> ChooseMachine(std::span<const MachinePlace> found,
                                         std::string_view wanted);

}  // namespace usb_driver
