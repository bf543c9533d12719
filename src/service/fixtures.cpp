#include "service/fixtures.h"

#include "config/configuration.h"
#include "link/machine_port.h"
#include "service/shared_state.h"
#include "service/units.h"

MachinePosition OriginForActiveOffsets(const SharedState& state, const Configuration& config) {
    const ActiveOffsets& active = state.activeOffsets;
    const double tool = config.ToolOffsetValue();
    return {TruncCounts(active.x.load()), TruncCounts(active.y.load()),
            TruncCounts(tool != 0.0 ? tool : active.z.load()), TruncCounts(active.a.load())};
}

bool ActivateFixture(SharedState& state, const Configuration& config, int index,
                     MachinePosition& origin) {
    if (index < 0 || index >= kFixtureOffsetCount) return false;
    const FixtureOffset fixture = config.FixtureOffsets()[index];
    state.activeOffsets.x = fixture.x;
    state.activeOffsets.y = fixture.y;
    state.activeOffsets.a = fixture.a;
    origin = OriginForActiveOffsets(state, config);
    return true;
}

void ActivateSelectedFixture(SharedState& state, const Configuration& config) {
    const int index = config.SelectedFixture();
    if (config.UseFixture() == 0 || index < 0 || index >= kFixtureOffsetCount) return;
    const FixtureOffset fixture = config.FixtureOffsets()[index];
    state.activeOffsets.x = fixture.x;
    state.activeOffsets.y = fixture.y;
    state.activeOffsets.z = fixture.z;
    state.activeOffsets.a = fixture.a;
}

bool ActivateMachineOrigin(SharedState& state, CMachinePort& port) {
    MachinePosition origin;
    if (!port.ReadOrigin(origin)) return false;
    state.activeOffsets.x = origin.x * 0.01;
    state.activeOffsets.y = origin.y * 0.01;
    state.activeOffsets.z = origin.z * 0.01;
    state.activeOffsets.a = origin.a * 0.01;
    return true;
}

std::array<double, 4> ShownOffsets(const SharedState& state, const Configuration& config) {
    const ActiveOffsets& active = state.activeOffsets;
    const double z = active.z.load();
    return {active.x.load(), active.y.load(), z != 0.0 ? z : config.ToolOffsetValue(),
            active.a.load()};
}

std::array<double, 4> ShownPosition(const MachinePosition& position, const SharedState& state,
                                    const Configuration& config) {
    const auto o = ShownOffsets(state, config);
    return {position.x * 0.01 - o[0], position.y * 0.01 - o[1], position.z * 0.01 - o[2],
            position.a * 0.01 - o[3]};
}
