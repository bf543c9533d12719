#pragma once
// One straight move of all four axes in machine time. Progress is kept in
// nominal time (at 100 % feed) so that a change of the feed override scales
// what is left of the move.
#include "machine/axes.h"
#include "machine/clock.h"
#include "machine/profile.h"

namespace sim {

class Motion {
public:
    enum class Owner { Control, Probe, Park, Job };

    // `mmPerMin` is the path speed; every axis arrives at the same time, and no
    // axis goes faster than the profile allows.
    Motion(Owner owner, const Point& from, const Point& to, double mmPerMin,
           const MachineProfile& profile);

    Owner GetOwner() const { return m_owner; }
    const Point& Target() const { return m_to; }
    double MmPerMin() const { return m_mmPerMin; }
    Nanos NominalDuration() const { return m_duration; }

    // Machine time still needed at the given feed rate (1.0 = 100 %).
    Nanos Remaining(double rate) const;
    void Advance(Nanos elapsed, double rate);
    Point Position() const;

private:
    Owner m_owner;
    Point m_from, m_to;
    double m_mmPerMin;
    Nanos m_duration;
    double m_progressNs = 0;
};

}  // namespace sim
