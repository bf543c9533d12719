#pragma once
// How long the library lets the machine take. Every wait of it is bound by these.
#include <chrono>
#include <cstdint>

namespace usb_driver {

// A control transfer (a frame, a descriptor, the device ID). A status poll on
// a real machine answers in a few ms; one with no answer in 300 ms has failed,
// and a lost machine is found out before the program's own patience runs out.
inline constexpr unsigned kControlTimeoutMs = 300;

// A Write takes at most this much job data and returns within this time, so
// that a job output thread can give up on Stop while the machine's memory is full.
inline constexpr std::uint32_t kJobSliceBytes = 64 * 1024;
inline constexpr unsigned kJobSliceTimeoutMs = 100;

// A transfer still not back this long after its time-out is cancelled, and
// given up on when it is not back this long after that.
inline constexpr std::chrono::milliseconds kOverdueGrace{250};

// How long Close waits for calls still running on the session (each is bound
// by the time-outs above).
inline constexpr std::chrono::milliseconds kCloseWaitForCalls{1000};

}  // namespace usb_driver
