#pragma once
// A USB port path as sysfs names a device: bus number, '-', then the hub
// ports on the way, joined by '.' ("1-4.2": bus 1, root port 4, hub port 2).
#include <optional>
#include <string>
#include <vector>

namespace usbemu {

struct PortPath {
    int bus = 0;
    std::vector<int> ports;  // from the root hub outwards; never empty

    // The sysfs name of the device this path leads to ("1-4.2").
    std::string Name() const;
    // The hub the device hangs on: empty for a device on the root hub.
    std::optional<PortPath> Parent() const;
    // sysfs' "devpath" attribute: the ports alone ("4.2").
    std::string DevPath() const;
};

// Nothing when the text is not a port path (bus 1..255, ports 1..31, at most 7 deep).
std::optional<PortPath> ParsePortPath(const std::string& text);

// The root hub's sysfs name for a bus ("usb1").
std::string RootHubName(int bus);
// Where sysfs puts a bus's root hub, and a device below it (paths below /sys).
std::string RootHubSysPath(int bus);
std::string DeviceSysPath(const PortPath& path);

}  // namespace usbemu
