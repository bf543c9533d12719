#pragma once
// How a machine says what it is, read without libusb: the model a machine
// name asks for, the model field of an IEEE-1284 device ID, and the texts of
// the descriptors that carry them.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace usb_driver {

// The model a machine name asks for: the name less its first word ("MDX-40"
// for "Roland MDX-40"), a one-word name whole, empty for a name without words.
std::string ModelOfName(std::string_view name);

// Whether `text` contains `part`, ASCII letters compared without case.
bool ContainsNoCase(std::string_view text, std::string_view part);

// The MDL (or MODEL) field of an IEEE-1284 device ID, empty when it has none.
std::string ModelOfDeviceId(std::string_view deviceId);

// The ID in a GET_DEVICE_ID reply: a big-endian length that counts its own two
// bytes, then the text. A length beyond the reply is cut to what arrived.
std::string DeviceIdOfReply(std::span<const std::uint8_t> reply);

// The text of a string descriptor (UTF-16LE); characters beyond ASCII read '?'.
std::string TextOfStringDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace usb_driver
