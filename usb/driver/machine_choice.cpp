#include "driver/machine_choice.h"

#include <algorithm>
#include <tuple>

namespace usb_driver {

std::string MachinePlace::PortPath() const {
    if (ports.empty()) return "usb" + std::to_string(bus);  // the root hub
    std::string path = std::to_string(bus);
    char separator = '-';
    for (const std::uint8_t port : ports) {
        path += separator;
        path += std::to_string(port);
        separator = '.';
    }
    return path;
}

bool InBusPortOrder(const MachinePlace& a, const MachinePlace& b) {
    return std::tie(a.bus, a.ports) < std::tie(b.bus, b.ports);
}

std::optional<std::size_t> ChooseMachine(std::span<const MachinePlace> found,
                                         std::string_view wanted) {
    if (found.empty()) return std::nullopt;
    if (wanted.empty()) {
        return static_cast<std::size_t>(std::ranges::min_element(found, InBusPortOrder) -
                                        found.begin());
    }
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const bool named = found[i].PortPath() == wanted || found[i].serial == wanted;
        if (named && (!chosen || InBusPortOrder(found[i], found[*chosen]))) chosen = i;
    }
    return chosen;
}

}  // namespace usb_driver
