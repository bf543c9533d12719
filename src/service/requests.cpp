#include "service/requests.h"

bool RequestIfIdle(SharedState& state, const BusyCheckedRequest& request) {
    // Serialised with the other checked requests, so two requesters cannot
    // both see a free machine.
    std::lock_guard lock(state.requestMutex);
    if (state.cycleCode.load(std::memory_order_acquire) != kNoCycle) return false;
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
    state.SetCycleCode(kStopCycle);
    return scanCancelled;
}
