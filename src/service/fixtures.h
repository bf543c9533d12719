#pragma once
// Making a fixture offset the active one.
#include <array>

#include "link/machine_position.h"

class CMachinePort;
class Configuration;
class SharedState;

// Copies X, Y and A of fixture offset `index` (0..3) into the active offsets
// (the active Z offset stays) and returns the origin in counts to send for it:
// the active X, Y, A × 100 and Z from the tool offset value, or the active Z
// offset while no tool is measured, each truncated toward zero. An index
// outside 0..3 changes nothing and returns nothing.
bool ActivateFixture(SharedState& state, const Configuration& config, int index,
                     MachinePosition& origin);

// With fixture offsets in use, the selected fixture's X, Y, Z and A become
// the active offsets (all four: the fixture offset pages edit them so); an
// index outside 0..3 changes nothing. Sends nothing.
void ActivateSelectedFixture(SharedState& state, const Configuration& config);

// The origin in counts for the active offsets as they stand.
MachinePosition OriginForActiveOffsets(const SharedState& state, const Configuration& config);

// The machine's current origin as the active offsets, all four axes. False,
// changing nothing, when the origin cannot be read.
bool ActivateMachineOrigin(SharedState& state, CMachinePort& port);

// What positions are shown against, X, Y, Z in mm and A in degrees: the active
// offsets, Z against the measured tool while no Z offset is active.
std::array<double, 4> ShownOffsets(const SharedState& state, const Configuration& config);
// A machine position as shown (job coordinates): X, Y, Z in mm, A in degrees.
std::array<double, 4> ShownPosition(const MachinePosition& position, const SharedState& state,
                                    const Configuration& config);
