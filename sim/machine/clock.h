#pragma once
// Machine time. The machine never reads a system clock itself: tests give it a
// virtual clock they advance by hand, a running host a scaled real clock.
#include <chrono>

namespace sim {

using Nanos = std::chrono::nanoseconds;

class Clock {
public:
    virtual ~Clock() = default;
    // Machine time since the clock was created; never goes backwards.
    virtual Nanos Now() const = 0;
};

}  // namespace sim
