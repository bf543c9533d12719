#include "machine/scaled_clock.h"

#include <algorithm>
#include <limits>

namespace sim {

namespace {
// A factor of 0 would stop time for good; negative factors would run it backwards.
constexpr double kMinFactor = 1e-3;
}  // namespace

ScaledClock::ScaledClock(double factor)
    : m_realBase(std::chrono::steady_clock::now()), m_factor(std::max(factor, kMinFactor)) {}

Nanos ScaledClock::NowLocked(std::chrono::steady_clock::time_point real) const {
    const auto elapsed = std::chrono::duration<double, std::nano>(real - m_realBase).count();
    // Machine time stops at the end of its range (centuries) instead of
    // overflowing, whatever the factor.
    const double limit = double(std::numeric_limits<Nanos::rep>::max() / 2 - m_machineBase.count());
    return m_machineBase + Nanos(static_cast<Nanos::rep>(std::min(elapsed * m_factor, limit)));
}

Nanos ScaledClock::Now() const {
    std::lock_guard lock(m_mutex);
    return NowLocked(std::chrono::steady_clock::now());
}

void ScaledClock::SetFactor(double factor) {
    std::lock_guard lock(m_mutex);
    const auto real = std::chrono::steady_clock::now();
    m_machineBase = NowLocked(real);
    m_realBase = real;
    m_factor = std::max(factor, kMinFactor);
}

double ScaledClock::Factor() const {
    std::lock_guard lock(m_mutex);
    return m_factor;
}

}  // namespace sim
