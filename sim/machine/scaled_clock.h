#pragma once
// Real time multiplied by a speed factor: 1 runs the machine in real time,
// 100 runs a ten-minute job in six seconds. The factor can change while the
// clock runs without making machine time jump.
#include <chrono>
#include <mutex>

#include "machine/clock.h"

namespace sim {

class ScaledClock : public Clock {
public:
    explicit ScaledClock(double factor = 1.0);
    Nanos Now() const override;
    void SetFactor(double factor);
    double Factor() const;

private:
    Nanos NowLocked(std::chrono::steady_clock::time_point real) const;

    mutable std::mutex m_mutex;
    std::chrono::steady_clock::time_point m_realBase;
    Nanos m_machineBase{0};
    double m_factor;
};

}  // namespace sim
