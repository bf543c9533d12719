#pragma once
// The two control codes, written out here rather than taken from the machine's
// own headers, so that the tests check the machine against the protocol.
#include <cstdint>

namespace simtest {

inline constexpr std::uint32_t kWrite = 0x220038;
inline constexpr std::uint32_t kRead = 0x22003C;

}  // namespace simtest
