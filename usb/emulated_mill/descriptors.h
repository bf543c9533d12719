#pragma once
// The standard USB descriptors of an emulated mill and of the hubs it hangs
// on, byte for byte as a device sends them (and as sysfs' "descriptors" holds them).
#include <cstdint>
#include <string>
#include <vector>

#include "mill_options.h"

namespace usbemu {

inline constexpr std::uint8_t kJobEndpoint = 0x01;          // bulk OUT: job data
inline constexpr std::uint8_t kBackChannelEndpoint = 0x82;  // bulk IN, protocol 2 only
inline constexpr std::uint8_t kConfigurationValue = 1;
inline constexpr std::uint16_t kLanguageUsEnglish = 0x0409;

enum StringIndex : std::uint8_t { kManufacturerString = 1, kProductString = 2, kSerialString = 3 };

struct DeviceDescriptors {
    std::vector<std::uint8_t> device;         // 18 bytes
    std::vector<std::uint8_t> configuration;  // with its interfaces and endpoints
    std::vector<std::uint8_t> All() const;
};

DeviceDescriptors MillDescriptors(const MillOptions& options);
DeviceDescriptors HubDescriptors(bool rootHub);

// A string descriptor: UTF-16LE of the (ASCII) text.
std::vector<std::uint8_t> StringDescriptor(const std::string& text);
// String descriptor 0: the one language the mill speaks.
std::vector<std::uint8_t> LanguageDescriptor();

}  // namespace usbemu
