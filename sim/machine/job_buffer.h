#pragma once
// Job data the machine has received but not yet executed, in the chunks it
// arrived in, so that taking in data costs one copy and no per-byte work.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace sim {

class JobBuffer {
public:
    void Append(std::span<const std::uint8_t> bytes);
    // The oldest bytes, as many as lie together (empty when none): read them,
    // then Consume as many as were used.
    std::span<const std::uint8_t> Front() const;
    void Consume(std::size_t count);
    std::size_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    void Clear();

private:
    std::deque<std::vector<std::uint8_t>> m_chunks;
    std::size_t m_offset = 0;  // into the first chunk
    std::size_t m_size = 0;
};

}  // namespace sim
