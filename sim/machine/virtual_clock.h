#pragma once
// A clock that only moves when told to, so tests can run hours of machine time
// in an instant and observe the machine at exact moments.
#include <atomic>

#include "machine/clock.h"

namespace sim {

class VirtualClock : public Clock {
public:
    Nanos Now() const override { return Nanos(m_now.load()); }
    void Advance(Nanos step) { m_now += step.count(); }

private:
    std::atomic<Nanos::rep> m_now{0};
};

}  // namespace sim
