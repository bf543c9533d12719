#pragma once
// Building command frames and decoding replies. Every 16- and 32-bit field on
// the wire is big-endian, packed without gaps.
#include <array>
#include <cstddef>
#include <cstdint>

#include "link/machine_position.h"

namespace frame {

// A request or reply buffer: each operation builds its frame in 256 bytes.
inline constexpr std::size_t kBufferSize = 256;
using Buffer = std::array<std::uint8_t, kBufferSize>;

// Writes fields one after the other; Length() is what the frame occupies.
class Writer {
public:
    explicit Writer(Buffer& buffer) : m_buffer(buffer) {}
    Writer& Byte(std::uint8_t value);
    Writer& U16(std::uint16_t value);
    Writer& U32(std::uint32_t value);  // as two 16-bit halves, high half first
    Writer& S32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
    Writer& Bytes(const std::uint8_t* data, std::size_t length);
    std::uint32_t Length() const { return static_cast<std::uint32_t>(m_pos); }

private:
    Buffer& m_buffer;
    std::size_t m_pos = 0;
};

std::uint32_t GetU32(const std::uint8_t* bytes);
inline std::int32_t GetS32(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(GetU32(bytes));
}
// Four consecutive s32 values: X, Y, Z, A.
MachinePosition GetPosition(const std::uint8_t* bytes);

}  // namespace frame
