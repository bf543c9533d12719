#include "link/frame.h"

#include <cassert>
#include <cstring>

namespace frame {

Writer& Writer::Byte(std::uint8_t value) {
    assert(m_pos < m_buffer.size());
    m_buffer[m_pos++] = value;
    return *this;
}

Writer& Writer::U16(std::uint16_t value) {
    Byte(static_cast<std::uint8_t>(value >> 8));
    return Byte(static_cast<std::uint8_t>(value & 0xFF));
}

Writer& Writer::U32(std::uint32_t value) {
    U16(static_cast<std::uint16_t>(value >> 16));
    return U16(static_cast<std::uint16_t>(value & 0xFFFF));
}

Writer& Writer::Bytes(const std::uint8_t* data, std::size_t length) {
    assert(length <= m_buffer.size() - m_pos);
    if (length > 0) std::memcpy(m_buffer.data() + m_pos, data, length);
    m_pos += length;
    return *this;
}

std::uint32_t GetU32(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

MachinePosition GetPosition(const std::uint8_t* bytes) {
    return {GetS32(bytes), GetS32(bytes + 4), GetS32(bytes + 8), GetS32(bytes + 12)};
}

}  // namespace frame
