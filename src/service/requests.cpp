#include "service/requests.h"

#include <ctime>

#include "config/configuration.h"
#include "service/fixtures.h"

bool RequestIfIdle(SharedState& state, const BusyCheckedRequest& request) {
    // Serialised with the other checked requests, so two requesters cannot
    // both see a free machine.
    std::lock_guard lock(state.requestMutex);
    if (state.cycleCode.load(std::memory_order_acquire) != kNoCycle) return false;
    state.SetCycle(request.code, 0);
    return true;
}

bool RequestToolCycle(SharedState& state, const BusyCheckedRequest& request, int tool) {
    std::lock_guard lock(state.requestMutex);
    if (state.cycleCode.load(std::memory_order_acquire) != kNoCycle) return false;
    state.toolForCycle.store(tool, std::memory_order_relaxed);
    state.SetCycle(request.code, 0);
    return true;
}

namespace {
void FillTarget(TargetRecord& target, std::int32_t x, std::int32_t y, std::int32_t z,
                std::int32_t a) {
    target.x = x;
    target.y = y;
    target.z = z;
    target.a = a;
}
}  // namespace

void RequestTargetMove(SharedState& state, std::int32_t x, std::int32_t y, std::int32_t z,
                       std::int32_t a, std::int32_t speed) {
    FillTarget(state.target, x, y, z, a);
    state.target.speed = speed;
    state.SetCycle(kTargetMoveCycle, 0);
}

void RequestSetOrigin(SharedState& state, std::int32_t x, std::int32_t y, std::int32_t z,
                      std::int32_t a) {
    FillTarget(state.target, x, y, z, a);
    state.SetCycle(kSetOriginCycle, 0);
}

bool RequestScan(SharedState& state, int kind) {
    // The thread resumes a paused scan under this lock too, so it cannot take
    // back the kind between the check and the new scan's step.
    std::lock_guard lock(state.requestMutex);
    if (state.scanKind.load(std::memory_order_acquire) != kNoScan) return false;
    state.scanStep.store(0, std::memory_order_relaxed);
    state.scanKind.store(kind, std::memory_order_release);
    return true;
}

void RequestAuxLocation(SharedState& state, int location) {
    state.SetCycle(kAuxLocationCycle, location);
}

bool RequestStopCycle(SharedState& state) {
    const bool scanCancelled = state.scanKind.exchange(kNoScan) != kNoScan;
    // Only a run that is still going is cancelled, even if the thread ends it
    // at this very moment.
    int job = state.jobState.load();
    while (job != kJobIdle && !state.jobState.compare_exchange_weak(job, kJobCancel)) {
    }
    state.stopRequested.store(true, std::memory_order_release);
    state.SetCycleCode(kStopCycle);
    return scanCancelled;
}

RunStart RequestRun(SharedState& state, Configuration& config) {
    RunStart result;
    RunList& runList = state.runList;
    if (runList.Count() == 0 || runList.Path(0).empty()) return result;
    // A second Run while files are still being sent would take the job file
    // from under the command thread.
    if (state.jobState.load() != kJobIdle) return result;
    runList.SetCurrentIndex(0);
    if (config.Profile().useDoubleFixture == 1) {
        MachinePosition origin;
        ActivateFixture(state, config, 0, origin);
        config.SetSelectedFixture(0);
        RequestSetOrigin(state, origin.x, origin.y, origin.z, origin.a);
        result.fixtureApplied = true;
    }
    if (!runList.OpenJobFile()) return result;
    state.commandsDone = 0;
    state.jobStartTime = std::time(nullptr);
    state.elapsedSeconds = 0.0;
    // Last: the thread touches the job file only once it sees state 1.
    state.jobState.store(kJobRunning, std::memory_order_release);
    result.started = true;
    return result;
}

void RequestOverride(SharedState& state, Override which, int percent) {
    if (which == Override::Feed) {
        state.feedOverride = percent;
    } else {
        state.spindleOverride = static_cast<std::uint16_t>(percent);
    }
    state.SetCycleCode(kOverrideCycle);
}
