#include "machine/motion.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

Nanos MoveDuration(const Point& from, const Point& to, double mmPerMin,
                   const MachineProfile& profile) {
    const double dx = std::abs(to.x - from.x) / 100;  // mm
    const double dy = std::abs(to.y - from.y) / 100;
    const double dz = std::abs(to.z - from.z) / 100;
    const double da = std::abs(to.a - from.a) / 100;  // degrees
    const double speed = std::clamp(mmPerMin, 1.0, profile.maxXyMmPerMin);
    const double minutes =
        std::max({std::sqrt(dx * dx + dy * dy + dz * dz) / speed, dz / profile.maxZMmPerMin,
                  da / std::min(speed, profile.maxADegPerMin)});
    return Nanos(std::llround(minutes * 60e9));
}

}  // namespace

Motion::Motion(Owner owner, const Point& from, const Point& to, double mmPerMin,
               const MachineProfile& profile)
    : m_owner(owner),
      m_from(from),
      m_to(to),
      m_mmPerMin(mmPerMin),
      m_duration(MoveDuration(from, to, mmPerMin, profile)) {}

Nanos Motion::Remaining(double rate) const {
    const double left = std::max(0.0, double(m_duration.count()) - m_progressNs);
    return Nanos(std::llround(left / rate));
}

void Motion::Advance(Nanos elapsed, double rate) {
    m_progressNs = std::min(double(m_duration.count()), m_progressNs + elapsed.count() * rate);
}

Point Motion::Position() const {
    if (m_duration.count() == 0) return m_to;
    return Lerp(m_from, m_to, m_progressNs / double(m_duration.count()));
}

}  // namespace sim
