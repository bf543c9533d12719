#pragma once
// The vocabulary of the measuring cycles' step tables: a step takes the
// machine position just read, changes at most one axis of it, and moves or
// probes there.
#include <cstdint>

#include "config/machine_profile.h"
#include "link/machine_position.h"

class CMachinePort;

namespace probe {

inline constexpr int kMoveSpeed = 3000;
// Probes aim well below anything the tool can touch and stop at the contact.
inline constexpr std::int32_t kProbeTargetZ = 4000;
// Lift off a contact before probing it again slowly.
inline constexpr std::int32_t kBackOff = 50;

enum class Axis : std::uint8_t { X, Y, Z, A };

// Where the changed axis gets its new count from.
enum class Source : std::uint8_t {
    None,     // no axis changes
    Value,    // `value` itself
    Here,     // the position just read plus `value`
    Profile,  // a place of the machine profile plus `value`
};

struct Change {
    Source source = Source::None;
    Axis axis = Axis::X;
    std::int32_t value = 0;
    std::int32_t MachineProfile::*place = nullptr;
};

enum class Motion : std::uint8_t {
    None,
    Move,   // MoveTo the changed position
    Probe,  // ProbeTo it: the machine stops where the tool touches
    Touch,  // the touch-off of the detection cycle, started by a scan
};

struct Step {
    Change change;
    Motion motion = Motion::None;
    int speed = 0;
};

constexpr Change Set(Axis axis, std::int32_t counts) { return {Source::Value, axis, counts}; }
constexpr Change Add(Axis axis, std::int32_t counts) { return {Source::Here, axis, counts}; }
constexpr Change FromProfile(Axis axis, std::int32_t MachineProfile::*place,
                             std::int32_t plus = 0) {
    return {Source::Profile, axis, plus, place};
}
// Every cycle retracts to the top of the Z travel before it travels.
inline constexpr Change kSafeZ = FromProfile(Axis::Z, &MachineProfile::zLimit);

constexpr Step Move(Change change, int speed = kMoveSpeed) { return {change, Motion::Move, speed}; }
constexpr Step Probe(Change change, int speed) { return {change, Motion::Probe, speed}; }
inline constexpr Step kTouch{{}, Motion::Touch, 0};

std::int32_t Coordinate(const MachinePosition& position, Axis axis);
// `counts` plus `delta`, kept inside the count range.
std::int32_t Offset(std::int32_t counts, std::int64_t delta);
// Changes the position just read as the change says.
void Apply(const Change& change, MachinePosition& position, const MachineProfile& profile);
// Moves or probes to `target` as the step says; a touch or no motion sends nothing.
void Go(CMachinePort& port, const MachinePosition& target, const Step& step);
// Applies the step to the position just read and goes there.
void Perform(CMachinePort& port, const Step& step, MachinePosition position,
             const MachineProfile& profile);

}  // namespace probe
