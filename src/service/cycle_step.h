#pragma once
// How a gated cycle advances and ends itself in the service loop.
#include "service/shared_state.h"

// Pre-increments the cycle step and returns the step to take.
inline int NextCycleStep(SharedState& state) { return state.cycleStep.fetch_add(1) + 1; }

// Called as a cycle's step begins, before it reads the request's inputs.
inline void BeginCycleStep(SharedState& state) {
    state.cycleRequestsSeen = state.cycleRequests.load(std::memory_order_acquire);
}

// Ends the cycle `code`, unless a request has replaced it meanwhile (a Stop,
// for example), so that the replacing request is never wiped. A request for
// the same cycle made while the step ran (a second Set, a slider moved on)
// has inputs the step may not have read: the cycle stays requested and runs again.
inline void EndCycle(SharedState& state, int code) {
    const int ended = code;
    if (!state.cycleCode.compare_exchange_strong(code, kNoCycle, std::memory_order_acq_rel))
        return;
    if (state.cycleRequests.load(std::memory_order_acquire) == state.cycleRequestsSeen) return;
    int none = kNoCycle;
    state.cycleCode.compare_exchange_strong(none, ended, std::memory_order_acq_rel);
}
