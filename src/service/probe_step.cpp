#include "service/probe_step.h"

#include <cstdint>
#include <limits>

#include "link/machine_port.h"
#include "service/units.h"

namespace probe {

namespace {

constexpr std::int32_t MachinePosition::*kAxes[] = {&MachinePosition::x, &MachinePosition::y,
                                                    &MachinePosition::z, &MachinePosition::a};

}  // namespace

std::int32_t Coordinate(const MachinePosition& position, Axis axis) {
    return position.*kAxes[static_cast<int>(axis)];
}

// A garbage position from the machine must not overflow the arithmetic.
std::int32_t Offset(std::int32_t counts, std::int64_t delta) {
    return ClampCounts(std::int64_t{counts} + delta, std::numeric_limits<std::int32_t>::min(),
                       std::numeric_limits<std::int32_t>::max());
}

void Apply(const Change& change, MachinePosition& position, const MachineProfile& profile) {
    std::int32_t& count = position.*kAxes[static_cast<int>(change.axis)];
    switch (change.source) {
        case Source::None:
            break;
        case Source::Value:
            count = change.value;
            break;
        case Source::Here:
            count = Offset(count, change.value);
            break;
        case Source::Profile:
            count = Offset(profile.*change.place, change.value);
            break;
    }
}

void Go(CMachinePort& port, const MachinePosition& target, const Step& step) {
    switch (step.motion) {
        case Motion::Move:
            port.MoveTo(target.x, target.y, target.z, target.a, step.speed);
            break;
        case Motion::Probe:
            port.ProbeTo(target.x, target.y, target.z, static_cast<std::uint16_t>(step.speed));
            break;
        case Motion::None:
        case Motion::Touch:
            break;
    }
}

void Perform(CMachinePort& port, const Step& step, MachinePosition position,
             const MachineProfile& profile) {
    Apply(step.change, position, profile);
    Go(port, position, step);
}

}  // namespace probe
