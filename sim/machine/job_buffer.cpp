#include "machine/job_buffer.h"

namespace sim {

void JobBuffer::Append(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    m_chunks.emplace_back(bytes.begin(), bytes.end());
    m_size += bytes.size();
}

std::span<const std::uint8_t> JobBuffer::Front() const {
    if (m_size == 0) return {};
    return std::span<const std::uint8_t>(m_chunks.front()).subspan(m_offset);
}

void JobBuffer::Consume(std::size_t count) {
    m_offset += count;
    m_size -= count;
    if (m_offset == m_chunks.front().size()) {
        m_chunks.pop_front();
        m_offset = 0;
    }
}

void JobBuffer::Clear() {
    m_chunks.clear();
    m_offset = 0;
    m_size = 0;
}

}  // namespace sim
