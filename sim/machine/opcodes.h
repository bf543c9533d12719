#pragma once
// The machine's side of the command frames: control codes, opcodes, the
// length of each request and the length of each reply.
#include <cstdint>

namespace sim {

inline constexpr std::uint32_t kControlWrite = 0x220038;  // frame in, no reply
inline constexpr std::uint32_t kControlRead = 0x22003C;   // frame in, reply out

namespace op {
inline constexpr std::uint8_t kWaitDone = 2;
inline constexpr std::uint8_t kSetAddress = 3;
inline constexpr std::uint8_t kReadMemory = 5;
inline constexpr std::uint8_t kPulseBits = 18;
inline constexpr std::uint8_t kWriteBlock = 21;
inline constexpr std::uint8_t kReadBlock = 22;
inline constexpr std::uint8_t kMachinePosition = 23;
inline constexpr std::uint8_t kUserPosition = 29;
inline constexpr std::uint8_t kStatus = 31;
inline constexpr std::uint8_t kSetSpindle = 32;
inline constexpr std::uint8_t kSetOrigin = 35;
inline constexpr std::uint8_t kFeedOverride = 38;
inline constexpr std::uint8_t kSpindleOverride = 40;
inline constexpr std::uint8_t kCommandsDone = 41;
inline constexpr std::uint8_t kProbeTo = 150;
inline constexpr std::uint8_t kMoveTo = 153;
}  // namespace op

// Reply lengths.
inline constexpr std::uint32_t kWaitDoneReply = 6;
inline constexpr std::uint32_t kMemoryReply = 3;
inline constexpr std::uint32_t kPositionReply = 19;
inline constexpr std::uint32_t kStatusReply = 31;
inline constexpr std::uint32_t kCommandsDoneReply = 4;

// The one machine address the program reads: the sensor bits.
inline constexpr std::uint32_t kSensorAddress = 0x00FFFF54;

}  // namespace sim
