#include "machine/job_buffer.h"

namespace sim {

void JobBuffer::Append(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    m_chunks.emplace_back(bytes.begin(), bytes.end());
    m_size += bytes.size();
}

bool JobBuffer::Pop(std::uint8_t& byte) {
    if (m_size == 0) return false;
    const auto& front = m_chunks.front();
    byte = front[m_offset++];
    --m_size;
    if (m_offset == front.size()) {
        m_chunks.pop_front();
        m_offset = 0;
    }
    return true;
}

void JobBuffer::Clear() {
    m_chunks.clear();
    m_offset = 0;
    m_size = 0;
}

}  // namespace sim
