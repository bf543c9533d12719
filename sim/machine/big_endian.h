#pragma once
// Big-endian field access for command frames and wire messages: the machine
// sends every 16- and 32-bit field most significant byte first.
#include <cstddef>
#include <cstdint>

namespace sim {

inline void PutU16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value);
}

inline void PutU32(std::uint8_t* out, std::uint32_t value) {
    PutU16(out, static_cast<std::uint16_t>(value >> 16));
    PutU16(out + 2, static_cast<std::uint16_t>(value));
}

inline std::uint16_t GetU16(const std::uint8_t* in) {
    return static_cast<std::uint16_t>((in[0] << 8) | in[1]);
}

inline std::uint32_t GetU32(const std::uint8_t* in) {
    return (static_cast<std::uint32_t>(GetU16(in)) << 16) | GetU16(in + 2);
}

inline std::int32_t GetS32(const std::uint8_t* in) { return static_cast<std::int32_t>(GetU32(in)); }

}  // namespace sim
