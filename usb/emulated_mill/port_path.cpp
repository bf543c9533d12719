#include "port_path.h"

#include <charconv>

namespace usbemu {

namespace {

// USB allows five tiers of hubs below the root; sysfs names never go deeper.
constexpr std::size_t kMaxDepth = 7;

std::optional<int> Number(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
    if (text.size() > 1 && text[0] == '0') return {};  // sysfs never pads
    if (value < low || value > high) return {};
    return value;
}

}  // namespace

std::string PortPath::DevPath() const {
    std::string text;
    for (int port : ports) text += (text.empty() ? "" : ".") + std::to_string(port);
    return text;
}

std::string PortPath::Name() const { return std::to_string(bus) + "-" + DevPath(); }

std::optional<PortPath> PortPath::Parent() const {
    if (ports.size() < 2) return {};
    PortPath parent = *this;
    parent.ports.pop_back();
    return parent;
}

std::optional<PortPath> ParsePortPath(const std::string& text) {
    const auto dash = text.find('-');
    if (dash == std::string::npos) return {};
    const auto bus = Number(std::string_view(text).substr(0, dash), 1, 255);
    if (!bus) return {};
    PortPath path{*bus, {}};
    std::string_view rest = std::string_view(text).substr(dash + 1);
    for (;;) {
        const auto dot = rest.find('.');
        const auto port = Number(rest.substr(0, dot), 1, 31);
        if (!port || path.ports.size() == kMaxDepth) return {};
        path.ports.push_back(*port);
        if (dot == std::string_view::npos) return path;
        rest = rest.substr(dot + 1);
    }
}

std::string RootHubName(int bus) { return "usb" + std::to_string(bus); }

std::string RootHubSysPath(int bus) {
    return "/devices/platform/emulated_hcd." + std::to_string(bus) + "/" + RootHubName(bus);
}

std::string DeviceSysPath(const PortPath& path) {
    // Each hub on the way is a directory of its own: 1-4.2 lies in 1-4.
    std::string sysPath = RootHubSysPath(path.bus);
    PortPath step{path.bus, {}};
    for (int port : path.ports) {
        step.ports.push_back(port);
        sysPath += "/" + step.Name();
    }
    return sysPath;
}

}  // namespace usbemu
