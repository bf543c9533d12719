#include "driver/device_identity.h"

#include <algorithm>
#include <cctype>

namespace usb_driver {

namespace {

constexpr std::string_view kSpaces = " \t\r\n";
constexpr std::uint8_t kStringDescriptorType = 3;

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kSpaces);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpaces) - first + 1);
}

bool SameNoCase(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, SameNoCase);
}

}  // namespace

std::string ModelOfName(std::string_view name) {
    const std::string_view words = Trimmed(name);
    const auto space = words.find_first_of(kSpaces);
    if (space == std::string_view::npos) return std::string(words);
    return std::string(Trimmed(words.substr(space)));
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return part.empty() || !std::ranges::search(text, part, SameNoCase).empty();
}

std::string ModelOfDeviceId(std::string_view deviceId) {
    while (!deviceId.empty()) {
        const auto end = std::min(deviceId.find(';'), deviceId.size());
        const std::string_view field = deviceId.substr(0, end);
        deviceId.remove_prefix(std::min(end + 1, deviceId.size()));
        const auto colon = field.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = Trimmed(field.substr(0, colon));
        if (EqualNoCase(key, "MDL") || EqualNoCase(key, "MODEL"))
            return std::string(Trimmed(field.substr(colon + 1)));
    }
    return {};
}

std::string DeviceIdOfReply(std::span<const std::uint8_t> reply) {
    if (reply.size() < 2) return {};
    const std::size_t declared = static_cast<std::size_t>(reply[0] << 8 | reply[1]);
    if (declared <= 2) return {};
    const auto text = reply.subspan(2, std::min(declared, reply.size()) - 2);
    return std::string(text.begin(), std::ranges::find(text, 0));
}

std::string TextOfStringDescriptor(std::span<const std::uint8_t> descriptor) {
    if (descriptor.size() < 2 || descriptor[1] != kStringDescriptorType) return {};
    const std::size_t length = std::min<std::size_t>(descriptor[0], descriptor.size());
    std::string text;
    for (std::size_t i = 2; i + 1 < length; i += 2) {
        const unsigned unit = descriptor[i] | descriptor[i + 1] << 8;
        if (unit == 0) break;
        text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return text;
}

}  // namespace usb_driver
